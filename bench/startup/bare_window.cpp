// The main window's controls, captions, menus and status line on a plain QMainWindow: Qt's own
// style, font and icon, no settings read, nothing else. What a window like Quillmont's costs Qt
// alone.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocalServer>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

namespace {

struct Control {
    const char* kind;
    const char* text;
    int left, top, width, height; // in pixels, as Quillmont's twips make them
    bool inFrame = false;
};

// clang-format off
const Control controls[] = {
    {"label", "Server Name", 8, 0, 169, 17},
    {"text", "Team Fortress Classic", 8, 16, 169, 19},
    {"label", "Remote Console Password", 8, 48, 169, 17},
    {"text", "", 8, 64, 169, 19},
    {"label", "Server Password", 8, 96, 169, 17},
    {"text", "", 8, 112, 169, 19},
    {"frame", "Data Rate", 8, 144, 169, 57},
    {"label", "Max Data", 8, 16, 57, 17, true},
    {"text", "10000", 8, 32, 57, 19, true},
    {"label", "Min Data", 96, 16, 57, 17, true},
    {"text", "0", 96, 32, 57, 19, true},
    {"label", "Time Limit", 192, 0, 89, 17},
    {"text", "30", 192, 16, 57, 19},
    {"label", "Max Players", 192, 48, 81, 17},
    {"text", "16", 192, 62, 57, 19},
    {"label", "Start Map", 192, 96, 81, 17},
    {"text", "2fort", 192, 112, 89, 19},
    {"check", "LAN Server", 192, 144, 97, 13},
    {"check", "Pausable", 192, 160, 97, 13},
    {"check", "Clan Battle", 192, 176, 97, 13},
    {"check", "Clan PreMatch", 192, 192, 97, 13},
    {"button", "Write Config", 8, 216, 81, 25},
    {"button", "Start Server", 104, 216, 81, 25},
    {"button", "Exit", 200, 216, 81, 25},
};

const char* const menus[][7] = {
    {"&File", "Open...", "Save As...", "Default Settings", "-", "Exit", nullptr},
    {"&Options", "Game Physics", "Class Restriction", "Team Damage Settings", "Scoring and Team Settings", "Cheats",
        nullptr},
    {"&Server", "Start Server", "Stop Server", "Restart Server", "-", "Server Console", "Server Port..."},
    {"&Help", "About", nullptr, nullptr, nullptr, nullptr, nullptr},
};
// clang-format on

QWidget* create(const Control& control, QWidget* parent)
{
    const QString text = QString::fromLatin1(control.text);
    const QByteArray kind = control.kind;
    if (kind == "label")
        return new QLabel(text, parent);
    if (kind == "text")
        return new QLineEdit(text, parent);
    if (kind == "frame")
        return new QGroupBox(text, parent);
    if (kind == "check")
        return new QCheckBox(text, parent);
    return new QPushButton(text, parent);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Quillmont links Qt Network for its one-window-per-folder check, so this window does too: a
    // library nothing refers to would be left out of the link.
    const QMetaObject* volatile network = &QLocalServer::staticMetaObject;
    (void)network;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillmont"));
    auto* client = new QWidget(&window);
    client->setFixedSize(289, 249);
    window.setCentralWidget(client);
    QWidget* frame = nullptr;
    for (const Control& control : controls) {
        QWidget* widget = create(control, control.inFrame ? frame : client);
        widget->setGeometry(control.left, control.top, control.width, control.height);
        if (QByteArray(control.kind) == "frame")
            frame = widget;
    }
    for (const auto& menu : menus) {
        QMenu* shown = window.menuBar()->addMenu(QString::fromLatin1(menu[0]));
        for (int entry = 1; entry < 7 && menu[entry]; ++entry) {
            if (QByteArray(menu[entry]) == "-")
                shown->addSeparator();
            else
                shown->addAction(QString::fromLatin1(menu[entry]));
        }
    }
    window.statusBar()->setSizeGripEnabled(false);
    window.statusBar()->addWidget(new QLabel(QStringLiteral("No server running")), 1);
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    window.show();
    return QApplication::exec();
}
