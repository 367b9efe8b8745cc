#pragma once

#include <QString>

#include <functional>
#include <optional>

// The folder of the dedicated server Quillmont works in: the one asked for on the command line;
// else the program's own folder when it holds tfc; else the one used last, if it still holds tfc;
// else the one the operator chooses. None when the operator declines to choose one. A folder that
// holds tfc is remembered for the next start.
std::optional<QString> chooseServerFolder(const QString& requested, const QString& programFolder);

// Tests answer the question for the folder instead of the operator; an empty function asks again.
void answerFolderQuestionsForTests(std::function<QString()> answer);
