#pragma once

#include "ui/Dialog.h"

// Restore Settings: puts the factory settings into the record and the main window. It writes no
// file; Default Settings' Save does that.
class Form10 : public Dialog {
public:
    static constexpr int number = 10;

    explicit Form10(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
};
