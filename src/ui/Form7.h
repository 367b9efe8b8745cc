#pragma once

#include "ui/Dialog.h"

// Scoring and Team Settings: five switches and the respawn delay, all copied on OK only.
class Form7 : public Dialog {
public:
    static constexpr int number = 7;

    explicit Form7(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
};
