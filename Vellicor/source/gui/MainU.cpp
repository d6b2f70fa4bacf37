#include "MainU.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QScreen>
#include <QStatusBar>
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
#include "FileOpenU.h"
#include "FileSystemU.h"
#include "GameBrowserPagesU.h"
#include "GameBrowserU.h"
#include "ImageLoaderU.h"
#include "KeysHelpU.h"
#include "LoadMessagesU.h"
#include "MemoryStatusU.h"
#include "PaletteCommandsU.h"
#include "PaletteModelU.h"
#include "ProgramPathsU.h"
#include "QtStringU.h"
#include "QuvCloseU.h"
#include "QuvViewU.h"
#include "SettingsU.h"
#include "WindowArrangementU.h"

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
  CreateActions(this, FSettings);
  CreateParts();
  ConnectCommands();
  CreateStatusBar();

  // Every exception that escapes an event handler comes here, and the keys that switch
  // children come here before QMdiArea sees them.
  if (TApplication* app = TApplication::Instance()) {
    app->OnError = [this](const std::exception& error) { ApplicationException(error); };
    app->OnKey = [this](QEvent* event) { return FArranger->HandleSwitchKey(event); };
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
  FMenus->PendingWindowMenu.clear();
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
  // "palette.pal" or the built-in table: what "Use Built-in Palette" goes back to.
  TPalette start = BuiltInPalette();
  uint8_t startIndex = BuiltInTransparentIndex;
  if (ReadRawPalette(FFileSystem->OpenFile("palette.pal", fmRead), start))
    startIndex = PaletteFileTransparentIndex;
  FPalettes = new TPaletteModel(FSettings, start, startIndex, this);
}

void TMainForm::FreshLoader() {
  FFileSystem->Finalize();
  RegisterArchiveLoaders(*FFileSystem);
}

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
  connect(MdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::ActiveChildChanged);
}

void TMainForm::CreateParts() {
  FMenus = new TMainMenus(this, MdiArea, *this, FSettings);
  FArranger = new TWindowArranger(this, MdiArea);
  FOpener = new TFileOpener(this, this, FSettings, FPalettes);
  FOpener->OnError = [this](const std::exception& error) { ApplicationException(error); };
  FOpener->OpenGameFolder = [this](const QString& folder) { OpenGameFolder(folder); };
  connect(FMenus, &TMainMenus::historyChosen, this,
          [this](const QString& fileName) { OpenQuvFile(QString(), fileName); });
  connect(FSettings, &TSettingsModel::tabsChanged, this,
          [this](bool on) { FArranger->SetTabs(on, ArrangeActions()); });
}

// What the commands do; the toggles are the settings model's own.
void TMainForm::ConnectCommands() {
  connect(acOpenQuv, &QAction::triggered, FOpener, [this] { FOpener->OpenWithDialog(); });
  connect(acOpenGameFolder, &QAction::triggered, this, [this] { OpenGameFolderWithDialog(); });
  connect(WindowClose1, &QAction::triggered, this, [this] {
    if (QMdiSubWindow* child = MdiArea->currentSubWindow()) child->close();
  });
  connect(WindowCloseAll1, &QAction::triggered, this, [this] { CloseAllViews(); });
  connect(acQuit, &QAction::triggered, this, [this] { close(); });
  connect(acAbout, &QAction::triggered, this, [this] { ShowAboutBox(); });
  connect(acKeysHelp, &QAction::triggered, this, [this] { ShowKeysHelp(); });
  connect(acSelectAll, &QAction::triggered, this, [this] {
    if (TQuvView* view = ActiveView()) view->ImageList()->selectAll();
  });
  connect(acSettings, &QAction::triggered, this, [this] { ShowSettingsDialog(); });
  connect(acSave, &QAction::triggered, this, [this] {
    if (TQuvView* view = ActiveView()) view->Save();
  });
  connect(acSaveAs, &QAction::triggered, this, [this] {
    if (TQuvView* view = ActiveView()) view->SaveAs();
  });
  connect(acEditHotSpots, &QAction::triggered, this, [this](bool on) {
    if (TQuvView* view = ActiveView()) view->SetEditMode(on);
  });
  connect(WindowCascade1, &QAction::triggered, MdiArea, &QMdiArea::cascadeSubWindows);
  connect(WindowTileHorizontal1, &QAction::triggered, this, [this] { FArranger->Tile(true); });
  connect(WindowTileVertical1, &QAction::triggered, this, [this] { FArranger->Tile(false); });
  connect(WindowArrangeAll1, &QAction::triggered, this, [this] { FArranger->ArrangeIcons(); });
  connect(WindowMinimizeAll1, &QAction::triggered, this, [this] { FArranger->MinimizeAll(); });
  connect(WindowMaximizeAll1, &QAction::triggered, this, [this] { FArranger->MaximizeAll(); });
}

void TMainForm::CreateStatusBar() {
  FStatusLabel = new QLabel(this);
  // An export's status names the folder with a link that opens it.
  FStatusLabel->setTextFormat(Qt::AutoText);
  connect(FStatusLabel, &QLabel::linkActivated, this,
          [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  statusBar()->addWidget(FStatusLabel, 1);
  statusBar()->setSizeGripEnabled(true);
  FPaletteCommands = new TPaletteCommands(this, FSettings, FPalettes, acLoadPalette,
                                          acBuiltInPalette, acTransparentIndex);
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

// ---------------------------------------------------------------------------------------------
// Views

namespace {

// The File menu's "Close Quv" owns the closing keys: the child's own window menu would hold
// them too (once per child), and a key held twice does nothing.
void DropSystemMenuKeys(QMdiSubWindow* child) {
  if (QMenu* systemMenu = child->systemMenu())
    for (QAction* action : systemMenu->actions()) action->setShortcuts({});
}

}  // namespace

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

// The active view's exports make "Image Manipulation" (not while a batch opens files).
void TMainForm::ActiveChildChanged(QMdiSubWindow* child) {
  auto* view = child ? qobject_cast<TQuvView*>(child->widget()) : nullptr;
  if (view && !LoadingQuvs()) view->Activate();
  FMenus->ShowViewCommands(view);
  for (QAction* action : ViewFileActions()) action->setEnabled(view != nullptr);
  acEditHotSpots->setChecked(view && view->EditMode());
}

// What a view tells: it goes to the history, the menus, the status bar and the error dialog.
void TMainForm::ConnectView(TQuvView* view) {
  connect(view, &TQuvView::fileOpened, this, [this, view](const QString& fileName) {
    FSettings->AddToHistory(fileName);
    FMenus->RenameWindowMenuEntry(view, fileName);
  });
  connect(view, &TQuvView::statusChanged, this, &TMainForm::SetStatusText);
  connect(view, &TQuvView::errorRaised, this, &TMainForm::ApplicationException);
  connect(view, &TQuvView::nextWindowRequested, this,
          [this] { FArranger->RequestChildSwitch(true); });
  connect(view, &TQuvView::previousWindowRequested, this,
          [this] { FArranger->RequestChildSwitch(false); });
  // While a batch opens files the menu is left as it is.
  connect(view, &TQuvView::menusMerged, this, [this, view](bool on) {
    if (!(on && LoadingQuvs())) FMenus->ViewMenusMerged(view, on);
  });
  connect(view, &TQuvView::exportDialogRequested, this, [this, view] { ShowExportDialog(view); });
  connect(view, &TQuvView::editModeChanged, this, [this, view](bool on) {
    if (view == ActiveView()) acEditHotSpots->setChecked(on);
  });
  // A view destroyed while still queued leaves the queue, and its entry leaves the menu.
  connect(view, &QObject::destroyed, this, [this, view] { FMenus->ForgetView(view); });
}

// The view in a child window of its own, placed and named; its Window-menu entry waits in the
// queue during a batch.
QMdiSubWindow* TMainForm::AddChild(TQuvView* view, const QString& fileName) {
  QMdiSubWindow* child = MdiArea->addSubWindow(view);
  child->setAttribute(Qt::WA_DeleteOnClose);
  DropSystemMenuKeys(child);
  QString caption = fileName;
  caption = caption.mid(std::max(caption.lastIndexOf('/'), caption.lastIndexOf('\\')) + 1);
  view->setWindowTitle(caption);
  child->setWindowTitle(caption);
  // The window's own size, but never larger than the space the main window offers for it,
  // less a few cascade steps so that the next windows stay tellable apart.
  const QSize room = MdiArea->viewport()->size() - QSize(4, 4) * FArranger->CascadeStep();
  child->resize(std::min(729, std::max(room.width(), 200)),
                std::min(550, std::max(room.height(), 150)));
  child->move(FArranger->CascadePosition(child->size()));
  if (!LoadingQuvs()) FMenus->CreateWindowMenuEntry(view);
  child->show();
  // The area names the tab after the window's caption each time it changes.
  connect(child, &QWidget::windowTitleChanged, FArranger, &TWindowArranger::UpdateTabCaptions);
  FArranger->UpdateTabCaptions();
  // Destroyed children leave the area's list only after their signal: look once they are gone.
  connect(child, &QObject::destroyed, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { UpdateEmptyHint(); }, Qt::QueuedConnection);
  });
  UpdateEmptyHint();
  return child;
}

TQuvView* TMainForm::OpenQuvFile(const QString& source, const QString& fileName) {
  FSettings->SetUpdating(true);
  // Also when the load raises an error.
  const auto saveAfter = qScopeGuard([this] {
    FSettings->SetUpdating(false);
    FSettings->Save();
  });
  auto* view = new TQuvView(FSettings, FPalettes);
  ConnectView(view);
  AddChild(view, fileName);
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

TGameBrowser* TMainForm::OpenGameFolder(const QString& folder) {
  auto* browser = new TGameBrowser(folder);
  connect(
      browser, &TGameBrowser::openRequested, this,
      [this](const QString& source, const QString& fileName) { OpenQuvFile(source, fileName); });
  auto* pages = new TGameBrowserPages(browser, FSettings, FPalettes);
  connect(pages, &TGameBrowserPages::openImageRequested, this,
          [this](const QString& source, const QString& fileName, const QString& image) {
            TQuvView* view = OpenQuvFile(source, fileName);
            if (view && !image.isEmpty()) view->ShowImageNamed(image);
          });
  QMdiSubWindow* child = MdiArea->addSubWindow(browser);
  child->setAttribute(Qt::WA_DeleteOnClose);
  DropSystemMenuKeys(child);
  child->setWindowTitle(browser->windowTitle());
  const QSize room = MdiArea->viewport()->size() - QSize(4, 4) * FArranger->CascadeStep();
  child->resize(std::min(800, std::max(room.width(), 300)),
                std::min(550, std::max(room.height(), 200)));
  child->move(FArranger->CascadePosition(child->size()));
  child->show();
  connect(child, &QObject::destroyed, this, [this] {
    QMetaObject::invokeMethod(
        this, [this] { UpdateEmptyHint(); }, Qt::QueuedConnection);
  });
  UpdateEmptyHint();
  emit GameBrowserOpened(browser);
  return browser;
}

void TMainForm::OpenGameFolderWithDialog() {
  QString folder;
  {
    const TAnimationPause pause;
    folder =
        Dialogs().GetFolder(this, QStringLiteral("Open Game Folder"), FSettings->LoadLastDir());
  }
  if (!folder.isEmpty()) OpenGameFolder(folder);
}

QList<TGameBrowser*> TMainForm::GameBrowsers() const {
  QList<TGameBrowser*> browsers;
  for (QMdiSubWindow* child : ChildWindows())
    if (auto* browser = qobject_cast<TGameBrowser*>(child->widget())) browsers << browser;
  return browsers;
}

bool TMainForm::LoadingQuvs() const {
  return FOpener->Loading();
}

void TMainForm::SetLoadingQuvs(bool on) {
  FOpener->SetLoading(on);
}

// "Export ...": the main window's status text stays what it was.
void TMainForm::ShowExportDialog(TQuvView* view) {
  const QString status = StatusText();
  ::ShowExportDialog(view, this);
  SetStatusText(status);
}

bool TMainForm::CloseAllViews() {
  if (ChildWindows().isEmpty()) return true;
  QuvCloser()->Run();
  return !QuvCloser()->KeptOpen();
}

TQuvCloser* TMainForm::QuvCloser() {
  if (!FQuvCloser) FQuvCloser = new TQuvCloser(this, this);
  return FQuvCloser;
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
  QList<QAction*> commands = FMenus->FixedCommands();
  commands << actions();  // keys without a menu item, such as "Select All Images"
  FKeysHelp->ShowPage(commands);
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
  FArranger->SetTabs(FSettings->Tabs(), ArrangeActions());
  FPalettes->ApplyStoredPalette();
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

void TMainForm::FirstActivation(const QStringList& commandLineFiles,
                                const QStringList& gameFolders) {
  if (FActivationDone) return;
  FActivationDone = true;
  LoadSettings();
  Activated = true;
  FOpener->OpenCommandLine(commandLineFiles);
  for (const QString& folder : gameFolders) OpenGameFolder(folder);
  FMenus->ProcessPendingWindowMenu(5);
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
  const bool activated = Activated;
  Activated = false;
  // A changed file or archive the user keeps open keeps the program open.
  bool kept = false;
  for (TGameBrowser* browser : GameBrowsers())
    if (auto* child = qobject_cast<QMdiSubWindow*>(browser->parentWidget());
        child && !child->close())
      kept = true;
  if (kept || !CloseAllViews()) {
    FClosing = false;
    Activated = activated;
    event->ignore();
    return;
  }
  // A load batch running underneath stops instead of opening files into a closing window.
  Terminating = true;
  FMenus->PendingWindowMenu.clear();
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
    FMenus->ProcessPendingWindowMenu(5);
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
  FMenus->PendingWindowMenu.clear();
  FSettings->Save();
  QCoreApplication::exit(0);
}

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

// ---------------------------------------------------------------------------------------------
// Drag and drop

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
    event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  // With Shift a dropped folder opens as a game folder; without, it gives its Quv files.
  if (event->modifiers() & Qt::ShiftModifier) {
    QStringList folders;
    for (const QUrl& url : event->mimeData()->urls())
      if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir()) folders << url.toLocalFile();
    if (!folders.isEmpty()) {
      event->acceptProposedAction();
      QMetaObject::invokeMethod(
          this,
          [this, folders] {
            for (const QString& folder : folders) OpenGameFolder(folder);
          },
          Qt::QueuedConnection);
      return;
    }
  }
  const QStringList files = TFileOpener::DroppedFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  // The drop ends before the files open, so the source of the drag is not kept waiting.
  QMetaObject::invokeMethod(
      this, [this, files] { FOpener->OpenDroppedFiles(files); }, Qt::QueuedConnection);
}
