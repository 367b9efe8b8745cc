#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QButtonGroup;
class QLabel;

// The lengths a ban can be given, in minutes (0: for good), with their captions.
struct BanLength {
    int minutes;
    const char* caption;
};
inline constexpr std::array<BanLength, 5> banLengths{{
    {5, "&5 minutes"},
    {60, "1 &hour"},
    {1440, "1 &day"},
    {10080, "1 &week"},
    {0, "&Permanently"},
}};

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
