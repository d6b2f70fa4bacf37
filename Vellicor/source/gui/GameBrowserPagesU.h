#pragma once
// The pages and commands a game browser carries beside its file list, and what ties them to
// it: "Thumbnails" of the chosen folder's Quv files, "Search" over file and image names (the
// index of image names built in the background after every mount), "Archive" for editing one
// of the game's archives, and Export… of the chosen files or folder. Each page follows the
// browser's mounts and its current folder; the parts hold the mounted game for as long as work
// of theirs may still read it.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

class QAction;
class QWidget;
class TArchiveEditPage;
class TGameBrowser;
class TGameFolder;
class TGameSearchPane;
class TImageIndexJob;
class TThumbnailGrid;
class TPaletteModel;
class TSettingsModel;

class TGameBrowserPages : public QObject {
  Q_OBJECT
 public:
  // Adds the pages and the Export… command to browser (it owns this object). Exports use
  // settings and the viewer's palette.
  TGameBrowserPages(TGameBrowser* browser, TSettingsModel* settings, const TPaletteModel* palettes);
  ~TGameBrowserPages() override;

  TGameSearchPane* Search() const { return FSearch; }
  TThumbnailGrid* Thumbnails() const;
  TArchiveEditPage* ArchivePage() const { return FArchive; }
  QAction* ExportAction() const { return FExport; }
  // What Export… converts: the search's chosen results (all when none) while the search is
  // shown, the chosen tiles while the thumbnails are, else the Quv files chosen in the file
  // list, else every one below the folder shown.
  QStringList ExportSources() const;
  // True while the image names are being indexed.
  bool Indexing() const;
  // Before the browser closes: asks to save an edited archive. True to go on.
  bool AskToSave();

 signals:
  // A file of the game to open (as the browser's openRequested) on an image (may be empty).
  void openImageRequested(const QString& source, const QString& fileName, const QString& image);

 protected:
  // The browser's close asks to save an edited archive first.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Mounted();
  void FolderChanged();
  // The grid shows the Quv files of the folder shown, or what the search found when the user
  // came to it from there; made when the page is in sight.
  void ShowThumbnails();
  void ShowModified(bool modified);
  void Export();

  TGameBrowser* FBrowser;
  TSettingsModel* FSettings;
  const TPaletteModel* FPalettes;
  QAction* FExport = nullptr;
  QString FCaption;
  std::shared_ptr<TGameFolder> FGame;    // the game the pages show, kept while they read it
  QPointer<TThumbnailGrid> FThumbnails;  // a page: the browser may free it first
  bool FThumbnailsStale = true;
  bool FThumbnailsOfSearch = false;  // the search's result instead of the folder's files
  QWidget* FPage = nullptr;          // the page shown last
  TGameSearchPane* FSearch = nullptr;
  TArchiveEditPage* FArchive = nullptr;
  std::unique_ptr<TImageIndexJob> FIndexJob;
};
