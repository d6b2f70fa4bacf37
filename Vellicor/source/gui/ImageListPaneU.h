#pragma once
// The list of a view's images under its filter box: a row per named image in file order, sorted
// by a click on a column header, narrowed by the filter, with one image shown or several
// selected for the exports of the selection, and the right-click menu of each state. It tells
// the view which image to show, and when a multi-selection starts, through signals.
#include <QList>
#include <QScopeGuard>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>
#include <exception>
#include <functional>

class QAction;
class QLineEdit;
class QMenu;
class TFrameCursor;
class TFrontEndImage;
class TImageClass;

// A row of the image list; it keeps the image object made for it.
class TQuvImageListItem : public QTreeWidgetItem {
 public:
  using QTreeWidgetItem::QTreeWidgetItem;
  bool operator<(const QTreeWidgetItem& other) const override;
  TFrontEndImage* Image = nullptr;
};

class TImageListPane : public QWidget {
  Q_OBJECT
 public:
  TImageListPane(TFrameCursor* cursor, QWidget* parent = nullptr);

  QTreeWidget* List() const { return FList; }
  QLineEdit* Filter() const { return FFilter; }
  // The right-click menus: one image shown (nulls are separators), several selected.
  void SetMenus(const QList<QAction*>& selection, const QList<QAction*>& multiSelected);
  QMenu* ListPopupMenu() const { return FListPopupMenu; }  // the list's present menu
  QMenu* SelectionMenu() const { return FSelectionMenu; }
  QMenu* MultiSelectedMenu() const { return FMultiSelectedMenu; }

  // A row per image of the collection, in file order; sorting back to file order.
  void AddRows(const TImageClass* collection);
  const QStringList& ImageNames() const { return FImageNames; }
  // The selection handler runs from now on.
  void AttachSelectHandler() { FSelectHandlerAttached = true; }
  // The selection handler is detached until the guard ends.
  QScopeGuard<std::function<void()>> DetachSelectHandler();

  TQuvImageListItem* FindRow(const QString& name) const;
  TFrontEndImage* RowImage(QTreeWidgetItem* row);
  // The row becomes the selected and current one, scrolled into sight.
  void MarkShown(QTreeWidgetItem* row);
  // Makes the named image the list's one selection (and so the one shown); false when the file
  // has no image of that name.
  bool ShowImageNamed(const QString& name);
  void SelectNeighbour(int delta);  // Up/Down: the previous or next image of the list
  int SelectedRowCount() const;
  QList<QTreeWidgetItem*> SelectedRowsInListOrder() const;
  QList<QTreeWidgetItem*> AllRowsInListOrder() const;

  bool MultiSelectMode() const { return FMultiSelectMode; }
  void SetMultiSelect(bool on);
  void QuvImageListSelectItem(QTreeWidgetItem* item, bool selected);

  void QuvImageListColumnClick(int column);
  int QuvImageListCompare(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const;
  int SortColumn() const { return FSortColumn; }
  int SortDirection() const { return FSortDirection; }

 signals:
  void imageChosen(const QString& name);  // the one selected row, not the image shown
  void multiSelectStarted();              // the shown image is to go
  void failed(const std::exception& error);

 private:
  void OnSelectionChanged();
  void FilterImages(const QString& text);

  TFrameCursor* FCursor;
  QLineEdit* FFilter;
  QTreeWidget* FList;
  QMenu* FSelectionMenu = nullptr;      // PopUpMenu_Selection
  QMenu* FMultiSelectedMenu = nullptr;  // PopUpMenu_MultiSelected
  QMenu* FListPopupMenu = nullptr;
  QStringList FImageNames;
  int FSortColumn = 0;
  int FSortDirection = 0;
  bool FMultiSelectMode = false;
  QString FLastSelectedName;
  bool FSelectHandlerAttached = false;
};
