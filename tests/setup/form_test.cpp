// The installer window on Qt's offscreen platform: layout, buttons, messages, folder chooser.
#include "BrowseForFolder.h"
#include "Installer.h"
#include "MessageBox.h"
#include "PackageFixture.h"
#include "SetupForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace setup;
using namespace setup_test;

namespace {

std::vector<QString> gMessages;

void RecordMessage(QWidget*, const QString& caption, const QString& text) {
  gMessages.push_back(caption + ": " + text);
}

class Form : public ::testing::Test {
 public:
  QTemporaryDir root;
  QString source, programFiles, config, oldCwd;

  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    source = root.filePath("media");
    programFiles = root.filePath("Program Files");
    config = root.filePath("config");
    QDir().mkpath(source);
    QDir().mkpath(programFiles);
    oldCwd = QDir::currentPath();
    QDir::setCurrent(source);
    qputenv("programfiles", programFiles.toUtf8());
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    gMessages.clear();
    SetMessageBoxFunction(&RecordMessage);
  }
  void TearDown() override {
    SetMessageBoxFunction(nullptr);
    QDir::setCurrent(oldCwd);
  }
};

TEST_F(Form, ComponentsSitWhereTheyBelong) {
  TForm1 form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Установка программы"));
  EXPECT_EQ(form.size(), QSize(536, 341));
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the border cannot be resized";
  struct Place {
    QWidget* widget;
    QRect rect;
    QString text;
  };
  const std::vector<Place> places = {
      {form.Image1, {8, 56, 97, 241}, {}},
      {form.Image2, {8, 8, 521, 49}, {}},
      {form.Panel1, {8, 304, 521, 3}, {}},
      {form.Button1, {448, 312, 75, 25}, QStringLiteral("Установить")},
      {form.Button2, {360, 312, 75, 25}, QStringLiteral("Отмена")},
      {form.LabeledEdit1, {120, 88, 329, 21}, {}},
      {form.Button3, {456, 88, 75, 25}, QStringLiteral("Обзор...")},
      {form.CheckBox1, {120, 136, 209, 17}, QStringLiteral("Создать ярлык в автозагрузке")},
  };
  for (const Place& p : places) {
    EXPECT_EQ(p.widget->geometry(), p.rect) << p.widget->metaObject()->className();
    if (auto* b = qobject_cast<QAbstractButton*>(p.widget); b && !p.text.isNull()) {
      EXPECT_EQ(b->text(), p.text);
    }
  }
  EXPECT_EQ(form.Label1->pos(), QPoint(16, 316));
  EXPECT_EQ(form.LabeledEdit1Label->text(), QStringLiteral("Выберите папку для установки:"));
  EXPECT_FALSE(form.Image1->pixmap().isNull());
  EXPECT_FALSE(form.Image2->pixmap().isNull());
  EXPECT_TRUE(form.CheckBox1->isChecked());

  // Tab order: install, cancel, folder, browse, check box.
  const std::vector<QWidget*> chain = {form.Button1, form.Button2, form.LabeledEdit1, form.Button3, form.CheckBox1};
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    QWidget* next = chain[i]->nextInFocusChain();
    while (next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
    EXPECT_EQ(next, chain[i + 1]) << i;
  }
}

TEST_F(Form, CreationTakesTheSourceAndDefaultFolders) {
  TForm1 form;
  EXPECT_EQ(form.SourceDir(), source);
  EXPECT_EQ(form.LabeledEdit1->text(), programFiles);
  qunsetenv("programfiles");
  TForm1 plain;
  EXPECT_EQ(plain.LabeledEdit1->text(), QDir::homePath() + "/.local/opt");
}

TEST_F(Form, InstallEndsWithDoneAndTheDefaultFolderTakesTheFilesStraightIn) {
  ASSERT_TRUE(WriteFile(source + "/data.dat", MakePackage({{"Lirren", "#!/bin/sh\n"}})));
  TForm1 form;
  form.Button1->click();
  EXPECT_TRUE(gMessages.empty()) << gMessages.front().toStdString();
  EXPECT_FALSE(form.Button1->isEnabled());
  EXPECT_EQ(form.Button2->text(), QStringLiteral("Готово"));
  EXPECT_EQ(form.TargetDir(), programFiles + "/");
  EXPECT_TRUE(QFileInfo(programFiles + "/Lirren").isExecutable());
  EXPECT_TRUE(ReadFile(AutostartFile(config)).contains("Exec=\"" + programFiles.toUtf8() + "/Lirren\"\n"));

  form.show();
  form.Button2->click();
  EXPECT_FALSE(form.isVisible());
}

TEST_F(Form, FailuresLeaveTheWindowReadyForAnotherTry) {
  const QString package = source + "/data.dat";
  struct Attempt {
    const char* what;
    QByteArray bytes;  // empty: no package at all
    QString named;
  };
  QByteArray truncated = MakePackage({{"Lirren", Pattern(30000)}});
  truncated.chop(1);
  const std::vector<Attempt> attempts = {
      {"no package", {}, package},
      {"truncated package", truncated, package},
      {"hostile name", MakePackage({{"../../x", "x"}}), package},
  };
  TForm1 form;
  form.CheckBox1->setChecked(false);
  for (const Attempt& a : attempts) {
    SCOPED_TRACE(a.what);
    QFile::remove(package);
    if (!a.bytes.isEmpty()) {
      ASSERT_TRUE(WriteFile(package, a.bytes));
    }
    gMessages.clear();
    form.Button1->click();
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_TRUE(gMessages[0].contains(a.named)) << gMessages[0].toStdString();
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_EQ(form.Button2->text(), QStringLiteral("Отмена"));
    EXPECT_FALSE(QFileInfo::exists(programFiles + "/Lirren"));
  }
  ASSERT_TRUE(WriteFile(package, MakePackage({{"Lirren", Pattern(30000)}})));
  gMessages.clear();
  form.Button1->click();
  EXPECT_TRUE(gMessages.empty());
  EXPECT_EQ(ReadFile(programFiles + "/Lirren"), Pattern(30000));
  EXPECT_FALSE(QFileInfo::exists(AutostartFile(config)));
}

// Runs `check` on the folder chooser once it is up, then closes it with `accept`.
void WhenChooserOpens(std::function<void(TBrowseDialog*)> check, bool accept) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<TBrowseDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    check(dialog);
    accept ? dialog->accept() : dialog->reject();
  });
}

TEST_F(Form, ChooserStartsAtProgramFilesAndPreselectsOnlyAnExistingFolder) {
  QDir().mkpath(programFiles + "/Velkor/Aubadine");
  TForm1 form;

  form.LabeledEdit1->setText(programFiles + "/Velkor/Aubadine");
  WhenChooserOpens([&](TBrowseDialog* d) {
    EXPECT_EQ(d->RootFolder(), programFiles);
    EXPECT_EQ(d->SelectedFolder(), programFiles + "/Velkor/Aubadine");
  }, false);
  form.Button3->click();
  EXPECT_EQ(form.LabeledEdit1->text(), programFiles + "/Velkor/Aubadine") << "cancel keeps the text";

  form.LabeledEdit1->setText(programFiles + "/Missing");
  WhenChooserOpens([&](TBrowseDialog* d) {
    EXPECT_EQ(d->SelectedFolder(), QString());
    d->SelectFolder(programFiles + "/Velkor");
  }, true);
  form.Button3->click();
  EXPECT_EQ(form.LabeledEdit1->text(), programFiles + "/Velkor");

  // Folders outside the tree cannot be chosen.
  form.LabeledEdit1->setText(root.path());
  WhenChooserOpens([&](TBrowseDialog* d) { EXPECT_EQ(d->SelectedFolder(), QString()); }, true);
  form.Button3->click();
  EXPECT_EQ(form.LabeledEdit1->text(), programFiles) << "nothing selected: the tree's top";
}

}  // namespace

int main(int argc, char** argv) {
  // Test discovery runs without the suite's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
