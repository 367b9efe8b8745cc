#include "ui/MapCycleWindow.h"

#include "formats/SafeSave.h"
#include "launch/Maps.h"
#include "ui/Controls.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"

#include <QCompleter>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

MapCycleWindow::MapCycleWindow(Forms& registry)
    : ServerFileWindow(registry, "MapCycleWindow", QStringLiteral("Map Cycle"))
{
    mapList = named(new QListWidget(this), "mapList");
    mapList->setUniformItemSizes(true);
    mapBox = named(new QLineEdit(this), "mapBox");
    auto* addButton = buttonNamed(this, "addButton", QStringLiteral("&Add"));
    auto* removeButton = buttonNamed(this, "removeButton", QStringLiteral("&Remove"));
    auto* upButton = buttonNamed(this, "upButton", QStringLiteral("Move &Up"));
    auto* downButton = buttonNamed(this, "downButton", QStringLiteral("Move &Down"));
    noteLabel = named(new QLabel(this), "noteLabel");
    noteLabel->setWordWrap(true);
    auto* saveButton = named(new QPushButton(QStringLiteral("&Save"), this), "saveButton");
    saveButton->setDefault(true);
    auto* cancelButton = buttonNamed(this, "cancelButton", QStringLiteral("Cancel"));

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {removeButton, upButton, downButton})
        side->addWidget(button);
    side->addStretch(1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(mapList, 1);
    lists->addLayout(side);
    auto* adding = new QHBoxLayout;
    adding->addWidget(labelFor(mapBox, "mapLabel", QStringLiteral("&Map")));
    adding->addWidget(mapBox, 1);
    adding->addWidget(addButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(labelFor(mapList, "mapsLabel", QStringLiteral("Maps, in the order the server &plays them")));
    whole->addLayout(lists, 1);
    whole->addLayout(adding);
    whole->addWidget(noteLabel);
    whole->addLayout(buttons);
    chainTabOrder({mapList, removeButton, upButton, downButton, mapBox, addButton, saveButton, cancelButton});

    connect(addButton, &QPushButton::clicked, this, &MapCycleWindow::add);
    connect(mapBox, &QLineEdit::returnPressed, this, &MapCycleWindow::add);
    connect(removeButton, &QPushButton::clicked, this, &MapCycleWindow::remove);
    connect(upButton, &QPushButton::clicked, this, [this] { moveBy(-1); });
    connect(downButton, &QPushButton::clicked, this, [this] { moveBy(1); });
    connect(saveButton, &QPushButton::clicked, this, &MapCycleWindow::save);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
}

void MapCycleWindow::Form_Load()
{
    placeWindow({460, 420});
    installed = mapsOfServer(forms.serverFolder());
    if (installed) {
        auto* completer = new QCompleter(*installed, this);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        mapBox->setCompleter(completer);
    }
    const std::variant<QByteArray, Failure> read = readMapCycle(forms.serverFolder());
    if (const Failure* failure = std::get_if<Failure>(&read)) {
        noteLabel->setText(failure->message);
        showFailure(failure->message);
        return;
    }
    readable = true;
    cycle = MapCycle(std::get<QByteArray>(read));
    showMaps(0);
    mapList->setFocus();
}

void MapCycleWindow::showMaps(int selected)
{
    mapList->clear();
    for (const MapCycle::Entry& entry : cycle.entries()) {
        QString shown = QString::fromLatin1(entry.map);
        if (entry.info)
            shown += QStringLiteral("  ") + QString::fromLatin1(*entry.info);
        if (installed && !holdsMap(*installed, QString::fromLatin1(entry.map)))
            shown += QStringLiteral("  (not in tfc/maps)");
        mapList->addItem(shown);
    }
    mapList->setCurrentRow(std::min(selected, mapList->count() - 1));
}

// The new map goes after the one chosen, or at the end.
void MapCycleWindow::add()
{
    const QByteArray name = mapBox->text().trimmed().toUtf8();
    if (const std::optional<QString> problem = mapNameProblem(name)) {
        showFailure(*problem);
        return;
    }
    if (!readable)
        return;
    const int at = mapList->currentRow() < 0 ? int(cycle.size()) : mapList->currentRow() + 1;
    cycle.insert(at, name);
    showMaps(at);
    mapBox->clear();
}

void MapCycleWindow::remove()
{
    const int row = mapList->currentRow();
    if (row < 0)
        return;
    cycle.remove(row);
    showMaps(row);
}

void MapCycleWindow::moveBy(int step)
{
    const int row = mapList->currentRow(), to = row + step;
    if (row < 0 || to < 0 || to >= cycle.size())
        return;
    cycle.move(row, to);
    showMaps(to);
}

// A map that is not installed is skipped at the map change: the operator says whether to save it.
void MapCycleWindow::save()
{
    if (!readable)
        return;
    QStringList missing;
    for (const MapCycle::Entry& entry : cycle.entries()) {
        if (installed && !holdsMap(*installed, QString::fromLatin1(entry.map)))
            missing << QString::fromLatin1(entry.map);
    }
    if (!missing.isEmpty()
        && !askOperator(
            QStringLiteral("%1 not in tfc/maps, and the server skips a map it does not have. Save anyway?")
                .arg(missing.size() == 1 ? QStringLiteral("The map %1 is").arg(missing.first())
                                         : QStringLiteral("The maps %1 are").arg(missing.join(QStringLiteral(", "))))))
        return;
    const QString confirmation = serverRuns()
        ? QStringLiteral("The server reads the map cycle at its first map change and keeps it until it restarts: the "
                         "new cycle takes effect at its next start.")
        : QStringLiteral("Map cycle saved to tfc/mapcycle.txt.");
    if (forms.tellSaved(saveWhole(mapCyclePath(forms.serverFolder()), cycle.bytes()), confirmation))
        close();
}
