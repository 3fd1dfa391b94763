#pragma once

#include <QString>
#include <functional>

class QMessageBox;

namespace qby::testing {

// Waits (from the event loop) for a modal message box to be shown, lets `inspect` look at it,
// then presses its button titled `title` (as the user reads it). An empty title closes the box
// through its window instead. Gives up after five seconds.
void pressWhenShown(const QString& title, std::function<void(QMessageBox&)> inspect = nullptr);

// The button text as shown, with the "&&" that keeps an ampersand literal undone.
QString shownText(const QString& buttonText);

}  // namespace qby::testing
