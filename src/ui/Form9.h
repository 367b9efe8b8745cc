#pragma once

#include "ui/Dialog.h"

// Save As: writes the settings under a name of the operator's choosing, in the server folder.
// Save and Cancel only hide it, so it keeps the name last typed. Its menu entry stays greyed; code
// shows it with Forms::show<Form9>().
class Form9 : public Dialog {
public:
    static constexpr int number = 9;

    explicit Form9(Forms& forms);

    void Form_Load();

private:
    void Command1_Click();
    void Command2_Click();
};
