#pragma once

#include "ui/Dialog.h"

// About: the program's name with the version of the settings file read at start-up.
class Form8 : public Dialog {
public:
    static constexpr int number = 8;

    explicit Form8(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
};
