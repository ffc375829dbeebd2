// MessageBox.cpp: the modal message box behind ShowError.
#include "MessageBox.h"

#include <QMessageBox>

namespace setup {
namespace {

void ModalBox(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox::critical(parent, caption, text);
}

TMessageBoxFn gMessageBox = &ModalBox;

}  // namespace

void ShowError(QWidget* parent, const QString& text) {
  gMessageBox(parent, QStringLiteral("Ошибка"), text);
}

TMessageBoxFn SetMessageBoxFunction(TMessageBoxFn fn) {
  TMessageBoxFn previous = gMessageBox;
  gMessageBox = fn ? fn : &ModalBox;
  return previous;
}

}  // namespace setup
