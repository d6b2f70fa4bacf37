#pragma once
// Which frame a view shows and when: the animation timer at the one speed of the settings, the
// view's own play state, stepping frames (or the sub-frames of one frame), Home and End, the
// track bars and the speed box of the frame panel, and preloading the frames ahead. It moves the
// frame cursor, has the canvas draw, and keeps the frame panel in step.
#include <QObject>
#include <cstdint>
#include <exception>
#include <functional>

class QTimer;
class TFrameCursor;
class TFrameInfoPanel;
class TSettingsModel;
class TSpriteCanvas;

class TFramePlayer : public QObject {
  Q_OBJECT
 public:
  TFramePlayer(TSettingsModel* settings, TFrameCursor* cursor, TSpriteCanvas* canvas,
               TFrameInfoPanel* panel, QObject* parent = nullptr);

  QTimer* Timer() const { return FTimer; }
  // Playing: the Animate setting and the view's own play state (on when the view opens) both.
  bool Playing() const;
  void SetPlaying(bool on);
  // Space and the play button: pauses, or plays (switching the Animate setting on if need be).
  void TogglePlaying();
  // Left/Right: one frame (one sub-frame while viewing sub-frames) back or on, and pause.
  void StepFrame(int delta);
  void ShowEndFrame(bool last);  // Home/End
  // A frame chosen by the user (or, viewing sub-frames, its first sub-frame), and pause.
  void GoToFrame(int index);
  // Frame index of the image; viewing sub-frames, its first sub-frame.
  void ShowImageFrame(int index);

  void SetSubFrameMode(bool on);
  void ShowFrame(int index);
  // Shows the frame (or, viewing sub-frames, the sub-frame) the view is at.
  void ShowCurrentFrame();
  void PreloadFrames(bool on);
  void SetAnimationSpeedSelector(int speed);
  // The first frame of a newly shown image: the panel's range, the speed, the sub-frame mode.
  void StartImage();

  // ---- Handlers (public so the view and tests can drive them) ----
  void TimerTimer();
  void FrameTrackBarChange();
  void SubFrameTrackBarChange();
  void AnimationSpeedSelectorChange();
  int LastTrackPosition() const { return FLastTrackPosition; }

 signals:
  void subFrameModeChanged(bool on);
  void frameShown(int index);  // the image is at this frame now (drawn, or told why not)
  void failed(const std::exception& error);  // an error of a handler, for the view to report

 private:
  void SetTimerInterval(int speed);
  // Runs f; an error goes to failed.
  void Guarded(const std::function<void()>& f);

  TSettingsModel* FSettings;
  TFrameCursor* FCursor;
  TSpriteCanvas* FCanvas;
  TFrameInfoPanel* FPanel;
  QTimer* FTimer;
  bool FPlaying = true;
  int FLastTrackPosition = -1;
  uint64_t FShowSerial = 0;  // counts ShowFrame calls, to notice one run by a track bar handler
};
