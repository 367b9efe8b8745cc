#pragma once

#include "formats/SafeSave.h"
#include "formats/TextEncoding.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <array>

struct ServerSettings;

// The program's windows, Form1 to Form10 and the server's own, each loaded at most once. Showing a
// window that is not loaded creates it and runs its load step; showing one that is loaded, open or
// hidden, only brings it to the front as it is. Unloading closes and destroys it. Every window is top-level: dialogs
// have no owner, so the main window and the other dialogs stay usable.
//
// A form class F has `static constexpr int number`, a constructor F(Forms&) and `void Form_Load()`.
class Forms : public QObject {
public:
    Forms(ServerSettings& settings, QString serverFolder);
    ~Forms() override;

    ServerSettings& settings() const { return settings_; }
    const QString& serverFolder() const { return serverFolder_; }
    QString inServerFolder(const QString& relativePath) const;

    // The character set of default.tfc as read at start-up, which every file is written in.
    TextEncoding& fileEncoding() { return fileEncoding_; }

    // Tells how a save went: why it failed, or the confirmation, under a warning icon with what the
    // operator must still know when there is such. That other accounts may read a file's password
    // is told once per file while Quillmont runs: the operator may want it so. Whether it was saved.
    bool tellSaved(const SaveOutcome& outcome, const QString& confirmation);

    // default.tfc's bytes as the settings were last read from it or saved to it.
    const QByteArray& defaultsKept() const { return defaultsKept_; }
    void keepDefaults(const QByteArray& bytes) { defaultsKept_ = bytes; }
    // Saves the settings as default.tfc, as Default Settings' Save does, and tells how it went.
    bool saveDefaults();

    template <typename F> F* show()
    {
        QPointer<QWidget>& slot = windows_.at(F::number - 1);
        if (!slot) {
            auto* form = new F(*this);
            slot = form;
            form->installEventFilter(this);
            form->Form_Load();
        }
        bringToFront(slot);
        return static_cast<F*>(slot.data());
    }

    // The window if it is loaded, open or hidden; otherwise null.
    template <typename F> F* loaded() const { return static_cast<F*>(windows_.at(F::number - 1).data()); }

    void unload(QWidget* window);
    void unloadAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void bringToFront(QWidget* window);

    ServerSettings& settings_;
    const QString serverFolder_;
    TextEncoding fileEncoding_ = platformEncoding();
    QSet<QString> toldReadable_;
    std::array<QPointer<QWidget>, 16> windows_;
    QByteArray defaultsKept_;
};
