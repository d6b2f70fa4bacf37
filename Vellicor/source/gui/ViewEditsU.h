#pragma once
// A view's edit commands: hot spots copied and pasted (between views too), shifted and set by
// preset; frames cropped, replaced and inserted from pictures (also by dropping picture files on
// the canvas), duplicated, deleted and moved; images added from pictures, renamed, duplicated
// and deleted. Each acts on the view's shown image through the view, which makes it one undoable
// step and tells a refusal in a box; afterwards the shown frame follows the frame it was about.
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <exception>
#include <functional>

#include "QuvEditU.h"

class QAction;
class QLabel;
class QWidget;
class TFrameCursor;
class TFramePlayer;
class TSettingsModel;
class TSpriteCanvas;

// What the commands ask of their view.
struct TEditTarget {
  using TMaker = std::function<TQuvEdit(const TQuvContent&, size_t image)>;
  // Makes an edit of the shown image and performs it as one step; false when nothing was done.
  std::function<bool(const TMaker& make)> Perform;
  std::function<TFrameList()> SelectedFrames;  // of the shown image
  // The content as shown, and the position of the shown image in it (false: none is shown).
  std::function<const TQuvContent&()> Content;
  std::function<bool(size_t& image)> ShownImage;
};

enum TViewEditCommand {
  ecCopyOffsets,
  ecPasteOffsets,
  ecPasteX,
  ecPasteY,
  ecShiftOffsets,
  ecHotSpotCentre,
  ecHotSpotBottomCentre,
  ecAlignToPrevious,
  ecCrop,
  ecCropImage,
  ecReplaceFrame,
  ecInsertFrames,
  ecDuplicateFrame,
  ecDeleteFrame,
  ecMoveEarlier,
  ecMoveLater,
  ecNewImage,
  ecRenameImage,
  ecDuplicateImage,
  ecDeleteImage,
  ecCommandCount
};

class TViewEdits : public QObject {
  Q_OBJECT
 public:
  // `owner` is the view: its keys answer while the focus is inside it, and the dialogs belong
  // to it; `status`, its status line.
  TViewEdits(TSettingsModel* settings, TFrameCursor* cursor, TFramePlayer* player,
             TSpriteCanvas* canvas, QLabel* status, TEditTarget target, QWidget* owner);

  QAction* Action(TViewEditCommand command) const { return FActions[command]; }
  // For the Edit menu: every command, each group led by a separator.
  QList<QAction*> EditActions() const;
  // For the canvas's menu: the commands on frames; for the list's: those on images (both with
  // nulls between groups).
  QList<QAction*> FrameActions() const;
  QList<QAction*> ImageActions() const;
  // The commands are on show while one image is shown.
  void ShowActionsFor(bool imageShown);

  // Inserts pictures at position `at` (after the shown frame when negative), in natural order of
  // their names (frame2 before frame10); the first of them is shown.
  void InsertFrames(QStringList files, int at = -1);
  // PNG and BMP files, by their names.
  static bool IsPictureFile(const QString& fileName);

 signals:
  void failed(const std::exception& error);  // for the view to report

 protected:
  // Picture files dropped on the canvas; other drops (Quv files) go on to the main window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void Run(TViewEditCommand command);
  void AddKeys(QWidget* paintBox);
  void Guarded(const std::function<void()>& f);
  bool Perform(const TEditTarget::TMaker& make) { return FTarget.Perform(make); }
  int ShownFrame() const;
  // Shows frame index of the shown image, paused.
  void FollowFrame(int index);

  void CopyOffsets();
  void PasteOffsets(bool x, bool y);
  void ShiftOffsets();
  void ApplyPreset(TOffsetPreset preset);
  void Crop(bool wholeImage);
  void ReplaceFrame();
  void AskInsertFrames();
  void DuplicateFrame();
  void DeleteFrame();
  void MoveFrame(int delta);
  void NewImage();
  void RenameImage();
  void DuplicateImage();
  void DeleteImage();
  // Pictures chosen in the open dialog (none: cancelled).
  QStringList AskPictureFiles(const QString& title);
  // The pictures of the files, in natural order; false (told in a box) when one cannot be read.
  bool ReadPictures(QStringList& files, std::vector<TFramePicture>& pictures);
  void SetStatusText(const QString& text);

  TSettingsModel* FSettings;
  TFrameCursor* FCursor;
  TFramePlayer* FPlayer;
  QLabel* FStatus;
  TEditTarget FTarget;
  QWidget* FOwner;
  std::array<QAction*, ecCommandCount> FActions{};
  std::array<QAction*, 5> FSeparators{};  // before each group of the Edit menu
};
