#pragma once

#include "ui/Controls.h"

#include <QDialog>

class Forms;
struct ServerSettings;

// A dialog window: top-level without an owner, modeless, of a fixed client size given in twips,
// with the controls of its table. Enter presses no button; Escape closes the dialog the way its
// close box does.
class Dialog : public QDialog {
public:
    Dialog(Forms& registry, const char* caption, QSize clientTwips, std::span<const Control> controls,
        std::span<const LabelFor> labels = {});

    void reject() override;
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

    // Closes and destroys the dialog; the next opening loads it afresh.
    void unload();

    Forms& forms;
    ServerSettings& settings;
};
