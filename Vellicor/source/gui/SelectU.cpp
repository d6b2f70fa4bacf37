#include "SelectU.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ArchiveLoadersU.h"
#include "FileSystemU.h"

namespace {

enum { EntryRole = Qt::UserRole + 1 };

// A file-list row sorts through its dialog's comparison.
class TFileRow : public QTreeWidgetItem {
 public:
  TFileRow(TSelectFileInHpi* dialog, const QStringList& texts)
      : QTreeWidgetItem(texts), FDialog(dialog) {}
  bool operator<(const QTreeWidgetItem& other) const override {
    return FDialog->Compare(this, &other) < 0;
  }

 private:
  TSelectFileInHpi* FDialog;
};

int Sign(long long value) {
  return value < 0 ? -1 : value > 0 ? 1 : 0;
}

std::vector<std::string> SplitMasks(const QString& filter) {
  std::vector<std::string> masks;
  for (const QString& part : filter.split(';', Qt::SkipEmptyParts)) {
    const QString mask = part.trimmed();
    if (!mask.isEmpty()) masks.push_back(mask.toStdString());
  }
  return masks;
}

bool MatchesAny(const std::string& name, const std::vector<std::string>& masks) {
  for (const std::string& mask : masks) {
    try {
      if (MatchesMask(name, mask)) return true;
    } catch (const EMaskException&) {
      // A mask the user is still typing matches nothing.
    }
  }
  return false;
}

}  // namespace

TSelectFileInHpi::TSelectFileInHpi(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select file:"));
  resize(539, 534);
  CreateControls();
  ConnectControls();

  FFileSystem = std::make_unique<TFileSystem>();
  RegisterArchiveLoaders(*FFileSystem);
}

void TSelectFileInHpi::CreateControls() {
  auto* layout = new QVBoxLayout(this);
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  DirView = new QTreeWidget(splitter);
  DirView->setHeaderHidden(true);
  DirView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DirView->setSelectionBehavior(QAbstractItemView::SelectRows);
  FileView = new QTreeWidget(splitter);
  FileView->setRootIsDecorated(false);
  FileView->setColumnCount(3);
  FileView->setHeaderLabels(
      {QStringLiteral("Filename"), QStringLiteral("Size"), QStringLiteral("Type")});
  FileView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FileView->header()->setSectionsClickable(true);
  FileView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  splitter->addWidget(DirView);
  splitter->addWidget(FileView);
  splitter->setSizes({185, 539 - 185});
  layout->addWidget(splitter, 1);

  auto* bottom = new QHBoxLayout();
  bottom->addWidget(new QLabel(QStringLiteral("Search Filter"), this));
  SearchFilter = new QLineEdit(this);
  SearchFilter->setToolTip(
      QStringLiteral("Allows the search filter when search archive files to be changed. "
                     "Seperate entires are seperated by a ';'"));
  bottom->addWidget(SearchFilter, 1);
  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setToolTip(QStringLiteral("Open the current selected file, exits form"));
  OkButton->setEnabled(false);
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setToolTip(QStringLiteral("Cancel selection, exits form"));
  bottom->addWidget(OkButton);
  bottom->addWidget(CancelButton);
  layout->addLayout(bottom);
}

void TSelectFileInHpi::ConnectControls() {
  EmptyListLbl = new QLabel(FileView->viewport());
  EmptyListLbl->setAlignment(Qt::AlignCenter);
  EmptyListLbl->setWordWrap(true);
  EmptyListLbl->hide();
  (new QVBoxLayout(FileView->viewport()))->addWidget(EmptyListLbl);

  // A click lists the folder, and so does moving to it with the keyboard.
  connect(DirView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) {
    if (node != FListedNode) DirViewClick(node);
  });
  connect(DirView, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
            if (current && previous) DirViewClick(current);
          });
  connect(DirView, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* node) { DirViewClick(node); });
  connect(DirView, &QTreeWidget::itemExpanded, this,
          [this](QTreeWidgetItem* node) { DirViewExpanding(node); });
  connect(FileView->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { FileViewColumnClick(column); });
  connect(FileView, &QTreeWidget::itemSelectionChanged, this,
          [this] { FileViewSelectionChanged(); });
  connect(FileView, &QTreeWidget::itemDoubleClicked, this, [this] {
    Accepted = true;
    close();
  });
  connect(SearchFilter, &QLineEdit::textEdited, this, [this] { SearchFilterChange(); });
  connect(OkButton, &QPushButton::clicked, this, [this] {
    Accepted = true;
    close();
  });
  connect(CancelButton, &QPushButton::clicked, this, [this] { close(); });
}

TSelectFileInHpi::~TSelectFileInHpi() {
  FNodeInfo.clear();
  FFileSystem->Clear();
}

void TSelectFileInHpi::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!FArmed) return;
  FArmed = false;
  FormActivate();
}

bool TSelectFileInHpi::FormActivate() {
  FSelectConnected = true;
  FileView->setSelectionMode(MultipleSelection ? QAbstractItemView::ExtendedSelection
                                               : QAbstractItemView::SingleSelection);
  Results.clear();
  OkButton->setEnabled(false);
  {
    QSignalBlocker block(DirView);
    DirView->clear();
  }
  FNodeInfo.clear();
  FCurrentSortInfo = nullptr;
  FListedNode = nullptr;
  ClearFileList();
  Accepted = false;
  SearchFilter->setText(Filter);

  const QFileInfo archive(ArchiveName);
  ArchiveName = archive.absoluteFilePath();
  // A file no loader takes is mounted as a plain file: then there is nothing to pick from.
  const TArchiveAnswer answer = FFileSystem->MountArchive(ArchiveName.toStdString(), 1);
  if (answer.Kind == TArchiveAnswer::akNotMine || answer.Kind == TArchiveAnswer::akNothingNew) {
    FFileSystem->Clear();
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
    return false;
  }
  FFileSystem->ClearScanDirs();  // the mounted content stays

  setWindowTitle(QStringLiteral("Select file: %1").arg(archive.fileName()));
  auto* root = new QTreeWidgetItem(DirView, {archive.fileName()});
  FillFolderNode(root, FFileSystem->GetRoot());
  root->setExpanded(true);
  // The root is where the user starts: chosen and listed.
  {
    QSignalBlocker block(DirView);
    DirView->setCurrentItem(root);
  }
  DirViewClick(root);
  return true;
}

void TSelectFileInHpi::FillFolderNode(QTreeWidgetItem* node, TDirEntry* folder) {
  auto& info = FNodeInfo[node];
  if (!info) {
    info = std::make_unique<TSortInfo>();
    info->Entry = folder;
  }
  FCurrentSortInfo = info.get();
  // Children already there are replaced: one level, deeper ones when they are opened.
  for (QTreeWidgetItem* child : node->takeChildren()) {
    FNodeInfo.erase(child);
    delete child;
  }
  TFindData data;
  for (TFindHandleRef find = FFileSystem->FindFirst(faDirectories, folder, "*", data); find;) {
    if (data.Kind == fkDirectory && data.Dir) {
      auto* child = new QTreeWidgetItem(node, {QString::fromStdString(data.Name)});
      auto childInfo = std::make_unique<TSortInfo>();
      childInfo->Entry = data.Dir;
      if (data.Dir->SubDirCount() > 0)
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
      FNodeInfo[child] = std::move(childInfo);
    }
    if (!find->FindNext(data)) break;
  }
}

void TSelectFileInHpi::ClearFileList() {
  // Emptying the list must not change the chosen files.
  QSignalBlocker block(FileView);
  FileView->clear();
  FSelectedRows.clear();
  EmptyListLbl->hide();
}

void TSelectFileInHpi::DirViewClick(QTreeWidgetItem* node) {
  if (FileView->topLevelItemCount() > 0) ClearFileList();
  FListedNode = node;
  if (!node) return;
  auto found = FNodeInfo.find(node);
  if (found == FNodeInfo.end()) return;
  TSortInfo* info = found->second.get();
  FCurrentSortInfo = info;
  if (node->childCount() != info->Entry->SubDirCount()) {
    FillFolderNode(node, info->Entry);
    FCurrentSortInfo = info;
  }
  FillFileList(info->Entry);
}

void TSelectFileInHpi::DirViewExpanding(QTreeWidgetItem* node) {
  auto found = FNodeInfo.find(node);
  if (found == FNodeInfo.end()) return;
  if (node->childCount() == found->second->Entry->SubDirCount()) return;
  TSortInfo* current = FCurrentSortInfo;  // the listed folder stays current
  FillFolderNode(node, found->second->Entry);
  FCurrentSortInfo = current;
}

void TSelectFileInHpi::FillFileList(TDirEntry* folder) {
  if (!FCurrentSortInfo) return;
  FCurrentSortInfo->Names.clear();
  const std::vector<std::string> masks = SplitMasks(Filter);
  QList<QTreeWidgetItem*> rows;
  TFindData data;
  for (TFindHandleRef find = FFileSystem->FindFirst(faFiles, folder, "*", data); find;) {
    TFileEntry* file = data.File;
    // Only files of the mounted archive (priority 1), also where one hides another.
    const bool fromArchive = file && (file->Priority == 1 ||
                                      (file->ReplacedEntry && file->ReplacedEntry->Priority == 1));
    if (fromArchive && MatchesAny(data.Name, masks)) {
      FCurrentSortInfo->Names.push_back(data.Name);
      const QString name = QString::fromStdString(data.Name);
      const qsizetype dot = name.lastIndexOf('.');
      const QString type = dot >= 0 ? name.mid(dot + 1).toUpper() : QString();
      auto* row = new TFileRow(this, {name, QLocale().formattedDataSize(file->Size), type});
      row->setToolTip(1, QStringLiteral("%1 bytes").arg(QLocale().toString(qint64(file->Size))));
      row->setData(0, EntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(file)));
      row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
      rows << row;
    }
    if (!find->FindNext(data)) break;
  }
  EmptyListLbl->setText(QStringLiteral("No files match %1 here").arg(Filter));
  EmptyListLbl->setVisible(rows.isEmpty());
  QSignalBlocker block(FileView);
  FileView->addTopLevelItems(rows);
  if (FCurrentSortInfo->SortOrder != 0) FileView->sortItems(0, Qt::AscendingOrder);
}

TFileEntry* TSelectFileInHpi::RowEntry(const QTreeWidgetItem* row) const {
  return row ? reinterpret_cast<TFileEntry*>(row->data(0, EntryRole).value<quintptr>()) : nullptr;
}

void TSelectFileInHpi::FileViewSelectionChanged() {
  if (!FSelectConnected) return;
  const QList<QTreeWidgetItem*> selectedNow = FileView->selectedItems();
  const QSet<QTreeWidgetItem*> now(selectedNow.begin(), selectedNow.end());
  // Rows that lost their selection first, then the ones that gained it.
  for (QTreeWidgetItem* row : FSelectedRows) {
    if (now.contains(row)) continue;
    if (TFileEntry* entry = RowEntry(row))
      Results.removeAll(QString::fromStdString(entry->GetFullPath()));
    OkButton->setEnabled(!Results.isEmpty());
  }
  for (QTreeWidgetItem* row : selectedNow) {
    if (FSelectedRows.contains(row)) continue;
    if (!MultipleSelection) Results.clear();
    if (TFileEntry* entry = RowEntry(row)) {
      const QString path = QString::fromStdString(entry->GetFullPath());
      if (!Results.contains(path)) Results << path;
    }
    OkButton->setEnabled(true);
  }
  FSelectedRows = now;
}

void TSelectFileInHpi::SearchFilterChange() {
  Filter = SearchFilter->text();
  DirViewClick(DirView->currentItem() ? DirView->currentItem() : DirView->topLevelItem(0));
}

void TSelectFileInHpi::FileViewColumnClick(int column) {
  if (!FCurrentSortInfo) return;
  TSortInfo& info = *FCurrentSortInfo;
  info.SortOrder = uint8_t((info.SortOrder + 1) % 3);
  info.SortColumn = info.SortOrder == 0 ? 0 : uint8_t(column + 1);
  QSignalBlocker block(FileView);
  FileView->sortItems(0, Qt::AscendingOrder);
}

int TSelectFileInHpi::Compare(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const {
  if (!FCurrentSortInfo) return 0;
  const TSortInfo& info = *FCurrentSortInfo;
  if (info.SortOrder == 0) {
    auto position = [&](const QTreeWidgetItem* row) {
      const std::string name = row->text(0).toStdString();
      auto at = std::find(info.Names.begin(), info.Names.end(), name);
      return static_cast<long long>(at - info.Names.begin());
    };
    return Sign(position(a) - position(b));
  }
  int result = 0;
  switch (info.SortColumn) {
    case 1:
      result = Sign(QString::localeAwareCompare(a->text(0).toLower(), b->text(0).toLower()));
      break;
    case 2:
      // By the byte count, not the shown text.
      result = Sign(static_cast<long long>(RowEntry(a)->Size) -
                    static_cast<long long>(RowEntry(b)->Size));
      break;
    case 3:
      result = Sign(QString::localeAwareCompare(a->text(2).toLower(), b->text(2).toLower()));
      break;
    default:
      break;
  }
  return info.SortOrder == 2 ? -result : result;
}

void TSelectFileInHpi::OnClose() {
  FSelectConnected = false;
  {
    QSignalBlocker block(DirView);
    DirView->clear();
  }
  ClearFileList();
  FNodeInfo.clear();
  FCurrentSortInfo = nullptr;
  FListedNode = nullptr;
  FFileSystem->Clear();
  if (!Accepted) Results.clear();
}

void TSelectFileInHpi::done(int result) {
  OnClose();
  QDialog::done(Accepted ? QDialog::Accepted : result);
}

TSelectFileInHpi* SelectFileInHpiDialog(QWidget* owner) {
  static QPointer<TSelectFileInHpi> dialog;
  if (!dialog && owner) dialog = new TSelectFileInHpi(owner);
  return dialog;
}

bool SelectFilesInHpi(QString& filter, QStringList& results, const QString& archiveName,
                      bool multipleSelection, QWidget* owner) {
  std::unique_ptr<TSelectFileInHpi> local;
  if (!owner) local = std::make_unique<TSelectFileInHpi>();
  TSelectFileInHpi* dialog = local ? local.get() : SelectFileInHpiDialog(owner);
  dialog->ArchiveName = archiveName;
  dialog->Filter = filter;
  dialog->MultipleSelection = multipleSelection;
  dialog->Arm();
  dialog->exec();
  if (dialog->Results.isEmpty()) return false;
  filter = dialog->Filter;
  results = dialog->Results;
  return true;
}
