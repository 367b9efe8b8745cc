#include "ui/BansWindow.h"

#include "formats/ServerCfg.h"
#include "launch/FolderSettings.h"
#include "remote/RconClient.h"
#include "remote/ServerWatch.h"
#include "ui/BanDialog.h"
#include "ui/Controls.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"
#include "ui/NumberText.h"

#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {

QString listName(BanList list)
{
    return list == BanList::Ids ? QStringLiteral("player ids") : QStringLiteral("addresses");
}

QTableView* banTable(QWidget* parent, const char* name, BanListModel* model)
{
    auto* table = named(new QTableView(parent), name);
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    // Wide enough for the longest id; measuring 100,000 rows would stall the window.
    table->horizontalHeader()->resizeSection(
        BanListModel::Entry, table->fontMetrics().horizontalAdvance(QStringLiteral("STEAM_0:1:2147483647")) + 12);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace

BansWindow::BansWindow(Forms& registry)
    : ServerFileWindow(registry, "BansWindow", QStringLiteral("Bans"))
    , ids(QStringLiteral("Player ID"), this)
    , addresses(QStringLiteral("Address"), this)
{
    idTable = banTable(this, "idTable", &ids);
    addressTable = banTable(this, "addressTable", &addresses);
    sourceLabel = named(new QLabel(this), "sourceLabel");
    sourceLabel->setWordWrap(true);
    warningLabel = named(new QLabel(this), "warningLabel");
    warningLabel->setWordWrap(true);
    replyLabel = named(new QLabel(this), "replyLabel");
    replyLabel->setWordWrap(true);
    entryBox = named(new QLineEdit(this), "entryBox");
    entryBox->setPlaceholderText(QStringLiteral("STEAM_0:1:2345 or 198.51.100.7"));
    lengthBox = named(new QComboBox(this), "lengthBox");
    // The lengths Ban… offers; a list has no underlined letters.
    for (const BanLength& length : banLengths)
        lengthBox->addItem(QString::fromLatin1(length.caption).remove(u'&'), length.minutes);
    lengthBox->setCurrentIndex(int(banLengths.size()) - 1);
    auto* addButton = buttonNamed(this, "addButton", QStringLiteral("&Add"));
    auto* removeButton = buttonNamed(this, "removeButton", QStringLiteral("&Remove"));
    auto* refreshButton = buttonNamed(this, "refreshButton", QStringLiteral("Re&fresh"));
    auto* closeButton = buttonNamed(this, "closeButton", QStringLiteral("Close"));

    auto* lists = new QHBoxLayout;
    for (auto [table, name, caption] :
        {std::tuple(idTable, "idLabel", "Player &IDs"), std::tuple(addressTable, "addressLabel", "Add&resses")}) {
        auto* column = new QVBoxLayout;
        column->addWidget(labelFor(table, name, QString::fromLatin1(caption)));
        column->addWidget(table);
        lists->addLayout(column);
    }
    auto* adding = new QHBoxLayout;
    adding->addWidget(labelFor(entryBox, "entryLabel", QStringLiteral("&Ban")));
    adding->addWidget(entryBox, 1);
    adding->addWidget(labelFor(lengthBox, "lengthLabel", QStringLiteral("&for")));
    adding->addWidget(lengthBox);
    adding->addWidget(addButton);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(removeButton);
    buttons->addWidget(refreshButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(sourceLabel);
    whole->addLayout(lists, 1);
    whole->addWidget(warningLabel);
    whole->addLayout(adding);
    whole->addWidget(replyLabel);
    whole->addLayout(buttons);
    chainTabOrder({idTable, addressTable, entryBox, lengthBox, addButton, removeButton, refreshButton, closeButton});

    // Remove acts on the list last chosen in.
    for (const BanList list : {BanList::Ids, BanList::Addresses}) {
        connect(tableOf(list)->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, list] {
            if (tableOf(list)->selectionModel()->hasSelection())
                chosenList = list;
        });
    }
    connect(addButton, &QPushButton::clicked, this, &BansWindow::add);
    connect(entryBox, &QLineEdit::returnPressed, this, &BansWindow::add);
    connect(removeButton, &QPushButton::clicked, this, &BansWindow::remove);
    connect(refreshButton, &QPushButton::clicked, this, &BansWindow::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void BansWindow::Form_Load()
{
    placeWindow({620, 460});
    if (ServerWatch* server = watch()) {
        // A server started or ended from another window or by a keeper changes what is shown.
        connect(server, &ServerWatch::statusChanged, this, [this] {
            if (serverRuns() != showingServer)
                refresh();
        });
    }
    refresh();
    entryBox->setFocus();
}

QTableView* BansWindow::tableOf(BanList list) const
{
    return list == BanList::Ids ? idTable : addressTable;
}

BanListModel& BansWindow::modelOf(BanList list)
{
    return list == BanList::Ids ? ids : addresses;
}

void BansWindow::refresh()
{
    showingServer = serverRuns();
    listWarnings = {};
    fileWarnings = banFilesNotLoaded(
        forms.serverFolder(), serverCfgBytes(forms.inServerFolder(QStringLiteral("tfc/server.cfg"))));
    if (showingServer) {
        sourceLabel->setText(
            QStringLiteral("The running server's lists, as listid and listip give them. Permanent bans "
                           "are kept in tfc/banned.cfg and tfc/listip.cfg too."));
        askServer();
    } else {
        sourceLabel->setText(QStringLiteral("The server is not running: the files tfc/banned.cfg and tfc/listip.cfg, "
                                            "which keep permanent bans for its next start."));
        delete std::exchange(console, nullptr);
        readFiles();
    }
    showWarnings();
}

void BansWindow::readFiles()
{
    for (const BanList list : {BanList::Ids, BanList::Addresses}) {
        const std::variant<BanFile, Failure> read = readBanFile(forms.serverFolder(), list);
        if (const Failure* failure = std::get_if<Failure>(&read)) {
            modelOf(list).setBans({});
            listWarnings[int(list)] << failure->message;
            continue;
        }
        const QList<BanEntry>& bans = std::get<BanFile>(read).bans;
        modelOf(list).setBans(bans);
        if (bans.size() > mostBansKept)
            listWarnings[int(list)] << QStringLiteral("%1 holds %2 bans: the server keeps no more than 32,768.")
                                           .arg(banFileName(list), inDigits(bans.size()));
    }
}

void BansWindow::askServer()
{
    for (const BanList list : {BanList::Ids, BanList::Addresses}) {
        send(list == BanList::Ids ? "listid" : "listip",
            [this, list](const RconRequest& reply) { showServerList(list, reply); });
    }
}

void BansWindow::showServerList(BanList list, const RconRequest& reply)
{
    QStringList& warnings = listWarnings[int(list)];
    warnings.clear();
    if (reply.failure()) {
        modelOf(list).setBans({});
        warnings
            << QStringLiteral("The server's %1 could not be listed: %2").arg(listName(list), reply.failure()->message);
        showWarnings();
        return;
    }
    const BanListReply read = readBanListReply(reply.output(), list);
    modelOf(list).setBans(read.bans);
    const qsizetype rows = read.bans.size();
    if (read.announced && *read.announced != rows)
        warnings << QStringLiteral("The server lists %1 player ids; %2 of them came, the others are missing here.")
                        .arg(inDigits(*read.announced), inDigits(rows));
    else if (reply.cutShort() || !read.whole || !read.headed)
        warnings << QStringLiteral("The server's list of %1 came cut short: it may hold more than shown here.")
                        .arg(listName(list));
    if (std::max(rows, read.announced.value_or(0)) >= mostBansKept)
        warnings << QStringLiteral("The server lists %1 %2: it keeps no more than 32,768.")
                        .arg(inDigits(std::max(rows, read.announced.value_or(0))), listName(list));
    showWarnings();
}

void BansWindow::showWarnings()
{
    warningLabel->setText((fileWarnings + listWarnings[0] + listWarnings[1]).join(QLatin1Char('\n')));
}

// Each command goes to this folder's server with the password it runs with; the client keeps them
// in order and within the packet budget.
void BansWindow::send(const QByteArray& command, std::function<void(const RconRequest&)> then)
{
    const ServerWatch* server = watch();
    const std::optional<ServerRecord>& record = server ? server->record() : std::nullopt;
    const std::optional<QByteArray> password = record && record->password
        ? record->password
        : valueSetIn(serverCfgBytes(forms.inServerFolder(QStringLiteral("tfc/server.cfg"))), "rcon_password");
    if (!password || password->isEmpty()) {
        replyLabel->setText(QStringLiteral("Not sent: this folder's server.cfg sets no Remote Console Password."));
        return;
    }
    if (!console) {
        const quint16 port = record ? record->port : serverPort(forms.serverFolder());
        console = new RconClient({QHostAddress(QHostAddress::LocalHost), port}, this);
    }
    RconRequest* reply = console->send(*password, command);
    connect(reply, &ServerRequest::finished, this, [reply, then = std::move(then)] { then(*reply); });
}

void BansWindow::editFile(const SaveOutcome& outcome)
{
    if (const Failure* failure = failureOf(outcome))
        showFailure(failure->message);
    else if (const std::optional<QString>& notDurable = std::get<Saved>(outcome).notDurable)
        showFailure(*notDurable);
}

// An id as the server prints it, STEAM_ or VALVE_ in any case; else an address.
void BansWindow::add()
{
    const QByteArray typed = entryBox->text().trimmed().toLatin1();
    const bool id = typed.toUpper().startsWith("STEAM_") || typed.toUpper().startsWith("VALVE_");
    const BanList list = id ? BanList::Ids : BanList::Addresses;
    const std::optional<QString> problem
        = id ? (isUniqueId(printedId(typed)) ? std::nullopt : banIdProblem(typed)) : banAddressProblem(typed);
    if (problem) {
        showFailure(*problem);
        return;
    }
    const QByteArray entry = id ? printedId(typed) : typed;
    const int minutes = lengthBox->currentData().toInt();
    if (!showingServer && minutes != 0) {
        showFailure(QStringLiteral("The server is not running, and %1 keeps only permanent bans: a ban for %2 can be "
                                   "added only while the server runs.")
                        .arg(banFileName(list), lengthBox->currentText()));
        return;
    }
    if (minutes == 0)
        editFile(addPermanentBan(forms.serverFolder(), list, entry, forms.fileEncoding()));
    entryBox->clear();
    if (!showingServer) {
        refresh();
        return;
    }
    const QByteArray command = (id ? "banid " : "addip ") + QByteArray::number(minutes) + ' ' + entry;
    send(command, [this, command](const RconRequest& reply) {
        replyLabel->setText(reply.failure() ? reply.failure()->message
                : reply.output().trimmed().isEmpty()
                ? QString()
                : QStringLiteral("%1: %2").arg(QString::fromLatin1(command), reply.text().trimmed()));
    });
    askServer();
}

void BansWindow::remove()
{
    const QModelIndexList chosen = tableOf(chosenList)->selectionModel()->selectedRows();
    if (chosen.isEmpty()) {
        showFailure(QStringLiteral("Choose the ban to remove in Player IDs or Addresses."));
        return;
    }
    const BanList list = chosenList;
    const QByteArray entry = modelOf(list).bans().at(chosen.first().row()).entry;
    editFile(removePermanentBan(forms.serverFolder(), list, entry));
    if (!showingServer) {
        refresh();
        return;
    }
    const QByteArray command = (list == BanList::Ids ? "removeid " : "removeip ") + entry;
    send(command, [this, command](const RconRequest& reply) {
        replyLabel->setText(reply.failure()
                ? reply.failure()->message
                : QStringLiteral("%1: %2").arg(QString::fromLatin1(command),
                    reply.output().isEmpty() ? QStringLiteral("(no reply)") : reply.text().trimmed()));
    });
    askServer();
}
