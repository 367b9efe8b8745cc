#pragma once

#include "ui/Controls.h"

#include <QWidget>

class Forms;
struct ServerSettings;

// A dialog window: top-level without an owner, of a fixed client size given in twips, with the
// controls of its table. Unlike QDialog it binds nothing to Enter or Escape.
class Dialog : public QWidget {
public:
    Dialog(Forms& registry, const char* caption, QSize clientTwips, std::span<const Control> controls,
        std::span<const LabelFor> labels = {});

protected:
    // Closes and destroys the dialog; the next opening loads it afresh.
    void unload();

    Forms& forms;
    ServerSettings& settings;
};
