// SetupForm.h: the installer's one window, TForm1.
#ifndef AUBADINE_SETUP_SETUPFORM_H
#define AUBADINE_SETUP_SETUPFORM_H

#include <QString>
#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace setup {

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);

  // Handlers, public so that tests can call them as the buttons do.
  void FormCreate();
  void Button1Click();  // "Установить"
  void Button2Click();  // "Отмена" / "Готово"
  void Button3Click();  // "Обзор..."

  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QLabel* Label1 = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QLabel* LabeledEdit1Label = nullptr;
  QLineEdit* LabeledEdit1 = nullptr;
  QPushButton* Button3 = nullptr;
  QCheckBox* CheckBox1 = nullptr;

  const QString& SourceDir() const { return FSourceDir; }
  const QString& TargetDir() const { return FTargetDir; }

 private:
  QString FSourceDir;  // the current directory at creation: the package is looked for there
  QString FTargetDir;  // the target folder with a trailing '/', set when installing
};

}  // namespace setup

#endif
