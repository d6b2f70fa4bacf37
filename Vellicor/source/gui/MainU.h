#pragma once
// The main window: an MDI frame whose children are TQuvView windows, one per open Quv file. It
// owns the process-wide objects (console, file system with the HPI loader, palette), every user
// setting and its "Vellicor.ini", the history list in the File menu and the shared commands.
//
// Interface changes agreed with QuvViewU: additive only.
#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>

#include "BitmapU.h"

class QLabel;
class QMdiSubWindow;
class QToolBar;
class TQuvView;
class TFileSystem;
class THistoryList;
class TAboutBox;
class TQuvLoader;
class TQuvCloser;
class TSelectFileInHpi;

// A history entry of the File menu: clicking it opens FileName.
class TMyMenuItem : public QAction {
  Q_OBJECT
 public:
  TMyMenuItem(const QString& fileName, QObject* parent);
  QString FileName;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // `settingsFile` empty: "Vellicor.ini" beside the program (or the per-user one when the
  // program's folder cannot be written). Tests pass a file of their own.
  explicit TMainForm(const QString& settingsFile = QString(), QWidget* parent = nullptr);
  ~TMainForm() override;

  static TMainForm* Instance();  // the one main window (null before creation)

  // state
  bool Updating = false;
  bool Activated = false;
  bool LoadingQuvs = false;
  bool NextChildRequested = false;
  bool PreviousChildRequested = false;
  bool Terminating = false;  // set once the user chose to end the program
  std::deque<TQuvView*> PendingWindowMenu;

  // settings read by views (values; setters below change them)
  int SeperatorWidth = -1, ImageNameWidth = -1, FrameWidth = -1, AnimatedWidth = -1;
  int AnimationSpeed = 67;
  int PreLoadCount = 5;
  uint32_t BackGroundColor = 0x00FFFFFF;  // 0x00BBGGRR (or a system colour)
  TPixelFormat ExportBitDepth = pf24bit;
  int FrameDataExportType = 0;
  QString SaveLastDir, LoadLastDir, ArchiveSearchFilter = QStringLiteral("*.quv");
  bool RememberExportSettings = false;
  QString OpenFilter;       // the open dialog's filter ("Name|masks|...")
  int OpenFilterIndex = 1;  // 1-based
  int MaxHistoryListSize = 5;

  // actions
  QAction *acOpenQuv = nullptr, *WindowClose1 = nullptr, *WindowCloseAll1 = nullptr,
          *acQuit = nullptr, *acAbout = nullptr, *acSettings = nullptr,
          *acAutoSelect1stImage = nullptr, *acAnimate = nullptr, *acViewSubFrames = nullptr,
          *acAutoCentre = nullptr, *acTransparent = nullptr, *acPreLoad = nullptr,
          *acAutoPad = nullptr, *acAutoPadUsingSelectedFrames = nullptr,
          *acExportFrameWhenExportFrameData = nullptr;
  QAction *acNewQuv = nullptr, *acSave = nullptr, *acSaveAs = nullptr;
  QAction *WindowCascade1 = nullptr, *WindowTileHorizontal1 = nullptr,
          *WindowTileVertical1 = nullptr, *WindowArrangeAll1 = nullptr,
          *WindowMinimizeAll1 = nullptr, *WindowMaximizeAll1 = nullptr;
  QMenu* FileMenu = nullptr;
  QMenu* SettingsMenu = nullptr;
  QMenu* ImageManipulationMenu = nullptr;
  QAction* ImageManipulationItems[11] = {};  // items 1..11 -> [0..10]
  QMenu* WindowMenu = nullptr;
  QAction* WindowMenuEndMarker = nullptr;  // hidden end marker
  QMenu* HelpMenu = nullptr;
  QToolBar* ToolBar = nullptr;
  QMdiArea* MdiArea = nullptr;
  QTimer* Timer = nullptr;

  // operations
  TQuvView* OpenQuvFile(const QString& source, const QString& fileName);
  void AddToHistory(const QString& name);
  void SetMaxHistoryListSize(int limit);
  QStringList HistoryEntries() const;            // most recent first
  QList<TMyMenuItem*> HistoryMenuItems() const;  // in menu order
  void SaveSettings();
  void SaveSettings(Qt::WindowStates state, bool useState);
  void LoadSettings();
  void SetBackGroundColor(uint32_t colour);
  void SetAnimationSpeed(int speed);
  void SetExportBitDepth(TPixelFormat format);
  void SetFrameDataExportType(int type);
  void RepaintViews();
  void ProcessPendingWindowMenu(int count);
  bool ResolveArchivePath(const QString& path, const QString& innerPath, QString& archiveFile,
                          QString& innerOut);
  void ApplicationException(const std::exception& error);  // "Error at:" dialog
  QList<TQuvView*> Views() const;                          // every open view window, in MDI order
  TQuvView* ActiveView() const;
  QString ProgramFolder() const;  // folder of the program file
  QString SettingsFileName() const { return FSettingsFile; }
  void SetStatusText(const QString& text);
  QString StatusText() const;
  TFileSystem* FileSystem() const { return FFileSystem.get(); }

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

  // True when the settings file did not exist when the window was made.
  bool FirstRun() const { return FFirstRun; }
  // The key events Ctrl+Tab and Ctrl+Shift+Tab switch children here rather than in QMdiArea.
  bool HandleSwitchKey(QEvent* event);
  // Ends the program in order: views closed, settings written, the event loop stopped.
  void Terminate();

 signals:
  void ViewOpened(TQuvView* view);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateProcessObjects();
  QAction* MakeToggle(const QString& caption, const QString& hint, bool checked);
  void ToggleSimple(QAction* action);
  void TogglePreload(QAction* action);
  void ToggleSubFrames();
  void ToggleRepaint(QAction* action);
  void ToggleExportOption(QAction* action);
  void CopyExportOptionsToViews();
  void acOpenQuvExecute();
  void RemoveOldestHistoryItem();
  void WindowSaveSettings();
  void FreshLoader();
  void InsertHistoryItem(const QString& name);
  void MoveHistoryItemToTop(size_t fromIndex);
  void WindowTile(bool horizontal);
  void WindowArrangeIcons();
  void ActivateChild(QMdiSubWindow* child);
  QMdiSubWindow* BeginChildSwitch(QList<QMdiSubWindow*>& order);
  QList<QMdiSubWindow*> ChildWindows() const;

  QString FSettingsFile;
  bool FFirstRun = false;
  bool FActivationDone = false;
  bool FClosing = false;
  std::unique_ptr<TFileSystem> FFileSystem;
  class TConsole* FOwnConsole = nullptr;
  QLabel* FStatusLabel = nullptr;
  std::unique_ptr<THistoryList> FHistory;
  QList<TMyMenuItem*> FHistoryItems;  // most recent first
  QAction* FHistorySeparator = nullptr;
  QAction* FExitSeparator = nullptr;
  QAction* FWindowListSeparator = nullptr;
  QString FBeforeCaption, FAfterCaption;
  bool FMaximizeRestore = false;
  uint64_t FLastMemory = UINT64_MAX;
  QTimer* FWindowSaveTimer = nullptr;  // one write per move, resize or state change
  TAboutBox* FAboutBox = nullptr;
  TQuvLoader* FQuvLoader = nullptr;
  TQuvCloser* FQuvCloser = nullptr;
};
