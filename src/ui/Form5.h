#pragma once

#include "ui/Dialog.h"

// Cheats: two switches, shown from the record and written on OK.
class Form5 : public Dialog {
public:
    static constexpr int number = 5;

    explicit Form5(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
};
