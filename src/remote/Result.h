#pragma once

#include "formats/Failure.h"

#include <variant>

// A value, or why there is none.
template <typename T> class Result {
public:
    Result(T value)
        : state(std::move(value))
    {
    }
    Result(Failure failure)
        : state(std::move(failure))
    {
    }

    explicit operator bool() const { return std::holds_alternative<T>(state); }
    const T& operator*() const { return std::get<T>(state); }
    const T* operator->() const { return &std::get<T>(state); }
    const Failure& failure() const { return std::get<Failure>(state); }

private:
    std::variant<T, Failure> state;
};
