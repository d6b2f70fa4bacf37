#include "WindowArrangementU.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QTabBar>
#include <algorithm>

#include "QuvViewU.h"

TWindowArranger::TWindowArranger(QWidget* window, QMdiArea* area)
    : QObject(window), FWindow(window), FArea(area) {}

void TWindowArranger::Tile(bool horizontal) {
  QList<QMdiSubWindow*> children;
  for (QMdiSubWindow* child : FArea->subWindowList(QMdiArea::StackingOrder))
    if (!child->isMinimized() && child->isVisible()) children << child;
  if (children.isEmpty()) return;
  std::reverse(children.begin(), children.end());  // the active one first
  const QRect area = FArea->viewport()->rect();
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

void TWindowArranger::ArrangeIcons() {
  int x = 0;
  const int bottom = FArea->viewport()->height();
  for (QMdiSubWindow* child : FArea->subWindowList(QMdiArea::CreationOrder)) {
    if (!child->isMinimized()) continue;
    const QSize size = child->size();
    child->move(x, bottom - size.height());
    x += size.width();
  }
}

void TWindowArranger::MinimizeAll() {
  for (QMdiSubWindow* child : FArea->subWindowList()) child->showMinimized();
  ArrangeIcons();
}

void TWindowArranger::MaximizeAll() {
  for (QMdiSubWindow* child : FArea->subWindowList()) child->showMaximized();
}

void TWindowArranger::SetTabs(bool on, const QList<QAction*>& arrangeActions) {
  FArea->setViewMode(on ? QMdiArea::TabbedView : QMdiArea::SubWindowView);
  if (on) {
    FArea->setTabsClosable(true);
    FArea->setTabsMovable(true);
    FArea->setDocumentMode(true);
  }
  for (QAction* action : arrangeActions) action->setEnabled(!on);
  UpdateTabCaptions();
}

// The window caption adds the folder and image to the file's name. The area keeps its tabs in
// the order of its windows' creation list.
void TWindowArranger::UpdateTabCaptions() {
  auto* tabs = FArea->viewMode() == QMdiArea::TabbedView ? FArea->findChild<QTabBar*>() : nullptr;
  const QList<QMdiSubWindow*> children = FArea->subWindowList(QMdiArea::CreationOrder);
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
int TWindowArranger::CascadeStep() const {
  return std::max(16, FWindow->style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2);
}

QPoint TWindowArranger::CascadePosition(const QSize& size) const {
  const QRect area = FArea->viewport()->rect();
  const int step = CascadeStep();
  const int fitX = std::max(0, area.width() - size.width()) / step + 1;
  const int fitY = std::max(0, area.height() - size.height()) / step + 1;
  const int others = std::max(0, int(FArea->subWindowList().size()) - 1);
  const int k = others % std::min(fitX, fitY);
  return {k * step, k * step};
}

// ---- Switching ----

void TWindowArranger::ActivateChild(QMdiSubWindow* child) {
  FArea->setActiveSubWindow(child);
  child->raise();
}

// Common start of both switches: fewer than two children only beep; otherwise drawing is held
// and a maximized active child is restored for the switch. Returns the active child, or null.
QMdiSubWindow* TWindowArranger::BeginChildSwitch(QList<QMdiSubWindow*>& order) {
  order = FArea->subWindowList(QMdiArea::StackingOrder);
  if (order.size() < 2) {
    QApplication::beep();
    return nullptr;
  }
  FWindow->setUpdatesEnabled(false);
  QMdiSubWindow* active = FArea->currentSubWindow() ? FArea->currentSubWindow() : order.back();
  if (active->isMaximized()) {
    FMaximizeRestore = true;
    active->showNormal();
  }
  return active;
}

void TWindowArranger::SwitchToNextChild() {
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
  FWindow->setUpdatesEnabled(true);
}

void TWindowArranger::SwitchToPreviousChild() {
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
  FWindow->setUpdatesEnabled(true);
}

void TWindowArranger::ProcessChildSwitchRequest() {
  if (!NextChildRequested && !PreviousChildRequested) return;
  if (NextChildRequested)
    SwitchToNextChild();
  else
    SwitchToPreviousChild();
  NextChildRequested = false;
  PreviousChildRequested = false;
}

bool TWindowArranger::HandleSwitchKey(QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (!(key->modifiers() & Qt::ControlModifier)) return false;
  if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
  // Only keys typed into this window (not into a dialog of it) switch children.
  QWidget* focus = QApplication::focusWidget();
  QWidget* window = focus ? focus->window() : QApplication::activeWindow();
  if (window && window != FWindow) return false;
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

void TWindowArranger::RequestChildSwitch(bool next) {
  if (next)
    NextChildRequested = true;
  else
    PreviousChildRequested = true;
  QMetaObject::invokeMethod(
      this, [this] { ProcessChildSwitchRequest(); }, Qt::QueuedConnection);
}
