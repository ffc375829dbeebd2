// BrowseForFolder.cpp: the folder chooser (see BrowseForFolder.h).
#include "BrowseForFolder.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace setup {

TBrowseDialog::TBrowseDialog(QWidget* parent, const QString& caption, const QString& root,
                             const QString& proposed)
    : QDialog(parent), FModel(new QFileSystemModel(this)), FTree(new QTreeView(this)) {
  setWindowTitle(QStringLiteral("Обзор папок"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(caption, this));

  const QString start = (!root.isEmpty() && QFileInfo(root).isDir()) ? QDir(root).absolutePath()
                                                                     : QDir::rootPath();
  FModel->setFilter(QDir::Dirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
  FModel->setReadOnly(true);
  FModel->setRootPath(start);
  FTree->setModel(FModel);
  FTree->setRootIndex(FModel->index(start));
  FTree->setHeaderHidden(true);
  for (int column = 1; column < FModel->columnCount(); ++column) FTree->hideColumn(column);
  layout->addWidget(FTree);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(320, 380);

  if (!proposed.isEmpty()) SelectFolder(proposed);
}

QString TBrowseDialog::RootFolder() const { return FModel->filePath(FTree->rootIndex()); }

QString TBrowseDialog::SelectedFolder() const {
  // The selection, not the current item: a view gives itself a current item on focus
  // without the user choosing it.
  const QModelIndexList rows = FTree->selectionModel()->selectedRows();
  return rows.isEmpty() ? QString() : FModel->filePath(rows.front());
}

void TBrowseDialog::SelectFolder(const QString& path) {
  const QString absolute = QDir(path).absolutePath();
  const QString root = RootFolder();
  // Only folders inside the tree can be chosen.
  const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
  if (absolute != root && !absolute.startsWith(prefix)) return;
  const QModelIndex index = FModel->index(absolute);
  if (!index.isValid()) return;
  FTree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  FTree->scrollTo(index);
}

bool BrowseForFolder(QWidget* parent, const QString& caption, const QString& root, QString& folder) {
  const QString proposed = (!folder.isEmpty() && QFileInfo(folder).isDir()) ? folder : QString();
  TBrowseDialog dialog(parent, caption, root, proposed);
  if (dialog.exec() != QDialog::Accepted) return false;
  // With nothing selected the tree's own top folder is the choice.
  const QString chosen = dialog.SelectedFolder();
  folder = chosen.isEmpty() ? dialog.RootFolder() : chosen;
  return true;
}

}  // namespace setup
