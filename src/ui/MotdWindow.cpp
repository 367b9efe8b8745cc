#include "ui/MotdWindow.h"

#include "formats/SafeSave.h"
#include "remote/ServerWatch.h"
#include "ui/Controls.h"
#include "ui/Forms.h"
#include "ui/MessageBox.h"
#include "ui/NumberText.h"

#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

} // namespace

MotdWindow::MotdWindow(Forms& registry)
    : ServerFileWindow(registry, "MotdWindow", QStringLiteral("Message of the Day"))
{
    motdText = named(new QPlainTextEdit(this), "motdText");
    motdText->setTabChangesFocus(true);
    motdText->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed(QStringLiteral("Liberation Mono"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPixelSize(12);
    motdText->setFont(fixed);
    countLabel = named(new QLabel(this), "countLabel");
    noteLabel = named(new QLabel(this), "noteLabel");
    noteLabel->setWordWrap(true);
    auto* saveButton = named(new QPushButton(QStringLiteral("&Save"), this), "saveButton");
    auto* cancelButton = buttonNamed(this, "cancelButton", QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(countLabel, 1);
    buttons->addWidget(saveButton);
    buttons->addWidget(cancelButton);
    auto* whole = new QVBoxLayout(this);
    whole->addWidget(
        labelFor(motdText, "motdLabel", QStringLiteral("&Message players see when they join (plain text)")));
    whole->addWidget(motdText, 1);
    whole->addWidget(noteLabel);
    whole->addLayout(buttons);
    chainTabOrder({motdText, saveButton, cancelButton});

    connect(motdText, &QPlainTextEdit::textChanged, this, &MotdWindow::count);
    connect(saveButton, &QPushButton::clicked, this, &MotdWindow::save);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
}

void MotdWindow::Form_Load()
{
    placeWindow({520, 420});
    if (ServerWatch* server = watch())
        connect(server, &ServerWatch::statusChanged, this, &MotdWindow::showServerState);
    showServerState();
    const std::variant<Motd, Failure> read = readMotd(forms.serverFolder(), forms.fileEncoding());
    if (const Failure* failure = std::get_if<Failure>(&read)) {
        countLabel->setText(failure->message);
        showFailure(failure->message);
        return;
    }
    readable = true;
    motd = std::get<Motd>(read);
    motdText->setPlainText(motd.text);
    count();
    motdText->setFocus();
}

void MotdWindow::showServerState()
{
    noteLabel->setText(serverRuns()
            ? QStringLiteral("The server runs: players who join after you save see the new message, with no restart.")
            : QString());
}

// In the file's set, line ends included: what the game counts.
void MotdWindow::count()
{
    const std::variant<QByteArray, QString> bytes = motdBytes(motd, motdText->toPlainText());
    if (const QString* problem = std::get_if<QString>(&bytes)) {
        countLabel->setText(*problem);
        return;
    }
    const qsizetype size = std::get<QByteArray>(bytes).size();
    QString counted = QStringLiteral("%1 of %2 bytes").arg(inDigits(size), inDigits(motdSentBytes));
    if (size > motdSentBytes)
        counted += QStringLiteral(": the game will not send the last %1").arg(inDigits(size - motdSentBytes));
    countLabel->setText(counted);
}

void MotdWindow::save()
{
    if (!readable)
        return;
    const QString path = motdPath(forms.serverFolder());
    const std::variant<QByteArray, QString> bytes = motdBytes(motd, motdText->toPlainText());
    if (const QString* problem = std::get_if<QString>(&bytes)) {
        showFailure(Failure::cannotWrite(path, *problem).message);
        return;
    }
    const QByteArray& contents = std::get<QByteArray>(bytes);
    if (contents.size() > motdSentBytes
        && !askOperator(
            QStringLiteral("The game sends only the first 1,536 bytes; players will not see the last %1. Save anyway?")
                .arg(inDigits(contents.size() - motdSentBytes))))
        return;
    if (forms.tellSaved(saveWhole(path, contents), QStringLiteral("Message of the day saved to tfc/motd.txt.")))
        close();
}
