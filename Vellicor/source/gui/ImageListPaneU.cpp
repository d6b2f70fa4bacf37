#include "ImageListPaneU.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>

#include "FrameCursorU.h"
#include "ImageLoaderU.h"
#include "PopupMenuU.h"
#include "QtStringU.h"
#include "StringUtilsU.h"

bool TQuvImageListItem::operator<(const QTreeWidgetItem& other) const {
  QWidget* owner = treeWidget();
  while (owner && !qobject_cast<TImageListPane*>(owner)) owner = owner->parentWidget();
  if (auto* pane = qobject_cast<TImageListPane*>(owner))
    return pane->QuvImageListCompare(this, &other) < 0;
  return QTreeWidgetItem::operator<(other);
}

// The list under its filter box; the list's own type-ahead still jumps to a name.
TImageListPane::TImageListPane(TFrameCursor* cursor, QWidget* parent)
    : QWidget(parent), FCursor(cursor) {
  auto* paneLayout = new QVBoxLayout(this);
  paneLayout->setContentsMargins(0, 0, 0, 0);
  paneLayout->setSpacing(2);
  FFilter = new QLineEdit(this);
  FFilter->setPlaceholderText(QStringLiteral("Filter images"));
  FFilter->setToolTip(QStringLiteral("Lists only the images whose names hold this text"));
  FFilter->setClearButtonEnabled(true);
  connect(FFilter, &QLineEdit::textChanged, this, &TImageListPane::FilterImages);
  paneLayout->addWidget(FFilter);
  FList = new QTreeWidget(this);
  paneLayout->addWidget(FList, 1);
  FList->setColumnCount(3);
  FList->setHeaderLabels(
      {QStringLiteral("Image Name"), QStringLiteral("Animated"), QStringLiteral("Frames")});
  FList->setRootIsDecorated(false);
  FList->setItemsExpandable(false);
  FList->setUniformRowHeights(true);
  FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FList->setDragEnabled(true);
  FList->setSortingEnabled(false);
  FList->header()->setSectionsClickable(true);
  FList->header()->setSortIndicatorShown(false);
  FList->header()->setStretchLastSection(false);
  // Columns may be dragged down to one pixel; the main window's timer keeps them at least that.
  FList->header()->setMinimumSectionSize(1);
  // Never narrower than the captions themselves.
  FList->setColumnWidth(0, std::max(80, FList->header()->sectionSizeHint(0)));
  FList->setColumnWidth(1, std::max(60, FList->header()->sectionSizeHint(1)));
  FList->setToolTip(QStringLiteral(
      "Select the image from the QUV you wish to view. Right click for a popup menu."));
  FList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FList->header(), &QHeaderView::sectionClicked, this,
          &TImageListPane::QuvImageListColumnClick);
  connect(FList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TImageListPane::OnSelectionChanged);
  connect(FList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (FListPopupMenu) ShowPopupMenu(FListPopupMenu, FList->viewport(), pos);
  });
}

void TImageListPane::SetMenus(const QList<QAction*>& selection,
                              const QList<QAction*>& multiSelected) {
  FSelectionMenu = new QMenu(this);
  for (QAction* action : selection)
    if (action)
      FSelectionMenu->addAction(action);
    else
      FSelectionMenu->addSeparator();
  FMultiSelectedMenu = new QMenu(this);
  FMultiSelectedMenu->addActions(multiSelected);
  FListPopupMenu = FMultiSelectMode ? FMultiSelectedMenu : FSelectionMenu;
}

void TImageListPane::AddRows(const TImageClass* collection) {
  FSortColumn = 0;
  FSortDirection = 0;
  FList->clear();
  FImageNames.clear();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(qsizetype(collection->Images.size()));
  for (const auto& image : collection->Images) {
    const QString name = FromStd(image->Name);
    auto* row = new TQuvImageListItem(
        QStringList{name, image->FrameCount >= 2 ? QStringLiteral("True") : QStringLiteral("False"),
                    QString::number(image->FrameCount)});
    row->setData(0, Qt::UserRole, int(FImageNames.size()));
    row->setData(0, Qt::UserRole + 1, QByteArray::fromStdString(image->Name));
    FImageNames.append(name);
    rows.append(row);
  }
  FList->addTopLevelItems(rows);
}

// ---- Rows ----

TQuvImageListItem* TImageListPane::FindRow(const QString& name) const {
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    auto* row = static_cast<TQuvImageListItem*>(FList->topLevelItem(i));
    if (row->text(0) == name) return row;
  }
  return nullptr;
}

TFrontEndImage* TImageListPane::RowImage(QTreeWidgetItem* row) {
  auto* item = static_cast<TQuvImageListItem*>(row);
  if (!item->Image)
    item->Image =
        FCursor->FrontEnd()->GetImage(item->data(0, Qt::UserRole + 1).toByteArray().toStdString());
  return item->Image;
}

void TImageListPane::MarkShown(QTreeWidgetItem* row) {
  row->setSelected(true);
  FList->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
  FList->scrollToItem(row);
}

bool TImageListPane::ShowImageNamed(const QString& name) {
  TQuvImageListItem* row = FindRow(name);
  if (!row) return false;
  FList->setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect);
  FList->scrollToItem(row);
  return true;
}

int TImageListPane::SelectedRowCount() const {
  return int(FList->selectedItems().size());
}

QList<QTreeWidgetItem*> TImageListPane::SelectedRowsInListOrder() const {
  QList<QTreeWidgetItem*> rows;
  for (int i = 0; i < FList->topLevelItemCount(); ++i)
    if (FList->topLevelItem(i)->isSelected()) rows.append(FList->topLevelItem(i));
  return rows;
}

QList<QTreeWidgetItem*> TImageListPane::AllRowsInListOrder() const {
  QList<QTreeWidgetItem*> rows;
  for (int i = 0; i < FList->topLevelItemCount(); ++i) rows.append(FList->topLevelItem(i));
  return rows;
}

void TImageListPane::SelectNeighbour(int delta) {
  // Among the rows the filter leaves.
  QTreeWidgetItem* at = FList->currentItem();
  if (at && at->isHidden()) at = nullptr;
  QTreeWidgetItem* next = nullptr;
  if (at)
    next = delta < 0 ? FList->itemAbove(at) : FList->itemBelow(at);
  else
    for (int i = 0; i < FList->topLevelItemCount() && !next; ++i)
      if (!FList->topLevelItem(i)->isHidden()) next = FList->topLevelItem(i);
  if (!next) next = at;  // at an end of the list
  if (!next || (next == at && SelectedRowCount() == 1)) return;
  // As a click on the row: it alone is selected, and the selection handler shows it.
  FList->setCurrentItem(next);
}

// Rows the filter hides leave the selection, so that the exports of the selection take what
// the list shows.
void TImageListPane::FilterImages(const QString& text) {
  QList<QTreeWidgetItem*> leaving;
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = FList->topLevelItem(i);
    const bool hide = !row->text(0).contains(text, Qt::CaseInsensitive);
    row->setHidden(hide);
    if (hide && row->isSelected()) leaving << row;
  }
  for (QTreeWidgetItem* row : leaving) row->setSelected(false);
}

// ---- Selection ----

QScopeGuard<std::function<void()>> TImageListPane::DetachSelectHandler() {
  const bool attached = FSelectHandlerAttached;
  FSelectHandlerAttached = false;
  return QScopeGuard<std::function<void()>>(
      [this, attached] { FSelectHandlerAttached = attached; });
}

void TImageListPane::OnSelectionChanged() {
  if (!FSelectHandlerAttached) return;
  // Qt reports a click as one change of the whole selection; the resulting set decides.
  try {
    const QList<QTreeWidgetItem*> rows = FList->selectedItems();
    if (rows.size() >= 2) {
      SetMultiSelect(true);
      return;
    }
    // Narrowed to one row out of several: that row is the one to show again.
    if (rows.size() == 1 && FMultiSelectMode) FLastSelectedName = rows.first()->text(0);
    SetMultiSelect(false);
    const QList<QTreeWidgetItem*> now = FList->selectedItems();
    if (now.size() == 1) QuvImageListSelectItem(now.first(), true);
  } catch (const std::exception& error) {
    emit failed(error);
  }
}

void TImageListPane::QuvImageListSelectItem(QTreeWidgetItem* item, bool selected) {
  if (!item) return;
  const int count = SelectedRowCount();
  if (!selected) {
    if (count <= 1) SetMultiSelect(false);
    return;
  }
  if (count >= 2) {
    SetMultiSelect(true);
    return;
  }
  if (count == 0) {
    SetMultiSelect(false);
    return;
  }
  SetMultiSelect(false);
  const QString caption = item->text(0);
  if (FCursor->Image() && FCursor->ImageName() == caption) return;
  FLastSelectedName = caption;
  emit imageChosen(caption);
}

void TImageListPane::SetMultiSelect(bool on) {
  if (on == FMultiSelectMode) return;
  FMultiSelectMode = on;
  if (on) {
    if (FCursor->Image()) FLastSelectedName = FCursor->ImageName();
    FListPopupMenu = FMultiSelectedMenu;
    emit multiSelectStarted();
    return;
  }
  FListPopupMenu = FSelectionMenu;
  if (FLastSelectedName.isEmpty()) return;
  const auto reattach = DetachSelectHandler();
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = FList->topLevelItem(i);
    if (row->text(0) == FLastSelectedName) {
      row->setSelected(true);
      FList->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
      FLastSelectedName.clear();
    } else {
      row->setSelected(false);
    }
  }
}

// ---- Sorting ----

void TImageListPane::QuvImageListColumnClick(int column) {
  FSortDirection = (FSortDirection + 1) % 3;
  FSortColumn = FSortDirection == 0 ? 0 : column + 1;
  const auto reattach = DetachSelectHandler();
  FList->sortItems(0, Qt::AscendingOrder);
}

int TImageListPane::QuvImageListCompare(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const {
  auto sign = [](int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
  if (FSortDirection == 0)
    return sign(int64_t(a->data(0, Qt::UserRole).toInt()) - b->data(0, Qt::UserRole).toInt());
  int result = 0;
  switch (FSortColumn) {
    case 1:
      result = sign(AnsiCompareText(ToStd(a->text(0)), ToStd(b->text(0))));
      break;
    case 2:
      result = sign(AnsiCompareText(ToStd(a->text(1)), ToStd(b->text(1))));
      break;
    case 3:
      result = sign(int64_t(a->text(2).toInt()) - b->text(2).toInt());
      break;
    default:
      break;
  }
  return FSortDirection == 2 ? -result : result;
}
