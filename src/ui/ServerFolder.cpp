#include "ui/ServerFolder.h"

#include "launch/FolderSettings.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>

namespace {

std::function<QString()> folderAnswer;

const QString lastServerFolder = QStringLiteral("lastServerFolder");

QString askForServerFolder()
{
    if (folderAnswer)
        return folderAnswer();
    return QFileDialog::getExistingDirectory(nullptr,
        QStringLiteral("Quillmont: choose the server folder, the one that holds tfc and hlds_run or HLDS.EXE"));
}

// Whether a folder is a server's installation folder: it holds the mod folder tfc.
bool holdsModFolder(const QString& folder)
{
    return !folder.isEmpty() && QDir(folder).exists(QStringLiteral("tfc"));
}

} // namespace

std::optional<QString> chooseServerFolder(const QString& requested, const QString& programFolder)
{
    QSettings remembered = programSettings();
    QString folder = requested;
    if (folder.isEmpty() && holdsModFolder(programFolder))
        return programFolder;
    if (folder.isEmpty() && holdsModFolder(remembered.value(lastServerFolder).toString()))
        folder = remembered.value(lastServerFolder).toString();
    if (folder.isEmpty())
        folder = askForServerFolder();
    if (folder.isEmpty())
        return std::nullopt;
    folder = QDir(folder).absolutePath();
    // Written only when it changes: writing it would take longer than all the rest of the choice.
    if (holdsModFolder(folder) && remembered.value(lastServerFolder).toString() != folder)
        remembered.setValue(lastServerFolder, folder);
    return folder;
}

void answerFolderQuestionsForTests(std::function<QString()> answer)
{
    folderAnswer = std::move(answer);
}
