#include "ui/PlayersModel.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const char*, PlayersModel::Columns> headers{
    "Name", "Score", "Time", "User ID", "Unique ID", "Ping", "Loss", "Address"};

QByteArrayList namesOf(const QList<PlayersModel::Row>& rows)
{
    QByteArrayList names;
    for (const PlayersModel::Row& row : rows)
        names << row.queried.name;
    std::sort(names.begin(), names.end());
    return names;
}

const QByteArray& nameOf(const PlayersModel::Row& row)
{
    return row.queried.name;
}

const QByteArray& nameOf(const StatusPlayer& player)
{
    return player.name;
}

// The n-th player of a name in a list, for players who share one.
template <typename Player> const Player* nthOfName(const QList<Player>& players, const QByteArray& name, int n)
{
    for (const Player& player : players) {
        if (nameOf(player) == name && n-- == 0)
            return &player;
    }
    return nullptr;
}

int occurrence(const QList<PlayersModel::Row>& rows, qsizetype at)
{
    return int(std::count_if(rows.begin(), rows.begin() + at,
        [&](const PlayersModel::Row& row) { return row.queried.name == rows.at(at).queried.name; }));
}

} // namespace

QString shownName(const QByteArray& name)
{
    QString shown = QString::fromUtf8(name);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20)
            c = QChar(0x2400 + c.unicode());
        else if (c.unicode() == 0x7F)
            c = QChar(0x2421);
    }
    return shown;
}

QString timeConnected(float seconds)
{
    const int whole = int(seconds);
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(whole / 60 % 60, whole >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
                                          .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600 ? QString::number(whole / 3600) + QLatin1Char(':') + minutesAndSeconds : minutesAndSeconds;
}

bool PlayersModel::setQueried(const QList<PlayerInfo>& players)
{
    QList<Row> rows;
    for (const PlayerInfo& player : players)
        rows.append({player, std::nullopt});
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QByteArray& name = rows.at(i).queried.name;
        if (const Row* before = nthOfName<Row>(rows_, name, occurrence(rows, i)); before)
            rows[i].details = before->details;
    }
    const bool namesChanged = namesOf(rows) != namesOf(rows_);
    beginResetModel();
    rows_ = rows;
    endResetModel();
    return namesChanged;
}

void PlayersModel::setDetails(const QList<StatusPlayer>& players)
{
    for (qsizetype i = 0; i < rows_.size(); ++i) {
        const StatusPlayer* details = nthOfName(players, rows_.at(i).queried.name, occurrence(rows_, i));
        rows_[i].details = details ? std::optional(*details) : std::nullopt;
    }
    Q_EMIT dataChanged(index(0, UserId), index(int(rows_.size()) - 1, Address));
}

void PlayersModel::clear()
{
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int PlayersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int PlayersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant PlayersModel::data(const QModelIndex& index, int role) const
{
    const Row& row = rows_.at(index.row());
    const std::optional<StatusPlayer>& details = row.details;
    const bool numeric = index.column() != Name && index.column() != UniqueId && index.column() != Address;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::UserRole)
        return {};
    const bool sorting = role == Qt::UserRole;
    switch (index.column()) {
    case Name:
        return shownName(row.queried.name);
    case Score:
        return row.queried.score;
    case Time:
        return sorting ? QVariant(row.queried.seconds) : QVariant(timeConnected(row.queried.seconds));
    case UserId:
        return details ? QVariant(details->userid) : QVariant();
    case UniqueId:
        return details ? QVariant(QString::fromLatin1(details->uniqueid)) : QVariant();
    case Ping:
        return details ? QVariant(details->ping) : QVariant();
    case Loss:
        return details ? QVariant(details->loss) : QVariant();
    case Address:
        return details ? QVariant(QString::fromLatin1(details->address)) : QVariant();
    }
    return {};
}

QVariant PlayersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return QString::fromLatin1(headers.at(section));
}
