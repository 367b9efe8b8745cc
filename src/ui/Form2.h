#pragma once

#include "ui/Dialog.h"

// Class Restrictions: how many players may take each of the nine classes.
class Form2 : public Dialog {
public:
    static constexpr int number = 2;

    explicit Form2(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
};
