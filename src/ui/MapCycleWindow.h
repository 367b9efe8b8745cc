#pragma once

#include "formats/MapCycle.h"
#include "ui/ServerFileWindow.h"

#include <optional>

class QLineEdit;
class QListWidget;

// Map Cycle: the maps of tfc/mapcycle.txt in the order the server plays them, each with its info
// string; maps added, removed and moved, with their comments, and saved with every other byte kept.
class MapCycleWindow : public ServerFileWindow {
public:
    static constexpr int number = 13;

    explicit MapCycleWindow(Forms& forms);

    void Form_Load();

private:
    void showMaps(int selected);
    void add();
    void remove();
    void moveBy(int step);
    void save();

    MapCycle cycle;
    bool readable = false;
    std::optional<QStringList> installed; // tfc/maps, when there is such a folder
    QListWidget* mapList;
    QLineEdit* mapBox;
    QLabel* noteLabel;
};
