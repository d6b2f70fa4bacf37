#pragma once
// The child windows of the main window's MDI area: where a new one opens, tiling, cascading
// and the icons of minimized ones, tabs instead of windows, and switching to the next or
// previous child (Ctrl+Tab / Ctrl+Shift+Tab, or a view's request).
#include <QList>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

class QAction;
class QEvent;
class QMdiArea;
class QMdiSubWindow;
class QWidget;

class TWindowArranger : public QObject {
  Q_OBJECT
 public:
  // `window`: the main window, whose drawing is held during a switch and whose keys switch.
  TWindowArranger(QWidget* window, QMdiArea* area);

  void Tile(bool horizontal);
  void ArrangeIcons();
  void MinimizeAll();
  void MaximizeAll();
  // Tabs fill the area: the arranging commands are off while they are on.
  void SetTabs(bool on, const QList<QAction*>& arrangeActions);
  // A tab names the file alone and has the full path as its tip.
  void UpdateTabCaptions();
  // Where a new child window of that size opens.
  QPoint CascadePosition(const QSize& size) const;
  int CascadeStep() const;  // a title bar's height

  // ---- Switching ----
  bool NextChildRequested = false;
  bool PreviousChildRequested = false;
  void SwitchToNextChild();
  void SwitchToPreviousChild();
  void ProcessChildSwitchRequest();  // consumes NextChildRequested / PreviousChildRequested
  // A view's next- or previous-window command; the switch runs once the key has been handled.
  void RequestChildSwitch(bool next);
  // The key events Ctrl+Tab and Ctrl+Shift+Tab switch children here rather than in QMdiArea.
  bool HandleSwitchKey(QEvent* event);

 private:
  void ActivateChild(QMdiSubWindow* child);
  QMdiSubWindow* BeginChildSwitch(QList<QMdiSubWindow*>& order);

  QWidget* FWindow;
  QMdiArea* FArea;
  QString FBeforeCaption, FAfterCaption;
  bool FMaximizeRestore = false;
};
