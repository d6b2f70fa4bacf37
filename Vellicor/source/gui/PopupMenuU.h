#pragma once
// A right-click menu pops up only when it has a command on show.
#include <QMenu>
#include <QWidget>
#include <algorithm>

inline void ShowPopupMenu(QMenu* menu, QWidget* widget, const QPoint& pos) {
  const QList<QAction*> actions = menu->actions();
  const bool anyVisible = std::any_of(actions.begin(), actions.end(), [](QAction* action) {
    return action->isVisible() && !action->isSeparator();
  });
  if (anyVisible) menu->popup(widget->mapToGlobal(pos));
}
