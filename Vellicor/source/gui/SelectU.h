#pragma once
// "Select file:": the inside of one HPI archive as a folder tree and a file list, from which
// the user picks one or more files. The archive is mounted into a private file system of the
// dialog's own, so nothing of it stays mounted after the dialog closes.
#include <QDialog>

#include <QSet>
#include <QStringList>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "ArchiveEditActionsU.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class TDirEntry;
class TEntry;
class TFileEntry;
class TFileSystem;

// Per folder node: its folder, the listing order of its files and its sort state.
struct TSortInfo {
  TDirEntry* Entry = nullptr;      // null: a folder that exists only in the unsaved changes
  std::string Path;                // inside the archive, '/' between names; "" for the root
  std::vector<std::string> Names;  // listing order
  uint8_t SortColumn = 0;          // 0 none, 1 name, 2 size, 3 type
  uint8_t SortOrder = 0;           // 0 listing order, 1 ascending, 2 descending
};

class TPaletteModel;

// While the archive is open its entries can be changed (the tool bar's commands, F2, Del,
// Ctrl+S, files dropped on the list); changed entries are marked in the lists and the caption
// shows "*" until the changes are saved.
class TSelectFileInHpi : public QDialog, public IArchiveEditHost {
  Q_OBJECT
 public:
  explicit TSelectFileInHpi(QWidget* parent = nullptr);
  ~TSelectFileInHpi() override;

  QString ArchiveName;
  QString Filter;
  QStringList Results;
  bool Accepted = false;
  bool MultipleSelection = false;
  // The palette previews are drawn with; none: the built-in one.
  const TPaletteModel* Palettes = nullptr;

  // The activation work of one show (mount and fill); false when the file is not an archive
  // (the dialog then closes itself).
  bool FormActivate();
  // Re-arms the activation for the next show.
  void Arm() { FArmed = true; }
  // Why the last activation could not read the archive (the dialog then closed itself).
  std::exception_ptr Failure;

  // Handlers, public so tests can drive them.
  void DirViewClick(QTreeWidgetItem* node);
  void DirViewExpanding(QTreeWidgetItem* node);
  void FileViewColumnClick(int column);
  void SearchFilterChange();
  int Compare(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const;
  TSortInfo* CurrentSortInfo() const { return FCurrentSortInfo; }
  TFileEntry* RowEntry(const QTreeWidgetItem* row) const;

  // The first frame of the Quv file chosen last, shown under the tree; a text when the file
  // shows nothing (not a Quv file, broken) or no single file is chosen.
  void UpdatePreview();
  // "Extract…": the chosen files, or when none is chosen the listed folder with all below it,
  // written to a folder asked for, with a progress dialog whose Abort stops after the file in
  // hand. Names that would leave the folder and entries that cannot be read are skipped and
  // told afterwards. The number of files written.
  int ExtractButtonClick();
  int ExtractTo(const QString& folder);

  QTreeWidget* DirView;
  QTreeWidget* FileView;
  QLabel* Preview;
  QPushButton* ExtractButton;
  QLabel* EmptyListLbl;  // over the list while the listed folder has no matching file
  QLineEdit* SearchFilter;
  QPushButton* OkButton;
  QPushButton* CancelButton;
  QToolBar* EditBar;
  TArchiveEditActions* EditActions;

  // IArchiveEditHost: the listed folder and the chosen rows.
  QString CurrentArchiveFolder() const override;
  QStringList ChosenArchiveEntries() const override;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  void FillFolderNode(QTreeWidgetItem* node, TDirEntry* folder);
  void FillFileList(TDirEntry* folder);
  void ClearFileList();
  void FileViewSelectionChanged();
  void AcceptListedChoice();  // "Ok" and a double-click
  void OnClose();
  // Mounts the archive into the private file system and shows its tree; false when it is none.
  bool MountAndShow();
  // After a change: the tree and list as the changes leave them, or after a save the archive
  // mounted anew; the listed folder stays listed where it still exists.
  void ShowEdits();
  void FillEditedTree();
  void FillEditedFileList(const std::string& folder);
  QTreeWidgetItem* NodeOfPath(const std::string& path) const;
  void UpdateCaption();
  bool Editing() const;  // the lists show the unsaved changes
  // What "Extract…" writes: each file with the node its path inside the folder starts below.
  std::vector<std::pair<TFileEntry*, const TEntry*>> ExtractChoice() const;
  struct TExtractReport {
    int Written = 0;
    int Left = 0;  // not reached, after an Abort
    QStringList Refused, Failed;
  };
  void ShowExtractReport(const QString& folder, const TExtractReport& report);

  std::unique_ptr<TFileSystem> FFileSystem;
  std::map<QTreeWidgetItem*, std::unique_ptr<TSortInfo>> FNodeInfo;
  TSortInfo* FCurrentSortInfo = nullptr;
  QTreeWidgetItem* FListedNode = nullptr;  // the node whose files the list shows
  QSet<QTreeWidgetItem*> FSelectedRows;
  bool FSelectConnected = false;
  bool FArmed = false;
};

// Shows the picker for one archive. True when files were chosen: `results` then holds their
// paths inside the archive and `filter` the search filter as the user left it; otherwise both
// stay untouched. With an owner the dialog is made on first use and kept; without one it lives
// for this call. An archive that cannot be read raises its error once the dialog has gone.
bool SelectFilesInHpi(QString& filter, QStringList& results, const QString& archiveName,
                      bool multipleSelection, QWidget* owner = nullptr,
                      const TPaletteModel* palettes = nullptr);
// The kept picker (made on first use, owned by `owner`; null without one made).
TSelectFileInHpi* SelectFileInHpiDialog(QWidget* owner = nullptr);
