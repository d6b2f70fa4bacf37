#pragma once
// The view window's "Export ..." dialog: a chosen range of the shown image's frames as files of
// the chosen format (BMP, PNG, indexed PNG, or per image an animation or a sprite sheet), a
// range of frames with a range of sub-frames each, or the frame data of a range of frames,
// with this export's bit depth, scale, padding and frame-data options, optionally remembered
// as the program's settings (the format and scale always are, on Export as on Close).
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "BitmapU.h"

class TQuvView;

class TExportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TExportDialog(TQuvView* view, QWidget* parent = nullptr);

  TQuvView* View;
  int ExportMode = -1;  // 0 frames, 1 sub-frames, 2 frames data; -1 before a choice

  QRadioButton *ExportFrames, *ExportSubframes, *ExportFramesData;
  QLabel *StartFrameIndexLbl, *EndFrameIndexLbl, *StartSubframeIndexLbl, *EndSubframeIndexLbl;
  QSpinBox *StartFrameIndex, *EndFrameIndex, *StartSubframeIndex, *EndSubframeIndex;
  QLabel* FrameDataExportTypeLbl;
  QComboBox* FrameDataExportType;
  QLabel* ImageBitDepthLbl;
  QComboBox* ImageBitDepth;
  QLabel *FormatLbl, *ScaleLbl;
  QComboBox* Format;  // positions in TExportFormat order
  QSpinBox* Scale;
  QCheckBox *ExportFrameWhenExportFrameData, *AutoPadExportedFrames, *AutoPadUsingSelectedFrames,
      *RememberSettings;
  // What Export will do where the choices do not speak for themselves, or why it cannot.
  QLabel* ExportNote;
  QPushButton *ExportBtn, *CloseBtn, *CancelBtn;

  void FormActivate();
  void ExportFramesClick();
  void ExportSubframesClick();
  void ExportFramesDataClick();
  void ExportFrameWhenExportFrameDataClick();
  void FormatChange();
  // Export is possible once a mode is chosen and its ranges run forwards; the note says why not,
  // or what the format means for this mode.
  void UpdateExportState();
  void ExportBtnClick();
  void CloseBtnClick();

  // Bit-depth list position <-> pixel format; formats outside the list show as "24 bit".
  static int BitDepthIndex(TPixelFormat format);
  static TPixelFormat BitDepthFormat(int index);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void CreateControls();
  void LayOutControls();
  void HideOptionalControls();
  void PutOptionsBack();
  void RunExport();

  bool FActivated = false;
};

// acExportGeneric: the dialog shown modally for the view, with the animation paused.
void ShowExportDialog(TQuvView* view, QWidget* owner);
