#include "GameBrowserPagesU.h"

#include <QAction>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QToolBar>

#include "ArchiveEditPageU.h"
#include "BatchExportU.h"
#include "DialogsU.h"
#include "FileTreeU.h"
#include "GameBrowserU.h"
#include "GameFolderU.h"
#include "GameSearchPaneU.h"
#include "ImageIndexJobU.h"
#include "PaletteModelU.h"
#include "QtStringU.h"
#include "ThumbnailGridU.h"

namespace {

bool IsQuvName(const std::string& name) {
  return QString::fromStdString(name).endsWith(QStringLiteral(".quv"), Qt::CaseInsensitive);
}

}  // namespace

TGameBrowserPages::TGameBrowserPages(TGameBrowser* browser, TSettingsModel* settings,
                                     const TPaletteModel* palettes)
    : QObject(browser),
      FBrowser(browser),
      FSettings(settings),
      FPalettes(palettes),
      FCaption(browser->windowTitle()) {
  FThumbnails = new TThumbnailGrid(browser);
  browser->AddPage(FThumbnails, QStringLiteral("Thumbnails"));
  if (palettes) {
    FThumbnails->SetPalette(palettes->Palette(), palettes->TransparentIndex());
    connect(palettes, &TPaletteModel::paletteChanged, FThumbnails, &TThumbnailGrid::SetPalette);
  }
  connect(FThumbnails, &TThumbnailGrid::openRequested, this, [this](const QString& openPath) {
    emit openImageRequested(QString(), openPath, QString());
  });
  connect(browser->Pages(), &QTabWidget::currentChanged, this, [this] {
    QWidget* page = FBrowser->Pages()->currentWidget();
    // Coming from a search that found something, the thumbnails are those of what it found.
    if (page == FThumbnails && FPage == FSearch && FSearch->RowCount() > 0) {
      FThumbnailsOfSearch = true;
      FThumbnailsStale = true;
    }
    FPage = page;
    if (FThumbnailsStale && page == FThumbnails) ShowThumbnails();
    // Whoever turns to the search means to type.
    if (page == FSearch) FSearch->SearchBox()->setFocus();
  });
  FSearch = new TGameSearchPane(browser);
  browser->AddPage(FSearch, QStringLiteral("Search"));
  FArchive = new TArchiveEditPage(browser);
  browser->AddPage(FArchive, QStringLiteral("Archive"));

  connect(browser, &TGameBrowser::mounted, this, &TGameBrowserPages::Mounted);
  connect(browser, &TGameBrowser::currentFolderChanged, this, &TGameBrowserPages::FolderChanged);
  connect(FSearch, &TGameSearchPane::openRequested, this,
          [this](const QString& openPath, const QString& image) {
            emit openImageRequested(QString(), openPath, image);
          });
  connect(FArchive, &TArchiveEditPage::modifiedChanged, this, &TGameBrowserPages::ShowModified);
  connect(FArchive, &TArchiveEditPage::archiveSaved, browser, &TGameBrowser::Remount);

  FExport = new QAction(QStringLiteral("Export\u2026"), this);
  FExport->setToolTip(QStringLiteral(
      "Export the chosen Quv files, the search's results or every one below the folder shown"));
  FExport->setEnabled(false);
  connect(FExport, &QAction::triggered, this, &TGameBrowserPages::Export);
  browser->ToolBar()->addAction(FExport);
  browser->installEventFilter(this);
}

bool TGameBrowserPages::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FBrowser && event->type() == QEvent::Close && !AskToSave()) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

TGameBrowserPages::~TGameBrowserPages() {
  // The index and the thumbnails are read on threads of their own: they end before the game
  // they read may go.
  FIndexJob.reset();
  if (FThumbnails) FThumbnails->Clear();
}

bool TGameBrowserPages::Indexing() const {
  return FIndexJob && FIndexJob->Running();
}

bool TGameBrowserPages::AskToSave() {
  return FArchive->AskToSave();
}

void TGameBrowserPages::Mounted() {
  FIndexJob.reset();  // it read the old tree
  FThumbnails->Clear();
  FSearch->SetGameFolder(nullptr);
  std::shared_ptr<TGameFolder> game = FBrowser->Game();
  FArchive->SetGame(game.get());
  FGame = std::move(game);
  if (FGame) {
    FIndexJob = std::make_unique<TImageIndexJob>(*FGame);
    connect(FIndexJob.get(), &TImageIndexJob::searchReady, FSearch,
            [this](std::shared_ptr<TGameSearch> search) {
              FSearch->SetGameFolder(FGame.get(), std::move(search));
            });
    connect(FIndexJob.get(), &TImageIndexJob::progress, FSearch,
            [this](qulonglong done, qulonglong total) { FSearch->SetIndexProgress(done, total); });
    connect(
        FIndexJob.get(), &TImageIndexJob::finished, FSearch,
        [this](std::shared_ptr<TImageNameIndex> index) { FSearch->SetIndex(std::move(index)); });
  }
  FExport->setEnabled(FGame != nullptr);
  FolderChanged();
}

void TGameBrowserPages::FolderChanged() {
  TDirEntry* folder = FBrowser->CurrentFolder();
  FArchive->SetFolder(folder ? FromStd(folder->GetFullPath()) : QString());
  FThumbnailsStale = true;
  FThumbnailsOfSearch = false;
  if (FBrowser->Pages()->currentWidget() == FThumbnails) ShowThumbnails();
}

void TGameBrowserPages::ShowThumbnails() {
  FThumbnailsStale = false;
  TDirEntry* folder = FBrowser->CurrentFolder();
  if (!FGame || !folder) {
    FThumbnails->Clear();
    return;
  }
  std::vector<const TFileEntry*> files;
  if (FThumbnailsOfSearch) {
    for (const TFileEntry* file : FSearch->ResultFiles())
      if (IsQuvName(file->Name)) files.push_back(file);
    FThumbnails->ShowFiles(*FGame, files);
    return;
  }
  for (const auto& [name, node] : folder->SortedIndex())
    if (!node->IsDirectory() && IsQuvName(name)) files.push_back(static_cast<TFileEntry*>(node));
  FThumbnails->ShowFiles(*FGame, files);
}

void TGameBrowserPages::ShowModified(bool modified) {
  const QString caption = modified ? FCaption + QLatin1Char('*') : FCaption;
  FBrowser->setWindowTitle(caption);
  if (auto* child = qobject_cast<QMdiSubWindow*>(FBrowser->parentWidget()))
    child->setWindowTitle(caption);
}

QStringList TGameBrowserPages::ExportSources() const {
  if (FBrowser->Pages()->currentWidget() == FSearch) return FSearch->OpenPaths();
  if (FBrowser->Pages()->currentWidget() == FThumbnails) {
    const QStringList chosen = FThumbnails->SelectedOpenPaths();
    if (!chosen.isEmpty()) return chosen;
  }
  QStringList sources;
  for (const TFileEntry* file : FBrowser->SelectedFiles())
    if (IsQuvName(file->Name)) sources << FromStd(TGameFolder::OpenPathOf(*file));
  if (!sources.isEmpty() || !FBrowser->CurrentFolder()) return sources;
  VisitTree(*FBrowser->CurrentFolder(), [&sources](TEntry& node, const std::string&) {
    if (!node.IsDirectory() && IsQuvName(node.Name))
      sources << FromStd(TGameFolder::OpenPathOf(static_cast<TFileEntry&>(node)));
    return TWalkStep::Continue;
  });
  return sources;
}

void TGameBrowserPages::Export() {
  const QStringList sources = ExportSources();
  if (sources.isEmpty()) {
    Dialogs().Message(FBrowser, QStringLiteral("Export"),
                      QStringLiteral("There is no Quv file to export here."),
                      QMessageBox::Information, QMessageBox::Ok);
    return;
  }
  RunBatchExport(FBrowser, sources, FSettings, FPalettes);
}

TThumbnailGrid* TGameBrowserPages::Thumbnails() const {
  return FThumbnails;
}
