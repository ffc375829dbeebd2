// SetupForm.cpp: the installer window and its handlers.
#include "SetupForm.h"

#include "BrowseForFolder.h"
#include "Installer.h"
#include "MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

namespace setup {
namespace {

// The banner across the top: the product's name on a dusk-to-dawn gradient.
QPixmap BannerPicture() {
  QPixmap pixmap(521, 49);
  QPainter p(&pixmap);
  QLinearGradient sky(0, 0, 521, 0);
  sky.setColorAt(0.0, QColor(0x1d, 0x2b, 0x53));
  sky.setColorAt(0.6, QColor(0x7e, 0x4b, 0x8b));
  sky.setColorAt(1.0, QColor(0xf4, 0xa2, 0x61));
  p.fillRect(pixmap.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::white);
  QFont title(QStringLiteral("Sans Serif"), 16, QFont::Bold);
  p.setFont(title);
  p.drawText(QRect(16, 0, 400, 49), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Velkor Aubadine 1.0"));
  return pixmap;
}

// The picture at the side: a rising sun over waves of sound.
QPixmap SidePicture() {
  QPixmap pixmap(97, 241);
  QPainter p(&pixmap);
  QLinearGradient sky(0, 0, 0, 241);
  sky.setColorAt(0.0, QColor(0x1d, 0x2b, 0x53));
  sky.setColorAt(0.55, QColor(0xc0, 0x6c, 0x84));
  sky.setColorAt(1.0, QColor(0xf6, 0xcd, 0x8b));
  p.fillRect(pixmap.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xff, 0xe0, 0x8a));
  p.drawEllipse(QPointF(48.5, 170), 30, 30);
  p.setBrush(Qt::NoBrush);
  for (int wave = 0; wave < 4; ++wave) {
    QPainterPath path;
    const double y = 185 + wave * 13;
    path.moveTo(0, y);
    for (int x = 0; x <= 97; x += 12) path.quadTo(x + 3, y - 6 + (wave % 2) * 3, x + 6, y);
    p.setPen(QPen(QColor(255, 255, 255, 200 - wave * 40), 2));
    p.drawPath(path);
  }
  return pixmap;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Установка программы"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setFixedSize(536, 341);  // client area; a single border that cannot be resized
  setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
  move(192, 114);

  Image1 = new QLabel(this);
  Image1->setGeometry(8, 56, 97, 241);
  Image1->setPixmap(SidePicture());
  Image2 = new QLabel(this);
  Image2->setGeometry(8, 8, 521, 49);
  Image2->setPixmap(BannerPicture());

  Label1 = new QLabel(QStringLiteral("© 2026 Velkor. Все права защищены."), this);
  Label1->setFont(QFont(QStringLiteral("MS Sans Serif"), 9));
  Label1->move(16, 316);
  Label1->adjustSize();

  Panel1 = new QFrame(this);
  Panel1->setGeometry(8, 304, 521, 3);
  Panel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  Button1 = new QPushButton(QStringLiteral("Установить"), this);
  Button1->setGeometry(448, 312, 75, 25);
  Button2 = new QPushButton(QStringLiteral("Отмена"), this);
  Button2->setGeometry(360, 312, 75, 25);

  LabeledEdit1 = new QLineEdit(this);
  LabeledEdit1->setGeometry(120, 88, 329, 21);
  LabeledEdit1Label = new QLabel(QStringLiteral("Выберите папку для установки:"), this);
  LabeledEdit1Label->move(120, 72);
  LabeledEdit1Label->adjustSize();
  LabeledEdit1Label->setBuddy(LabeledEdit1);

  Button3 = new QPushButton(QStringLiteral("Обзор..."), this);
  Button3->setGeometry(456, 88, 75, 25);

  CheckBox1 = new QCheckBox(QStringLiteral("Создать ярлык в автозагрузке"), this);
  CheckBox1->setGeometry(120, 136, 209, 17);
  CheckBox1->setChecked(true);

  setTabOrder(Button1, Button2);
  setTabOrder(Button2, LabeledEdit1);
  setTabOrder(LabeledEdit1, Button3);
  setTabOrder(Button3, CheckBox1);
  Button1->setFocus();

  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);

  FormCreate();
}

void TForm1::FormCreate() {
  FSourceDir = QDir::currentPath();
  LabeledEdit1->setText(DefaultFolder());
}

void TForm1::Button3Click() {
  QString folder = LabeledEdit1->text();
  if (BrowseForFolder(this, QStringLiteral("Выберите папку:"), DefaultFolder(), folder))
    LabeledEdit1->setText(folder);
}

void TForm1::Button1Click() {
  TInstallRequest request;
  request.sourceDir = FSourceDir;
  request.folderText = LabeledEdit1->text();
  request.createAutostart = CheckBox1->isChecked();
  request.configHome = ConfigHome();
  request.runtimeDir = RuntimeDir();
  request.runtimeFiles = RuntimeFiles();

  // The installation runs inside the click, as one step the user waits for.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const TInstallResult result = RunInstall(request);
  QGuiApplication::restoreOverrideCursor();
  FTargetDir = result.targetDir;
  if (!result.ok) {
    // Everything done so far stays; the buttons keep their state for another try.
    ShowError(this, result.error);
    return;
  }
  Button1->setEnabled(false);
  Button2->setText(QStringLiteral("Готово"));
}

void TForm1::Button2Click() { close(); }

}  // namespace setup
