#include "MainU.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>

#include "AboutU.h"
#include "AppSettingsU.h"
#include "ArchivePathU.h"
#include "AssertU.h"
#include "ConsoleU.h"
#include "DialogsU.h"
#include "FileAssociateU.h"
#include "FileSystemU.h"
#include "HistoryListU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "ImageLoaderU.h"
#include "IniFileU.h"
#include "MemoryStatusU.h"
#include "ProgramPathsU.h"
#include "QuvCloseU.h"
#include "QuvLoadU.h"
#include "QuvViewU.h"
#include "RegistryU.h"
#include "SettingsU.h"
#include "SingleInstanceServerU.h"
#include "SingleInstanceU.h"

namespace {

TMainForm* TheMainForm = nullptr;

QString FromStd(const std::string& text) {
  return QString::fromStdString(text);
}
std::string ToStd(const QString& text) {
  return text.toStdString();
}

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

// Delphi-style hint "Short|Long": the tool tip and the status-bar text.
void SetHint(QAction* action, const QString& hint) {
  const qsizetype bar = hint.indexOf('|');
  action->setToolTip(bar >= 0 ? hint.left(bar) : hint);
  action->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
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

TMainForm::TMainForm(const QString& settingsFile, QWidget* parent)
    : QMainWindow(parent), FSettingsFile(settingsFile) {
  TheMainForm = this;
  // The application-wide handler is TApplication::notify, which calls ApplicationException.
  setWindowTitle(QStringLiteral("Vellicor"));
  // Child windows take the application's icon.
  QApplication::setWindowIcon(QIcon(ProgramPicture()));
  QApplication::setApplicationDisplayName(QString());
  resize(735, 494);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(735 / 2, 494 / 2));
  }
  if (FSettingsFile.isEmpty()) FSettingsFile = FromStd(::SettingsFileName(ToStd(ProgramFolder())));
  FFirstRun = !QFileInfo::exists(FSettingsFile);

  CreateProcessObjects();

  FHistory = std::make_unique<THistoryList>(MaxHistoryListSize);
  FHistory->OnInsertedAtTop = [this](const std::string& name) { InsertHistoryItem(FromStd(name)); };
  FHistory->OnMovedToTop = [this](size_t from) { MoveHistoryItemToTop(from); };
  FHistory->OnRemovedOldest = [this](const std::string&) { RemoveOldestHistoryItem(); };
  OpenFilter = QString::fromLatin1(DefaultOpenFilter);

  MdiArea = new QMdiArea(this);
  MdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  MdiArea->setBackground(QColor(128, 128, 128));
  setCentralWidget(MdiArea);
  CreateActions();
  CreateMenus();

  FStatusLabel = new QLabel(this);
  statusBar()->addWidget(FStatusLabel, 1);
  statusBar()->setSizeGripEnabled(true);

  // The window system reports a change as several events, in an order of its own (a maximize
  // may resize before the state says maximized): the window is saved once they have settled.
  FWindowSaveTimer = new QTimer(this);
  FWindowSaveTimer->setSingleShot(true);
  FWindowSaveTimer->setInterval(200);
  connect(FWindowSaveTimer, &QTimer::timeout, this, [this] {
    if (Activated && !Updating) SaveSettings(windowState(), true);
  });

  Timer = new QTimer(this);
  Timer->setInterval(1000);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
  Timer->start();
  TimerTimer();  // the memory figure at once
}

TMainForm::~TMainForm() {
  Activated = false;
  Timer->stop();
  // Views talk to the main window while they are destroyed: free them while it is whole.
  for (TQuvView* view : MdiArea->findChildren<TQuvView*>()) delete view;
  for (QMdiSubWindow* child : MdiArea->subWindowList()) delete child;
  PendingWindowMenu.clear();
  SaveSettings();
  FHistory->OnRemovedOldest = nullptr;
  FHistory.reset();
  if (FFileSystem) FFileSystem->Finalize();
  FFileSystem.reset();
  if (FOwnConsole) {
    FOwnConsole->Finalize();
    if (Console == FOwnConsole) Console = nullptr;
    delete FOwnConsole;
  }
  if (TheMainForm == this) TheMainForm = nullptr;
}

TMainForm* TMainForm::Instance() {
  return TheMainForm;
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
  FFileSystem->RegisterLoader(std::make_unique<THpiLoader>(FFileSystem.get()));
  FFileSystem->AddSearchPath("", "", sdCheckUsable, {TFileMaskInfo{"*.pal", 1, false}});
  FFileSystem->Initialize();
  LoadPalette("palette.pal", FFileSystem.get());
}

void TMainForm::FreshLoader() {
  FFileSystem->Finalize();
  FFileSystem->RegisterLoader(std::make_unique<THpiLoader>(FFileSystem.get()));
}

QAction* TMainForm::MakeToggle(const QString& caption, const QString& hint, bool checked) {
  auto* action = new QAction(caption, this);
  action->setCheckable(true);
  action->setChecked(checked);
  SetHint(action, hint);
  return action;
}

void TMainForm::CreateActions() {
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
  SetHint(acOpenQuv, QStringLiteral("Open|Open a file"));
  connect(acOpenQuv, &QAction::triggered, this, [this] { acOpenQuvExecute(); });

  WindowClose1 = new QAction(QStringLiteral("&Close Quv"), this);
  WindowClose1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
  SetHint(WindowClose1, QStringLiteral("Close|Close current file"));
  connect(WindowClose1, &QAction::triggered, this, [this] {
    if (QMdiSubWindow* child = MdiArea->currentSubWindow()) child->close();
  });

  WindowCloseAll1 = new QAction(QStringLiteral("C&lose All Quvs"), this);
  SetHint(WindowCloseAll1, QStringLiteral("Close All|Closes all open quv files"));
  connect(WindowCloseAll1, &QAction::triggered, this, [this] { CloseAllViews(); });

  acQuit = new QAction(QStringLiteral("E&xit"), this);
  connect(acQuit, &QAction::triggered, this, [this] { close(); });

  acAbout = new QAction(QStringLiteral("About"), this);
  acAbout->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
  connect(acAbout, &QAction::triggered, this, [this] { ShowAboutBox(); });

  acSettings = new QAction(QStringLiteral("Settings..."), this);
  SetHint(acSettings, QStringLiteral("Opens the settings dialog"));
  connect(acSettings, &QAction::triggered, this, [this] { ShowSettingsDialog(); });

  acAutoSelect1stImage =
      MakeToggle(QStringLiteral("Auto Select 1st Image"),
                 QStringLiteral("Auto selects the 1st image  when a quv is loaded"), true);
  connect(acAutoSelect1stImage, &QAction::triggered, this,
          [this] { ToggleSimple(acAutoSelect1stImage); });
  acAnimate = MakeToggle(QStringLiteral("Animate Image"),
                         QStringLiteral("Animate images if there is more than 1 frame"), true);
  connect(acAnimate, &QAction::triggered, this, [this] { TogglePreload(acAnimate); });
  acViewSubFrames = MakeToggle(QStringLiteral("View Subframes"),
                               QStringLiteral("Toggles viewing the individual subframes"), false);
  connect(acViewSubFrames, &QAction::triggered, this, [this] { ToggleSubFrames(); });
  acAutoCentre = MakeToggle(
      QStringLiteral("Auto Centre"),
      QStringLiteral(
          "Forces the image to occur in the centre(may cause image to animate incorrectly)"),
      false);
  connect(acAutoCentre, &QAction::triggered, this, [this] { ToggleRepaint(acAutoCentre); });
  acTransparent =
      MakeToggle(QStringLiteral("Transparent"), QStringLiteral("Toggles image transparency"), true);
  connect(acTransparent, &QAction::triggered, this, [this] { ToggleRepaint(acTransparent); });
  acPreLoad =
      MakeToggle(QStringLiteral("Pre-load Image"),
                 QStringLiteral("Preloads several frames ahead of the current frame"), true);
  connect(acPreLoad, &QAction::triggered, this, [this] { TogglePreload(acPreLoad); });
  acAutoPad = MakeToggle(QStringLiteral("AutoPad exported frames"),
                         QStringLiteral("Causes exported frames to all have the same "), true);
  connect(acAutoPad, &QAction::triggered, this, [this] { ToggleExportOption(acAutoPad); });
  acAutoPadUsingSelectedFrames = MakeToggle(
      QStringLiteral("Generate autopad data from selected frames"),
      QStringLiteral("Generates autopad data from selected frames, instead of from all the frames"),
      false);
  connect(acAutoPadUsingSelectedFrames, &QAction::triggered, this,
          [this] { ToggleExportOption(acAutoPadUsingSelectedFrames); });
  acExportFrameWhenExportFrameData =
      MakeToggle(QStringLiteral("Export Frame when Exporting Frame Data"), QString(), false);
  connect(acExportFrameWhenExportFrameData, &QAction::triggered, this,
          [this] { ToggleExportOption(acExportFrameWhenExportFrameData); });

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

  SettingsMenu = menuBar()->addMenu(QStringLiteral("Settings"));
  for (QAction* action : {acAutoSelect1stImage, acAnimate, acViewSubFrames, acAutoCentre,
                          acTransparent, acPreLoad, acAutoPad, acAutoPadUsingSelectedFrames})
    SettingsMenu->addAction(action);
  SettingsMenu->addSeparator();
  SettingsMenu->addAction(acSettings);

  ImageManipulationMenu = menuBar()->addMenu(QStringLiteral("Image Manipulation"));
  for (int i = 0; i < 11; ++i) {
    ImageManipulationItems[i] =
        ImageManipulationMenu->addAction(QStringLiteral("ImageManipulationItem%1").arg(i + 1));
    ImageManipulationItems[i]->setVisible(false);
  }
  ImageManipulationMenu->menuAction()->setVisible(false);

  WindowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
  for (QAction* action : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1,
                          WindowArrangeAll1, WindowMinimizeAll1, WindowMaximizeAll1})
    WindowMenu->addAction(action);
  WindowMenuEndMarker = WindowMenu->addAction(QStringLiteral("-"));
  WindowMenuEndMarker->setVisible(false);

  HelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
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
  addActions({acNewQuv, acSave, acSaveAs});
}

// ---------------------------------------------------------------------------------------------
// Toggles: nothing while Updating (the checked state is put back); otherwise the new state is
// the setting.

void TMainForm::ToggleSimple(QAction* action) {
  if (Updating) {
    QSignalBlocker block(action);
    action->setChecked(!action->isChecked());
    return;
  }
  SaveSettings();
}

void TMainForm::TogglePreload(QAction* action) {
  if (Updating) {
    ToggleSimple(action);
    return;
  }
  const bool on = acAnimate->isChecked() && acPreLoad->isChecked();
  for (TQuvView* view : Views()) view->PreloadFrames(on);
  SaveSettings();
}

void TMainForm::ToggleSubFrames() {
  if (Updating) {
    ToggleSimple(acViewSubFrames);
    return;
  }
  SaveSettings();
  const bool on = acViewSubFrames->isChecked();
  for (TQuvView* view : Views()) {
    view->SetSubFrameMode(on);
    view->RepaintImage();
    view->ShowCurrentFrame();
  }
}

void TMainForm::ToggleRepaint(QAction* action) {
  if (Updating) {
    ToggleSimple(action);
    return;
  }
  SaveSettings();
  RepaintViews();
}

void TMainForm::ToggleExportOption(QAction* action) {
  if (Updating) {
    ToggleSimple(action);
    return;
  }
  CopyExportOptionsToViews();
  SaveSettings();
}

void TMainForm::CopyExportOptionsToViews() {
  for (TQuvView* view : Views()) {
    if (TFrontEndImages* front = view->FrontEnd()) {
      front->AutoPad = acAutoPad->isChecked();
      front->AutoPadUsingSelectedFrames = acAutoPadUsingSelectedFrames->isChecked();
      front->ExportFrameWhenExportFrameData = acExportFrameWhenExportFrameData->isChecked();
    }
  }
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

TQuvView* TMainForm::OpenQuvFile(const QString& source, const QString& fileName) {
  Updating = true;
  auto* view = new TQuvView(this);
  QMdiSubWindow* child = MdiArea->addSubWindow(view);
  child->setAttribute(Qt::WA_DeleteOnClose);
  QString caption = fileName;
  caption = caption.mid(std::max(caption.lastIndexOf('/'), caption.lastIndexOf('\\')) + 1);
  view->setWindowTitle(caption);
  child->setWindowTitle(caption);
  // The window's own size, but never larger than the space the main window offers for it.
  const QSize room = MdiArea->viewport()->size();
  child->resize(std::min(729, std::max(room.width(), 200)),
                std::min(550, std::max(room.height(), 150)));
  child->show();
  emit ViewOpened(view);
  bool loaded = false;
  try {
    loaded = view->LoadQuv(fileName, source);
  } catch (...) {
    Updating = false;
    SaveSettings();
    throw;
  }
  if (!loaded) {
    // The window that knew why has closed: the reason goes into the box below the message.
    QString text = QStringLiteral("Could not open quv %1").arg(fileName);
    if (!view->LastError.isEmpty()) text += QStringLiteral("\n\n") + view->LastError;
    Dialogs().Message(this, QStringLiteral("Error"), text, QMessageBox::Warning, QMessageBox::Ok);
  }
  Updating = false;
  SaveSettings();
  return view;
}

void TMainForm::RepaintViews() {
  for (TQuvView* view : Views()) view->RepaintImage();
}

void TMainForm::ProcessPendingWindowMenu(int count) {
  for (int i = 0; i <= count && !PendingWindowMenu.empty(); ++i) {
    TQuvView* view = PendingWindowMenu.front();
    PendingWindowMenu.pop_front();
    if (view) view->CreateWindowMenuEntry();
  }
}

void TMainForm::CloseAllViews() {
  if (ChildWindows().isEmpty()) return;
  QuvCloser()->Run();
}

TQuvLoader* TMainForm::QuvLoader() {
  if (!FQuvLoader) FQuvLoader = new TQuvLoader(this);
  return FQuvLoader;
}

TQuvCloser* TMainForm::QuvCloser() {
  if (!FQuvCloser) FQuvCloser = new TQuvCloser(this);
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
    else if (LoadingQuvs)
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
  const bool animate = acAnimate->isChecked();
  Updating = true;
  acAnimate->setChecked(false);  // views pause while it is off
  int filterIndex = OpenFilterIndex;
  QStringList names;
  try {
    names = Dialogs().GetOpenFileNames(this, QStringLiteral("Open"), LoadLastDir, OpenFilter,
                                       filterIndex);
    if (!names.isEmpty()) {
      // The folder of the chosen files is where the dialog opens next time.
      LoadLastDir =
          FromStd(WithoutTrailingSeparator(ToStd(QFileInfo(names.front()).absolutePath())));
      OpenFilterIndex = filterIndex;  // remembered for the dialog; the files' bytes decide
      Updating = false;
      SaveSettings();
      LoadFiles(names);
    }
  } catch (...) {
    Updating = true;
    acAnimate->setChecked(animate);
    acOpenQuv->setEnabled(true);
    Updating = false;
    throw;
  }
  Updating = true;
  acAnimate->setChecked(animate);
  acOpenQuv->setEnabled(true);
  Updating = false;
}

void TMainForm::ShowSettingsDialog() {
  // Made on first use and kept for the program's life.
  auto* dialog = findChild<TSettingsDialog*>(QString(), Qt::FindDirectChildrenOnly);
  if (!dialog) dialog = new TSettingsDialog(this);
  dialog->exec();
}

void TMainForm::ShowAboutBox() {
  if (!FAboutBox) FAboutBox = new TAboutBox(this);
  FAboutBox->exec();
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
  // Stacking order runs back to front: the child directly behind the active one.
  order.removeAll(active);
  QMdiSubWindow* next = order.back();
  ActivateChild(next);
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
  // Undo the last switch: the window left then comes back to the front. Without such a
  // window (or when it is the active one) the bottom-most child comes forward, so repeated
  // presses walk the windows backwards.
  QMdiSubWindow* target = nullptr;
  for (QMdiSubWindow* child : order)
    if (child != active && !FBeforeCaption.isEmpty() && child->windowTitle() == FBeforeCaption &&
        active->windowTitle() == FAfterCaption)
      target = child;
  if (!target) target = order.front() != active ? order.front() : order.back();
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

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  return QMainWindow::eventFilter(watched, event);
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
  if (!(position > 0 && items[position - 1]->isSeparator())) {
    FHistorySeparator = FileMenu->insertSeparator(item);
  }
  FHistoryItems.prepend(item);
}

void TMainForm::MoveHistoryItemToTop(size_t fromIndex) {
  if (fromIndex == 0 || fromIndex >= size_t(FHistoryItems.size())) return;
  TMyMenuItem* item = FHistoryItems.takeAt(qsizetype(fromIndex));
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

void TMainForm::AddToHistory(const QString& name) {
  if (FHistory->Add(ToStd(name))) SaveSettings();
}

void TMainForm::SetMaxHistoryListSize(int limit) {
  if (limit < 0) limit = 0;
  FHistory->SetMaxSize(limit);
  MaxHistoryListSize = limit;
  SaveSettings();
}

QStringList TMainForm::HistoryEntries() const {
  QStringList names;
  for (const std::string& name : FHistory->Items()) names << FromStd(name);
  return names;
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

void TMainForm::SaveSettings() {
  SaveSettings(windowState(), false);
}

void TMainForm::SaveSettings(Qt::WindowStates state, bool useState) {
  if (Updating) return;
  if (!useState) state = windowState();
  int stateValue = wsNormal;
  if (state & Qt::WindowMinimized)
    stateValue = wsMinimized;
  else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
    stateValue = wsMaximized;

  TAppSettings s;
  // Written only for the normal state; the bounds that state has, whatever the window shows.
  const QRect bounds = normalGeometry().isValid() ? normalGeometry() : geometry();
  s.Bounds = {bounds.top(), bounds.left(), bounds.width(), bounds.height()};
  s.WindowState = stateValue;
  s.SeperatorWidth = SeperatorWidth;
  s.ImageNameWidth = ImageNameWidth;
  s.FrameWidth = FrameWidth;
  s.AnimatedWidth = AnimatedWidth;
  s.Animated = acAnimate->isChecked();
  s.AnimationSpeed = AnimationSpeed;
  s.AutoCentre = acAutoCentre->isChecked();
  s.AutoSelect1stImage = acAutoSelect1stImage->isChecked();
  s.ViewSubFrames = acViewSubFrames->isChecked();
  s.Transparent = acTransparent->isChecked();
  s.BackGroundColor = TColor(BackGroundColor);
  s.ExportFrameWhenExportFrameData = acExportFrameWhenExportFrameData->isChecked();
  s.AutoPad = acAutoPad->isChecked();
  s.AutoPadAll = acAutoPadUsingSelectedFrames->isChecked();
  s.RememberExportSettings = RememberExportSettings;
  s.ExportImageBitDepth = PixelFormatBits(ExportBitDepth);
  s.FrameDataExportType = FrameDataExportType;
  s.ArchiveSearchFilter = ToStd(ArchiveSearchFilter);
  s.Filter = ToStd(OpenFilter);
  s.FilterIndex = OpenFilterIndex;
  s.PreLoad = acPreLoad->isChecked();
  s.PreLoadCount = PreLoadCount;
  s.SaveLastDir = ToStd(SaveLastDir);
  s.LoadLastDir = ToStd(LoadLastDir);
  s.MaxHistoryListSize = MaxHistoryListSize;
  s.HistoryList = FHistory->Items();

  TIniFile ini(ToStd(FSettingsFile));
  SaveAppSettings(ini, s, stateValue, ToStd(ProgramFolder()));
  if (!ini.UpdateFile() && Console)
    Console->Log(8, "Could not write the settings file: " + ini.LastError());
}

void TMainForm::LoadSettings() {
  Updating = true;
  struct TClear {
    bool& Flag;
    ~TClear() { Flag = false; }
  } clear{Updating};

  TAppSettings s;
  const QRect bounds = geometry();
  s.Bounds = {bounds.top(), bounds.left(), bounds.width(), bounds.height()};
  s.WindowState = isMinimized() ? wsMinimized : isMaximized() ? wsMaximized : wsNormal;
  const int stateBefore = s.WindowState;
  s.SaveLastDir = s.LoadLastDir = ToStd(QDir::currentPath());
  TIniFile ini(ToStd(FSettingsFile));
  const int storedState = ini.ReadInteger("WindowPos", "WindowState", stateBefore);
  LoadAppSettings(ini, s, ToStd(ProgramFolder()));

  if (storedState >= wsNormal && storedState <= wsMaximized) {
    // A window far too small to use is not restored.
    const QRect stored(s.Bounds.Left, s.Bounds.Top, std::max(s.Bounds.Width, 120),
                       std::max(s.Bounds.Height, 80));
    if (isMaximized() || isMinimized()) setWindowState(Qt::WindowNoState);
    setGeometry(stored);
    if (storedState == wsMinimized) setWindowState(Qt::WindowMinimized);
    if (storedState == wsMaximized) setWindowState(Qt::WindowMaximized);
  }

  SeperatorWidth = s.SeperatorWidth;
  ImageNameWidth = s.ImageNameWidth;
  FrameWidth = s.FrameWidth;
  AnimatedWidth = s.AnimatedWidth;
  acAnimate->setChecked(s.Animated);
  SetAnimationSpeed(s.AnimationSpeed);
  acAutoCentre->setChecked(s.AutoCentre);
  acAutoSelect1stImage->setChecked(s.AutoSelect1stImage);
  acViewSubFrames->setChecked(s.ViewSubFrames);
  acTransparent->setChecked(s.Transparent);
  SetBackGroundColor(uint32_t(s.BackGroundColor));
  acExportFrameWhenExportFrameData->setChecked(s.ExportFrameWhenExportFrameData);
  acAutoPad->setChecked(s.AutoPad);
  acAutoPadUsingSelectedFrames->setChecked(s.AutoPadAll);
  RememberExportSettings = s.RememberExportSettings;
  TPixelFormat format = pf24bit;
  PixelFormatFromBits(s.ExportImageBitDepth, format);
  SetExportBitDepth(format);
  SetFrameDataExportType(s.FrameDataExportType);
  ArchiveSearchFilter = FromStd(s.ArchiveSearchFilter);
  OpenFilter = FromStd(s.Filter);
  OpenFilterIndex = s.FilterIndex;
  acPreLoad->setChecked(s.PreLoad);
  PreLoadCount = s.PreLoadCount;
  SaveLastDir = FromStd(s.SaveLastDir);
  LoadLastDir = FromStd(s.LoadLastDir);

  SetMaxHistoryListSize(s.MaxHistoryListSize);
  for (auto name = s.HistoryList.rbegin(); name != s.HistoryList.rend(); ++name)
    AddToHistory(FromStd(*name));
}

void TMainForm::SetBackGroundColor(uint32_t colour) {
  if (colour == BackGroundColor) return;
  BackGroundColor = colour;
  RepaintViews();
}

void TMainForm::SetAnimationSpeed(int speed) {
  if (speed == AnimationSpeed) return;
  AnimationSpeed = speed;
  SaveSettings();
  for (TQuvView* view : Views()) view->SetAnimationSpeedSelector(speed);
}

void TMainForm::SetExportBitDepth(TPixelFormat format) {
  for (TQuvView* view : Views())
    if (TFrontEndImages* front = view->FrontEnd()) front->ExportPixelFormat = format;
  if (format == ExportBitDepth) return;
  ExportBitDepth = format;
  SaveSettings();
}

void TMainForm::SetFrameDataExportType(int type) {
  type = NormalizeFrameDataExportType(type);
  for (TQuvView* view : Views())
    if (TFrontEndImages* front = view->FrontEnd()) front->FrameDataExportType = uint8_t(type);
  if (type == FrameDataExportType) return;
  FrameDataExportType = type;
  SaveSettings();
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
        this, SplitRequestLines(EncodeOpenRequest(names, ToStd(QDir::currentPath()))));
  } else {
    OpenFiles(commandLineFiles);
  }
  ProcessPendingWindowMenu(5);
}

void TMainForm::WindowSaveSettings() {
  if (!Activated || Updating) return;
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

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
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
  SaveSettings();
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

void TMainForm::TimerTimer() {
  if (TQuvView* view = ActiveView()) {
    if (auto* list = view->ImageList()) {
      for (int column = 0; column < 3; ++column)
        if (list->columnWidth(column) < 1) list->setColumnWidth(column, 1);
      int* settings[3] = {&ImageNameWidth, &AnimatedWidth, &FrameWidth};
      for (int column = 0; column < 3; ++column) {
        const int width = list->columnWidth(column);
        if (width == *settings[column]) continue;
        *settings[column] = width;
        SaveSettings();
        for (TQuvView* other : Views())
          if (other != view && other->ImageList())
            other->ImageList()->setColumnWidth(column, width);
      }
    }
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
  QString where;
  if (const auto* located = dynamic_cast<const Exception*>(&error)) {
    where = FromStd(FormatLocation(located->Where()));
  } else {
    where = QStringLiteral("Program: %1\nFile: %2\nProcedure: %3\nLine: %4\n")
                .arg(FromStd(ProgramFileName()), QString(), QString(), QString());
  }
  const QString text = QStringLiteral("%1\nError message:\n\"%2\"\n\nTerminate application?")
                           .arg(where, QString::fromUtf8(error.what()));
  const auto answer = Dialogs().Message(this, QStringLiteral("Error at:"), text,
                                        QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No);
  if (answer == QMessageBox::Yes) Terminate();
}

void TMainForm::Terminate() {
  close();  // views closed and settings written first
  Terminating = true;
  QCoreApplication::exit(0);
}
