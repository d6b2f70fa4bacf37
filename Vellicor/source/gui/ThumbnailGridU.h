#pragma once
// A grid of thumbnails of Quv files (the first frame of the first image, as the desktop shows
// them), each with its file name under it. Tiles appear at once as placeholders and fill in as
// worker threads make the pictures; those in sight are made first, and thumbnails made before
// come from the cache folder. A file that cannot be read gets a "cannot read" tile with the
// reason as its tooltip. Double-click or Enter asks for the file to be opened; the selection
// is there for actions on several files.
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "ThumbnailJobsU.h"

class QListView;
class QTimer;

class TThumbnailGrid : public QWidget {
  Q_OBJECT
 public:
  // cacheFolder: where thumbnails are kept between runs; empty for the user's cache folder
  // (VellicorThumbnailDir()).
  explicit TThumbnailGrid(QWidget* parent = nullptr, const QString& cacheFolder = QString());
  ~TThumbnailGrid() override;

  // The colours the thumbnails are drawn with (the viewer's palette and empty index); the
  // tiles shown are made again. By default the built-in palette, empty index 9.
  void SetPalette(const TPalette& palette, uint8_t transparentIndex);
  // Pictures of at most side x side pixels (default 96); the tiles shown are made again.
  void SetThumbnailSize(int side);
  int ThumbnailSize() const { return FLook.Side; }

  // A tile per file, in this order, the first one current. The folder must stay mounted while
  // the grid shows its files: until the next ShowFiles, ShowPaths or Clear.
  void ShowFiles(TGameFolder& folder, const std::vector<const TFileEntry*>& files);
  // A tile per open path: a Quv file on disk, or a path through an archive.
  void ShowPaths(const QStringList& openPaths);
  // No tiles; the work of the last request is dropped.
  void Clear();

  int TileCount() const { return int(FTiles.size()); }
  // Tiles whose picture, or the reason there is none, has arrived.
  int ReadyCount() const { return FReady; }
  QString OpenPathAt(int tile) const;
  // The tile's reason it cannot be read; empty while it waits or when it shows a picture.
  QString FailureAt(int tile) const;
  // The open paths of the selected tiles, in grid order.
  QStringList SelectedOpenPaths() const;
  // The list the tiles lie in (where a tile is drawn, what is in sight, the keyboard focus).
  QListView* View() const { return FView; }
  // Files read and decoded since the grid was made (those from the cache are not counted).
  size_t DecodedCount() const { return FJobs->DecodedCount(); }

 signals:
  void openRequested(const QString& openPath);  // double-click or Enter on a tile
  void selectionChanged();
  void allShown();  // every tile has its picture or its reason

 private:
  class TTiles;
  class TTileDelegate;

  struct TTile {
    QString Name;
    QString OpenPath;
    const TFileEntry* File = nullptr;
    QImage Picture;   // Side x Side, the thumbnail centred; null while waiting or failed
    QString Failure;  // why it cannot be read
    bool Ready = false;
  };
  struct TArrival {
    uint64_t Showing = 0;
    size_t Tile = 0;
    QImage Picture;
    QString Failure;
  };

  void Start(std::vector<TTile> tiles);
  // Asks for the tiles not yet ready, those in `first` before the others.
  void Request(const std::set<int>& first);
  void TakeArrivals();
  void Seen(int tile);  // a waiting tile was painted, so it is in sight
  void RemakeAll();

  TThumbnailLook FLook;
  std::unique_ptr<TThumbnailCache> FCache;
  std::unique_ptr<TThumbnailJobs> FJobs;
  std::vector<TTile> FTiles;
  int FReady = 0;
  uint64_t FShowing = 0;  // counts the tile sets shown: arrivals for an earlier one are dropped
  std::set<int> FSeen;    // waiting tiles painted since the last scroll
  QTimer* FReorder;       // asks for the tiles in sight first once scrolling rests
  std::mutex FArrivalLock;
  std::vector<TArrival> FArrivals;  // made, not yet taken by the event loop
  TTiles* FModel;
  QListView* FView;
};
