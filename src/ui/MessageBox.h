#pragma once

#include <QString>

#include <functional>

// Tells the operator something: a modal box with the text, an OK button, no icon and the caption
// "Quillmont". Returns once the operator has closed it.
void tellOperator(const QString& text);

// Tests take the messages here instead of a box that waits for a click; an empty function shows
// boxes again.
void interceptMessagesForTests(std::function<void(const QString&)> reader);
