#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QButtonGroup;
class QLabel;

// Ban…: for how long a player is to be banned, saying in words what Quillmont will send for each
// length, and how long a ban holds.
class BanDialog : public QDialog {
public:
    // `commandsFor` gives what is sent for a length in minutes (0: for good); `kept` says where a
    // permanent ban is kept.
    BanDialog(const QString& question, std::function<QString(int minutes)> commandsFor, const QString& kept);

    // The length chosen, in minutes; 0 for good.
    int minutes() const;
    // Everything the dialog says, for a test to read as the operator would.
    QStringList texts() const;

private:
    void showCommands();

    std::function<QString(int)> commandsFor_;
    QButtonGroup* lengths_;
    QLabel* question_;
    QLabel* commands_;
    QLabel* kept_;
};

// Asks for a ban's length with the dialog; nothing when the operator cancels.
std::optional<int> askBanLength(
    const QString& question, const std::function<QString(int minutes)>& commandsFor, const QString& kept);

// Tests read the dialog as it would be shown and give the length the operator would choose
// instead of a dialog that waits; an empty function shows the dialog again.
void interceptBanLengthsForTests(std::function<std::optional<int>(const BanDialog&)> reader);
