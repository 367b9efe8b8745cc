#include "ui/Dialog.h"

#include "ui/Forms.h"
#include "ui/Twips.h"

#include <QCloseEvent>

Dialog::Dialog(Forms& registry, const char* caption, QSize clientTwips, std::span<const Control> controls,
    std::span<const LabelFor> labels)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , forms(registry)
    , settings(registry.settings())
{
    setWindowTitle(QString::fromLatin1(caption));
    setFixedSize(twipsSize(clientTwips.width(), clientTwips.height()));
    buildControls(this, controls);
    labelControls(this, labels);
}

// QDialog would only hide itself on Escape, and skip what closing a window does.
void Dialog::reject()
{
    close();
}

// QDialog would give the first control the focus as if it had been tabbed to, which selects a text
// box's whole text: the dialogs open with their texts as they stand, like the main window.
void Dialog::setVisible(bool visible)
{
    QWidget* first = visible ? focusWidget() : nullptr;
    if (first)
        first->clearFocus();
    QDialog::setVisible(visible);
    if (first)
        first->setFocus(Qt::ActiveWindowFocusReason);
}

// QDialog would reject here; closing is all that is wanted.
void Dialog::closeEvent(QCloseEvent* event)
{
    event->accept();
}

void Dialog::unload()
{
    forms.unload(this);
}
