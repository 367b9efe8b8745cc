#pragma once

#include "ui/Dialog.h"

// Server Port: the port this folder's server is started on, and asked on.
class ServerPort : public Dialog {
public:
    static constexpr int number = 11;

    explicit ServerPort(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
};
