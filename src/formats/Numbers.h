#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>

// The whole number that a text writes in decimal, when it is one and fits T; nothing for any other
// text. Numbers come from the server, the system and files: none is taken without this check.
template <typename T, typename Text> std::optional<T> numberIn(const Text& text)
{
    bool isNumber = false;
    const qlonglong number = text.toLongLong(&isNumber);
    if (!isNumber || !std::in_range<T>(number))
        return std::nullopt;
    return T(number);
}

// A decimal fraction ("1234.56"), when the text is one.
inline std::optional<double> fractionIn(const QByteArray& text)
{
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    return isNumber ? std::optional(number) : std::nullopt;
}
