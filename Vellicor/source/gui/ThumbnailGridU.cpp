#include "ThumbnailGridU.h"

#include <QAbstractListModel>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "GameFolderU.h"
#include "ImageLoaderU.h"
#include "PaintBoxU.h"
#include "ProgramPathsU.h"
#include "QtStringU.h"
#include "StringUtilsU.h"
#include "ThumbnailU.h"

namespace {

constexpr int TilePad = 6;        // around the picture, inside the tile
constexpr int NameRoom = 24;      // a tile is this much wider than its picture, for the name
constexpr int ReorderDelay = 60;  // ms of rest after scrolling before the tiles in sight go first

QSize TileSize(int side, const QFontMetrics& metrics) {
  return {side + NameRoom + 2 * TilePad, TilePad + side + 4 + metrics.height() + TilePad};
}

// The thumbnail as the tile draws it.
QImage TileImage(const TPicture& rgba) {
  if (rgba.Width <= 0 || rgba.Height <= 0) return {};
  const QImage wrapped(rgba.Pixels.data(), rgba.Width, rgba.Height, rgba.Width * 4,
                       QImage::Format_RGBA8888);
  return wrapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);  // a copy
}

}  // namespace

// ---- The tiles as a list model ----

class TThumbnailGrid::TTiles : public QAbstractListModel {
 public:
  explicit TTiles(TThumbnailGrid* grid) : QAbstractListModel(grid), FGrid(grid) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : FGrid->TileCount();
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const int row = index.row();
    if (!index.isValid() || row >= FGrid->TileCount()) return {};
    const TTile& tile = FGrid->FTiles[size_t(row)];
    if (role == Qt::DisplayRole) return tile.Name;
    if (role == Qt::ToolTipRole) return tile.Failure.isEmpty() ? tile.OpenPath : tile.Failure;
    return {};
  }

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void Changed(int first, int last) { emit dataChanged(index(first), index(last)); }

 private:
  TThumbnailGrid* FGrid;
};

// ---- Painting a tile ----

class TThumbnailGrid::TTileDelegate : public QStyledItemDelegate {
 public:
  explicit TTileDelegate(TThumbnailGrid* grid) : QStyledItemDelegate(grid), FGrid(grid) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return TileSize(FGrid->FLook.Side, option.fontMetrics);
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  void PaintPicture(QPainter& painter, const QRect& square, int row) const;
  TThumbnailGrid* FGrid;
};

void TThumbnailGrid::TTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
  const int row = index.row();
  if (row < 0 || row >= FGrid->TileCount()) return;
  const int side = FGrid->FLook.Side;
  const QRect cell = option.rect;
  painter->save();
  if (option.state & QStyle::State_Selected)
    painter->fillRect(cell, option.palette.color(QPalette::Highlight).lighter(150));
  const QRect square(cell.left() + (cell.width() - side) / 2, cell.top() + TilePad, side, side);
  PaintPicture(*painter, square, row);
  const QRect nameRect(cell.left() + 2, square.bottom() + 4, cell.width() - 4,
                       cell.bottom() - square.bottom() - 4);
  painter->setPen(option.palette.color(QPalette::Text));
  painter->drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop,
                    option.fontMetrics.elidedText(FGrid->FTiles[size_t(row)].Name, Qt::ElideMiddle,
                                                  nameRect.width()));
  if (option.state & QStyle::State_HasFocus) {
    painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(cell.adjusted(0, 0, -1, -1));
  }
  painter->restore();
}

void TThumbnailGrid::TTileDelegate::PaintPicture(QPainter& painter, const QRect& square,
                                                 int row) const {
  const TTile& tile = FGrid->FTiles[size_t(row)];
  if (!tile.Failure.isEmpty()) {
    painter.fillRect(square, MessageBackground);
    painter.setPen(QPen(MessageText, 1));
    painter.drawRect(square.adjusted(0, 0, -1, -1));
    painter.drawText(square, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("cannot read"));
    return;
  }
  if (!tile.Ready) {
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawRect(square.adjusted(0, 0, -1, -1));
    FGrid->Seen(row);
    return;
  }
  const QImage& picture = tile.Picture;
  if (picture.isNull()) return;
  painter.drawImage(square.left() + (square.width() - picture.width()) / 2,
                    square.top() + (square.height() - picture.height()) / 2, picture);
}

// ---- The grid ----

TThumbnailGrid::TThumbnailGrid(QWidget* parent, const QString& cacheFolder)
    : QWidget(parent),
      FCache(std::make_unique<TThumbnailCache>(cacheFolder.isEmpty() ? VellicorThumbnailDir()
                                                                     : ToStd(cacheFolder))),
      FJobs(std::make_unique<TThumbnailJobs>(*FCache)),
      FReorder(new QTimer(this)),
      FModel(new TTiles(this)),
      FView(new QListView(this)) {
  setObjectName(QStringLiteral("ThumbnailGrid"));
  FLook.Palette = BuiltInPalette();
  FLook.TransparentIndex = BuiltInTransparentIndex;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FView);
  FView->setViewMode(QListView::IconMode);
  FView->setMovement(QListView::Static);
  FView->setResizeMode(QListView::Adjust);
  FView->setUniformItemSizes(true);
  FView->setSpacing(2);
  FView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  FView->setItemDelegate(new TTileDelegate(this));
  FView->setModel(FModel);

  FReorder->setSingleShot(true);
  FReorder->setInterval(ReorderDelay);
  connect(FReorder, &QTimer::timeout, this, [this] {
    if (!FSeen.empty()) Request(FSeen);
  });
  connect(FView->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    FSeen.clear();
    FReorder->start();
  });
  connect(FView, &QListView::activated, this, [this](const QModelIndex& index) {
    if (index.isValid()) emit openRequested(OpenPathAt(index.row()));
  });
  connect(FView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TThumbnailGrid::selectionChanged);
}

TThumbnailGrid::~TThumbnailGrid() {
  // The workers end before the grid they hand their results to.
  FJobs.reset();
}

void TThumbnailGrid::SetPalette(const TPalette& palette, uint8_t transparentIndex) {
  FLook.Palette = palette;
  FLook.TransparentIndex = transparentIndex;
  RemakeAll();
}

void TThumbnailGrid::SetThumbnailSize(int side) {
  FLook.Side = std::clamp(side, 16, int(MaxThumbnailSize));
  // The tiles change size: laid out anew.
  FView->setIconSize(QSize(FLook.Side, FLook.Side));
  RemakeAll();
}

void TThumbnailGrid::ShowFiles(TGameFolder&, const std::vector<const TFileEntry*>& files) {
  std::vector<TTile> tiles;
  tiles.reserve(files.size());
  for (const TFileEntry* file : files) {
    TTile tile;
    tile.Name = FromStd(file->Name);
    tile.OpenPath = FromStd(TGameFolder::OpenPathOf(*file));
    tile.File = file;
    tiles.push_back(std::move(tile));
  }
  Start(std::move(tiles));
}

void TThumbnailGrid::ShowPaths(const QStringList& openPaths) {
  std::vector<TTile> tiles;
  tiles.reserve(size_t(openPaths.size()));
  for (const QString& path : openPaths) {
    TTile tile;
    tile.Name = FromStd(ExtractFileName(ToStd(path)));
    tile.OpenPath = path;
    tiles.push_back(std::move(tile));
  }
  Start(std::move(tiles));
}

void TThumbnailGrid::Clear() {
  Start({});
}

QString TThumbnailGrid::OpenPathAt(int tile) const {
  return tile >= 0 && tile < TileCount() ? FTiles[size_t(tile)].OpenPath : QString();
}

QString TThumbnailGrid::FailureAt(int tile) const {
  return tile >= 0 && tile < TileCount() ? FTiles[size_t(tile)].Failure : QString();
}

QStringList TThumbnailGrid::SelectedOpenPaths() const {
  QModelIndexList selected = FView->selectionModel()->selectedIndexes();
  std::sort(selected.begin(), selected.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList paths;
  for (const QModelIndex& index : selected) paths << OpenPathAt(index.row());
  return paths;
}

// ---- Making the pictures ----

void TThumbnailGrid::Start(std::vector<TTile> tiles) {
  FJobs->Cancel();
  FModel->BeginReset();
  FTiles = std::move(tiles);
  FReady = 0;
  ++FShowing;
  FSeen.clear();
  FModel->EndReset();
  // Current for the keys, not selected: a selection is the user's.
  if (!FTiles.empty())
    FView->selectionModel()->setCurrentIndex(FModel->index(0), QItemSelectionModel::NoUpdate);
  // Scrolled to the top: the first tiles are those in sight.
  Request({});
}

void TThumbnailGrid::RemakeAll() {
  FJobs->Cancel();
  for (TTile& tile : FTiles) tile = TTile{tile.Name, tile.OpenPath, tile.File, {}, {}, false};
  FReady = 0;
  ++FShowing;
  if (!FTiles.empty()) FModel->Changed(0, TileCount() - 1);
  Request({});
}

void TThumbnailGrid::Request(const std::set<int>& first) {
  std::vector<TThumbnailItem> items;
  auto add = [&](int row) {
    const TTile& tile = FTiles[size_t(row)];
    if (!tile.Ready)
      items.push_back({tile.File, tile.File ? std::string() : ToStd(tile.OpenPath), size_t(row)});
  };
  for (const int row : first)
    if (row >= 0 && row < TileCount()) add(row);
  for (int row = 0; row < TileCount(); ++row)
    if (!first.count(row)) add(row);
  if (items.empty()) return FJobs->Cancel();
  const uint64_t showing = FShowing;
  FJobs->Request(std::move(items), FLook, [this, showing](TThumbnailResult result) {
    TArrival arrival{showing, result.Tag, TileImage(result.Thumbnail.Rgba),
                     FromStd(result.Thumbnail.Failure)};
    bool wasEmpty = false;
    {
      const std::lock_guard lock(FArrivalLock);
      wasEmpty = FArrivals.empty();
      FArrivals.push_back(std::move(arrival));
    }
    // One call of the event loop takes all that arrived until it runs.
    if (wasEmpty)
      QMetaObject::invokeMethod(this, &TThumbnailGrid::TakeArrivals, Qt::QueuedConnection);
  });
}

void TThumbnailGrid::TakeArrivals() {
  std::vector<TArrival> arrivals;
  {
    const std::lock_guard lock(FArrivalLock);
    arrivals.swap(FArrivals);
  }
  int firstRow = TileCount(), lastRow = -1;
  for (TArrival& arrival : arrivals) {
    if (arrival.Showing != FShowing || arrival.Tile >= FTiles.size()) continue;  // outdated
    TTile& tile = FTiles[arrival.Tile];
    if (tile.Ready) continue;
    tile.Ready = true;
    tile.Picture = std::move(arrival.Picture);
    tile.Failure = std::move(arrival.Failure);
    ++FReady;
    firstRow = std::min(firstRow, int(arrival.Tile));
    lastRow = std::max(lastRow, int(arrival.Tile));
  }
  if (lastRow < 0) return;
  FModel->Changed(firstRow, lastRow);
  if (FReady == TileCount()) emit allShown();
}

void TThumbnailGrid::Seen(int tile) {
  FSeen.insert(tile);
}
