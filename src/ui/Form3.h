#pragma once

#include "ui/Dialog.h"

// Team Damage Settings: six three-way choices that together make mp_teamplay.
class Form3 : public Dialog {
public:
    static constexpr int number = 3;

    explicit Form3(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
};
