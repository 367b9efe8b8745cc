#pragma once

#include "ui/Dialog.h"

// Restart Daily: whether, and at which local time, this folder's server is restarted each day.
class RestartDaily : public Dialog {
public:
    static constexpr int number = 16;

    explicit RestartDaily(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
};
