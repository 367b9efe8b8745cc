#pragma once

#include "formats/BanFiles.h"

#include <QAbstractTableModel>

// One ban list as a table: the entry, and the length the ban was given ("permanent", "30
// minutes"), which is all the server tells of it. Rows of one height, so that 100,000 of them
// scroll without each being measured.
class BanListModel : public QAbstractTableModel {
public:
    enum Column { Entry, Length, Columns };

    BanListModel(const QString& entryHeading, QObject* parent);

    void setBans(QList<BanEntry> bans);
    const QList<BanEntry>& bans() const { return bans_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString entryHeading_;
    QList<BanEntry> bans_;
};

// A ban's length in words: "permanent", "1 minute", "2.5 minutes".
QString banLengthText(double minutes);
