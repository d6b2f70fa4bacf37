#pragma once
// The game browser: a folder mounted as the game sees it (TGameFolder), shown as the merged
// folder tree on the left and, on the right, pages: "Files" lists the chosen folder's files
// with their origins and the copies they hide; other pages (thumbnails, search) join through
// AddPage. The mount runs on a worker thread ("Reading FOLDER…" meanwhile), so the window
// never waits for the disk. Choosing a file asks, through openRequested, for it to be opened
// as the archive picker hands files on: the archive as source and the archive's path joined
// with the inner path.
#include <QString>
#include <QWidget>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QAction;
class QLabel;
class QModelIndex;
class QStackedWidget;
class QTabWidget;
class QToolBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class TDirEntry;
class TFileEntry;
class TGameFileModel;
class TGameFolder;

class TGameBrowser : public QWidget {
  Q_OBJECT
 public:
  // Starts mounting folder at once; the caption is "Game — FOLDERNAME".
  explicit TGameBrowser(const QString& folder, QWidget* parent = nullptr);
  // Waits for a mount under way: the worker reads from the disk and must end first.
  ~TGameBrowser() override;

  QString Folder() const { return FFolder; }
  // True while a mount runs (the first or a remount).
  bool Mounting() const { return FMounting; }
  // The mounted game; null until the first mount is done. After `mounted` it is a new one: the
  // entries of the old stay valid only for those who keep the old pointer.
  std::shared_ptr<TGameFolder> Game() const { return FGame; }
  // The folder whose files are listed (the game's root after a mount).
  TDirEntry* CurrentFolder() const;
  // Lists folder (a folder of Game()) and marks it in the tree.
  void ShowFolder(TDirEntry* folder);
  // The files chosen in the list, hidden copies among them, in list order.
  std::vector<const TFileEntry*> SelectedFiles() const;
  // Mounts the folder again (after an archive in it changed); the folder shown stays when it
  // still exists, else its nearest ancestor that does.
  void Remount();
  // Opens file (or a folder row's folder) as Enter does on its row.
  void OpenFile(const TFileEntry& file);

  // Places for other parts: a page beside "Files" (its index), the tool bar for their actions.
  int AddPage(QWidget* page, const QString& title);
  QTabWidget* Pages() const { return FPages; }
  QToolBar* ToolBar() const { return FToolBar; }

  QTreeWidget* FolderTree() const { return FTree; }
  QTreeView* FileList() const { return FFileView; }
  TGameFileModel* Files() const { return FFiles; }
  QAction* ShowHiddenAction() const { return FShowHidden; }  // "Show hidden copies"
  QAction* OpenAction() const { return FOpen; }              // the context menu's "Open"
  QLabel* ReadingLabel() const { return FReading; }          // "Reading FOLDER…"

 signals:
  // A mount is done and its tree shown (the first and every remount).
  void mounted();
  // The folder could not be read; the message names it. The box has been shown.
  void mountFailed(const QString& message);
  void currentFolderChanged(TDirEntry* folder);
  // The files chosen in the list changed.
  void selectionChanged();
  // A Quv file to open in a view: as the picker's files, (archive or empty, path to open).
  void openRequested(const QString& source, const QString& fileName);

 private:
  // What a worker reports to: cleared when the browser goes, so that a late report is dropped.
  struct TMountJob {
    std::mutex Lock;
    TGameBrowser* Target = nullptr;
  };
  void CreateToolBar();
  void CreateTree();
  void CreateFileList();
  void StartMount();
  void MountDone(std::shared_ptr<TGameFolder> game, const QString& error);
  void ShowMountError(const QString& error);
  void FillTree(const QString& keptPath);
  void FillNode(QTreeWidgetItem* node);
  QTreeWidgetItem* NodeOf(TDirEntry* folder);
  void FolderChosen(QTreeWidgetItem* node);
  void RowActivated(const QModelIndex& index);
  void OpenChosen();
  void ShowContextMenu(const QPoint& at);
  void EndMountThread();

  QString FFolder;
  std::shared_ptr<TGameFolder> FGame;
  bool FMounting = false;
  bool FRemountAgain = false;  // asked for while a mount ran
  QString FKeptPath;           // the folder to show again after a remount
  std::shared_ptr<TMountJob> FJob;
  std::thread FThread;

  QToolBar* FToolBar = nullptr;
  QAction* FShowHidden = nullptr;
  QAction* FOpen = nullptr;
  QStackedWidget* FStack = nullptr;
  QLabel* FReading = nullptr;
  QTreeWidget* FTree = nullptr;
  QTabWidget* FPages = nullptr;
  QTreeView* FFileView = nullptr;
  TGameFileModel* FFiles = nullptr;
};
