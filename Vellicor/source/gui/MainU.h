#pragma once
// The main window: an MDI frame whose children are TQuvView windows, one per open Quv file. It
// owns the process-wide objects (console, file system with the HPI loader), the settings and
// palette models, and assembles the units that do its jobs: the commands (TMainActions), the
// menus (TMainMenus), the palette commands, the arrangement of the child windows and the roads
// by which files come to be opened (TFileOpener). It opens each file in a view of its own and
// runs the load and close batches as their host.
#include <QMainWindow>
#include <QMdiArea>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <exception>
#include <memory>

#include "ImageManagerU.h"
#include "MainActionsU.h"
#include "MainMenusU.h"
#include "QuvProgressU.h"
#include "SettingsModelU.h"

class QLabel;
class QMdiSubWindow;
class TQuvView;
class TFileSystem;
class TAboutBox;
class TFileOpener;
class TGameBrowser;
class TKeysHelp;
class TPaletteCommands;
class TPaletteModel;
class TQuvCloser;
class TWindowArranger;

class TMainForm : public QMainWindow, public IQuvBatchHost, public TMainActions {
  Q_OBJECT
 public:
  // `settingsFile` empty: "Vellicor.ini" beside the program (or the per-user one when the
  // program's folder cannot be written). Tests pass a file of their own.
  explicit TMainForm(const QString& settingsFile = QString(), QWidget* parent = nullptr);
  ~TMainForm() override;

  // state
  bool Activated = false;
  bool Terminating = false;  // set once the user chose to end the program

  TSettingsModel* Settings() const { return FSettings; }
  TPaletteModel* Palettes() const { return FPalettes; }
  TMainMenus* Menus() const { return FMenus; }
  TPaletteCommands* PaletteCommands() const { return FPaletteCommands; }
  TWindowArranger* Arranger() const { return FArranger; }
  TFileOpener* Opener() const { return FOpener; }

  QMdiArea* MdiArea = nullptr;
  QLabel* EmptyHint = nullptr;  // in the client area while no view is open
  QTimer* Timer = nullptr;

  // operations
  TQuvView* OpenQuvFile(const QString& source, const QString& fileName) override;
  // The folder in a game browser of its own, a child window beside the views; its files open
  // in views as the archive picker's do. A folder that cannot be read is told and the browser
  // closes.
  TGameBrowser* OpenGameFolder(const QString& folder);
  // File ▸ Open Game Folder…: the folder dialog, then OpenGameFolder.
  void OpenGameFolderWithDialog();
  QList<TGameBrowser*> GameBrowsers() const;  // every open browser, in MDI order
  void LoadSettings();
  // A change of the window's size or state: written once the settings are loaded and the
  // change has settled.
  void WindowSaveSettings();
  void ProcessPendingWindowMenu(int count) override { FMenus->ProcessPendingWindowMenu(count); }
  bool ResolveArchivePath(const QString& path, const QString& innerPath, QString& archiveFile,
                          QString& innerOut);
  // A programming error: the "Error at:" dialog (Enter keeps working); a data error (a damaged
  // file, a failing disk): a plain box.
  void ApplicationException(const std::exception& error);
  QList<TQuvView*> Views() const;  // every open view window, in MDI order
  TQuvView* ActiveView() const override;
  QList<QMdiSubWindow*> ChildWindows() const override;
  QString ProgramFolder() const;  // folder of the program file
  QString SettingsFileName() const;
  void SetStatusText(const QString& text);
  QString StatusText() const;
  TFileSystem* FileSystem() const { return FFileSystem.get(); }
  bool LoadingQuvs() const;
  void SetLoadingQuvs(bool on) override;
  void QueueWindowMenuEntry(TQuvView* view) override { FMenus->QueueWindowMenuEntry(view); }
  bool IsTerminating() const override { return Terminating; }

  // Runs the first-activation work now (settings, command-line files and game folders); once.
  void FirstActivation(const QStringList& commandLineFiles,
                       const QStringList& gameFolders = QStringList());
  // One tick of the 1000 ms timer.
  void TimerTimer();

  void ShowSettingsDialog();  // acSettings
  void ShowAboutBox();        // acAbout
  void ShowKeysHelp();        // acKeysHelp: not modal, kept
  // WindowCloseAll1; false when the user kept a changed file open (and the views after it).
  bool CloseAllViews();
  TQuvCloser* QuvCloser();

  // True when the settings file did not exist when the window was made.
  bool FirstRun() const { return FFirstRun; }
  // Ends the program in order: settings written, every event loop stopped; the views close when
  // the main window goes.
  void Terminate();

 signals:
  void ViewOpened(TQuvView* view);
  // A game browser was made (its mount under way): the place to add its pages and actions.
  void GameBrowserOpened(TGameBrowser* browser);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateParts();
  void ConnectCommands();
  void PlaceOnFirstStart();
  void CreateProcessObjects();
  void CreateClientArea();  // the MDI area with the hint shown while it is empty
  void CreateStatusBar();
  void CreateTimers();
  void ActiveChildChanged(QMdiSubWindow* child);
  QMdiSubWindow* AddChild(TQuvView* view, const QString& fileName);
  void ConnectView(TQuvView* view);
  void ShowExportDialog(TQuvView* view);
  void ApplyStoredPlacement();
  TWindowPlacement CurrentPlacement() const;
  void FreshLoader();
  void CopyColumnWidths(TQuvView* view);
  void UpdateEmptyHint();

  TSettingsModel* FSettings = nullptr;
  TPaletteModel* FPalettes = nullptr;
  TMainMenus* FMenus = nullptr;
  TPaletteCommands* FPaletteCommands = nullptr;
  TWindowArranger* FArranger = nullptr;
  TFileOpener* FOpener = nullptr;
  bool FFirstRun = false;
  bool FActivationDone = false;
  bool FClosing = false;
  std::unique_ptr<TFileSystem> FFileSystem;
  class TConsole* FOwnConsole = nullptr;
  QLabel* FStatusLabel = nullptr;
  uint64_t FLastMemory = UINT64_MAX;
  QTimer* FWindowSaveTimer = nullptr;  // one write per move, resize or state change
  TAboutBox* FAboutBox = nullptr;
  TKeysHelp* FKeysHelp = nullptr;
  TQuvCloser* FQuvCloser = nullptr;
};
