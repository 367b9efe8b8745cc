#include "ui/BanListModel.h"

BanListModel::BanListModel(const QString& entryHeading, QObject* parent)
    : QAbstractTableModel(parent)
    , entryHeading_(entryHeading)
{
}

void BanListModel::setBans(QList<BanEntry> bans)
{
    beginResetModel();
    bans_ = std::move(bans);
    endResetModel();
}

int BanListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(bans_.size());
}

int BanListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant BanListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const BanEntry& ban = bans_.at(index.row());
    return index.column() == Entry ? QString::fromLatin1(ban.entry) : banLengthText(ban.minutes);
}

QVariant BanListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == Entry ? entryHeading_ : QStringLiteral("Length given");
}

QString banLengthText(double minutes)
{
    if (minutes == 0)
        return QStringLiteral("permanent");
    return (minutes == 1 ? QStringLiteral("%1 minute") : QStringLiteral("%1 minutes")).arg(minutes, 0, 'g', 10);
}
