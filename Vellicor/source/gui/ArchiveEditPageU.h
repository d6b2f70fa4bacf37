#pragma once
// The "Archive" page of the game browser: one archive of the game chosen for editing, the
// browser's current folder listed as that archive will hold it after the pending changes (each
// changed entry marked), and the editing commands with their tool bar. Files and folders
// dropped on the list are added to that folder. Saving rewrites the archive; the browser then
// mounts the game again.
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ArchiveEditActionsU.h"

class QComboBox;
class QLabel;
class QTreeWidget;
class TGameFolder;

class TArchiveEditPage : public QWidget, public IArchiveEditHost {
  Q_OBJECT
 public:
  explicit TArchiveEditPage(QWidget* parent = nullptr);
  ~TArchiveEditPage() override;

  // The archives of a freshly mounted game, for the chooser (null: none). The archive being
  // edited stays chosen while it is still there; else the first is taken up once the page shows.
  void SetGame(const TGameFolder* game);
  // The folder to list and to add to: a tree path of the game ('\\' or '/' between names).
  void SetFolder(const QString& treePath);
  // Edits this archive (a disk path among the chooser's); false, told, when it cannot be read.
  bool ChooseArchive(const QString& archive);
  QString Archive() const;
  // Before the browser closes: "Save changes to NAME?" while changes wait. True to go on.
  bool AskToSave();
  bool Modified() const { return FActions->Modified(); }

  TArchiveEditActions* Actions() const { return FActions; }
  QComboBox* ArchiveChooser() const { return FChooser; }
  QTreeWidget* EntryList() const { return FList; }

  QString CurrentArchiveFolder() const override { return FFolder; }
  QStringList ChosenArchiveEntries() const override;

 signals:
  // Changes appeared or went (the browser shows "*" in its caption while true).
  void modifiedChanged(bool modified);
  // The archive was rewritten: what the game shows is out of date.
  void archiveSaved();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ChooserActivated(int index);
  void TakeFirstArchive();
  void FillList();

  TArchiveEditActions* FActions = nullptr;
  QComboBox* FChooser = nullptr;
  QLabel* FNote = nullptr;
  QTreeWidget* FList = nullptr;
  QString FFolder;          // inner path, '/' between names, "" for the root
  bool FSwitching = false;  // while another archive is taken up
  bool FModified = false;
};
