#include "GameSearchPaneU.h"

#include <QItemSelectionModel>
#include <algorithm>

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>
#include <vector>

#include "FileMaskU.h"
#include "GameSearchU.h"
#include "ImageNameIndexU.h"
#include "QtStringU.h"

// The rows of the last search, made into texts only when the list shows them.
class TGameSearchPane::TResultModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetResults(std::vector<TGameSearchResult> results) {
    beginResetModel();
    FResults = std::move(results);
    endResetModel();
  }
  const TGameSearchResult* Result(int row) const {
    return row >= 0 && row < int(FResults.size()) ? &FResults[size_t(row)] : nullptr;
  }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : int(FResults.size());
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : ColumnCount;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const TGameSearchResult* result = Result(index.row());
    if (!result || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    switch (index.column()) {
      case ColPath:
        return role == Qt::ToolTipRole ? FromStd(result->OpenPath) : FromStd(result->Path);
      case ColOrigin:
        return FromStd(result->Origin);
      case ColImages: {
        QStringList names;
        for (const std::string& name : result->Images) names << FromStd(name);
        return names.join(QStringLiteral(", "));
      }
      default:
        return {};
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[] = {"Path", "Origin", "Images"};
    return section >= 0 && section < ColumnCount ? tr(titles[section]) : QVariant();
  }

 private:
  std::vector<TGameSearchResult> FResults;
};

TGameSearchPane::TGameSearchPane(QWidget* parent)
    : QWidget(parent),
      FSearchBox(new QLineEdit(this)),
      FResults(new QTreeView(this)),
      FStatus(new QLabel(this)),
      FIndexNote(new QLabel(this)),
      FModel(new TResultModel(this)) {
  FSearchBox->setPlaceholderText(tr("Search file and image names"));
  FSearchBox->setClearButtonEnabled(true);
  FResults->setModel(FModel);
  FResults->setRootIsDecorated(false);
  FResults->setUniformRowHeights(true);  // a long list costs nothing to lay out
  FResults->setAllColumnsShowFocus(true);
  FResults->setSelectionBehavior(QAbstractItemView::SelectRows);
  FResults->setSelectionMode(QAbstractItemView::SingleSelection);
  FResults->header()->setStretchLastSection(true);
  FResults->setColumnWidth(ColPath, 260);
  FResults->setColumnWidth(ColOrigin, 120);
  for (QLabel* label : {FStatus, FIndexNote}) {
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
  }
  FIndexNote->hide();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FSearchBox);
  layout->addWidget(FResults, 1);
  layout->addWidget(FStatus);
  layout->addWidget(FIndexNote);
  connect(FSearchBox, &QLineEdit::textChanged, this, &TGameSearchPane::Search);
  connect(FSearchBox, &QLineEdit::returnPressed, this, [this] {
    const QModelIndex current = FResults->currentIndex();
    OpenRow(current.isValid() ? current : FModel->index(0, 0));
  });
  connect(FResults, &QAbstractItemView::doubleClicked, this, &TGameSearchPane::OpenRow);
  FSearchBox->installEventFilter(this);
  FResults->installEventFilter(this);
}

TGameSearchPane::~TGameSearchPane() = default;

void TGameSearchPane::SetGameFolder(TGameFolder* folder, std::shared_ptr<TGameSearch> search) {
  FIndex.reset();
  FSearch.reset();
  FFolder = folder;
  if (folder) FSearch = search ? std::move(search) : std::make_shared<TGameSearch>(*folder);
  FIndexNote->hide();
  Search();
}

void TGameSearchPane::SetIndex(std::shared_ptr<const TImageNameIndex> index) {
  FIndex = std::move(index);
  const size_t unreadable = FIndex ? FIndex->UnreadableCount() : 0;
  FIndexNote->setVisible(unreadable > 0);
  if (unreadable > 0) {
    FIndexNote->setText(unreadable == 1 ? tr("1 Quv file cannot be read")
                                        : tr("%1 Quv files cannot be read").arg(unreadable));
    QStringList reasons;
    for (const TImageNameRecord& record : FIndex->Records())
      if (!record.Error.empty() && reasons.size() < 20) reasons << FromStd(record.Error);
    FIndexNote->setToolTip(reasons.join('\n'));
  }
  Search();
}

void TGameSearchPane::SetIndexProgress(size_t done, size_t total) {
  FIndexNote->setToolTip(QString());
  FIndexNote->setText(tr("Indexing image names\u2026 %1 of %2").arg(done).arg(total));
  FIndexNote->show();
}

int TGameSearchPane::RowCount() const {
  return FModel->rowCount(QModelIndex());
}

std::vector<const TFileEntry*> TGameSearchPane::ResultFiles() const {
  std::vector<const TFileEntry*> files;
  for (int row = 0; row < RowCount(); ++row)
    if (const TGameSearchResult* result = FModel->Result(row); result && result->File)
      files.push_back(result->File);
  return files;
}

QStringList TGameSearchPane::OpenPaths() const {
  QList<int> rows;
  for (const QModelIndex& index : FResults->selectionModel()->selectedRows()) rows << index.row();
  if (rows.isEmpty())
    for (int row = 0; row < RowCount(); ++row) rows << row;
  std::sort(rows.begin(), rows.end());
  QStringList paths;
  for (int row : rows)
    if (const TGameSearchResult* result = FModel->Result(row)) paths << FromStd(result->OpenPath);
  return paths;
}

QString TGameSearchPane::Cell(int row, TColumn column) const {
  return FModel->data(FModel->index(row, column), Qt::DisplayRole).toString();
}

void TGameSearchPane::Search() {
  const std::string pattern = ToStd(FSearchBox->text().trimmed());
  std::vector<TGameSearchResult> results;
  size_t total = 0;
  FStatus->clear();
  if (FSearch && !pattern.empty()) {
    try {
      results = FSearch->Find(pattern, FIndex.get(), MaxRows, &total);
    } catch (const EMaskException& error) {
      FStatus->setText(tr("Invalid pattern: %1").arg(FromStd(error.what())));
    }
    if (FStatus->text().isEmpty()) {
      FStatus->setText(
          total == 0   ? tr("Nothing found")
          : total == 1 ? tr("1 file found")
          : total > results.size()
              ? tr("%1 files found, the first %2 listed").arg(total).arg(results.size())
              : tr("%1 files found").arg(total));
    }
  }
  FModel->SetResults(std::move(results));
  if (FModel->rowCount(QModelIndex()) > 0) FResults->setCurrentIndex(FModel->index(0, 0));
}

void TGameSearchPane::OpenRow(const QModelIndex& index) {
  const TGameSearchResult* result = FModel->Result(index.row());
  if (!result || !index.isValid()) return;
  emit openRequested(FromStd(result->OpenPath),
                     result->Images.empty() ? QString() : FromStd(result->Images.front()));
}

bool TGameSearchPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Escape && !FSearchBox->text().isEmpty()) {
    FSearchBox->clear();
    FSearchBox->setFocus();
    return true;
  }
  if (watched == FResults && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
    OpenRow(FResults->currentIndex());
    return true;
  }
  // Down from the box goes into the list, on the row that Enter would open.
  if (watched == FSearchBox && key == Qt::Key_Down && RowCount() > 0) {
    FResults->setFocus();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}
