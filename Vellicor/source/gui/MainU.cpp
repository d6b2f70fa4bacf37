#include "MainU.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "AboutU.h"
#include "AnimationPauseU.h"
#include "AppSettingsU.h"
#include "ApplicationU.h"
#include "ArchiveLoadersU.h"
#include "ArchivePathU.h"
#include "AssertDialogU.h"
#include "AssertU.h"
#include "ConsoleU.h"
#include "DialogsU.h"
#include "ExportDialogU.h"
#include "FileSystemU.h"
#include "ImageLoaderU.h"
#include "KeysHelpU.h"
#include "LoadMessagesU.h"
#include "MemoryStatusU.h"
#include "PaletteFileU.h"
#include "ProgramPathsU.h"
#include "QtStringU.h"
#include "QuvCloseU.h"
#include "QuvLoadU.h"
#include "QuvViewU.h"
#include "RegistryU.h"
#include "SettingsU.h"
#include "SingleInstanceServerU.h"
#include "SingleInstanceU.h"
#include "TransparentIndexDialogU.h"

namespace {

// Draws the small tool-bar pictures of the window arrangements.
QIcon ArrangementIcon(int kind) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QPen(QColor(40, 60, 110), 1));
  auto window = [&](const QRect& r) {
    painter.fillRect(r, QColor(250, 250, 250));
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 3), QColor(60, 100, 180));
    painter.drawRect(r);
  };
  switch (kind) {
    case 0:  // cascade
      window(QRect(2, 2, 13, 11));
      window(QRect(5, 6, 13, 11));
      window(QRect(8, 10, 13, 11));
      break;
    case 1:  // tile horizontally: one above the other
      window(QRect(2, 2, 19, 9));
      window(QRect(2, 13, 19, 9));
      break;
    default:  // tile vertically: side by side
      window(QRect(2, 2, 9, 19));
      window(QRect(13, 2, 9, 19));
      break;
  }
  return QIcon(pixmap);
}

// The desktop's keys for the command, led by the one every Linux desktop uses (some
// platform themes bind none, or another first).
void SetDesktopKeys(QAction* action, QKeySequence::StandardKey key, const QString& usual) {
  QList<QKeySequence> keys = QKeySequence::keyBindings(key);
  const QKeySequence first(usual);
  keys.removeAll(first);
  keys.prepend(first);
  action->setShortcuts(keys);
}

// A history caption shows the name itself: '&' would otherwise become a mnemonic.
QString MenuCaption(const QString& name) {
  QString caption = name;
  caption.replace('&', QStringLiteral("&&"));
  return caption;
}

}  // namespace

TMyMenuItem::TMyMenuItem(const QString& fileName, QObject* parent)
    : QAction(MenuCaption(fileName), parent), FileName(fileName) {}

TMainForm::TMainForm(const QString& settingsFile, QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Vellicor"));
  // Child windows take the application's icon.
  QApplication::setWindowIcon(QIcon(ProgramPicture()));
  QApplication::setApplicationDisplayName(QString());
  PlaceOnFirstStart();
  const QString fileName =
      settingsFile.isEmpty() ? FromStd(::SettingsFileName(ToStd(ProgramFolder()))) : settingsFile;
  FFirstRun = !QFileInfo::exists(fileName);
  FSettings = new TSettingsModel(fileName, ProgramFolder(), this);
  FSettings->Placement = [this] { return CurrentPlacement(); };

  CreateProcessObjects();

  CreateClientArea();
  CreateFileActions();
  CreateSettingsActions();
  CreateWindowActions();
  CreateMenus();
  ConnectSettings();

  FStatusLabel = new QLabel(this);
  // An export's status names the folder with a link that opens it.
  FStatusLabel->setTextFormat(Qt::AutoText);
  connect(FStatusLabel, &QLabel::linkActivated, this,
          [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  statusBar()->addWidget(FStatusLabel, 1);
  statusBar()->setSizeGripEnabled(true);
  CreateTransparentIndexButton();

  // Every exception that escapes an event handler comes here, and the keys that switch
  // children come here before QMdiArea sees them.
  if (TApplication* app = TApplication::Instance()) {
    app->OnError = [this](const std::exception& error) { ApplicationException(error); };
    app->OnKey = [this](QEvent* event) { return HandleSwitchKey(event); };
  }
  BeforeProgramEnds = [this] {
    Terminating = true;
    // The program ends in the middle of whatever held the settings back: they are written now.
    FSettings->SetUpdating(false);
    FSettings->Save();
  };

  CreateTimers();
}

TMainForm::~TMainForm() {
  Activated = false;
  Timer->stop();
  if (TApplication* app = TApplication::Instance()) {
    app->OnError = nullptr;
    app->OnKey = nullptr;
  }
  BeforeProgramEnds = nullptr;
  // Views report to the main window while they are destroyed: free them while it is whole.
  for (TQuvView* view : MdiArea->findChildren<TQuvView*>()) delete view;
  for (QMdiSubWindow* child : MdiArea->subWindowList()) delete child;
  PendingWindowMenu.clear();
  FSettings->Save();
  if (FFileSystem) FFileSystem->Finalize();
  FFileSystem.reset();
  if (FOwnConsole) {
    FOwnConsole->Finalize();
    if (Console == FOwnConsole) Console = nullptr;
    delete FOwnConsole;
  }
}

// ---------------------------------------------------------------------------------------------
// Creation

void TMainForm::CreateClientArea() {
  MdiArea = new QMdiArea(this);
  MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setBackground(QColor(128, 128, 128));
  setCentralWidget(MdiArea);
  setAcceptDrops(true);
  // What to do first, where the views will be.
  EmptyHint = new QLabel(
      QStringLiteral("Open a Quv file or an HPI archive with File \u25B8 Open, or drop one here"),
      MdiArea->viewport());
  EmptyHint->setAlignment(Qt::AlignCenter);
  EmptyHint->setWordWrap(true);
  EmptyHint->setStyleSheet(QStringLiteral("color: white;"));
  auto* hintLayout = new QVBoxLayout(MdiArea->viewport());
  hintLayout->addWidget(EmptyHint);
  // The active view's exports make "Image Manipulation" (not while a batch opens files).
  connect(MdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* child) {
    auto* view = child ? qobject_cast<TQuvView*>(child->widget()) : nullptr;
    if (view && !FLoadingQuvs) view->Activate();
    // The view's own actions: their keys stay the view's, wherever the focus is inside it.
    ViewMenu->clear();
    if (view) ViewMenu->addActions(view->ZoomActions());
    ViewMenu->menuAction()->setEnabled(view != nullptr);
  });
}

void TMainForm::CreateTimers() {
  // The window system reports a change as several events, in an order of its own (a maximize
  // may resize before the state says maximized): the window is saved once they have settled.
  FWindowSaveTimer = new QTimer(this);
  FWindowSaveTimer->setSingleShot(true);
  FWindowSaveTimer->setInterval(200);
  connect(FWindowSaveTimer, &QTimer::timeout, this, [this] {
    if (Activated && !FSettings->Updating()) FSettings->Save();
  });

  Timer = new QTimer(this);
  Timer->setInterval(1000);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
  Timer->start();
  TimerTimer();  // the memory figure at once
}

void TMainForm::CreateProcessObjects() {
  // Messages are only stored: nothing goes to standard output or a log file.
  if (!Console) {
    FOwnConsole = new TConsole();
    FOwnConsole->LevelMask = 0;
    FOwnConsole->Initialize();
    Console = FOwnConsole;
  }
  FFileSystem = std::make_unique<TFileSystem>();
  RegisterArchiveLoaders(*FFileSystem);
  FFileSystem->AddSearchPath("", "", sdCheckUsable, {TFileMaskInfo{"*.pal", 1, false}});
  FFileSystem->Initialize();
  LoadPalette("palette.pal", FFileSystem.get());
}

void TMainForm::FreshLoader() {
  FFileSystem->Finalize();
  RegisterArchiveLoaders(*FFileSystem);
}

void TMainForm::CreateFileActions() {
  acNewQuv = new QAction(QStringLiteral("&New Quv"), this);
  acNewQuv->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
  acNewQuv->setVisible(false);
  acSave = new QAction(QStringLiteral("&Save"), this);
  acSave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  acSave->setEnabled(false);
  acSave->setVisible(false);
  acSaveAs = new QAction(QStringLiteral("Save &As..."), this);
  acSaveAs->setEnabled(false);
  acSaveAs->setVisible(false);

  acOpenQuv = new QAction(style()->standardIcon(QStyle::SP_DialogOpenButton),
                          QStringLiteral("&Open Quv"), this);
  acOpenQuv->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  SetActionHint(acOpenQuv, QStringLiteral("Open|Open a file"));
  connect(acOpenQuv, &QAction::triggered, this, [this] { acOpenQuvExecute(); });

  WindowClose1 = new QAction(QStringLiteral("&Close Quv"), this);
  // The desktop's keys: Ctrl+W closes the file, Ctrl+Q quits.
  SetDesktopKeys(WindowClose1, QKeySequence::Close, QStringLiteral("Ctrl+W"));
  SetActionHint(WindowClose1, QStringLiteral("Close|Close current file"));
  connect(WindowClose1, &QAction::triggered, this, [this] {
    if (QMdiSubWindow* child = MdiArea->currentSubWindow()) child->close();
  });

  WindowCloseAll1 = new QAction(QStringLiteral("C&lose All Quvs"), this);
  WindowCloseAll1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+W")));
  SetActionHint(WindowCloseAll1, QStringLiteral("Close All|Closes all open quv files"));
  connect(WindowCloseAll1, &QAction::triggered, this, [this] { CloseAllViews(); });

  acQuit = new QAction(QStringLiteral("E&xit"), this);
  SetDesktopKeys(acQuit, QKeySequence::Quit, QStringLiteral("Ctrl+Q"));
  connect(acQuit, &QAction::triggered, this, [this] { close(); });

  acAbout = new QAction(QStringLiteral("About"), this);
  connect(acAbout, &QAction::triggered, this, [this] { ShowAboutBox(); });
  acKeysHelp = new QAction(QStringLiteral("&Keys and Mouse"), this);
  SetDesktopKeys(acKeysHelp, QKeySequence::HelpContents, QStringLiteral("F1"));
  SetActionHint(acKeysHelp, QStringLiteral("Keys and Mouse|Lists every key and mouse action"));
  connect(acKeysHelp, &QAction::triggered, this, [this] { ShowKeysHelp(); });

  acSelectAll = new QAction(QStringLiteral("Select &All Images"), this);
  SetDesktopKeys(acSelectAll, QKeySequence::SelectAll, QStringLiteral("Ctrl+A"));
  SetActionHint(acSelectAll, QStringLiteral("Select All|Selects every image of the list"));
  connect(acSelectAll, &QAction::triggered, this, [this] {
    if (TQuvView* view = ActiveView()) view->ImageList()->selectAll();
  });
}

// The toggles are the settings model's: what each does beyond storing its state, the views do
// on the model's signals.
void TMainForm::CreateSettingsActions() {
  acSettings = new QAction(QStringLiteral("Settings..."), this);
  SetActionHint(acSettings, QStringLiteral("Opens the settings dialog"));
  connect(acSettings, &QAction::triggered, this, [this] { ShowSettingsDialog(); });
  acAutoSelect1stImage = MakeToggleAction(FSettings, tgAutoSelect1stImage, this);
  acAnimate = MakeToggleAction(FSettings, tgAnimated, this);
  acViewSubFrames = MakeToggleAction(FSettings, tgViewSubFrames, this);
  acAutoCentre = MakeToggleAction(FSettings, tgAutoCentre, this);
  acTransparent = MakeToggleAction(FSettings, tgTransparent, this);
  acPreLoad = MakeToggleAction(FSettings, tgPreLoad, this);
  acAutoPad = MakeToggleAction(FSettings, tgAutoPad, this);
  acAutoPadUsingSelectedFrames = MakeToggleAction(FSettings, tgAutoPadAll, this);
  acExportFrameWhenExportFrameData =
      MakeToggleAction(FSettings, tgExportFrameWhenExportFrameData, this);
  acTabs = MakeToggleAction(FSettings, tgTabs, this);
  CreatePaletteActions();
}

void TMainForm::CreateWindowActions() {
  WindowCascade1 = new QAction(ArrangementIcon(0), QStringLiteral("&Cascade"), this);
  connect(WindowCascade1, &QAction::triggered, MdiArea, &QMdiArea::cascadeSubWindows);
  WindowTileHorizontal1 =
      new QAction(ArrangementIcon(1), QStringLiteral("Tile &Horizontally"), this);
  connect(WindowTileHorizontal1, &QAction::triggered, this, [this] { WindowTile(true); });
  WindowTileVertical1 = new QAction(ArrangementIcon(2), QStringLiteral("Tile &Vertically"), this);
  connect(WindowTileVertical1, &QAction::triggered, this, [this] { WindowTile(false); });
  WindowArrangeAll1 = new QAction(QStringLiteral("&Arrange All"), this);
  connect(WindowArrangeAll1, &QAction::triggered, this, [this] { WindowArrangeIcons(); });
  WindowMinimizeAll1 = new QAction(QStringLiteral("&Minimize All"), this);
  connect(WindowMinimizeAll1, &QAction::triggered, this, [this] {
    for (QMdiSubWindow* child : MdiArea->subWindowList()) child->showMinimized();
    WindowArrangeIcons();
  });
  WindowMaximizeAll1 = new QAction(QStringLiteral("Ma&ximize All"), this);
  connect(WindowMaximizeAll1, &QAction::triggered, this, [this] {
    for (QMdiSubWindow* child : MdiArea->subWindowList()) child->showMaximized();
  });
  for (QAction* action : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1})
    action->setToolTip(QString(action->text()).remove('&'));
}

// Long: every menu in its order on screen, one entry a line.
void TMainForm::CreateMenus() {
  FileMenu = menuBar()->addMenu(QStringLiteral("&File"));
  FileMenu->addAction(acNewQuv);
  FileMenu->addAction(acOpenQuv);
  FileMenu->addAction(acSave);
  FileMenu->addAction(acSaveAs);
  FileMenu->addAction(WindowClose1);
  FileMenu->addAction(WindowCloseAll1);
  FExitSeparator = FileMenu->addSeparator();
  FileMenu->addAction(acQuit);

  SettingsMenu = menuBar()->addMenu(QStringLiteral("&Settings"));
  for (QAction* action : {acAutoSelect1stImage, acAnimate, acViewSubFrames, acAutoCentre,
                          acTransparent, acPreLoad, acAutoPad, acAutoPadUsingSelectedFrames})
    SettingsMenu->addAction(action);
  SettingsMenu->addSeparator();
  for (TToggle aid : {tgCheckerboard, tgCrosshair, tgFrameBounds, tgSubFrameOutline, tgOnionSkin})
    SettingsMenu->addAction(MakeToggleAction(FSettings, aid, this));
  SettingsMenu->addSeparator();
  SettingsMenu->addAction(acSettings);
  SettingsMenu->addSeparator();
  SettingsMenu->addAction(acTabs);
  SettingsMenu->addAction(acLoadPalette);
  SettingsMenu->addAction(acBuiltInPalette);
  SettingsMenu->addAction(acTransparentIndex);

  ImageManipulationMenu = menuBar()->addMenu(QStringLiteral("&Image Manipulation"));
  for (int i = 0; i < ImageManipulationItemCount; ++i) {
    ImageManipulationItems[i] =
        ImageManipulationMenu->addAction(QStringLiteral("ImageManipulationItem%1").arg(i + 1));
    ImageManipulationItems[i]->setVisible(false);
  }
  ImageManipulationMenu->menuAction()->setVisible(false);

  ViewMenu = menuBar()->addMenu(QStringLiteral("&View"));
  ViewMenu->menuAction()->setEnabled(false);

  WindowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
  for (QAction* action : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1,
                          WindowArrangeAll1, WindowMinimizeAll1, WindowMaximizeAll1})
    WindowMenu->addAction(action);
  WindowMenuEndMarker = WindowMenu->addAction(QStringLiteral("-"));
  WindowMenuEndMarker->setVisible(false);

  HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  HelpMenu->addAction(acKeysHelp);
  HelpMenu->addSeparator();
  HelpMenu->addAction(acAbout);

  ToolBar = addToolBar(QStringLiteral("ToolBar"));
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setIconSize(QSize(20, 20));
  ToolBar->addAction(acOpenQuv);
  ToolBar->addSeparator();
  ToolBar->addAction(WindowCascade1);
  ToolBar->addAction(WindowTileHorizontal1);
  ToolBar->addAction(WindowTileVertical1);
  // Shortcuts of hidden menu items must still work from anywhere in the window.
  addActions({acNewQuv, acSave, acSaveAs, acSelectAll});
}

// The File menu mirrors the history held by the settings.
void TMainForm::ConnectSettings() {
  connect(FSettings, &TSettingsModel::historyInserted, this, &TMainForm::InsertHistoryItem);
  connect(FSettings, &TSettingsModel::historyMovedToTop, this, &TMainForm::MoveHistoryItemToTop);
  connect(FSettings, &TSettingsModel::historyOldestRemoved, this,
          &TMainForm::RemoveOldestHistoryItem);
  connect(FSettings, &TSettingsModel::tabsChanged, this, &TMainForm::ApplyTabs);
  connect(FSettings, &TSettingsModel::paletteChanged, this, &TMainForm::ApplyPaletteFile);
  // The palette stays; its frames are decoded again with the new index.
  connect(FSettings, &TSettingsModel::transparentIndexChanged, this,
          [this] { ApplyPalette(Palette, ChosenTransparentIndex(FPaletteIndex)); });
}

// ---------------------------------------------------------------------------------------------
// Views

QList<QMdiSubWindow*> TMainForm::ChildWindows() const {
  return MdiArea ? MdiArea->subWindowList(QMdiArea::CreationOrder) : QList<QMdiSubWindow*>();
}

QList<TQuvView*> TMainForm::Views() const {
  QList<TQuvView*> views;
  for (QMdiSubWindow* child : ChildWindows())
    if (auto* view = qobject_cast<TQuvView*>(child->widget())) views << view;
  return views;
}

TQuvView* TMainForm::ActiveView() const {
  QMdiSubWindow* child = MdiArea ? MdiArea->currentSubWindow() : nullptr;
  return child ? qobject_cast<TQuvView*>(child->widget()) : nullptr;
}

// What a view tells: it goes to the history, the menus, the status bar and the error dialog.
void TMainForm::ConnectView(TQuvView* view) {
  connect(view, &TQuvView::fileOpened, this, [this, view](const QString& fileName) {
    FSettings->AddToHistory(fileName);
    if (QAction* entry = FWindowMenuEntries.value(view)) entry->setText(fileName);
  });
  connect(view, &TQuvView::statusChanged, this, &TMainForm::SetStatusText);
  connect(view, &TQuvView::errorRaised, this, &TMainForm::ApplicationException);
  connect(view, &TQuvView::nextWindowRequested, this, [this] { RequestChildSwitch(true); });
  connect(view, &TQuvView::previousWindowRequested, this, [this] { RequestChildSwitch(false); });
  connect(view, &TQuvView::menusMerged, this, [this, view](bool on) { ViewMenusMerged(view, on); });
  connect(view, &TQuvView::exportDialogRequested, this, [this, view] { ShowExportDialog(view); });
  // A view destroyed while still queued leaves the queue, and its entry leaves the menu.
  connect(view, &QObject::destroyed, this, [this, view] {
    PendingWindowMenu.erase(std::remove(PendingWindowMenu.begin(), PendingWindowMenu.end(), view),
                            PendingWindowMenu.end());
    if (QAction* entry = FWindowMenuEntries.take(view)) {
      WindowMenu->removeAction(entry);
      delete entry;
    }
    if (FMenuView.isNull() || FMenuView == view) ViewMenusMerged(nullptr, false);
  });
}

TQuvView* TMainForm::OpenQuvFile(const QString& source, const QString& fileName) {
  FSettings->SetUpdating(true);
  // Also when the load raises an error.
  const auto saveAfter = qScopeGuard([this] {
    FSettings->SetUpdating(false);
    FSettings->Save();
  });
  auto* view = new TQuvView(FSettings, Palette, TransparentIndex);
  ConnectView(view);
  QMdiSubWindow* child = MdiArea->addSubWindow(view);
  child->setAttribute(Qt::WA_DeleteOnClose);
  // The File menu's "Close Quv" owns the closing keys: the child's own window menu would hold
  // them too (once per child), and a key held twice does nothing.
  if (QMenu* systemMenu = child->systemMenu())
    for (QAction* action : systemMenu->actions()) action->setShortcuts({});
  QString caption = fileName;
  caption = caption.mid(std::max(caption.lastIndexOf('/'), caption.lastIndexOf('\\')) + 1);
  view->setWindowTitle(caption);
  child->setWindowTitle(caption);
  // The window's own size, but never larger than the space the main window offers for it,
  // less a few cascade steps so that the next windows stay tellable apart.
  const QSize room = MdiArea->viewport()->size() - QSize(4, 4) * CascadeStep();
  child->resize(std::min(729, std::max(room.width(), 200)),
                std::min(550, std::max(room.height(), 150)));
  child->move(CascadePosition(child->size()));
  // During a batch the entry waits in PendingWindowMenu.
  if (!FLoadingQuvs) CreateWindowMenuEntry(view);
  child->show();
  // The area names the tab after the window's caption each time it changes.
  connect(child, &QWidget::windowTitleChanged, this, [this] { UpdateTabCaptions(); });
  UpdateTabCaptions();
  // Destroyed children leave the area's list only after their signal: look once they are gone.
  connect(child, &QObject::destroyed, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { UpdateEmptyHint(); }, Qt::QueuedConnection);
  });
  UpdateEmptyHint();
  emit ViewOpened(view);
  if (!view->LoadQuv(fileName, source)) {
    // The window that knew why has closed: the reason goes into the box below the message,
    // with what it means for this file.
    QString text = QStringLiteral("Could not open quv %1").arg(fileName);
    if (!view->LastError().isEmpty()) text += QStringLiteral("\n\n") + view->LastError();
    const std::string meaning = ExplainLoadError(ToStd(view->LastError()));
    if (!meaning.empty()) text += QStringLiteral("\n\n") + FromStd(meaning);
    Dialogs().Message(this, QStringLiteral("Error"), text, QMessageBox::Warning, QMessageBox::Ok);
  }
  return view;
}

void TMainForm::SetLoadingQuvs(bool on) {
  FLoadingQuvs = on;
}

void TMainForm::ProcessPendingWindowMenu(int count) {
  for (int i = 0; i <= count && !PendingWindowMenu.empty(); ++i) {
    TQuvView* view = PendingWindowMenu.front();
    PendingWindowMenu.pop_front();
    if (view) CreateWindowMenuEntry(view);
  }
}

void TMainForm::CreateWindowMenuEntry(TQuvView* view) {
  if (FWindowMenuEntries.contains(view)) return;
  auto* entry = new QAction(view->FileName(), WindowMenu);
  connect(entry, &QAction::triggered, this, [this, view] {
    auto* child = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    if (!child) return;
    if (child->isMinimized()) child->showNormal();
    MdiArea->setActiveSubWindow(child);
  });
  const QList<QAction*> actions = WindowMenu->actions();
  if (!actions.isEmpty() && actions.last() == WindowMenuEndMarker) WindowMenu->addSeparator();
  WindowMenu->addAction(entry);
  FWindowMenuEntries.insert(view, entry);
}

QAction* TMainForm::WindowMenuEntry(TQuvView* view) const {
  return FWindowMenuEntries.value(view);
}

// The view that merged its menus last holds "Image Manipulation"; only that view takes it away
// again. While a batch opens files the menu is left as it is.
void TMainForm::ViewMenusMerged(TQuvView* view, bool on) {
  if (on && FLoadingQuvs) return;
  if (!on && view && FMenuView && FMenuView != view) return;
  UnbindImageManipulation();
  QAction* menu = ImageManipulationMenu->menuAction();
  if (!on || !view || !view->MenuShown()) {
    menu->setVisible(false);
    FMenuView = nullptr;
    return;
  }
  FMenuView = view;
  menu->setVisible(true);
  const QList<QAction*> actions = view->ImageManipulationActions();
  for (int i = 0; i < actions.size() && i < ImageManipulationItemCount; ++i)
    BindImageManipulation(i, actions[i]);
}

void TMainForm::UnbindImageManipulation() {
  for (int i = 0; i < ImageManipulationItemCount; ++i) {
    QObject::disconnect(FItemLinks[i][0]);
    QObject::disconnect(FItemLinks[i][1]);
    QAction* item = ImageManipulationItems[i];
    item->setSeparator(false);
    item->setText(QString());
    item->setStatusTip(QString());
    item->setShortcut(QKeySequence());
    item->setVisible(false);
  }
}

// Item `index` shows `action` and runs it; a separator shows as one.
void TMainForm::BindImageManipulation(int index, QAction* action) {
  QAction* item = ImageManipulationItems[index];
  if (action->isSeparator()) {
    item->setText(QString());  // a styled separator draws its text beside the line
    item->setSeparator(true);
    item->setVisible(true);
    return;
  }
  auto follow = [item, action] {
    item->setText(action->text());
    item->setStatusTip(action->statusTip());
    item->setToolTip(action->toolTip());
    item->setShortcut(action->shortcut());  // the view's actions sit in no widget of their own
    item->setEnabled(action->isEnabled());
    item->setVisible(action->isVisible());
  };
  follow();
  FItemLinks[index][0] = connect(item, &QAction::triggered, action, &QAction::trigger);
  FItemLinks[index][1] = connect(action, &QAction::changed, item, follow);
}

// "Export ...": the main window's status text stays what it was.
void TMainForm::ShowExportDialog(TQuvView* view) {
  const QString status = StatusText();
  ::ShowExportDialog(view, this);
  SetStatusText(status);
}

void TMainForm::CloseAllViews() {
  if (ChildWindows().isEmpty()) return;
  QuvCloser()->Run();
}

TQuvLoader* TMainForm::QuvLoader() {
  if (!FQuvLoader) FQuvLoader = new TQuvLoader(this, FSettings, this);
  return FQuvLoader;
}

TQuvCloser* TMainForm::QuvCloser() {
  if (!FQuvCloser) FQuvCloser = new TQuvCloser(this, this);
  return FQuvCloser;
}

void TMainForm::LoadFiles(const QStringList& names) {
  QuvLoader()->Run(names);
}

void TMainForm::OpenFiles(const QStringList& names) {
  QStringList archives;
  for (const QString& name : names) {
    if (!IsHpiArchive(name))
      OpenQuvFile(QString(), name);
    else if (FLoadingQuvs)
      QuvLoader()->Add(name);
    else
      archives << name;
  }
  if (!archives.isEmpty()) LoadFiles(archives);
}

void TMainForm::BringToFront() {
  if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

void TMainForm::acOpenQuvExecute() {
  int filterIndex = FSettings->OpenFilterIndex();
  QStringList names;
  {
    // The views stand still and nothing is written while the dialog runs.
    const TAnimationPause pause;
    const TSettingsModel::TUpdate update(*FSettings);
    names = Dialogs().GetOpenFileNames(this, QStringLiteral("Open"), FSettings->LoadLastDir(),
                                       FSettings->OpenFilter(), filterIndex);
    if (names.isEmpty()) return;
    // The folder of the chosen files is where the dialog opens next time.
    FSettings->SetLoadLastDir(QFileInfo(names.front()).absolutePath());
    FSettings->SetOpenFilterIndex(filterIndex);  // for the dialog; the files' bytes decide
  }
  FSettings->Save();
  LoadFiles(names);
}

void TMainForm::UpdateEmptyHint() {
  if (EmptyHint && MdiArea) EmptyHint->setVisible(MdiArea->subWindowList().isEmpty());
}

void TMainForm::ShowSettingsDialog() {
  // Made on first use and kept for the program's life.
  auto* dialog = findChild<TSettingsDialog*>(QString(), Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new TSettingsDialog(FSettings, this);
  const TAnimationPause pause;
  dialog->exec();
}

void TMainForm::ShowAboutBox() {
  if (!FAboutBox) FAboutBox = new TAboutBox(this);
  FAboutBox->exec();
}

void TMainForm::ShowKeysHelp() {
  if (!FKeysHelp) FKeysHelp = new TKeysHelp(this);
  // The View and Image Manipulation menus hold the active view's commands: the page tells
  // their keys with the view's.
  QList<QAction*> commands;
  for (QMenu* menu : {FileMenu, SettingsMenu, WindowMenu, HelpMenu}) commands << menu->actions();
  commands << actions();  // keys without a menu item, such as "Select All Images"
  FKeysHelp->ShowPage(commands);
}

// ---------------------------------------------------------------------------------------------
// Window arrangement and switching

void TMainForm::WindowTile(bool horizontal) {
  QList<QMdiSubWindow*> children;
  for (QMdiSubWindow* child : MdiArea->subWindowList(QMdiArea::StackingOrder))
    if (!child->isMinimized() && child->isVisible()) children << child;
  if (children.isEmpty()) return;
  std::reverse(children.begin(), children.end());  // the active one first
  const QRect area = MdiArea->viewport()->rect();
  const int n = int(children.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* child = children[i];
    if (child->isMaximized()) child->showNormal();
    QRect r;
    if (horizontal) {
      const int top = area.height() * i / n, bottom = area.height() * (i + 1) / n;
      r = QRect(0, top, area.width(), bottom - top);
    } else {
      const int left = area.width() * i / n, right = area.width() * (i + 1) / n;
      r = QRect(left, 0, right - left, area.height());
    }
    child->setGeometry(r);
  }
}

void TMainForm::WindowArrangeIcons() {
  int x = 0;
  const int bottom = MdiArea->viewport()->height();
  for (QMdiSubWindow* child : MdiArea->subWindowList(QMdiArea::CreationOrder)) {
    if (!child->isMinimized()) continue;
    const QSize size = child->size();
    child->move(x, bottom - size.height());
    x += size.width();
  }
}

void TMainForm::ActivateChild(QMdiSubWindow* child) {
  MdiArea->setActiveSubWindow(child);
  child->raise();
}

// Common start of both switches: fewer than two children only beep; otherwise drawing is held
// and a maximized active child is restored for the switch. Returns the active child, or null.
QMdiSubWindow* TMainForm::BeginChildSwitch(QList<QMdiSubWindow*>& order) {
  order = MdiArea->subWindowList(QMdiArea::StackingOrder);
  if (order.size() < 2) {
    QApplication::beep();
    return nullptr;
  }
  setUpdatesEnabled(false);
  QMdiSubWindow* active = MdiArea->currentSubWindow() ? MdiArea->currentSubWindow() : order.back();
  if (active->isMaximized()) {
    FMaximizeRestore = true;
    active->showNormal();
  }
  return active;
}

void TMainForm::SwitchToNextChild() {
  QList<QMdiSubWindow*> order;
  QMdiSubWindow* active = BeginChildSwitch(order);
  if (!active) return;
  FBeforeCaption = active->windowTitle();
  // Stacking order runs back to front: the child directly behind the active one comes
  // forward, and the one left goes to the back, so repeated presses visit every view in turn.
  order.removeAll(active);
  QMdiSubWindow* next = order.back();
  ActivateChild(next);
  active->lower();
  if (FMaximizeRestore) {
    FMaximizeRestore = false;
    next->showMaximized();
  }
  FAfterCaption = next->windowTitle();
  setUpdatesEnabled(true);
}

void TMainForm::SwitchToPreviousChild() {
  QList<QMdiSubWindow*> order;
  QMdiSubWindow* active = BeginChildSwitch(order);
  if (!active) return;
  // The bottom-most child comes forward. A next switch sends the window it leaves to the
  // back, so this undoes the last switch, and repeated presses walk every window backwards.
  QMdiSubWindow* target = order.front() != active ? order.front() : order.back();
  ActivateChild(target);
  if (FMaximizeRestore) {
    FMaximizeRestore = false;
    target->showMaximized();
  }
  FBeforeCaption = active->windowTitle();
  FAfterCaption = target->windowTitle();
  setUpdatesEnabled(true);
}

void TMainForm::ProcessChildSwitchRequest() {
  if (!NextChildRequested && !PreviousChildRequested) return;
  if (NextChildRequested)
    SwitchToNextChild();
  else
    SwitchToPreviousChild();
  NextChildRequested = false;
  PreviousChildRequested = false;
}

bool TMainForm::HandleSwitchKey(QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (!(key->modifiers() & Qt::ControlModifier)) return false;
  if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
  // Only keys typed into this window (not into a dialog of it) switch children.
  QWidget* focus = QApplication::focusWidget();
  QWidget* window = focus ? focus->window() : QApplication::activeWindow();
  if (window && window != this) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
  if (back)
    PreviousChildRequested = true;
  else
    NextChildRequested = true;
  ProcessChildSwitchRequest();
  return true;
}

// A view's next- or previous-window command; the switch runs once the key has been handled.
void TMainForm::RequestChildSwitch(bool next) {
  if (next)
    NextChildRequested = true;
  else
    PreviousChildRequested = true;
  QMetaObject::invokeMethod(
      this, [this] { ProcessChildSwitchRequest(); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------
// History

void TMainForm::InsertHistoryItem(const QString& name) {
  auto* item = new TMyMenuItem(name, FileMenu);
  connect(item, &QAction::triggered, this,
          [this, item] { OpenQuvFile(QString(), item->FileName); });
  QList<QAction*> items = FileMenu->actions();
  const qsizetype position = items.size() - FHistoryItems.size() - 2;
  FileMenu->insertAction(items[position], item);
  if (!(position > 0 && items[position - 1]->isSeparator())) FileMenu->insertSeparator(item);
  FHistoryItems.prepend(item);
}

void TMainForm::MoveHistoryItemToTop(int fromIndex) {
  if (fromIndex <= 0 || fromIndex >= FHistoryItems.size()) return;
  TMyMenuItem* item = FHistoryItems.takeAt(fromIndex);
  FileMenu->removeAction(item);
  FileMenu->insertAction(FHistoryItems.front(), item);
  FHistoryItems.prepend(item);
}

void TMainForm::RemoveOldestHistoryItem() {
  QList<QAction*> items = FileMenu->actions();
  if (FHistoryItems.isEmpty() || items.size() < 3) return;
  QAction* oldest = items[items.size() - 3];
  FileMenu->removeAction(oldest);
  FHistoryItems.removeAll(static_cast<TMyMenuItem*>(oldest));
  oldest->deleteLater();
}

QList<TMyMenuItem*> TMainForm::HistoryMenuItems() const {
  QList<TMyMenuItem*> items;
  for (QAction* action : FileMenu->actions())
    if (auto* item = qobject_cast<TMyMenuItem*>(action)) items << item;
  return items;
}

// ---------------------------------------------------------------------------------------------
// Settings

QString TMainForm::ProgramFolder() const {
  QString dir = QCoreApplication::applicationDirPath();
  return dir.isEmpty() ? QDir::currentPath() : dir;
}

QString TMainForm::SettingsFileName() const {
  return FSettings->FileName();
}

TWindowPlacement TMainForm::CurrentPlacement() const {
  // Written only for the normal state; the bounds that state has, whatever the window shows.
  const QRect bounds = normalGeometry().isValid() ? normalGeometry() : geometry();
  TWindowPlacement placement;
  placement.Bounds = {bounds.top(), bounds.left(), bounds.width(), bounds.height()};
  const Qt::WindowStates state = windowState();
  if (state & Qt::WindowMinimized)
    placement.State = wsMinimized;
  else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
    placement.State = wsMaximized;
  return placement;
}

void TMainForm::LoadSettings() {
  FSettings->Load();
  ApplyStoredPlacement();
  ApplyTabs(FSettings->Tabs());
  ApplyStoredPalette();
}

// The stored bounds are put back first, so that a restore after maximizing finds them.
void TMainForm::ApplyStoredPlacement() {
  const int storedState = FSettings->LoadedWindowState();
  if (storedState < wsNormal || storedState > wsMaximized) return;
  const TSettingsModel::TUpdate update(*FSettings);
  const TWindowBounds bounds = FSettings->LoadedBounds();
  // A window far too small to use is not restored.
  QRect stored(bounds.Left, bounds.Top, std::max(bounds.Width, 120), std::max(bounds.Height, 80));
  // Bounds written at another scale factor or on a larger screen are brought onto this one.
  const QScreen* screen = QGuiApplication::screenAt(stored.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    stored.setSize(stored.size().boundedTo(area.size()));
    stored.moveTo(std::clamp(stored.left(), area.left(), area.right() + 1 - stored.width()),
                  std::clamp(stored.top(), area.top(), area.bottom() + 1 - stored.height()));
  }
  if (isMaximized() || isMinimized()) setWindowState(Qt::WindowNoState);
  setGeometry(stored);
  if (storedState == wsMinimized) setWindowState(Qt::WindowMinimized);
  if (storedState == wsMaximized) setWindowState(Qt::WindowMaximized);
}

void TMainForm::FirstActivation(const QStringList& commandLineFiles) {
  if (FActivationDone) return;
  FActivationDone = true;
  LoadSettings();
  Activated = true;
  // With Quv files registered the desktop starts the program with the file as its argument, so
  // the files take the path of a request a second start hands over (each failure reported,
  // then the next file).
  bool registered = false;
  if (!commandLineFiles.isEmpty()) {
    try {
      const TFileRegistry registry(DefaultRegistryFileName());
      registered = IsFileTypeRegistered(registry);
    } catch (const std::exception&) {
      registered = false;
    }
  }
  if (registered) {
    std::vector<std::string> names;
    for (const QString& file : commandLineFiles) names.push_back(ToStd(file));
    VellicorSeriesExecuteMacro(
        SplitRequestLines(EncodeOpenRequest(names, ToStd(QDir::currentPath()))));
  } else {
    OpenFiles(commandLineFiles);
  }
  ProcessPendingWindowMenu(5);
}

void TMainForm::VellicorSeriesExecuteMacro(const std::vector<std::string>& lines) {
  ExecuteOpenRequest(
      lines, [this](const std::string& fileName) { OpenFiles({FromStd(fileName)}); },
      [this](const std::exception& error) { ApplicationException(error); });
  // The opened files must not appear behind the window the user works in.
  BringToFront();
}

void TMainForm::ServeRequests(TSingleInstanceServer& server) {
  server.Open = [this](const std::string& fileName) { OpenFiles({FromStd(fileName)}); };
  server.OnError = [this](const std::exception& error) { ApplicationException(error); };
  // The opened files must not appear behind the window the user works in.
  connect(&server, &TSingleInstanceServer::RequestExecuted, this, [this] { BringToFront(); });
}

void TMainForm::WindowSaveSettings() {
  if (!Activated || FSettings->Updating()) return;
  FWindowSaveTimer->start();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  WindowSaveSettings();
}

void TMainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  WindowSaveSettings();
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) WindowSaveSettings();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (FClosing) {
    event->accept();
    return;
  }
  FClosing = true;
  Activated = false;
  CloseAllViews();
  // A load batch running underneath stops instead of opening files into a closing window.
  Terminating = true;
  PendingWindowMenu.clear();
  FSettings->Save();
  event->accept();
}

// ---------------------------------------------------------------------------------------------
// Timer, status bar, errors

void TMainForm::SetStatusText(const QString& text) {
  FStatusLabel->setText(text);
}

QString TMainForm::StatusText() const {
  return FStatusLabel->text();
}

// The active view's column widths become the settings; the other views follow them.
void TMainForm::CopyColumnWidths(TQuvView* view) {
  QTreeWidget* list = view->ImageList();
  for (int column = 0; column < 3; ++column) {
    if (list->columnWidth(column) < 1) list->setColumnWidth(column, 1);
    FSettings->SetColumnWidth(column, list->columnWidth(column));
  }
}

void TMainForm::TimerTimer() {
  if (TQuvView* view = ActiveView()) {
    CopyColumnWidths(view);
    ProcessPendingWindowMenu(5);
  }
  // Archives are released when nothing is open.
  if (ChildWindows().isEmpty() && FFileSystem->Root()) FreshLoader();
  if (Console) Console->ClearComments();
  const uint64_t memory = AllocatedBytes();
  if (memory != FLastMemory) {
    FLastMemory = memory;
    SetStatusText(QStringLiteral("Memory used: %1").arg(FromStd(FormatMemorySize(memory))));
  }
}

bool TMainForm::ResolveArchivePath(const QString& path, const QString& innerPath,
                                   QString& archiveFile, QString& innerOut) {
  std::string archive, inner;
  const bool found = ::ResolveArchivePath(ToStd(path), ToStd(innerPath), archive, inner);
  archiveFile = FromStd(archive);
  if (found) innerOut = FromStd(inner);
  return found;
}

void TMainForm::ApplicationException(const std::exception& error) {
  // A damaged file or a failing disk is told plainly; only a programming error asks whether to
  // end the program.
  if (IsDataError(error)) {
    QString text = QString::fromUtf8(error.what());
    const std::string meaning = ExplainLoadError(error.what());
    if (!meaning.empty()) text += QStringLiteral("\n\n") + FromStd(meaning);
    Dialogs().Message(this, QStringLiteral("Error"), text, QMessageBox::Warning, QMessageBox::Ok);
    return;
  }
  QString where;
  if (const auto* located = dynamic_cast<const Exception*>(&error)) {
    where = FromStd(FormatLocation(located->Where()));
  } else {
    where = QStringLiteral("Program: %1\nFile: %2\nProcedure: %3\nLine: %4\n")
                .arg(FromStd(ProgramFileName()), QString(), QString(), QString());
  }
  const QString text = QStringLiteral("%1\nError message:\n\"%2\"\n\nTerminate application?")
                           .arg(where, QString::fromUtf8(error.what()));
  // Enter keeps the program and its windows.
  const auto answer =
      Dialogs().Message(this, QStringLiteral("Error at:"), text, QMessageBox::Critical,
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer == QMessageBox::Yes) Terminate();
}

void TMainForm::Terminate() {
  // The error may come from deep inside a view's handler or a batch: nothing is freed here. The
  // settings are written, every event loop stops, and the windows go once the calls under way
  // have unwound (the main window's destruction closes them).
  Terminating = true;
  PendingWindowMenu.clear();
  FSettings->Save();
  QCoreApplication::exit(0);
}

// ---------------------------------------------------------------------------------------------
// First start, tabs, cascade

// Without stored bounds the window takes two thirds of the screen, centred.
void TMainForm::PlaceOnFirstStart() {
  QSize size(735, 494);
  QRect area(QPoint(0, 0), size);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
    size = QSize(std::max(area.width() * 2 / 3, 320), std::max(area.height() * 2 / 3, 240));
  }
  resize(size);
  move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void TMainForm::ApplyTabs(bool on) {
  MdiArea->setViewMode(on ? QMdiArea::TabbedView : QMdiArea::SubWindowView);
  if (on) {
    MdiArea->setTabsClosable(true);
    MdiArea->setTabsMovable(true);
    MdiArea->setDocumentMode(true);
  }
  // Tabs fill the area: there is nothing to arrange.
  for (QAction* action : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1,
                          WindowArrangeAll1, WindowMinimizeAll1, WindowMaximizeAll1})
    action->setEnabled(!on);
  UpdateTabCaptions();
}

// A tab names the file alone (the window caption adds its folder and image) and has the full
// path as its tip. The area keeps its tabs in the order of its windows' creation list.
void TMainForm::UpdateTabCaptions() {
  auto* tabs =
      MdiArea->viewMode() == QMdiArea::TabbedView ? MdiArea->findChild<QTabBar*>() : nullptr;
  const QList<QMdiSubWindow*> children = MdiArea->subWindowList(QMdiArea::CreationOrder);
  if (!tabs || tabs->count() != children.size()) return;
  for (int i = 0; i < tabs->count(); ++i) {
    auto* view = qobject_cast<TQuvView*>(children[i]->widget());
    const QString path = view && !view->FileName().isEmpty() ? view->FileName() : QString();
    if (path.isEmpty()) continue;
    tabs->setTabText(i, path.mid(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1));
    tabs->setTabToolTip(i, QDir::toNativeSeparators(path));
  }
}

// New windows step down from the top-left corner by a title bar's height; one that would
// reach past the visible area starts the steps again from the corner.
int TMainForm::CascadeStep() const {
  return std::max(16, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2);
}

QPoint TMainForm::CascadePosition(const QSize& size) const {
  const QRect area = MdiArea->viewport()->rect();
  const int step = CascadeStep();
  const int fitX = std::max(0, area.width() - size.width()) / step + 1;
  const int fitY = std::max(0, area.height() - size.height()) / step + 1;
  const int others = std::max(0, int(MdiArea->subWindowList().size()) - 1);
  const int k = others % std::min(fitX, fitY);
  return {k * step, k * step};
}

// ---------------------------------------------------------------------------------------------
// Palettes

void TMainForm::CreatePaletteActions() {
  acLoadPalette = new QAction(QStringLiteral("Load Palette\u2026"), this);
  SetActionHint(acLoadPalette,
                QStringLiteral("Load Palette|Shows the images in the colours of a palette file"));
  connect(acLoadPalette, &QAction::triggered, this, [this] { acLoadPaletteExecute(); });
  acBuiltInPalette = new QAction(QStringLiteral("Use Built-in Palette"), this);
  SetActionHint(
      acBuiltInPalette,
      QStringLiteral("Built-in Palette|Goes back to the palette the program started with"));
  connect(acBuiltInPalette, &QAction::triggered, this, [this] {
    FSettings->SetPaletteFile({});
    ReportPalette(QStringLiteral("Built-in palette in use: empty pixels are index %1.")
                      .arg(TransparentIndex));
  });
  acTransparentIndex = new QAction(QStringLiteral("Transparent Index\u2026"), this);
  SetActionHint(acTransparentIndex,
                QStringLiteral("Transparent Index|Chooses the palette index of empty pixels"));
  connect(acTransparentIndex, &QAction::triggered, this, [this] { ChooseTransparentIndex(); });
  // What the program started with ("palette.pal" or the built-in table) is what "built-in"
  // goes back to.
  FStartPalette = Palette;
  FStartTransparentIndex = TransparentIndex;
  FPaletteIndex = TransparentIndex;
}

// Always shown, so that what is drawn as empty is never a guess; a click chooses another.
void TMainForm::CreateTransparentIndexButton() {
  TransparentIndexButton = new QToolButton(this);
  TransparentIndexButton->setObjectName(QStringLiteral("TransparentIndexButton"));
  TransparentIndexButton->setAutoRaise(true);
  TransparentIndexButton->setFocusPolicy(Qt::NoFocus);  // keys stay with the views
  connect(TransparentIndexButton, &QToolButton::clicked, this,
          [this] { ChooseTransparentIndex(); });
  statusBar()->addPermanentWidget(TransparentIndexButton);
  ApplyPalette(Palette, TransparentIndex);
}

void TMainForm::acLoadPaletteExecute() {
  int filterIndex = 1;
  const QStringList names = Dialogs().GetOpenFileNames(
      this, QStringLiteral("Load Palette"), QFileInfo(FSettings->PaletteFile()).absolutePath(),
      QStringLiteral("Palettes|*.pal;*.act;*.gpl;*.txt|All Files|*.*"), filterIndex);
  if (names.isEmpty()) return;
  TPalette palette;
  try {
    palette = ReadPaletteFile(ToStd(names.front()));
  } catch (const std::exception& error) {
    // Nothing changes: the views keep the palette they show.
    Dialogs().Message(
        this, QStringLiteral("Load Palette"),
        QStringLiteral("The palette was not loaded.\n\n%1").arg(QString::fromUtf8(error.what())),
        QMessageBox::Warning, QMessageBox::Ok);
    return;
  }
  const QString fileName = QFileInfo(names.front()).absoluteFilePath();
  const QString shownName = QFileInfo(fileName).fileName();
  // A palette file's own empty colour is its entry 0; the user may know better.
  int index = PaletteFileTransparentIndex;
  if (!AskTransparentIndex(
          this,
          QStringLiteral("Which index of the palette \"%1\" means an empty pixel?").arg(shownName),
          palette, index))
    return;
  // A new file is read again on the signal; the same file again may have new colours.
  const bool sameFile = fileName == FSettings->PaletteFile();
  FSettings->SetPalette(fileName, index);
  if (sameFile) ApplyPalette(palette, uint8_t(index));
  ReportPalette(QStringLiteral("Palette \"%1\" loaded: empty pixels are index %2.")
                    .arg(shownName)
                    .arg(index));
}

void TMainForm::ChooseTransparentIndex() {
  int index = TransparentIndex;
  if (!AskTransparentIndex(
          this, QStringLiteral("Which index of the palette in use means an empty pixel?"), Palette,
          index))
    return;
  FSettings->SetTransparentIndex(index);
  ReportPalette(QStringLiteral("Empty pixels are now palette index %1.").arg(index));
}

// Over the memory line for a while: the palette change itself changes the memory in use.
void TMainForm::ReportPalette(const QString& text) {
  constexpr int ShownMs = 10000;
  statusBar()->showMessage(text, ShownMs);
}

// The stored palette file at start-up: one that no longer reads leaves the start palette.
void TMainForm::ApplyStoredPalette() {
  ApplyPaletteFile(FSettings->PaletteFile());
}

uint8_t TMainForm::ChosenTransparentIndex(uint8_t paletteIndex) const {
  const int chosen = FSettings->TransparentIndex();
  return chosen >= 0 ? uint8_t(chosen) : paletteIndex;
}

void TMainForm::ApplyPaletteFile(const QString& fileName) {
  if (fileName.isEmpty()) {
    FPaletteIndex = FStartTransparentIndex;
    ApplyPalette(FStartPalette, ChosenTransparentIndex(FPaletteIndex));
    return;
  }
  try {
    // A palette file names its colour 0 as the empty one, as "palette.pal" does.
    const TPalette palette = ReadPaletteFile(ToStd(fileName));
    FPaletteIndex = PaletteFileTransparentIndex;
    ApplyPalette(palette, ChosenTransparentIndex(FPaletteIndex));
  } catch (const std::exception& error) {
    ConsoleLog(LogLevel::Warning, Format("%s The start palette is used instead.", error.what()));
    FPaletteIndex = FStartTransparentIndex;
    ApplyPalette(FStartPalette, FStartTransparentIndex);
  }
}

void TMainForm::ApplyPalette(const TPalette& palette, uint8_t transparentIndex) {
  Palette = palette;
  TransparentIndex = transparentIndex;
  for (TQuvView* view : Views()) view->SetPalette(palette, transparentIndex);
  if (!TransparentIndexButton) return;
  TransparentIndexButton->setText(QStringLiteral("Transparent index: %1").arg(transparentIndex));
  TransparentIndexButton->setToolTip(
      QStringLiteral("Pixels of palette index %1 are empty. Click to choose another index.")
          .arg(transparentIndex));
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

QStringList TMainForm::DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isDir()) {
      // A folder gives its Quv files, by name.
      QStringList inFolder;
      QDirIterator it(info.absoluteFilePath(), {QStringLiteral("*.quv")},
                      QDir::Files | QDir::Readable);
      while (it.hasNext()) inFolder << it.next();
      inFolder.sort(Qt::CaseInsensitive);
      files << inFolder;
    } else if (info.isFile()) {
      files << info.absoluteFilePath();
    }
  }
  return files;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
    event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QStringList files = DroppedFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  // The drop ends before the files open, so the source of the drag is not kept waiting.
  QMetaObject::invokeMethod(
      this, [this, files] { OpenDroppedFiles(files); }, Qt::QueuedConnection);
}

// One Quv file opens at once; an archive goes through the picker, several files through the
// load dialog.
void TMainForm::OpenDroppedFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  if (FLoadingQuvs) {
    for (const QString& file : files) QuvLoader()->Add(file);
    return;
  }
  BringToFront();
  if (files.size() == 1 && !IsHpiArchive(files.front()))
    OpenQuvFile(QString(), files.front());
  else
    LoadFiles(files);
}
