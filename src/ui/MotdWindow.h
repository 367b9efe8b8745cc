#pragma once

#include "formats/Motd.h"
#include "ui/ServerFileWindow.h"

class QPlainTextEdit;

// Message of the Day: tfc/motd.txt as plain text, with how many of its bytes the game sends.
class MotdWindow : public ServerFileWindow {
public:
    static constexpr int number = 14;

    explicit MotdWindow(Forms& forms);

    void Form_Load();

private:
    void count();
    void showServerState();
    void save();

    Motd motd;
    bool readable = false;
    QPlainTextEdit* motdText;
    QLabel* countLabel;
    QLabel* noteLabel;
};
