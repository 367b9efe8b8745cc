#pragma once

#include <QString>

#include <functional>

class QMessageBox;

// Tells the operator something: a modal box with the text as it stands, an OK button, no icon and
// the caption "Quillmont". Returns once the operator has closed it.
void tellOperator(const QString& text);

// Tests take each box as it would be shown, instead of one that waits for a click; an empty
// function shows boxes again.
void interceptMessagesForTests(std::function<void(const QMessageBox&)> reader);
