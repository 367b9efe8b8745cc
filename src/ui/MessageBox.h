#pragma once

#include <QMessageBox>

#include <functional>
#include <optional>

// Tells the operator that something was done, or why it was not: a modal box with the text as it
// stands, an information or a warning icon, an OK button and the caption "Quillmont". Returns
// once the operator has closed it.
void showConfirmation(const QString& text);
void showFailure(const QString& text);

// Asks the operator a question with Yes and No; No is Escape's answer too.
bool askOperator(const QString& question);

// Asks whether to save before something ends, with Save, Don't Save and Cancel; Cancel is
// Escape's answer too.
QMessageBox::StandardButton askToSave(const QString& question);

// Tests take each box as it would be shown, and give the button the operator would press,
// instead of a box that waits for a click; an empty function shows boxes again.
void interceptMessagesForTests(std::function<QMessageBox::StandardButton(QMessageBox&)> reader);
