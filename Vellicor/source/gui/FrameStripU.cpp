#include "FrameStripU.h"

#include <QAbstractListModel>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "BitmapImageU.h"
#include "FrameCursorU.h"
#include "ImageLoaderU.h"
#include "LoadMessagesU.h"
#include "PaintBoxU.h"
#include "QtStringU.h"
#include "SettingsModelU.h"

namespace {

// Frames dragged from a strip: the strip's identity, then the frame numbers.
const QString FramesMime = QStringLiteral("application/x-vellicor-frames");
constexpr int TilePad = 4;       // around the picture, inside the tile
constexpr int CheckerCell = 8;   // as the canvas's
constexpr int BatchTiles = 8;    // pictures made in one turn of the event loop ...
constexpr int BatchTimeMs = 15;  // ... at most, or until this much time has gone
constexpr int MarkWidth = 2;     // the current frame's frame and the drop mark

QSize TileSize(const QFontMetrics& metrics) {
  const int side = TFrameStrip::PictureSide;
  return {side + 2 * TilePad, TilePad + side + 2 + metrics.height() + TilePad};
}

// The indices as an 8-bit image; its colour table is given when it is drawn.
QImage IndexImage(const TPicture& indices) {
  QImage image(indices.Width, indices.Height, QImage::Format_Indexed8);
  for (int32_t y = 0; y < indices.Height; ++y)
    std::copy_n(indices.Row(y), indices.Width, image.scanLine(y));
  return image;
}

// Nothing changes when the frames go to where they already are.
bool MovesAnything(const std::vector<int32_t>& frames, int32_t to) {
  if (frames.empty()) return false;
  const bool together = frames.back() - frames.front() + 1 == int32_t(frames.size());
  return !(together && to >= frames.front() && to <= frames.back() + 1);
}

QStringList PictureFiles(const QMimeData* mime) {
  QStringList files;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) continue;
    const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
    if (suffix == QLatin1String("png") || suffix == QLatin1String("bmp"))
      files << url.toLocalFile();
  }
  return files;
}

}  // namespace

// ---- The tiles as a list model ----

class TFrameStrip::TTiles : public QAbstractListModel {
 public:
  explicit TTiles(TFrameStrip* strip) : QAbstractListModel(strip), FStrip(strip) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : FStrip->FrameCount();
  }
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return QAbstractListModel::flags(index) | Qt::ItemIsDragEnabled;
  }
  QStringList mimeTypes() const override { return {FramesMime}; }
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void Changed(int first, int last) { emit dataChanged(index(first), index(last)); }

 private:
  TFrameStrip* FStrip;
};

QVariant TFrameStrip::TTiles::data(const QModelIndex& index, int role) const {
  const int row = index.row();
  if (!index.isValid() || row >= FStrip->FrameCount()) return {};
  if (role == Qt::DisplayRole) return QString::number(row + 1);
  if (role != Qt::ToolTipRole) return {};
  const TTile& tile = FStrip->FTiles[size_t(row)];
  if (!tile.Damage.isEmpty()) return tile.Damage;
  QString tip = QStringLiteral("Frame %1 of %2").arg(row + 1).arg(FStrip->FrameCount());
  // The headers are read with the file: no frame is decoded for this.
  const TImage* image = FStrip->FImage ? FStrip->FImage->Image : nullptr;
  if (image && size_t(row) < image->Frames.size() && image->Frames[size_t(row)]) {
    const TImageFrame& frame = *image->Frames[size_t(row)];
    tip += QStringLiteral(" \u2014 %1 \u00d7 %2").arg(frame.Width).arg(frame.Height);
  }
  return tip;
}

QMimeData* TFrameStrip::TTiles::mimeData(const QModelIndexList& indexes) const {
  QStringList numbers{QString::number(quintptr(FStrip))};
  std::vector<int> rows;
  for (const QModelIndex& index : indexes) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  for (int row : rows) numbers << QString::number(row);
  auto* mime = new QMimeData;
  mime->setData(FramesMime, numbers.join(',').toLatin1());
  return mime;
}

// ---- Painting a tile ----

class TFrameStrip::TTileDelegate : public QStyledItemDelegate {
 public:
  explicit TTileDelegate(TFrameStrip* strip) : QStyledItemDelegate(strip), FStrip(strip) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return TileSize(option.fontMetrics);
  }
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  void PaintPicture(QPainter& painter, const QRect& square, int row) const;
  TFrameStrip* FStrip;
};

void TFrameStrip::TTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
  const int row = index.row();
  if (row < 0 || row >= FStrip->FrameCount()) return;
  const QRect cell = option.rect;
  const bool selected = option.state & QStyle::State_Selected;
  const QColor highlight = option.palette.color(QPalette::Highlight);
  painter->save();
  if (selected) painter->fillRect(cell, highlight.lighter(150));
  const QRect square(cell.left() + (cell.width() - PictureSide) / 2, cell.top() + TilePad,
                     PictureSide, PictureSide);
  PaintPicture(*painter, square, row);
  painter->setPen(option.palette.color(QPalette::Text));
  painter->drawText(
      QRect(cell.left(), square.bottom() + 2, cell.width(), cell.bottom() - square.bottom() - 2),
      Qt::AlignHCenter | Qt::AlignTop, QString::number(row + 1));
  if (row == FStrip->FCurrent) {
    painter->setPen(QPen(highlight, MarkWidth));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(square.adjusted(-1, -1, 1, 1));
  }
  const int mark = FStrip->FDropMark;
  if (mark == row || (mark == FStrip->FrameCount() && row == mark - 1)) {
    const int x = mark == row ? cell.left() : cell.right() - MarkWidth + 1;
    painter->fillRect(QRect(x, cell.top(), MarkWidth, cell.height()), highlight);
  }
  painter->restore();
}

void TFrameStrip::TTileDelegate::PaintPicture(QPainter& painter, const QRect& square,
                                              int row) const {
  const TTile& tile = FStrip->FTiles[size_t(row)];
  if (!tile.Damage.isEmpty()) {
    painter.fillRect(square, MessageBackground);
    painter.setPen(MessageText);
    QFont small = painter.font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    painter.drawText(square, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("cannot read"));
    return;
  }
  // Empty pixels show what they show on the canvas.
  if (FStrip->FSettings->Checkerboard())
    painter.fillRect(square, QBrush(CheckerTile(CheckerCell)));
  else
    painter.fillRect(square, ColorFromSetting(FStrip->FSettings->BackGroundColor()));
  if (!tile.Made) {
    FStrip->Want(row);  // painted, so in sight
    return;
  }
  if (tile.Picture.isNull()) return;
  const QImage shown = FStrip->Shown(tile);
  painter.drawImage(square.left() + (PictureSide - shown.width()) / 2,
                    square.top() + (PictureSide - shown.height()) / 2, shown);
}

// ---- The list: keys and drops ----

class TFrameStrip::TTileList : public QListView {
 public:
  explicit TTileList(TFrameStrip* strip) : QListView(strip), FStrip(strip) {}

 protected:
  bool event(QEvent* event) override {
    // The view's playback keys give way to moving along the strip while it has the focus.
    if (event->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(event);
      const auto modifiers =
          key->modifiers() & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier);
      const bool moves = key->key() == Qt::Key_Left || key->key() == Qt::Key_Right ||
                         key->key() == Qt::Key_Home || key->key() == Qt::Key_End;
      if (moves && modifiers == Qt::NoModifier) {
        event->accept();
        return true;
      }
    }
    return QListView::event(event);
  }
  void dragEnterEvent(QDragEnterEvent* event) override {
    if (!FStrip->AcceptsDrop(event->mimeData())) return event->ignore();
    QListView::dragEnterEvent(event);
    event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override {
    if (!FStrip->AcceptsDrop(event->mimeData())) return event->ignore();
    QListView::dragMoveEvent(event);  // scrolls near the ends
    FStrip->SetDropMark(FStrip->DropPosition(event->position().toPoint()));
    event->acceptProposedAction();
  }
  void dragLeaveEvent(QDragLeaveEvent* event) override {
    FStrip->SetDropMark(-1);
    QListView::dragLeaveEvent(event);
  }
  void dropEvent(QDropEvent* event) override {
    FStrip->SetDropMark(-1);
    if (!FStrip->AcceptsDrop(event->mimeData())) return event->ignore();
    // The list's own drop would move its rows: the strip only asks for the move.
    FStrip->Dropped(event->mimeData(), event->position().toPoint());
    event->acceptProposedAction();
    setState(NoState);
    stopAutoScroll();
  }

 private:
  TFrameStrip* FStrip;
};

// ---- The strip ----

TFrameStrip::TFrameStrip(TSettingsModel* settings, TFrameCursor* cursor, QWidget* parent)
    : QWidget(parent),
      FSettings(settings),
      FCursor(cursor),
      FModel(new TTiles(this)),
      FList(new TTileList(this)),
      FMaker(new QTimer(this)) {
  setObjectName(QStringLiteral("FrameStrip"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FList);
  FList->setViewMode(QListView::ListMode);
  FList->setFlow(QListView::LeftToRight);
  FList->setWrapping(false);
  FList->setUniformItemSizes(true);
  FList->setSpacing(0);
  // Static: the list moves no rows by itself; set before dragging, which it would switch off.
  FList->setMovement(QListView::Static);
  FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FList->setDragEnabled(true);
  FList->setAcceptDrops(true);
  FList->viewport()->setAcceptDrops(true);
  FList->setDropIndicatorShown(false);  // the strip marks where the drop goes
  FList->setDragDropMode(QAbstractItemView::DragDrop);
  FList->setDefaultDropAction(Qt::MoveAction);
  FList->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  FList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FList->setItemDelegate(new TTileDelegate(this));
  FList->setModel(FModel);
  FList->setFixedHeight(TileSize(FList->fontMetrics()).height() +
                        FList->horizontalScrollBar()->sizeHint().height() +
                        2 * FList->frameWidth());
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

  FMaker->setSingleShot(true);
  FMaker->setInterval(0);
  connect(FMaker, &QTimer::timeout, this, &TFrameStrip::MakeWantedTiles);
  connect(FList->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!FFollowing && current.isValid()) UserMovedTo(current.row());
          });
  connect(FList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFrameStrip::selectionChanged);
}

QListView* TFrameStrip::List() const {
  return FList;
}

// ---- What the strip shows ----

void TFrameStrip::Reset(TFrontEndImage* image) {
  FImage = image;
  Rebuild(0);
}

void TFrameStrip::Invalidate(const std::vector<int32_t>& frames) {
  if (!FImage) return;
  if (FImage->FrameCount != FrameCount()) {
    Rebuild(FCurrent);
    return;
  }
  for (int32_t index : frames) {
    if (index < 0 || index >= FrameCount()) continue;
    FTiles[size_t(index)] = TTile();
    FModel->Changed(index, index);
  }
}

void TFrameStrip::InvalidateAll() {
  UpdateColourTables();
  FWanted.clear();
  std::fill(FTiles.begin(), FTiles.end(), TTile());
  if (!FTiles.empty()) FModel->Changed(0, FrameCount() - 1);
}

void TFrameStrip::Rebuild(int current) {
  FModel->BeginReset();
  FTiles.assign(FImage ? size_t(FImage->FrameCount) : 0, TTile());
  FWanted.clear();
  FCurrent = FTiles.empty() ? -1 : std::clamp(current, 0, FrameCount() - 1);
  UpdateColourTables();
  FModel->EndReset();
  if (FCurrent >= 0) {
    const QModelIndex index = FModel->index(FCurrent);
    FFollowing = true;
    FList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    FFollowing = false;
    FList->scrollTo(index);
  }
}

void TFrameStrip::UpdateColourTables() {
  FOpaqueColours.clear();
  FClearColours.clear();
  if (!FCursor->Document()) return;
  const TPalette& palette = FCursor->Palette();
  for (const TPaletteEntry& entry : palette) FOpaqueColours << qRgb(entry[0], entry[1], entry[2]);
  FClearColours = FOpaqueColours;
  FClearColours[FCursor->TransparentIndex()] = qRgba(0, 0, 0, 0);
}

QImage TFrameStrip::Shown(const TTile& tile) const {
  QImage shown = tile.Picture;
  shown.setColorTable(FSettings->Transparent() ? FClearColours : FOpaqueColours);
  return shown;
}

void TFrameStrip::SetCurrentFrame(int index) {
  if (index < 0 || index >= FrameCount() || index == FCurrent) return;
  const int previous = FCurrent;
  FCurrent = index;
  QItemSelectionModel* selection = FList->selectionModel();
  const QModelIndex at = FModel->index(index);
  FFollowing = true;
  selection->setCurrentIndex(at, selection->selectedIndexes().size() <= 1
                                     ? QItemSelectionModel::ClearAndSelect
                                     : QItemSelectionModel::NoUpdate);
  FFollowing = false;
  if (previous >= 0) FList->update(FModel->index(previous));
  FList->update(at);
  FList->scrollTo(at);
}

void TFrameStrip::Redraw() {
  FList->viewport()->update();
}

void TFrameStrip::UserMovedTo(int index) {
  if (index == FCurrent) return;
  if (FCurrent >= 0 && FCurrent < FrameCount()) FList->update(FModel->index(FCurrent));
  FCurrent = index;
  emit frameChosen(index);
}

std::vector<int32_t> TFrameStrip::SelectedFrames() const {
  std::vector<int32_t> frames;
  for (const QModelIndex& index : FList->selectionModel()->selectedIndexes())
    frames.push_back(index.row());
  std::sort(frames.begin(), frames.end());
  if (frames.empty() && FCurrent >= 0) frames.push_back(FCurrent);
  return frames;
}

bool TFrameStrip::IsMade(int index) const {
  return index >= 0 && index < FrameCount() && FTiles[size_t(index)].Made;
}

bool TFrameStrip::Busy() const {
  return FMaker->isActive();
}

// ---- Making pictures ----

void TFrameStrip::Want(int index) {
  if (std::find(FWanted.begin(), FWanted.end(), index) == FWanted.end()) FWanted.push_back(index);
  if (!FMaker->isActive()) FMaker->start();
}

bool TFrameStrip::InSight(int index) const {
  return FList->isVisible() &&
         FList->viewport()->rect().intersects(FList->visualRect(FModel->index(index)));
}

void TFrameStrip::MakeWantedTiles() {
  QElapsedTimer clock;
  clock.start();
  int made = 0;
  try {
    while (!FWanted.empty() && made < BatchTiles && clock.elapsed() < BatchTimeMs) {
      const int index = FWanted.front();
      FWanted.pop_front();
      // Scrolled out of sight meanwhile: made when it comes back.
      if (index >= FrameCount() || FTiles[size_t(index)].Made || !InSight(index)) continue;
      MakeTile(index);
      FModel->Changed(index, index);
      ++made;
    }
  } catch (const std::exception& error) {
    FWanted.clear();
    emit failed(error);
    return;
  }
  if (!FWanted.empty()) FMaker->start();
}

void TFrameStrip::MakeTile(int index) {
  TTile& tile = FTiles[size_t(index)];
  tile = TTile();
  tile.Made = true;
  ++FPicturesMade;
  // Through the cursor, so that a damaged frame is told of once, as the canvas tells of it.
  if (FCursor->Image() != FImage) return;
  TFrontEndImageFrame* frame = FCursor->FetchFrame(index);
  try {
    if (!frame || TFrameCursor::IsDamaged(frame)) {
      tile.Damage = frame ? FCursor->DamageOf(frame) : FCursor->FrameErrorAt(FImage->Image, index);
      if (tile.Damage.isEmpty()) tile.Damage = FromStd(FrameErrorSentence(index, FImage->Name, ""));
      return;
    }
    const TFramePixels& pixels = frame->GetPixels();
    if (pixels.Width() > 0 && pixels.Height() > 0)
      tile.Picture = IndexImage(FitPicture(pixels.Indices(), PictureSide));
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    tile.Damage = FromStd(error.what());
  }
}

// ---- Drops ----

int TFrameStrip::DropPosition(const QPoint& viewportPos) const {
  if (FTiles.empty()) return 0;
  const QModelIndex at = FList->indexAt(viewportPos);
  if (at.isValid()) {
    const QRect tile = FList->visualRect(at);
    return at.row() + (viewportPos.x() > tile.center().x() ? 1 : 0);
  }
  return viewportPos.x() < FList->visualRect(FModel->index(0)).left() ? 0 : FrameCount();
}

bool TFrameStrip::AcceptsDrop(const QMimeData* mime) const {
  if (!FImage || !mime) return false;
  if (mime->hasFormat(FramesMime)) {
    // Frames of another view's strip are no frames of this image.
    const QByteArray data = mime->data(FramesMime);
    return data.split(',').value(0).toULongLong() == quintptr(this);
  }
  return !PictureFiles(mime).isEmpty();
}

void TFrameStrip::Dropped(const QMimeData* mime, const QPoint& viewportPos) {
  const int at = DropPosition(viewportPos);
  if (!mime->hasFormat(FramesMime)) {
    emit filesDropped(PictureFiles(mime), at);
    return;
  }
  std::vector<int32_t> frames;
  const QList<QByteArray> numbers = mime->data(FramesMime).split(',');
  for (qsizetype i = 1; i < numbers.size(); ++i) {
    bool ok = false;
    const int frame = numbers[i].toInt(&ok);
    if (ok && frame >= 0 && frame < FrameCount()) frames.push_back(frame);
  }
  if (MovesAnything(frames, at)) emit moveRequested(frames, at);
}

void TFrameStrip::SetDropMark(int position) {
  if (position == FDropMark) return;
  FDropMark = position;
  FList->viewport()->update();
}
