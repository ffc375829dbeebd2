// MessageBox.h: the installer's one way of telling the user something: a modal message box.
// Tests replace the function so that every message can be checked without a person.
#ifndef AUBADINE_SETUP_MESSAGEBOX_H
#define AUBADINE_SETUP_MESSAGEBOX_H

#include <QString>

class QWidget;

namespace setup {

using TMessageBoxFn = void (*)(QWidget* parent, const QString& caption, const QString& text);

// Shows `text` in a modal box with an error icon and an OK button, through the current function.
void ShowError(QWidget* parent, const QString& text);

// Replaces the function that shows messages; returns the previous one.
TMessageBoxFn SetMessageBoxFunction(TMessageBoxFn fn);

}  // namespace setup

#endif
