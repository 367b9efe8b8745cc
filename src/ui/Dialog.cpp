#include "ui/Dialog.h"

#include "ui/Forms.h"
#include "ui/Twips.h"

Dialog::Dialog(Forms& registry, const char* caption, QSize clientTwips, std::span<const Control> controls,
    std::span<const LabelFor> labels)
    : QWidget(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , forms(registry)
    , settings(registry.settings())
{
    setWindowTitle(QString::fromLatin1(caption));
    setFixedSize(twipsSize(clientTwips.width(), clientTwips.height()));
    buildControls(this, controls);
    labelControls(this, labels);
}

void Dialog::unload()
{
    forms.unload(this);
}
