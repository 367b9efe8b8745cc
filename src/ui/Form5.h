#pragma once

#include "ui/Dialog.h"

// Cheats: two switches that OK always writes. Unlike the other option dialogs it does not show
// the record: both boxes open unchecked every time.
class Form5 : public Dialog {
public:
    static constexpr int number = 5;

    explicit Form5(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
};
