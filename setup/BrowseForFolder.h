// BrowseForFolder.h: the folder chooser behind "Обзор...": a tree of folders that starts at a
// root folder, so only folders inside it can be chosen, opening on a proposed folder when
// that folder exists.
#ifndef AUBADINE_SETUP_BROWSEFORFOLDER_H
#define AUBADINE_SETUP_BROWSEFORFOLDER_H

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QTreeView;

namespace setup {

class TBrowseDialog : public QDialog {
  Q_OBJECT
 public:
  // `root` empty or missing: the whole file system. `proposed` empty: nothing preselected.
  TBrowseDialog(QWidget* parent, const QString& caption, const QString& root, const QString& proposed);

  QString RootFolder() const;      // the folder the tree starts at
  QString SelectedFolder() const;  // empty when nothing is selected
  void SelectFolder(const QString& path);
  QTreeView* Tree() const { return FTree; }

 private:
  QFileSystemModel* FModel;
  QTreeView* FTree;
};

// Shows the chooser modally. When the user picks a folder, `folder` receives it and the
// result is true. A proposed folder that does not exist is forgotten first.
bool BrowseForFolder(QWidget* parent, const QString& caption, const QString& root, QString& folder);

}  // namespace setup

#endif
