#include "MainMenusU.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QUndoGroup>
#include <algorithm>

#include "EditDocumentU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"

namespace {

// A history caption shows the name itself: '&' would otherwise become a mnemonic.
QString MenuCaption(const QString& name) {
  QString caption = name;
  caption.replace('&', QStringLiteral("&&"));
  return caption;
}

}  // namespace

TMyMenuItem::TMyMenuItem(const QString& fileName, QObject* parent)
    : QAction(MenuCaption(fileName), parent), FileName(fileName) {}

TMainMenus::TMainMenus(QMainWindow* window, QMdiArea* area, TMainActions& actions,
                       TSettingsModel* settings)
    : QObject(window),
      FArea(area),
      FUndoGroup(new QUndoGroup(this)),
      FFrameStrip(actions.ToggleActions[tgFrameStrip]) {
  // "Undo Shift Offsets": the step's own name follows the prefix.
  acUndo = FUndoGroup->createUndoAction(window, QStringLiteral("&Undo"));
  acUndo->setShortcut(QKeySequence::Undo);
  acRedo = FUndoGroup->createRedoAction(window, QStringLiteral("&Redo"));
  acRedo->setShortcuts(
      {QKeySequence(QStringLiteral("Ctrl+Shift+Z")), QKeySequence(QStringLiteral("Ctrl+Y"))});
  CreateMenus(window, actions);
  CreateToolBar(window, actions);
  // The File menu mirrors the history held by the settings.
  connect(settings, &TSettingsModel::historyInserted, this, &TMainMenus::InsertHistoryItem);
  connect(settings, &TSettingsModel::historyMovedToTop, this, &TMainMenus::MoveHistoryItemToTop);
  connect(settings, &TSettingsModel::historyOldestRemoved, this,
          &TMainMenus::RemoveOldestHistoryItem);
}

// Every menu in its order on screen, one entry a line.
void TMainMenus::CreateMenus(QMainWindow* window, TMainActions& actions) {
  QMenuBar* bar = window->menuBar();
  FileMenu = bar->addMenu(QStringLiteral("&File"));
  FileMenu->addAction(actions.acNewQuv);
  FileMenu->addAction(actions.acOpenQuv);
  FileMenu->addAction(actions.acOpenGameFolder);
  FileMenu->addAction(actions.acSave);
  FileMenu->addAction(actions.acSaveAs);
  FileMenu->addAction(actions.WindowClose1);
  FileMenu->addAction(actions.WindowCloseAll1);
  FileMenu->addSeparator();
  FileMenu->addAction(actions.acQuit);

  EditMenu = bar->addMenu(QStringLiteral("&Edit"));
  FEditHotSpots = actions.acEditHotSpots;
  ShowEditCommands(nullptr);

  SettingsMenu = bar->addMenu(QStringLiteral("&Settings"));
  for (TToggle toggle : {tgAutoSelect1stImage, tgAnimated, tgViewSubFrames, tgAutoCentre,
                         tgTransparent, tgPreLoad, tgAutoPad, tgAutoPadAll})
    SettingsMenu->addAction(actions.ToggleActions[toggle]);
  SettingsMenu->addSeparator();
  for (TToggle aid : {tgCheckerboard, tgCrosshair, tgFrameBounds, tgSubFrameOutline, tgOnionSkin})
    SettingsMenu->addAction(actions.ToggleActions[aid]);
  SettingsMenu->addSeparator();
  SettingsMenu->addAction(actions.acSettings);
  SettingsMenu->addSeparator();
  SettingsMenu->addAction(actions.acTabs);
  SettingsMenu->addAction(actions.acLoadPalette);
  SettingsMenu->addAction(actions.acBuiltInPalette);
  SettingsMenu->addAction(actions.acTransparentIndex);

  ImageManipulationMenu = bar->addMenu(QStringLiteral("&Image Manipulation"));
  ImageManipulationMenu->menuAction()->setVisible(false);

  ViewMenu = bar->addMenu(QStringLiteral("&View"));
  ViewMenu->menuAction()->setEnabled(false);

  WindowMenu = bar->addMenu(QStringLiteral("&Window"));
  WindowMenu->addActions(actions.ArrangeActions());
  WindowMenuEndMarker = WindowMenu->addAction(QStringLiteral("-"));
  WindowMenuEndMarker->setVisible(false);

  HelpMenu = bar->addMenu(QStringLiteral("&Help"));
  HelpMenu->addAction(actions.acKeysHelp);
  HelpMenu->addSeparator();
  HelpMenu->addAction(actions.acAbout);
}

void TMainMenus::CreateToolBar(QMainWindow* window, TMainActions& actions) {
  ToolBar = window->addToolBar(QStringLiteral("ToolBar"));
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setIconSize(QSize(20, 20));
  ToolBar->addAction(actions.acOpenQuv);
  ToolBar->addAction(actions.acSave);
  ToolBar->addSeparator();
  ToolBar->addAction(actions.acEditHotSpots);
  ToolBar->addSeparator();
  ToolBar->addAction(actions.WindowCascade1);
  ToolBar->addAction(actions.WindowTileHorizontal1);
  ToolBar->addAction(actions.WindowTileVertical1);
  // Shortcuts of hidden menu items must still work from anywhere in the window.
  window->addActions({actions.acNewQuv, actions.acSelectAll});
}

QList<QAction*> TMainMenus::FixedCommands() const {
  QList<QAction*> commands;
  for (QMenu* menu : {FileMenu, EditMenu, SettingsMenu, WindowMenu, HelpMenu})
    commands << menu->actions();
  return commands;
}

// ---- History ----

void TMainMenus::InsertHistoryItem(const QString& name) {
  auto* item = new TMyMenuItem(name, FileMenu);
  connect(item, &QAction::triggered, this, [this, item] { emit historyChosen(item->FileName); });
  QList<QAction*> items = FileMenu->actions();
  const qsizetype position = items.size() - FHistoryItems.size() - 2;
  FileMenu->insertAction(items[position], item);
  if (!(position > 0 && items[position - 1]->isSeparator())) FileMenu->insertSeparator(item);
  FHistoryItems.prepend(item);
}

void TMainMenus::MoveHistoryItemToTop(int fromIndex) {
  if (fromIndex <= 0 || fromIndex >= FHistoryItems.size()) return;
  TMyMenuItem* item = FHistoryItems.takeAt(fromIndex);
  FileMenu->removeAction(item);
  FileMenu->insertAction(FHistoryItems.front(), item);
  FHistoryItems.prepend(item);
}

void TMainMenus::RemoveOldestHistoryItem() {
  QList<QAction*> items = FileMenu->actions();
  if (FHistoryItems.isEmpty() || items.size() < 3) return;
  QAction* oldest = items[items.size() - 3];
  FileMenu->removeAction(oldest);
  FHistoryItems.removeAll(static_cast<TMyMenuItem*>(oldest));
  oldest->deleteLater();
}

QList<TMyMenuItem*> TMainMenus::HistoryMenuItems() const {
  QList<TMyMenuItem*> items;
  for (QAction* action : FileMenu->actions())
    if (auto* item = qobject_cast<TMyMenuItem*>(action)) items << item;
  return items;
}

// ---- Window menu ----

void TMainMenus::ProcessPendingWindowMenu(int count) {
  for (int i = 0; i <= count && !PendingWindowMenu.empty(); ++i) {
    TQuvView* view = PendingWindowMenu.front();
    PendingWindowMenu.pop_front();
    if (view) CreateWindowMenuEntry(view);
  }
}

void TMainMenus::CreateWindowMenuEntry(TQuvView* view) {
  if (FWindowMenuEntries.contains(view)) return;
  auto* entry = new QAction(view->FileName(), WindowMenu);
  connect(entry, &QAction::triggered, this, [this, view] {
    auto* child = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    if (!child) return;
    if (child->isMinimized()) child->showNormal();
    FArea->setActiveSubWindow(child);
  });
  const QList<QAction*> actions = WindowMenu->actions();
  if (!actions.isEmpty() && actions.last() == WindowMenuEndMarker) WindowMenu->addSeparator();
  WindowMenu->addAction(entry);
  FWindowMenuEntries.insert(view, entry);
}

QAction* TMainMenus::WindowMenuEntry(TQuvView* view) const {
  return FWindowMenuEntries.value(view);
}

void TMainMenus::RenameWindowMenuEntry(TQuvView* view, const QString& fileName) {
  if (QAction* entry = FWindowMenuEntries.value(view)) entry->setText(fileName);
}

void TMainMenus::ForgetView(TQuvView* view) {
  PendingWindowMenu.erase(std::remove(PendingWindowMenu.begin(), PendingWindowMenu.end(), view),
                          PendingWindowMenu.end());
  if (QAction* entry = FWindowMenuEntries.take(view)) {
    WindowMenu->removeAction(entry);
    delete entry;
  }
  if (FMenuView.isNull() || FMenuView == view) ViewMenusMerged(nullptr, false);
}

// ---- The active view's commands ----

// The view's own actions: their keys stay the view's, wherever the focus is inside it.
void TMainMenus::ShowViewCommands(TQuvView* view) {
  ViewMenu->clear();
  if (view) {
    ViewMenu->addActions(view->ZoomActions());
    ViewMenu->addSeparator();
    ViewMenu->addAction(FFrameStrip);
  }
  ViewMenu->menuAction()->setEnabled(view != nullptr);
  ShowEditCommands(view);
  QUndoStack* stack = view ? view->Edits()->UndoStack() : nullptr;
  if (stack) FUndoGroup->addStack(stack);  // once: the group keeps it till the view goes
  FUndoGroup->setActiveStack(stack);
}

// Undo and Redo, the edit mode, then the view's own edit commands.
void TMainMenus::ShowEditCommands(TQuvView* view) {
  EditMenu->clear();
  EditMenu->addActions({acUndo, acRedo});
  EditMenu->addSeparator();
  EditMenu->addAction(FEditHotSpots);
  if (view) EditMenu->addActions(view->EditActions());  // each group after a separator
}

// The menu holds the view's own actions, which carry their keys from there (the view's actions
// sit in no widget of their own); without a view that shows it, the menu is hidden.
void TMainMenus::ViewMenusMerged(TQuvView* view, bool on) {
  if (!on && view && FMenuView && FMenuView != view) return;
  ImageManipulationMenu->clear();
  const bool shown = on && view && view->MenuShown();
  FMenuView = shown ? view : nullptr;
  if (shown) ImageManipulationMenu->addActions(view->ImageManipulationActions());
  ImageManipulationMenu->menuAction()->setVisible(shown);
  if (on && view && FArea->currentSubWindow() && FArea->currentSubWindow()->widget() == view)
    ShowEditCommands(view);
}
