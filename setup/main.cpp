// main.cpp: the installer's entry: one window, then the event loop until it closes.
#include "SetupForm.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  setup::TForm1 form;
  form.show();
  return app.exec();
}
