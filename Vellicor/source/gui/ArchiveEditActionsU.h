#pragma once
// The editing commands of one open archive, for any window that lists it: Add Files…, Add
// Folder…, Replace File…, Rename… (F2), Delete (Del), New Folder…, the compression of new
// entries and Save Archive (Ctrl+S). They act on the pending changes (TArchiveEdits) and on
// what the hosting window shows: its current folder and its chosen entries. Nothing reaches
// the disk before Save.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QAction;
class QActionGroup;
class QDropEvent;
class QMimeData;
class QToolBar;
class QTreeWidgetItem;
class QWidget;
struct TEditedEntry;
class TArchiveEdits;

// What the hosting window tells the actions.
class IArchiveEditHost {
 public:
  virtual ~IArchiveEditHost() = default;
  // The inner path of the folder the window shows ("" for the root; '/' between names).
  virtual QString CurrentArchiveFolder() const = 0;
  // The inner paths of the entries chosen in the window (files or folders).
  virtual QStringList ChosenArchiveEntries() const = 0;
};

class TArchiveEditActions : public QObject {
  Q_OBJECT
 public:
  // window: the host's window; dialogs are its children and the shortcuts work while it is
  // active (the actions are added to it).
  TArchiveEditActions(IArchiveEditHost& host, QWidget* window);
  ~TArchiveEditActions() override;

  // Starts editing an archive (its listing is read; raises as TArchiveEdits does), or stops
  // with an empty name. Pending changes of the previous archive are dropped: ask first.
  void SetArchive(const QString& archive);
  // The pending changes (null while no archive is set).
  TArchiveEdits* Edits() const { return FEdits.get(); }
  bool Modified() const;

  QAction* AddFilesAction;
  QAction* AddFolderAction;
  QAction* ReplaceAction;
  QAction* RenameAction;  // F2
  QAction* DeleteAction;  // Del
  QAction* NewFolderAction;
  QAction* SaveAction;        // Ctrl+S
  QActionGroup* Compression;  // "None", "LZ77" (the default), "zlib": checkable, one checked

  // All the actions in a tool bar, the compression as a drop-down button.
  void AddTo(QToolBar* bar);
  // Enables the actions for the host's current choice; the host calls it when its choice
  // changes.
  void UpdateActions();

  // Drops from the desktop: true when the data holds local files or folders (accept the drag);
  // Drop adds them to the host's current folder and tells what failed.
  static bool CanDrop(const QMimeData* data);
  bool Drop(const QMimeData* data);
  // Adds disk files and folders to an inner folder; failures are told in one message.
  void AddPaths(const QStringList& paths, const QString& innerFolder);

  // Saves; a failure is told and the changes stay. True when saved (or nothing pending).
  bool Save();
  // Before the host closes or opens another archive: "Save changes to NAME?" while modified.
  // True when it may go on (saved or discarded).
  bool AskToSave();

 signals:
  // The listing changed (a change made, or the archive saved): the host lists it again.
  void listingChanged();
  // Pending changes appeared or went (saved): the host shows "*" in its caption while true.
  void modifiedChanged(bool modified);

 private:
  void CreateActions(QWidget* window);
  void AddFiles();
  void AddFolder();
  void ReplaceFile();
  void RenameEntry();
  void DeleteEntries();
  void NewFolder();
  // Runs one change; a refusal is told. Signals what changed.
  template <class TChange>
  bool Change(const QString& caption, const TChange& change);
  void ShowError(const QString& caption, const QString& text);

  IArchiveEditHost& FHost;
  QWidget* FWindow;
  std::unique_ptr<TArchiveEdits> FEdits;
  bool FWasModified = false;
};

// An entry the unsaved changes touch, in a list of an archive: bold, told in its tool tip
// (column 1 keeps its own); a deleted one struck out and not choosable.
void MarkEditedItem(QTreeWidgetItem* item, const TEditedEntry& entry);
