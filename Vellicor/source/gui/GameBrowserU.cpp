#include "GameBrowserU.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "DialogsU.h"
#include "FileSystemU.h"
#include "GameFileModelU.h"
#include "GameFolderU.h"
#include "QtStringU.h"
#include "StringUtilsU.h"

namespace {

constexpr int DirRole = Qt::UserRole;         // the node's TDirEntry
constexpr int FilledRole = Qt::UserRole + 1;  // its sub-folders have been added

TDirEntry* DirOf(const QTreeWidgetItem* node) {
  return node ? reinterpret_cast<TDirEntry*>(node->data(0, DirRole).value<quintptr>()) : nullptr;
}

}  // namespace

TGameBrowser::TGameBrowser(const QString& folder, QWidget* parent)
    : QWidget(parent), FFolder(QDir::cleanPath(QFileInfo(folder).absoluteFilePath())) {
  const QString name = QFileInfo(FFolder).fileName();
  setWindowTitle(QStringLiteral("Game \u2014 %1").arg(name.isEmpty() ? FFolder : name));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  CreateToolBar();
  layout->addWidget(FToolBar);
  FStack = new QStackedWidget(this);
  layout->addWidget(FStack, 1);
  FReading =
      new QLabel(QStringLiteral("Reading %1\u2026").arg(QDir::toNativeSeparators(FFolder)), FStack);
  FReading->setAlignment(Qt::AlignCenter);
  FReading->setWordWrap(true);
  FStack->addWidget(FReading);
  auto* splitter = new QSplitter(Qt::Horizontal, FStack);
  FStack->addWidget(splitter);
  CreateTree();
  splitter->addWidget(FTree);
  FPages = new QTabWidget(splitter);
  splitter->addWidget(FPages);
  CreateFileList();
  FPages->addTab(FFileView, QStringLiteral("Files"));
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({200, 500});
  StartMount();
}

TGameBrowser::~TGameBrowser() {
  EndMountThread();
}

void TGameBrowser::CreateToolBar() {
  FToolBar = new QToolBar(this);
  FToolBar->setIconSize(QSize(20, 20));
  FShowHidden = FToolBar->addAction(QStringLiteral("Show hidden copies"));
  FShowHidden->setCheckable(true);
  FShowHidden->setToolTip(
      QStringLiteral("Lists the copies each file hides, below it, as well as the files"));
  connect(FShowHidden, &QAction::toggled, this, [this](bool on) {
    FFiles->SetShowHidden(on);
    emit selectionChanged();
  });
  FOpen = new QAction(QStringLiteral("&Open"), this);
  connect(FOpen, &QAction::triggered, this, [this] { OpenChosen(); });
}

void TGameBrowser::CreateTree() {
  FTree = new QTreeWidget(this);
  FTree->setHeaderHidden(true);
  FTree->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(FTree, &QTreeWidget::itemExpanded, this,
          [this](QTreeWidgetItem* node) { FillNode(node); });
  connect(FTree, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node) { FolderChosen(node); });
}

void TGameBrowser::CreateFileList() {
  FFiles = new TGameFileModel(this);
  FFileView = new QTreeView(this);
  FFileView->setModel(FFiles);
  FFileView->setRootIsDecorated(false);
  // Every row alike: the view need not measure thousands of rows to lay them out.
  FFileView->setUniformRowHeights(true);
  FFileView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FFileView->setSelectionBehavior(QAbstractItemView::SelectRows);
  FFileView->setAllColumnsShowFocus(true);
  FFileView->header()->setStretchLastSection(true);
  FFileView->setColumnWidth(TGameFileModel::colName, 200);
  FFileView->setColumnWidth(TGameFileModel::colSize, 80);
  FFileView->setColumnWidth(TGameFileModel::colOrigin, 140);
  FFileView->setContextMenuPolicy(Qt::CustomContextMenu);
  FFileView->addAction(FOpen);
  // Enter and a double click both activate the row.
  connect(FFileView, &QTreeView::activated, this, &TGameBrowser::RowActivated);
  connect(FFileView, &QWidget::customContextMenuRequested, this, &TGameBrowser::ShowContextMenu);
  connect(FFileView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { emit selectionChanged(); });
}

// ---------------------------------------------------------------------------------------------
// Mounting

void TGameBrowser::StartMount() {
  FMounting = true;
  FJob = std::make_shared<TMountJob>();
  FJob->Target = this;
  FThread = std::thread([job = FJob, folder = ToStd(FFolder)] {
    std::shared_ptr<TGameFolder> game;
    QString error;
    try {
      game = std::make_shared<TGameFolder>(folder);
      // Every folder's index is sorted here, off the window's thread, and never again.
      VisitTree(game->Root(), [](TEntry&, const std::string&) { return TWalkStep::Continue; });
    } catch (const std::exception& failure) {
      game.reset();
      error = QString::fromUtf8(failure.what());
    }
    const std::lock_guard lock(job->Lock);
    if (TGameBrowser* target = job->Target)
      QMetaObject::invokeMethod(
          target, [target, game, error] { target->MountDone(game, error); }, Qt::QueuedConnection);
  });
}

void TGameBrowser::EndMountThread() {
  if (FJob) {
    const std::lock_guard lock(FJob->Lock);
    FJob->Target = nullptr;
  }
  if (FThread.joinable()) FThread.join();
}

void TGameBrowser::MountDone(std::shared_ptr<TGameFolder> game, const QString& error) {
  if (FThread.joinable()) FThread.join();  // it has posted its report: it is ending
  FMounting = false;
  if (!game) {
    ShowMountError(error);
  } else {
    const QString kept =
        FGame && CurrentFolder() ? FromStd(CurrentFolder()->GetFullPath()) : QString();
    FFiles->SetFolder(nullptr, nullptr);  // the old tree may go now
    FGame = std::move(game);
    FillTree(kept);
    FStack->setCurrentIndex(1);
    emit mounted();
  }
  if (FRemountAgain) {
    FRemountAgain = false;
    Remount();
  }
}

// A folder that cannot be read is told; a browser that never showed a tree closes.
void TGameBrowser::ShowMountError(const QString& error) {
  Dialogs().Message(this, QStringLiteral("Open Game Folder"), error, QMessageBox::Warning,
                    QMessageBox::Ok);
  emit mountFailed(error);
  if (FGame) return;
  if (auto* child = qobject_cast<QMdiSubWindow*>(parentWidget()))
    child->close();
  else
    close();
}

void TGameBrowser::Remount() {
  if (FMounting) {
    FRemountAgain = true;
    return;
  }
  EndMountThread();
  StartMount();
}

// ---------------------------------------------------------------------------------------------
// The folder tree

void TGameBrowser::FillTree(const QString& keptPath) {
  const QSignalBlocker quiet(FTree);
  FTree->clear();
  auto* root = new QTreeWidgetItem(FTree, {QFileInfo(FFolder).fileName()});
  if (root->text(0).isEmpty()) root->setText(0, FFolder);
  root->setData(0, DirRole, QVariant::fromValue(quintptr(&FGame->Root())));
  FillNode(root);
  root->setExpanded(true);
  // The folder shown before, or the nearest of its ancestors that is still there.
  std::string path = ToStd(keptPath);
  TDirEntry* folder = nullptr;
  while (!path.empty() && !(folder = FGame->FileSystem().FindDirectory(path))) {
    const size_t last = path.rfind(TreeDelim);
    path.erase(last == std::string::npos ? 0 : last);
  }
  QTreeWidgetItem* node = NodeOf(folder ? folder : &FGame->Root());
  FTree->setCurrentItem(node);
  FolderChosen(node);
}

// A node's sub-folders are added when it is first opened or chosen.
void TGameBrowser::FillNode(QTreeWidgetItem* node) {
  TDirEntry* dir = DirOf(node);
  if (!dir || node->data(0, FilledRole).toBool()) return;
  node->setData(0, FilledRole, true);
  for (const auto& [name, entry] : dir->SortedIndex()) {
    if (!entry->IsDirectory()) continue;
    auto* sub = static_cast<TDirEntry*>(entry);
    auto* child = new QTreeWidgetItem(node, {FromStd(sub->Name)});
    child->setData(0, DirRole, QVariant::fromValue(quintptr(sub)));
    child->setChildIndicatorPolicy(sub->SubDirCount() > 0
                                       ? QTreeWidgetItem::ShowIndicator
                                       : QTreeWidgetItem::DontShowIndicatorWhenChildless);
  }
}

QTreeWidgetItem* TGameBrowser::NodeOf(TDirEntry* folder) {
  std::vector<TDirEntry*> chain;  // from the folder up to the root's child
  for (TDirEntry* dir = folder; dir && dir->Parent; dir = dir->Parent) chain.push_back(dir);
  QTreeWidgetItem* node = FTree->topLevelItem(0);
  for (auto step = chain.rbegin(); node && step != chain.rend(); ++step) {
    FillNode(node);
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < node->childCount() && !next; ++i)
      if (DirOf(node->child(i)) == *step) next = node->child(i);
    node = next;
  }
  return node;
}

void TGameBrowser::FolderChosen(QTreeWidgetItem* node) {
  TDirEntry* folder = DirOf(node);
  if (!folder || folder == FFiles->Folder()) return;
  FillNode(node);
  FFiles->SetFolder(FGame, folder);
  if (FFiles->rowCount() > 0)
    FFileView->setCurrentIndex(FFiles->index(0, 0));  // Enter has a row to act on at once
  emit currentFolderChanged(folder);
  emit selectionChanged();
}

TDirEntry* TGameBrowser::CurrentFolder() const {
  return FFiles->Folder();
}

void TGameBrowser::ShowFolder(TDirEntry* folder) {
  if (!FGame || !folder) return;
  QTreeWidgetItem* node = NodeOf(folder);
  if (!node) return;
  for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
  FTree->setCurrentItem(node);
  FTree->scrollToItem(node);
}

// ---------------------------------------------------------------------------------------------
// The file list

std::vector<const TFileEntry*> TGameBrowser::SelectedFiles() const {
  std::vector<const TFileEntry*> files;
  QModelIndexList rows = FFileView->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& row : rows)
    if (const TFileEntry* file = FFiles->FileAt(row.row())) files.push_back(file);
  return files;
}

void TGameBrowser::RowActivated(const QModelIndex& index) {
  if (!index.isValid()) return;
  if (TDirEntry* folder = FFiles->DirAt(index.row())) {
    ShowFolder(folder);
  } else if (const TFileEntry* file = FFiles->FileAt(index.row())) {
    OpenFile(*file);
  }
}

// The chosen copy itself, never the one that stands in its place: a hidden copy opens from its
// own archive.
void TGameBrowser::OpenFile(const TFileEntry& file) {
  const TFileOrigin origin = TGameFolder::OriginOf(file);
  const QString source = origin.InArchive ? FromStd(origin.DiskPath) : QString();
  emit openRequested(source, FromStd(TGameFolder::OpenPathOf(file)));
}

// Open on the context menu: the current row (a folder), or every chosen file.
void TGameBrowser::OpenChosen() {
  const QModelIndex current = FFileView->currentIndex();
  if (current.isValid() && FFiles->DirAt(current.row())) {
    RowActivated(current);
    return;
  }
  for (const TFileEntry* file : SelectedFiles()) OpenFile(*file);
}

void TGameBrowser::ShowContextMenu(const QPoint& at) {
  if (!FFileView->indexAt(at).isValid()) return;
  QMenu menu(this);
  menu.addAction(FOpen);
  menu.exec(FFileView->viewport()->mapToGlobal(at));
}

int TGameBrowser::AddPage(QWidget* page, const QString& title) {
  return FPages->addTab(page, title);
}
