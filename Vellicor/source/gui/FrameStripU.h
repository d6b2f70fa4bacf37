#pragma once
// The strip under a view's canvas: a small picture of every frame of the image shown, with its
// number under it and the frame shown marked. Pictures are made only for frames in sight, a few
// at a time from the event loop, so an image of many frames shows its strip at once and fills it
// in; a frame that cannot be read gets a "cannot read" tile that says why. A click (or Left and
// Right) chooses the frame to show; Ctrl and Shift choose several; dragging tiles asks for a move,
// and dropping picture files asks for them to be added. The strip changes no frames itself: its
// owner acts on its signals and tells it what changed.
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <exception>
#include <vector>

class QListView;
class QMimeData;
class QTimer;
class TFrameCursor;
class TFrontEndImage;
class TSettingsModel;

class TFrameStrip : public QWidget {
  Q_OBJECT
 public:
  // Pictures are fitted into a square of this side.
  static constexpr int PictureSide = 48;

  TFrameStrip(TSettingsModel* settings, TFrameCursor* cursor, QWidget* parent = nullptr);

  // The frames of this image (the cursor's), or none: every tile anew, frame 0 current, nothing
  // else selected.
  void Reset(TFrontEndImage* image);
  // These frames changed: their pictures are made again once in sight. When the image's frame
  // count changed (frames inserted or deleted) every tile is made anew, the current frame kept
  // where it still exists.
  void Invalidate(const std::vector<int32_t>& frames);
  // Every frame changed (another palette or empty index): all pictures again, the selection kept.
  void InvalidateAll();
  // The frame the view shows now: marked and scrolled into sight. A selection of one frame
  // follows it; a selection of several stays.
  void SetCurrentFrame(int index);
  // The background, the checkerboard or transparency changed: the tiles are drawn again.
  void Redraw();

  TFrontEndImage* Image() const { return FImage; }
  int FrameCount() const { return int(FTiles.size()); }
  int CurrentFrame() const { return FCurrent; }
  // The chosen frames in ascending order; the current frame when nothing is chosen.
  std::vector<int32_t> SelectedFrames() const;

  // The list the tiles lie in (for its geometry: where a tile is, what is in sight).
  QListView* List() const;
  // The tile's picture is made (or the frame found unreadable).
  bool IsMade(int index) const;
  // Pictures made since the strip was created: a measure of the work done.
  int PicturesMade() const { return FPicturesMade; }
  // Pictures are waiting to be made.
  bool Busy() const;

 signals:
  void frameChosen(int index);  // by a click or a key
  void selectionChanged();
  // Frames (ascending) to go before frame `to` of the present order (FrameCount(): at the end).
  void moveRequested(std::vector<int32_t> frames, int32_t to);
  // PNG or BMP files dropped to go before frame `at`.
  void filesDropped(QStringList files, int32_t at);
  void failed(const std::exception& error);  // an error of a program part, for the view

 private:
  class TTiles;
  class TTileList;
  class TTileDelegate;

  struct TTile {
    QImage Picture;  // palette indices, fitted into PictureSide
    QString Damage;
    bool Made = false;
  };

  void Rebuild(int current);
  void UpdateColourTables();
  // A tile is painted that has no picture yet: it is made soon if it stays in sight.
  void Want(int index);
  void MakeWantedTiles();
  void MakeTile(int index);
  bool InSight(int index) const;
  void UserMovedTo(int index);
  // The drop of a drag that began here, or of files from outside.
  int DropPosition(const QPoint& viewportPos) const;
  bool AcceptsDrop(const QMimeData* mime) const;
  void Dropped(const QMimeData* mime, const QPoint& viewportPos);
  void SetDropMark(int position);  // -1: none
  // What the tile shows: the canvas's colours, or its opaque ones without transparency.
  QImage Shown(const TTile& tile) const;

  TSettingsModel* FSettings;
  TFrameCursor* FCursor;
  TFrontEndImage* FImage = nullptr;
  std::vector<TTile> FTiles;
  TTiles* FModel;
  TTileList* FList;
  QTimer* FMaker;
  std::deque<int> FWanted;
  QList<QRgb> FOpaqueColours;  // the palette
  QList<QRgb> FClearColours;   // the same with the empty index clear
  int FCurrent = -1;
  int FDropMark = -1;
  int FPicturesMade = 0;
  bool FFollowing = false;  // the strip follows the view: no frame is chosen
};
