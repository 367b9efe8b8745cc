#pragma once

#include "ui/Dialog.h"

// Default Settings: saves the record as tfc/default.tfc, the settings the next start begins with,
// and opens Restore Settings. Save and Cancel only hide it, so it loads once per run.
class Form4 : public Dialog {
public:
    static constexpr int number = 4;

    explicit Form4(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
};
