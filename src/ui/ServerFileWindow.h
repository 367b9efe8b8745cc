#pragma once

#include <QDialog>

class Forms;
class QLabel;
class QPushButton;
class ServerWatch;

// A window on one of the server's own files (the map cycle, the message of the day, the ban
// lists): modeless, a dialog to a screen reader, closed by Escape as by its close box, and placed
// beside the main window the first time, as the Server Console is.
class ServerFileWindow : public QDialog {
public:
    ServerFileWindow(Forms& forms, const char* name, const QString& title);

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Where it goes once its controls are laid out: beside the main window where the program
    // places its windows, else in the screen's middle.
    void placeWindow(const QSize& size);
    // This folder's server's watch, while the main window is loaded.
    ServerWatch* watch() const;
    bool serverRuns() const;

    Forms& forms;
};

