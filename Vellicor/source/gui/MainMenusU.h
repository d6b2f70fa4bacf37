#pragma once
// The main window's menu bar and tool bar: the File menu with the history the settings hold,
// "Image Manipulation" and "View" with the active view's own commands, and "Window" with one
// entry per view (entries of views opened by a batch wait in a queue until it allows them).
#include <QAction>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>

#include "MainActionsU.h"

class QMainWindow;
class QMdiArea;
class QMenu;
class QToolBar;
class QUndoGroup;
class TQuvView;
class TSettingsModel;

// A history entry of the File menu: clicking it opens FileName.
class TMyMenuItem : public QAction {
  Q_OBJECT
 public:
  TMyMenuItem(const QString& fileName, QObject* parent);
  QString FileName;
};

class TMainMenus : public QObject {
  Q_OBJECT
 public:
  TMainMenus(QMainWindow* window, QMdiArea* area, TMainActions& actions, TSettingsModel* settings);

  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;  // undo and redo of the active view's edits, then its commands
  QAction* acUndo = nullptr;
  QAction* acRedo = nullptr;
  QMenu* SettingsMenu = nullptr;
  QMenu* ImageManipulationMenu = nullptr;  // the active view's exports
  QMenu* ViewMenu = nullptr;               // the active view's zoom commands, "Frame Strip"
  QMenu* WindowMenu = nullptr;
  QAction* WindowMenuEndMarker = nullptr;  // hidden end marker
  QMenu* HelpMenu = nullptr;
  QToolBar* ToolBar = nullptr;

  QList<TMyMenuItem*> HistoryMenuItems() const;  // in menu order
  // Every command of the menus that do not follow the active view.
  QList<QAction*> FixedCommands() const;

  // ---- Window menu ----
  std::deque<TQuvView*> PendingWindowMenu;
  void QueueWindowMenuEntry(TQuvView* view) { PendingWindowMenu.push_back(view); }
  void ProcessPendingWindowMenu(int count);
  void CreateWindowMenuEntry(TQuvView* view);  // once per view
  QAction* WindowMenuEntry(TQuvView* view) const;
  void RenameWindowMenuEntry(TQuvView* view, const QString& fileName);
  // A view that is being destroyed leaves the queue, the Window menu and "Image Manipulation".
  void ForgetView(TQuvView* view);

  // ---- The active view's commands ----
  // The View menu, the Edit menu's undo steps and the view's edit commands.
  void ShowViewCommands(TQuvView* view);
  // The view that merged its menus last holds "Image Manipulation"; only that view takes it
  // away again.
  void ViewMenusMerged(TQuvView* view, bool on);

 signals:
  void historyChosen(const QString& fileName);

 private:
  void CreateMenus(QMainWindow* window, TMainActions& actions);
  void CreateToolBar(QMainWindow* window, TMainActions& actions);
  void InsertHistoryItem(const QString& name);
  void MoveHistoryItemToTop(int fromIndex);
  void RemoveOldestHistoryItem();
  void ShowEditCommands(TQuvView* view);

  QMdiArea* FArea;
  QUndoGroup* FUndoGroup;
  QAction* FEditHotSpots = nullptr;
  QList<TMyMenuItem*> FHistoryItems;  // most recent first
  QHash<TQuvView*, QAction*> FWindowMenuEntries;
  QPointer<TQuvView> FMenuView;    // the view whose exports "Image Manipulation" shows
  QAction* FFrameStrip = nullptr;  // every view's, under the active view's commands
};
