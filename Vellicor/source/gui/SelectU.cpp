#include "SelectU.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>
#include <memory>

#include "ArchiveEditsU.h"
#include "ArchiveExtractU.h"
#include "ArchiveLoadersU.h"
#include "DialogsU.h"
#include "FileSystemU.h"
#include "FrameExportU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "PaletteModelU.h"
#include "QuvManagerU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"
#include "ThumbnailU.h"

namespace {

enum {
  EntryRole = Qt::UserRole + 1,  // the file's entry in the mounted archive (none: not saved yet)
  PathRole,                      // the inner path, '/' between names
  SizeRole,                      // the size in bytes
};
constexpr int PreviewSide = 128;  // the preview's longest side, in device-independent pixels

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

QString FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? QString() : QString::fromStdString(path.substr(0, slash));
}

// A file-list row: name, size, type.
QTreeWidgetItem* NewRow(TSelectFileInHpi* dialog, const QString& name, int64_t size,
                        TFileEntry* file, const QString& path) {
  const qsizetype dot = name.lastIndexOf('.');
  const QString type = dot >= 0 ? name.mid(dot + 1).toUpper() : QString();
  auto* row = new TFileRow(dialog, {name, QLocale().formattedDataSize(size), type});
  row->setToolTip(1, QStringLiteral("%1 bytes").arg(QLocale().toString(qint64(size))));
  row->setData(0, EntryRole, QVariant::fromValue(reinterpret_cast<quintptr>(file)));
  row->setData(0, PathRole, path);
  row->setData(0, SizeRole, qint64(size));
  row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  return row;
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
  EditBar = new QToolBar(this);
  EditBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  EditActions = new TArchiveEditActions(*this, this);
  EditActions->AddTo(EditBar);
  layout->addWidget(EditBar);
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  auto* left = new QWidget(splitter);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  DirView = new QTreeWidget(left);
  DirView->setHeaderHidden(true);
  DirView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DirView->setSelectionBehavior(QAbstractItemView::SelectRows);
  Preview = new QLabel(left);
  Preview->setAlignment(Qt::AlignCenter);
  Preview->setWordWrap(true);
  Preview->setFrameShape(QFrame::StyledPanel);
  Preview->setMinimumSize(PreviewSide + 8, PreviewSide + 8);
  Preview->setToolTip(QStringLiteral("The first frame of the chosen Quv file"));
  leftLayout->addWidget(DirView, 1);
  leftLayout->addWidget(Preview);
  FileView = new QTreeWidget(splitter);
  FileView->setRootIsDecorated(false);
  FileView->setColumnCount(3);
  FileView->setHeaderLabels(
      {QStringLiteral("Filename"), QStringLiteral("Size"), QStringLiteral("Type")});
  FileView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FileView->header()->setSectionsClickable(true);
  FileView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  splitter->addWidget(left);
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
  ExtractButton = new QPushButton(QStringLiteral("Extract…"), this);
  ExtractButton->setToolTip(QStringLiteral(
      "Write the chosen files, or the chosen folder with everything in it, to a folder"));
  ExtractButton->setAutoDefault(false);
  bottom->addWidget(ExtractButton);
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
  connect(FileView, &QTreeWidget::itemDoubleClicked, this, [this] { AcceptListedChoice(); });
  connect(SearchFilter, &QLineEdit::textEdited, this, [this] { SearchFilterChange(); });
  connect(OkButton, &QPushButton::clicked, this, [this] { AcceptListedChoice(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { close(); });
  connect(ExtractButton, &QPushButton::clicked, this, [this] { ExtractButtonClick(); });
  connect(FileView, &QTreeWidget::currentItemChanged, this, [this] { UpdatePreview(); });
  connect(FileView, &QTreeWidget::itemSelectionChanged, EditActions,
          &TArchiveEditActions::UpdateActions);
  connect(EditActions, &TArchiveEditActions::listingChanged, this, [this] { ShowEdits(); });
  connect(EditActions, &TArchiveEditActions::modifiedChanged, this, [this] { UpdateCaption(); });
  // Files and folders dropped from the desktop on the list are added to the listed folder.
  FileView->viewport()->setAcceptDrops(true);
  FileView->viewport()->installEventFilter(this);
}

TSelectFileInHpi::~TSelectFileInHpi() {
  FNodeInfo.clear();
  FFileSystem->Clear();
}

void TSelectFileInHpi::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!FArmed) return;
  FArmed = false;
  Failure = nullptr;
  try {
    FormActivate();
  } catch (...) {
    // An archive that cannot be read leaves nothing to pick: the dialog goes, and its caller
    // tells why.
    Failure = std::current_exception();
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
  }
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

  ArchiveName = QFileInfo(ArchiveName).absoluteFilePath();
  if (!MountAndShow()) {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
    return false;
  }
  try {
    EditActions->SetArchive(ArchiveName);
  } catch (const std::exception&) {
    EditActions->SetArchive(QString());  // one the rewriter cannot read is only shown
  }
  UpdateCaption();
  return true;
}

bool TSelectFileInHpi::MountAndShow() {
  const QFileInfo archive(ArchiveName);
  // A file no loader takes is mounted as a plain file: then there is nothing to pick from.
  const TArchiveAnswer answer = FFileSystem->MountArchive(ArchiveName.toStdString(), 1);
  if (answer.Kind == TArchiveAnswer::akNotMine || answer.Kind == TArchiveAnswer::akNothingNew) {
    FFileSystem->Clear();
    return false;
  }
  FFileSystem->ClearScanDirs();  // the mounted content stays

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

void TSelectFileInHpi::UpdateCaption() {
  if (!FFileSystem->Root()) return;
  setWindowTitle(QStringLiteral("Select file: %1%2")
                     .arg(QFileInfo(ArchiveName).fileName(),
                          EditActions->Modified() ? QStringLiteral("*") : QString()));
}

bool TSelectFileInHpi::Editing() const {
  return EditActions->Modified();
}

QString TSelectFileInHpi::CurrentArchiveFolder() const {
  auto found = FNodeInfo.find(FListedNode);
  return found == FNodeInfo.end() ? QString() : QString::fromStdString(found->second->Path);
}

QStringList TSelectFileInHpi::ChosenArchiveEntries() const {
  QStringList paths;
  for (QTreeWidgetItem* row : FileView->selectedItems()) paths << row->data(0, PathRole).toString();
  return paths;
}

QTreeWidgetItem* TSelectFileInHpi::NodeOfPath(const std::string& path) const {
  for (const auto& [node, info] : FNodeInfo)
    if (AnsiCompareText(info->Path, path) == 0) return node;
  return nullptr;
}

void TSelectFileInHpi::ShowEdits() {
  const std::string listed = CurrentArchiveFolder().toStdString();
  ClearFileList();
  {
    QSignalBlocker block(DirView);
    DirView->clear();
  }
  FNodeInfo.clear();
  FCurrentSortInfo = nullptr;
  FListedNode = nullptr;
  if (Editing()) {
    FillEditedTree();
  } else {
    // Saved: the new archive is what the list shows from now on; chosen files it no longer
    // holds are not chosen any more.
    FFileSystem->Clear();
    if (!MountAndShow()) return;
    Results.erase(std::remove_if(Results.begin(), Results.end(),
                                 [this](const QString& path) {
                                   return !FFileSystem->FindFile(path.toStdString());
                                 }),
                  Results.end());
  }
  // The folder listed before, or the nearest one above it still there.
  QTreeWidgetItem* node = DirView->topLevelItem(0);
  std::string path;
  for (const std::string& part : SplitString(listed, '/', TEmptyParts::Skip)) {
    path += (path.empty() ? "" : "/") + part;
    DirViewExpanding(node);
    QTreeWidgetItem* child = nullptr;
    for (int i = 0; i < node->childCount() && !child; ++i)
      if (AnsiCompareText(FNodeInfo[node->child(i)]->Path, path) == 0) child = node->child(i);
    if (!child) break;
    node->setExpanded(true);
    node = child;
  }
  {
    QSignalBlocker block(DirView);
    DirView->setCurrentItem(node);
  }
  DirViewClick(node);
  UpdateCaption();
  EditActions->UpdateActions();
}

void TSelectFileInHpi::FillEditedTree() {
  auto* root = new QTreeWidgetItem(DirView, {QFileInfo(ArchiveName).fileName()});
  auto& rootInfo = FNodeInfo[root] = std::make_unique<TSortInfo>();
  rootInfo->Entry = FFileSystem->Root();
  std::map<std::string, QTreeWidgetItem*> nodes{{std::string(), root}};
  for (const TEditedEntry& entry : EditActions->Edits()->Listing()) {
    if (!entry.IsFolder) continue;
    auto parent = nodes.find(AnsiUpperCase(FolderOf(entry.Path).toStdString()));
    if (parent == nodes.end()) continue;
    const size_t slash = entry.Path.rfind('/');
    auto* node = new QTreeWidgetItem(
        parent->second,
        {QString::fromStdString(slash == std::string::npos ? entry.Path
                                                           : entry.Path.substr(slash + 1))});
    MarkEditedItem(node, entry);
    auto info = std::make_unique<TSortInfo>();
    info->Path = entry.Path;
    if (entry.Mark == TEntryMark::Unchanged) info->Entry = FFileSystem->FindDirectory(entry.Path);
    FNodeInfo[node] = std::move(info);
    nodes[AnsiUpperCase(entry.Path)] = node;
  }
  root->setExpanded(true);
}

void TSelectFileInHpi::FillEditedFileList(const std::string& folder) {
  const std::vector<std::string> masks = SplitMasks(Filter);
  QList<QTreeWidgetItem*> rows;
  for (const TEditedEntry& entry : EditActions->Edits()->Listing()) {
    if (entry.IsFolder || AnsiCompareText(FolderOf(entry.Path).toStdString(), folder) != 0)
      continue;
    const size_t slash = entry.Path.rfind('/');
    const std::string name = slash == std::string::npos ? entry.Path : entry.Path.substr(slash + 1);
    if (!MatchesAny(name, masks)) continue;
    FCurrentSortInfo->Names.push_back(name);
    TFileEntry* file =
        entry.Mark == TEntryMark::Unchanged ? FFileSystem->FindFile(entry.Path) : nullptr;
    QTreeWidgetItem* row = NewRow(this, QString::fromStdString(name), entry.Size, file,
                                  QString::fromStdString(entry.Path));
    MarkEditedItem(row, entry);
    rows << row;
  }
  EmptyListLbl->setText(QStringLiteral("No files match %1 here").arg(Filter));
  EmptyListLbl->setVisible(rows.isEmpty());
  QSignalBlocker block(FileView);
  FileView->addTopLevelItems(rows);
  if (FCurrentSortInfo->SortOrder != 0) FileView->sortItems(0, Qt::AscendingOrder);
}

bool TSelectFileInHpi::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FileView->viewport() || !EditActions->Edits()) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!TArchiveEditActions::CanDrop(drag->mimeData())) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!TArchiveEditActions::CanDrop(drop->mimeData())) return false;
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      EditActions->Drop(drop->mimeData());
      return true;
    }
    default:
      return false;
  }
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
      childInfo->Path = info->Path.empty() ? data.Name : info->Path + "/" + data.Name;
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
  OkButton->setEnabled(false);  // nothing listed is chosen
  EmptyListLbl->hide();
  UpdatePreview();
}

void TSelectFileInHpi::DirViewClick(QTreeWidgetItem* node) {
  if (FileView->topLevelItemCount() > 0) ClearFileList();
  FListedNode = node;
  if (!node) return;
  auto found = FNodeInfo.find(node);
  if (found == FNodeInfo.end()) return;
  TSortInfo* info = found->second.get();
  FCurrentSortInfo = info;
  if (!Editing() && info->Entry && node->childCount() != info->Entry->SubDirCount()) {
    FillFolderNode(node, info->Entry);
    FCurrentSortInfo = info;
  }
  FillFileList(info->Entry);
}

void TSelectFileInHpi::DirViewExpanding(QTreeWidgetItem* node) {
  auto found = FNodeInfo.find(node);
  if (found == FNodeInfo.end() || Editing() || !found->second->Entry) return;
  if (node->childCount() == found->second->Entry->SubDirCount()) return;
  TSortInfo* current = FCurrentSortInfo;  // the listed folder stays current
  FillFolderNode(node, found->second->Entry);
  FCurrentSortInfo = current;
}

void TSelectFileInHpi::FillFileList(TDirEntry* folder) {
  if (!FCurrentSortInfo) return;
  FCurrentSortInfo->Names.clear();
  if (Editing()) {
    FillEditedFileList(FCurrentSortInfo->Path);
    return;
  }
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
      const std::string path =
          FCurrentSortInfo->Path.empty() ? data.Name : FCurrentSortInfo->Path + "/" + data.Name;
      rows << NewRow(this, QString::fromStdString(data.Name), file->Size, file,
                     QString::fromStdString(path));
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
  }
  for (QTreeWidgetItem* row : selectedNow) {
    if (FSelectedRows.contains(row)) continue;
    if (!MultipleSelection) Results.clear();
    if (TFileEntry* entry = RowEntry(row)) {
      const QString path = QString::fromStdString(entry->GetFullPath());
      if (!Results.contains(path)) Results << path;
    }
  }
  FSelectedRows = now;
  OkButton->setEnabled(!now.isEmpty());
  UpdatePreview();
}

// What the list shows chosen, in the order it was chosen: files chosen in a folder no longer
// listed, or hidden by the filter, are not opened.
void TSelectFileInHpi::AcceptListedChoice() {
  QStringList listed;
  for (QTreeWidgetItem* row : FileView->selectedItems())
    if (TFileEntry* entry = RowEntry(row)) listed << QString::fromStdString(entry->GetFullPath());
  QStringList chosen;
  for (const QString& path : Results)
    if (listed.contains(path)) chosen << path;
  for (const QString& path : listed)
    if (!chosen.contains(path)) chosen << path;
  if (chosen.isEmpty()) return;
  Results = chosen;
  Accepted = true;
  close();
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

void TSelectFileInHpi::UpdatePreview() {
  QTreeWidgetItem* row = FileView->currentItem();
  TFileEntry* entry = row && row->isSelected() ? RowEntry(row) : nullptr;
  Preview->setPixmap(QPixmap());
  if (!entry) {
    Preview->setText(QStringLiteral("No file chosen"));
    return;
  }
  try {
    // A collection of its own on the picker's file system, gone before anything unmounts.
    TQuvManager manager;
    manager.FileSystem = FFileSystem.get();
    manager.Palette = Palettes ? Palettes->Palette() : BuiltInPalette();
    manager.TransparentIndex = Palettes ? Palettes->TransparentIndex() : BuiltInTransparentIndex;
    manager.Initialize();
    TImageClass* images = manager.GetClass(entry->GetFullPath());
    if (!images) throw EImageFileError("not a Quv file");
    const qreal ratio = devicePixelRatioF();
    const TPicture rgba =
        IndicesToRgba(ThumbnailIndices(*images, int32_t(std::lround(PreviewSide * ratio))),
                      manager.Palette, manager.TransparentIndex);
    manager.Finalize();
    QImage image(rgba.Pixels.data(), rgba.Width, rgba.Height, rgba.Width * 4,
                 QImage::Format_RGBA8888);
    QPixmap pixmap = QPixmap::fromImage(image.copy());
    pixmap.setDevicePixelRatio(ratio);
    Preview->setPixmap(pixmap);
  } catch (const std::exception& error) {
    Preview->setText(QStringLiteral("No preview: %1").arg(QString::fromStdString(error.what())));
  }
}

int TSelectFileInHpi::ExtractButtonClick() {
  const QString folder =
      Dialogs().GetFolder(this, QStringLiteral("Extract to folder:"), QDir::homePath());
  return folder.isEmpty() ? 0 : ExtractTo(folder);
}

std::vector<std::pair<TFileEntry*, const TEntry*>> TSelectFileInHpi::ExtractChoice() const {
  // Files chosen in the list, else the listed folder (the root's files without a folder); each
  // with the node its path starts below.
  std::vector<std::pair<TFileEntry*, const TEntry*>> chosen;
  for (QTreeWidgetItem* row : FileView->selectedItems())
    if (TFileEntry* file = RowEntry(row)) chosen.emplace_back(file, file->Parent);
  if (!chosen.empty() || !FListedNode) return chosen;
  auto found = FNodeInfo.find(FListedNode);
  if (found == FNodeInfo.end() || !found->second->Entry) return chosen;
  TDirEntry* dir = found->second->Entry;
  std::vector<TFileEntry*> files;
  CollectFiles(*dir, files);
  for (TFileEntry* file : files) chosen.emplace_back(file, dir->Parent ? dir->Parent : dir);
  return chosen;
}

int TSelectFileInHpi::ExtractTo(const QString& folder) {
  namespace fs = std::filesystem;
  struct TTarget {
    TFileEntry* File;
    fs::path Path;
  };
  std::vector<TTarget> targets;
  TExtractReport report;
  const fs::path out(folder.toStdString());
  for (const auto& [file, base] : ExtractChoice()) {
    TTarget target{file, {}};
    if (ExtractTarget(*file, base, fs::path(), target.Path))
      targets.push_back(std::move(target));
    else
      report.Refused << QString::fromStdString(file->GetFullPath()).replace('\\', '/');
  }
  std::vector<std::string> names;
  for (const TTarget& target : targets) names.push_back((out / target.Path).string());
  if (!ConfirmReplace(this, ExistingFiles(names).size(), QDir::toNativeSeparators(folder)))
    return 0;

  QProgressDialog progress(QStringLiteral("Extracting files…"), QStringLiteral("Abort"), 0,
                           int(targets.size()), this);
  progress.setWindowTitle(QStringLiteral("Extract"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  std::unique_ptr<TOutputTree> tree;
  try {
    tree = std::make_unique<TOutputTree>(out.string());
  } catch (const std::exception& error) {
    report.Failed << QString::fromStdString(error.what());
    targets.clear();
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    if (progress.wasCanceled()) {
      report.Left = int(targets.size() - i);
      break;
    }
    const TTarget& target = targets[i];
    const QString inner = QString::fromStdString(target.File->GetFullPath()).replace('\\', '/');
    progress.setLabelText(QStringLiteral("Extracting %1").arg(inner));
    progress.setValue(int(i));
    try {
      const std::vector<uint8_t> data = ReadEntryBytes(*target.File);
      tree->Write(target.Path,
                  std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
      ++report.Written;
    } catch (const std::exception& error) {
      report.Failed << QStringLiteral("%1: %2").arg(inner, QString::fromStdString(error.what()));
    }
  }
  progress.setValue(int(targets.size()));
  ShowExtractReport(folder, report);
  return report.Written;
}

void TSelectFileInHpi::ShowExtractReport(const QString& folder, const TExtractReport& report) {
  const QString text =
      (report.Written == 1 ? QStringLiteral("1 file written to %1.")
                           : QStringLiteral("%1 files written to %2.").arg(report.Written))
          .arg(QDir::toNativeSeparators(folder));
  // At most ten names a list: a broken archive may have thousands.
  const auto listOf = [](const QStringList& names) {
    QStringList shown = names.mid(0, 10);
    if (names.size() > 10) shown << QStringLiteral("… and %1 more").arg(names.size() - 10);
    return shown.join('\n');
  };
  QStringList lines{text};
  if (report.Left > 0)
    lines << QStringLiteral("Aborted: %1 of the files were not extracted.").arg(report.Left);
  if (!report.Refused.isEmpty())
    lines << QStringLiteral("Not extracted, as their names would leave the folder:\n") +
                 listOf(report.Refused);
  if (!report.Failed.isEmpty())
    lines << QStringLiteral("Not extracted, as the archive does not hold them whole:\n") +
                 listOf(report.Failed);
  const bool trouble = !report.Refused.isEmpty() || !report.Failed.isEmpty();
  Dialogs().Message(this, QStringLiteral("Extract"), lines.join(QStringLiteral("\n\n")),
                    trouble ? QMessageBox::Warning : QMessageBox::Information, QMessageBox::Ok);
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
      result = Sign(a->data(0, SizeRole).toLongLong() - b->data(0, SizeRole).toLongLong());
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
  EditActions->SetArchive(QString());
  if (!Accepted) Results.clear();
}

void TSelectFileInHpi::done(int result) {
  // Unsaved changes: saved, discarded, or the dialog stays.
  if (!EditActions->AskToSave()) {
    Accepted = false;
    return;
  }
  OnClose();
  QDialog::done(Accepted ? QDialog::Accepted : result);
}

TSelectFileInHpi* SelectFileInHpiDialog(QWidget* owner) {
  static QPointer<TSelectFileInHpi> dialog;
  if (!dialog && owner) dialog = new TSelectFileInHpi(owner);
  return dialog;
}

bool SelectFilesInHpi(QString& filter, QStringList& results, const QString& archiveName,
                      bool multipleSelection, QWidget* owner, const TPaletteModel* palettes) {
  std::unique_ptr<TSelectFileInHpi> local;
  if (!owner) local = std::make_unique<TSelectFileInHpi>();
  TSelectFileInHpi* dialog = local ? local.get() : SelectFileInHpiDialog(owner);
  dialog->ArchiveName = archiveName;
  dialog->Filter = filter;
  dialog->MultipleSelection = multipleSelection;
  dialog->Palettes = palettes;
  dialog->Arm();
  dialog->exec();
  if (dialog->Failure) std::rethrow_exception(std::exchange(dialog->Failure, nullptr));
  if (dialog->Results.isEmpty()) return false;
  filter = dialog->Filter;
  results = dialog->Results;
  return true;
}
