#pragma once

#include "ui/Dialog.h"

// Game Physics: five values copied on OK, and three switches that write the record at once.
class Form6 : public Dialog {
public:
    static constexpr int number = 6;

    explicit Form6(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
};
