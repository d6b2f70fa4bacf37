#pragma once
// The panel above a view's drawing area: the shown frame's attributes (counts, position, size,
// zoom, and its offsets in boxes that edit them), the check boxes of the display toggles, and the
// animation panel with the frame and sub-frame track bars, the playback buttons and the animation
// speed. It shows what it is told and tells of the user's moves through signals; its right-click
// menu holds the toggles.
#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QSlider;
class QSpinBox;
class QToolButton;
class TFrontEndImageFrame;
class TSettingsModel;

// The platform timer never fires faster than this; a smaller speed would only spin the CPU.
constexpr int MinimumTimerInterval = 10;

class TFrameInfoPanel : public QWidget {
  Q_OBJECT
 public:
  TFrameInfoPanel(TSettingsModel* settings, QWidget* parent = nullptr);

  QLabel* FrameCount() const { return FFrameCount; }
  QLabel* CurrentFrame() const { return FCurrentFrame; }
  QLabel* SubFrameCount() const { return FSubFrameCount; }
  QLabel* CurrentSubFrame() const { return FCurrentSubFrame; }
  QLabel* ImageWidth() const { return FImageWidth; }
  QLabel* ImageHeight() const { return FImageHeight; }
  // The drawn frame's offsets; the user types or steps a frame's new hot spot here (a
  // sub-frame's are only shown).
  QSpinBox* XOffSet() const { return FXOffSet; }
  QSpinBox* YOffSet() const { return FYOffSet; }
  QLabel* ZoomValue() const { return FZoomValue; }          // "4×"
  QLabel* FramePosition() const { return FFramePosition; }  // "Frame 3 / 8"
  QCheckBox* TransparentCheck() const { return FTransparentCheck; }
  QCheckBox* AnimateCheck() const { return FAnimateCheck; }
  QCheckBox* ViewSubFramesCheck() const { return FViewSubFramesCheck; }
  QCheckBox* AutoCentreCheck() const { return FAutoCentreCheck; }
  QWidget* AnimationPanel() const { return FAnimationPanel; }
  QSlider* FrameTrackBar() const { return FFrameTrackBar; }
  QSlider* SubFrameTrackBar() const { return FSubFrameTrackBar; }
  QSpinBox* AnimationSpeedSelector() const { return FAnimationSpeedSelector; }
  QLabel* AnimationSpeedUnit() const { return FAnimationSpeedUnit; }  // "ms per frame (15.0 fps)"
  // The playback buttons, and the state they leave beside the speed's caption ("Paused", or
  // empty).
  QToolButton* PlayButton() const { return FPlayButton; }
  QToolButton* StepBackButton() const { return FStepBackButton; }
  QToolButton* StepOnButton() const { return FStepOnButton; }
  QLabel* PlayState() const { return FPlayState; }
  // The view's own commands of the display toggles (check boxes and right-click menu).
  QList<QAction*> ToggleActions() const;

  // Width, height and offsets of a drawn frame or sub-frame.
  void ShowFrameSize(const TFrontEndImageFrame* frame);
  // The sub-frame track bar and the current sub-frame's caption and value.
  void ShowSubFrameControls(bool on);
  // The button offers what a press does; the caption says when the view stands still.
  void ShowPlaying(bool playing);

 signals:
  void frameTrackMoved();
  void subFrameTrackMoved();
  void speedEdited();           // the speed's text changed
  void playPressed();           // the play or pause button
  void stepPressed(int delta);  // the step buttons: -1 back, 1 on
  // The user entered a new offset in a box: X (horizontal) or Y.
  void offsetEdited(Qt::Orientation which, int value);

 private:
  QWidget* CreateAttributesGrid();
  QSpinBox* CreateOffsetBox(Qt::Orientation which);
  QWidget* CreateAnimationPanel();
  QWidget* CreatePlayControls(QWidget* parent);
  QCheckBox* BoundCheckBox(QAction* action, QWidget* parent);
  void CreatePopupMenu();
  void UpdateSpeedUnit();

  TSettingsModel* FSettings;
  QAction *FAnimate, *FViewSubFrames, *FAutoCentre, *FTransparent, *FPreLoad;
  QWidget* FAttributes;
  QLabel *FFrameCount, *FCurrentFrame, *FSubFrameCount, *FCurrentSubFrame, *FCurrentSubFrameLabel,
      *FImageWidth, *FImageHeight, *FZoomValue, *FFramePosition;
  QSpinBox *FXOffSet, *FYOffSet;
  QCheckBox *FTransparentCheck, *FAnimateCheck, *FViewSubFramesCheck, *FAutoCentreCheck;
  QWidget* FAnimationPanel;
  QSlider* FFrameTrackBar;
  QSlider* FSubFrameTrackBar;
  QSpinBox* FAnimationSpeedSelector;
  QLabel* FAnimationSpeedUnit;
  QToolButton *FPlayButton, *FStepBackButton, *FStepOnButton;
  QLabel* FPlayState;
  QMenu* FPopupMenu;  // PopupMenu_ImageAttributes
};
