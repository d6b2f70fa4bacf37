#pragma once
// The main window: an MDI frame whose children are TQuvView windows, one per open Quv file. It
// owns the process-wide objects (console, file system with the HPI loader, palette), the
// settings model, the commands and menus (the history in the File menu, the active view's
// exports in "Image Manipulation", one entry per view in "Window"), and runs the load and
// close batches as their host.
#include <QAction>
#include <QHash>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "ImageManagerU.h"
#include "QuvProgressU.h"
#include "SettingsModelU.h"

class QLabel;
class QMimeData;
class QMdiSubWindow;
class QToolBar;
class QToolButton;
class TQuvView;
class TFileSystem;
class TAboutBox;
class TKeysHelp;
class TQuvLoader;
class TQuvCloser;
class TSettingsModel;
class TSingleInstanceServer;

// A history entry of the File menu: clicking it opens FileName.
class TMyMenuItem : public QAction {
  Q_OBJECT
 public:
  TMyMenuItem(const QString& fileName, QObject* parent);
  QString FileName;
};

class TMainForm : public QMainWindow, public IQuvBatchHost {
  Q_OBJECT
 public:
  // `settingsFile` empty: "Vellicor.ini" beside the program (or the per-user one when the
  // program's folder cannot be written). Tests pass a file of their own.
  explicit TMainForm(const QString& settingsFile = QString(), QWidget* parent = nullptr);
  ~TMainForm() override;

  // state
  bool Activated = false;
  bool NextChildRequested = false;
  bool PreviousChildRequested = false;
  bool Terminating = false;  // set once the user chose to end the program
  std::deque<TQuvView*> PendingWindowMenu;

  TSettingsModel* Settings() const { return FSettings; }

  // actions
  QAction *acOpenQuv = nullptr, *WindowClose1 = nullptr, *WindowCloseAll1 = nullptr,
          *acQuit = nullptr, *acAbout = nullptr, *acSettings = nullptr,
          *acAutoSelect1stImage = nullptr, *acAnimate = nullptr, *acViewSubFrames = nullptr,
          *acAutoCentre = nullptr, *acTransparent = nullptr, *acPreLoad = nullptr,
          *acAutoPad = nullptr, *acAutoPadUsingSelectedFrames = nullptr,
          *acExportFrameWhenExportFrameData = nullptr;
  // The viewer's own commands: tabs, palettes, selecting every image of the list.
  QAction *acTabs = nullptr, *acLoadPalette = nullptr, *acBuiltInPalette = nullptr,
          *acTransparentIndex = nullptr, *acSelectAll = nullptr;
  QAction *acNewQuv = nullptr, *acSave = nullptr, *acSaveAs = nullptr;
  QAction* acKeysHelp = nullptr;  // Help ▸ Keys and Mouse (F1)
  QAction *WindowCascade1 = nullptr, *WindowTileHorizontal1 = nullptr,
          *WindowTileVertical1 = nullptr, *WindowArrangeAll1 = nullptr,
          *WindowMinimizeAll1 = nullptr, *WindowMaximizeAll1 = nullptr;
  QMenu* FileMenu = nullptr;
  QMenu* SettingsMenu = nullptr;
  QMenu* ImageManipulationMenu = nullptr;
  QMenu* ViewMenu = nullptr;  // the active view's zoom commands
  // Items 1..11 (the exports), 12 a separator, 13 "Copy frame" -> [0..12].
  static constexpr int ImageManipulationItemCount = 13;
  QAction* ImageManipulationItems[ImageManipulationItemCount] = {};
  QMenu* WindowMenu = nullptr;
  QAction* WindowMenuEndMarker = nullptr;  // hidden end marker
  QMenu* HelpMenu = nullptr;
  QToolBar* ToolBar = nullptr;
  QMdiArea* MdiArea = nullptr;
  QLabel* EmptyHint = nullptr;  // in the client area while no view is open
  QTimer* Timer = nullptr;

  // operations
  TQuvView* OpenQuvFile(const QString& source, const QString& fileName) override;
  QList<TMyMenuItem*> HistoryMenuItems() const;  // in menu order
  void LoadSettings();
  // A change of the window's size or state: written once the settings are loaded and the
  // change has settled.
  void WindowSaveSettings();
  void ProcessPendingWindowMenu(int count) override;
  void CreateWindowMenuEntry(TQuvView* view);  // once per view
  QAction* WindowMenuEntry(TQuvView* view) const;
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
  bool LoadingQuvs() const { return FLoadingQuvs; }
  void SetLoadingQuvs(bool on) override;
  void QueueWindowMenuEntry(TQuvView* view) override { PendingWindowMenu.push_back(view); }
  bool IsTerminating() const override { return Terminating; }

  // Runs the first-activation work now (settings, command-line files); once.
  void FirstActivation(const QStringList& commandLineFiles);
  // One tick of the 1000 ms timer.
  void TimerTimer();
  // Child switching (Ctrl+Tab / Ctrl+Shift+Tab, or a view's request flags).
  void SwitchToNextChild();
  void SwitchToPreviousChild();
  void ProcessChildSwitchRequest();  // consumes NextChildRequested / PreviousChildRequested

  void ShowSettingsDialog();  // acSettings
  void ShowAboutBox();        // acAbout
  void ShowKeysHelp();        // acKeysHelp: not modal, kept
  // The open flow after the dialog: the load progress dialog with these names (archives
  // through the archive picker first).
  void LoadFiles(const QStringList& names);
  // Files named on the command line or by a request: an archive goes to the picker and the
  // load dialog (joining a batch already running), anything else opens at once.
  void OpenFiles(const QStringList& names);
  // Shows the main window in front, restored from the task bar, with the input focus.
  void BringToFront();
  void CloseAllViews();  // WindowCloseAll1
  TQuvLoader* QuvLoader();
  TQuvCloser* QuvCloser();
  // The open requests of later starts: each line opens its file, each failure is reported.
  void ServeRequests(TSingleInstanceServer& server);
  void VellicorSeriesExecuteMacro(const std::vector<std::string>& lines);

  // True when the settings file did not exist when the window was made.
  bool FirstRun() const { return FFirstRun; }
  // The key events Ctrl+Tab and Ctrl+Shift+Tab switch children here rather than in QMdiArea.
  bool HandleSwitchKey(QEvent* event);
  // Ends the program in order: settings written, every event loop stopped; the views close when
  // the main window goes.
  void Terminate();

  // The stored palette file, read once the settings are: one that no longer reads leaves the
  // palette the program started with, with a warning in the log.
  void ApplyStoredPalette();
  // The palette of new views, and of the open ones, which draw again (decoded again when the
  // transparent index changed); the status bar shows the index.
  void ApplyPalette(const TPalette& palette, uint8_t transparentIndex);
  void acLoadPaletteExecute();
  // The status bar's index button: asks the index of empty pixels for the palette in use.
  void ChooseTransparentIndex();
  QToolButton* TransparentIndexButton = nullptr;
  // The local files of a drop: folders give their Quv files.
  static QStringList DroppedFiles(const QMimeData* data);
  void OpenDroppedFiles(const QStringList& files);
  // Where a new child window of that size opens.
  QPoint CascadePosition(const QSize& size) const;
  int CascadeStep() const;  // a title bar's height

 signals:
  void ViewOpened(TQuvView* view);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateFileActions();
  void CreatePaletteActions();
  void PlaceOnFirstStart();
  void ApplyTabs(bool on);
  void UpdateTabCaptions();
  void ApplyPaletteFile(const QString& fileName);
  // The index the user chose, or paletteIndex (the palette's own) when there is no choice.
  uint8_t ChosenTransparentIndex(uint8_t paletteIndex) const;
  void CreateTransparentIndexButton();
  // What a palette command did, in the status bar.
  void ReportPalette(const QString& text);
  void CreateSettingsActions();
  void CreateWindowActions();
  void CreateMenus();
  void CreateProcessObjects();
  void CreateClientArea();  // the MDI area with the hint shown while it is empty
  void CreateTimers();
  void ConnectSettings();
  void ConnectView(TQuvView* view);
  void RequestChildSwitch(bool next);
  void ViewMenusMerged(TQuvView* view, bool on);
  void UnbindImageManipulation();
  void BindImageManipulation(int index, QAction* action);
  void ShowExportDialog(TQuvView* view);
  void ApplyStoredPlacement();
  TWindowPlacement CurrentPlacement() const;
  void acOpenQuvExecute();
  void RemoveOldestHistoryItem();
  void FreshLoader();
  void InsertHistoryItem(const QString& name);
  void MoveHistoryItemToTop(int fromIndex);
  void CopyColumnWidths(TQuvView* view);
  void WindowTile(bool horizontal);
  void WindowArrangeIcons();
  void ActivateChild(QMdiSubWindow* child);
  QMdiSubWindow* BeginChildSwitch(QList<QMdiSubWindow*>& order);

  TSettingsModel* FSettings = nullptr;
  bool FFirstRun = false;
  bool FActivationDone = false;
  bool FClosing = false;
  bool FLoadingQuvs = false;
  std::unique_ptr<TFileSystem> FFileSystem;
  class TConsole* FOwnConsole = nullptr;
  QLabel* FStatusLabel = nullptr;
  void UpdateEmptyHint();
  QList<TMyMenuItem*> FHistoryItems;  // most recent first
  QAction* FExitSeparator = nullptr;
  QHash<TQuvView*, QAction*> FWindowMenuEntries;
  // The view whose exports "Image Manipulation" shows, and the items' links to its actions.
  QPointer<TQuvView> FMenuView;
  QMetaObject::Connection FItemLinks[ImageManipulationItemCount][2];
  QString FBeforeCaption, FAfterCaption;
  bool FMaximizeRestore = false;
  uint64_t FLastMemory = UINT64_MAX;
  QTimer* FWindowSaveTimer = nullptr;  // one write per move, resize or state change
  TAboutBox* FAboutBox = nullptr;
  TKeysHelp* FKeysHelp = nullptr;
  TQuvLoader* FQuvLoader = nullptr;
  TQuvCloser* FQuvCloser = nullptr;
  TPalette FStartPalette{};
  uint8_t FStartTransparentIndex = 9;
  uint8_t FPaletteIndex = 9;  // the own transparent index of the palette in use
};
