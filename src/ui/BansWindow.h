#pragma once

#include "formats/BanFiles.h"
#include "formats/BanListReplies.h"
#include "ui/BanListModel.h"
#include "ui/ServerFileWindow.h"

#include <array>
#include <functional>

class QComboBox;
class QLineEdit;
class QTableView;
class RconClient;
class RconRequest;

// Bans: the player ids and the addresses banned. While this folder's server runs, its own lists
// (listid, listip over the remote console), which Add and Remove change with banid, addip,
// removeid and removeip; otherwise the files the server loads at its start, tfc/banned.cfg and
// tfc/listip.cfg, which keep permanent bans only. It changes between the two as the server starts
// or ends, and says which it shows.
class BansWindow : public ServerFileWindow {
public:
    static constexpr int number = 15;

    explicit BansWindow(Forms& forms);

    void Form_Load();

private:
    void refresh();
    void readFiles();
    void askServer();
    void showServerList(BanList list, const RconRequest& reply);
    void add();
    void remove();
    void send(const QByteArray& command, std::function<void(const RconRequest&)> then);
    void editFile(const SaveOutcome& outcome);
    void showWarnings();
    QTableView* tableOf(BanList list) const;
    BanListModel& modelOf(BanList list);

    bool showingServer = false;
    BanListModel ids;
    BanListModel addresses;
    QTableView* idTable;
    QTableView* addressTable;
    BanList chosenList = BanList::Ids;
    QLineEdit* entryBox;
    QComboBox* lengthBox;
    QLabel* sourceLabel;
    QLabel* warningLabel;
    QLabel* replyLabel;
    // What each list and the files give to warn of, kept apart so that one list's answer does not
    // hide the other's.
    std::array<QStringList, 2> listWarnings;
    QStringList fileWarnings;
    RconClient* console = nullptr;
};
