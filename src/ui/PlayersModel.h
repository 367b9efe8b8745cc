#pragma once

#include "remote/ServerReplies.h"
#include "remote/StatusPlayers.h"

#include <QAbstractTableModel>

#include <optional>

// The players of one server as the Server Console's table shows them: name, score and time from the
// server query, which costs the server nothing; user id, unique id, ping, loss and address from the
// remote console's `status`, when it has been asked. Each column sorts by its value (numbers as
// numbers, times in seconds), under Qt::UserRole.
class PlayersModel : public QAbstractTableModel {
public:
    enum Column { Name, Score, Time, UserId, UniqueId, Ping, Loss, Address, Columns };

    struct Row {
        PlayerInfo queried;
        std::optional<StatusPlayer> details;
    };

    using QAbstractTableModel::QAbstractTableModel;

    // The players the server query gave, each keeping the details `status` gave for its name
    // before. Says whether the set of names changed.
    bool setQueried(const QList<PlayerInfo>& players);
    // The details `status` gave, matched to the rows by name, byte for byte, in their order.
    void setDetails(const QList<StatusPlayer>& players);
    void clear();

    const Row& row(int number) const { return rows_.at(number); }
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<Row> rows_;
};

// A name as it can be shown: a control character as its visible symbol (U+2400 on), never a box.
QString shownName(const QByteArray& name);

// "4:05", "1:02:03"
QString timeConnected(float seconds);
