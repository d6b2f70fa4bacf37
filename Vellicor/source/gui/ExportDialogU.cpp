#include "ExportDialogU.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <functional>
#include <stdexcept>

#include "AnimationPauseU.h"
#include "AppSettingsU.h"
#include "DialogsU.h"
#include "ExportOptionListsU.h"
#include "FrameCursorU.h"
#include "FrameExportU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "QtStringU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "ViewExportsU.h"

namespace {

const TPixelFormat BitDepthFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

}  // namespace

int TExportDialog::BitDepthIndex(TPixelFormat format) {
  for (int i = 0; i < 7; ++i)
    if (BitDepthFormats[i] == format) return i;
  return 5;
}

TPixelFormat TExportDialog::BitDepthFormat(int index) {
  return index >= 0 && index < 7 ? BitDepthFormats[index] : pf24bit;
}

TExportDialog::TExportDialog(TQuvView* view, QWidget* parent) : QDialog(parent), View(view) {
  setWindowTitle(QStringLiteral("Export ..."));
  CreateControls();
  LayOutControls();
  HideOptionalControls();
  // The classic size is the least: larger fonts and longer captions grow the dialog.
  resize(QSize(309, 455).expandedTo(sizeHint()));

  connect(ExportFrames, &QRadioButton::clicked, this, [this] { ExportFramesClick(); });
  connect(ExportSubframes, &QRadioButton::clicked, this, [this] { ExportSubframesClick(); });
  connect(ExportFramesData, &QRadioButton::clicked, this, [this] { ExportFramesDataClick(); });
  connect(ExportFrameWhenExportFrameData, &QCheckBox::clicked, this,
          [this] { ExportFrameWhenExportFrameDataClick(); });
  connect(Format, &QComboBox::currentIndexChanged, this, [this] { FormatChange(); });
  for (QSpinBox* box : {StartFrameIndex, EndFrameIndex, StartSubframeIndex, EndSubframeIndex})
    connect(box, &QSpinBox::valueChanged, this, [this] { UpdateExportState(); });
  connect(ExportBtn, &QPushButton::clicked, this, [this] { ExportBtnClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, [this] { CloseBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects as well
}

// Long: one flat list of the dialog's controls in the order they are laid out.
void TExportDialog::CreateControls() {
  ExportFrames = new QRadioButton(QStringLiteral("Export frames"), this);
  ExportSubframes = new QRadioButton(QStringLiteral("Export subframes"), this);
  ExportFramesData = new QRadioButton(QStringLiteral("Export frames data"), this);

  auto spin = [this] {
    auto* box = new QSpinBox(this);
    box->setRange(1, 1);
    return box;
  };
  StartFrameIndexLbl = new QLabel(QStringLiteral("Start Frame Index"), this);
  StartFrameIndex = spin();
  EndFrameIndexLbl = new QLabel(QStringLiteral("End Frame index"), this);
  EndFrameIndex = spin();
  StartSubframeIndexLbl = new QLabel(QStringLiteral("Start Subframe Index"), this);
  StartSubframeIndex = spin();
  EndSubframeIndexLbl = new QLabel(QStringLiteral("End Subframe index"), this);
  EndSubframeIndex = spin();

  FrameDataExportTypeLbl = new QLabel(QStringLiteral("Frame Data export type"), this);
  FrameDataExportType = new QComboBox(this);
  FrameDataExportType->addItems(FrameDataTypeItems());
  ImageBitDepthLbl = new QLabel(QStringLiteral("Export image bit depth"), this);
  ImageBitDepth = new QComboBox(this);
  ImageBitDepth->addItems(BitDepthItems());
  ImageBitDepth->setCurrentIndex(5);
  FormatLbl = new QLabel(QStringLiteral("Format"), this);
  Format = new QComboBox(this);
  Format->addItems(ExportFormatItems());
  ScaleLbl = new QLabel(QStringLiteral("Scale"), this);
  Scale = new QSpinBox(this);
  Scale->setRange(1, MaxExportScale);
  Scale->setEnabled(false);

  ExportFrameWhenExportFrameData =
      new QCheckBox(QStringLiteral("Export Frames when exporting frame data"), this);
  AutoPadExportedFrames = new QCheckBox(QStringLiteral("AutoPad exported frames"), this);
  AutoPadExportedFrames->setToolTip(
      QStringLiteral("Causes exported frames to all have the same size"));
  AutoPadExportedFrames->setChecked(true);
  // The same option as the menu command's, under its caption.
  AutoPadUsingSelectedFrames = new QCheckBox(ToggleCaption(tgAutoPadAll), this);
  AutoPadUsingSelectedFrames->setToolTip(ToggleHint(tgAutoPadAll));
  if (View) AutoPadUsingSelectedFrames->setChecked(View->Settings()->AutoPadUsingSelectedFrames());
  RememberSettings = new QCheckBox(QStringLiteral("Remember these options"), this);
  ExportNote = new QLabel(this);
  ExportNote->setObjectName(QStringLiteral("ExportNote"));
  ExportNote->setWordWrap(true);
  ExportNote->hide();

  ExportBtn = new QPushButton(QStringLiteral("Export"), this);
  ExportBtn->setDefault(true);
  ExportBtn->setEnabled(false);
  CloseBtn = new QPushButton(QStringLiteral("Close"), this);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  // Focus on either leaves Export the default: Enter anywhere in the dialog exports.
  CloseBtn->setAutoDefault(false);
  CancelBtn->setAutoDefault(false);
  CloseBtn->setToolTip(QStringLiteral("Closes the dialog and keeps the options shown"));
  CancelBtn->setToolTip(
      QStringLiteral("Closes the dialog and restores the options it opened with"));
}

void TExportDialog::LayOutControls() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(ExportFrames);
  layout->addWidget(ExportSubframes);
  layout->addWidget(ExportFramesData);
  auto* grid = new QGridLayout;
  grid->addWidget(StartFrameIndexLbl, 0, 0);
  grid->addWidget(StartFrameIndex, 0, 1);
  grid->addWidget(EndFrameIndexLbl, 1, 0);
  grid->addWidget(EndFrameIndex, 1, 1);
  grid->addWidget(StartSubframeIndexLbl, 2, 0);
  grid->addWidget(StartSubframeIndex, 2, 1);
  grid->addWidget(EndSubframeIndexLbl, 3, 0);
  grid->addWidget(EndSubframeIndex, 3, 1);
  grid->addWidget(FrameDataExportTypeLbl, 4, 0);
  grid->addWidget(FrameDataExportType, 4, 1);
  grid->addWidget(ImageBitDepthLbl, 5, 0);
  grid->addWidget(ImageBitDepth, 5, 1);
  grid->addWidget(FormatLbl, 6, 0);
  grid->addWidget(Format, 6, 1);
  grid->addWidget(ScaleLbl, 7, 0);
  grid->addWidget(Scale, 7, 1);
  layout->addLayout(grid);
  layout->addWidget(ExportFrameWhenExportFrameData);
  layout->addStretch(1);
  layout->addWidget(AutoPadExportedFrames);
  layout->addWidget(AutoPadUsingSelectedFrames);
  layout->addWidget(RememberSettings);
  layout->addWidget(ExportNote);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ExportBtn);
  buttons->addWidget(CloseBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);
}

void TExportDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (QWidget* owner = parentWidget()) {
    const QRect area = owner->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  if (!FActivated) {
    FActivated = true;
    FormActivate();
  }
}

void TExportDialog::closeEvent(QCloseEvent* event) {
  FActivated = false;  // FormClose: the next showing loads the controls again
  QDialog::closeEvent(event);
}

void TExportDialog::done(int result) {
  FActivated = false;
  QDialog::done(result);
}

void TExportDialog::FormActivate() {
  if (!View || !View->Cursor()->Image() || !View->FrontEnd()) {
    RememberSettings->setChecked(false);
    QTimer::singleShot(0, this, [this] { reject(); });
    return;
  }
  const TSettingsModel* settings = View->Settings();
  RememberSettings->setChecked(settings->RememberExportSettings());
  ExportFrameWhenExportFrameData->setChecked(settings->ExportFrameWhenExportFrameData());
  ImageBitDepth->setCurrentIndex(BitDepthIndex(settings->ExportBitDepth()));
  FrameDataExportType->setCurrentIndex(settings->FrameDataExportType());
  AutoPadExportedFrames->setChecked(settings->AutoPad());
  AutoPadUsingSelectedFrames->setChecked(settings->AutoPadUsingSelectedFrames());
  Format->setCurrentIndex(settings->ExportFormat());
  Scale->setValue(settings->ExportScale());
  FormatChange();

  const int frames = std::max(View->Cursor()->Image()->FrameCount, 1);
  StartFrameIndex->setRange(1, frames);
  EndFrameIndex->setRange(1, frames);
  StartFrameIndex->setValue(1);
  EndFrameIndex->setValue(frames);
  // In sub-frame mode the view's frame sets the limit; otherwise frame 0 does.
  TFrontEndImageFrame* frame = View->Cursor()->SubFrameMode() && View->Cursor()->Frame()
                                   ? View->Cursor()->Frame()
                                   : View->Cursor()->Image()->GetFrame(0);
  const int subFrames = std::max(frame ? frame->SubFrameCount : 0, 1);
  StartSubframeIndex->setRange(1, subFrames);
  EndSubframeIndex->setRange(1, subFrames);
  StartSubframeIndex->setValue(1);
  EndSubframeIndex->setValue(subFrames);
  // Opens on the option the user exported with last, the first one on first use.
  switch (std::clamp(settings->ExportDialogOption(), 0, 2)) {
    case 1:
      ExportSubframesClick();
      break;
    case 2:
      ExportFramesDataClick();
      break;
    default:
      ExportFramesClick();
      break;
  }
}

void TExportDialog::HideOptionalControls() {
  for (QWidget* w : std::initializer_list<QWidget*>{
           StartFrameIndexLbl, StartFrameIndex, EndFrameIndexLbl, EndFrameIndex,
           StartSubframeIndexLbl, StartSubframeIndex, EndSubframeIndexLbl, EndSubframeIndex,
           FrameDataExportTypeLbl, FrameDataExportType, ImageBitDepthLbl, ImageBitDepth,
           ExportFrameWhenExportFrameData})
    w->setVisible(false);
}

void TExportDialog::ExportFramesClick() {
  HideOptionalControls();
  ExportMode = 0;
  ExportFrames->setChecked(true);
  FormatChange();
  for (QWidget* w :
       {static_cast<QWidget*>(StartFrameIndexLbl), static_cast<QWidget*>(StartFrameIndex),
        static_cast<QWidget*>(EndFrameIndexLbl), static_cast<QWidget*>(EndFrameIndex),
        static_cast<QWidget*>(ImageBitDepthLbl), static_cast<QWidget*>(ImageBitDepth)})
    w->setVisible(true);
  StartFrameIndex->setValue(1);
  EndFrameIndex->setValue(EndFrameIndex->maximum());
}

void TExportDialog::ExportSubframesClick() {
  HideOptionalControls();
  ExportMode = 1;
  ExportSubframes->setChecked(true);
  FormatChange();
  for (QWidget* w :
       {static_cast<QWidget*>(StartFrameIndexLbl), static_cast<QWidget*>(StartFrameIndex),
        static_cast<QWidget*>(EndFrameIndexLbl), static_cast<QWidget*>(EndFrameIndex),
        static_cast<QWidget*>(StartSubframeIndexLbl), static_cast<QWidget*>(StartSubframeIndex),
        static_cast<QWidget*>(EndSubframeIndexLbl), static_cast<QWidget*>(EndSubframeIndex),
        static_cast<QWidget*>(ImageBitDepthLbl), static_cast<QWidget*>(ImageBitDepth)})
    w->setVisible(true);
}

void TExportDialog::ExportFramesDataClick() {
  HideOptionalControls();
  ExportMode = 2;
  ExportFramesData->setChecked(true);
  FormatChange();
  for (QWidget* w :
       {static_cast<QWidget*>(StartFrameIndexLbl), static_cast<QWidget*>(StartFrameIndex),
        static_cast<QWidget*>(EndFrameIndexLbl), static_cast<QWidget*>(EndFrameIndex),
        static_cast<QWidget*>(FrameDataExportTypeLbl), static_cast<QWidget*>(FrameDataExportType),
        static_cast<QWidget*>(ExportFrameWhenExportFrameData)})
    w->setVisible(true);
  ExportFrameWhenExportFrameDataClick();
}

void TExportDialog::ExportFrameWhenExportFrameDataClick() {
  UpdateExportState();
  // isVisibleTo: the dialog itself may not be on screen yet.
  if (!FrameDataExportType->isVisibleTo(this)) return;
  const bool show = ExportFrameWhenExportFrameData->isChecked();
  ImageBitDepthLbl->setVisible(show);
  ImageBitDepth->setVisible(show);
}

// The scale is for the formats beyond BMP; the bit depth for BMP alone (the frame data's
// bitmaps are BMP whatever the format).
void TExportDialog::FormatChange() {
  const bool bmp = Format->currentIndex() == efBmp;
  Scale->setEnabled(!bmp);
  ImageBitDepth->setEnabled(bmp || ExportMode == 2);
  UpdateExportState();
}

void TExportDialog::UpdateExportState() {
  QString note;
  bool possible = ExportMode >= 0;
  const auto format = TExportFormat(std::clamp(Format->currentIndex(), 0, int(efSheet)));
  if (possible && StartFrameIndex->value() > EndFrameIndex->value()) {
    note = QStringLiteral("The start frame comes after the end frame: there is nothing to export.");
    possible = false;
  } else if (ExportMode == 1 && StartSubframeIndex->value() > EndSubframeIndex->value()) {
    note = QStringLiteral(
        "The start subframe comes after the end subframe: there is nothing to export.");
    possible = false;
  } else if (ExportMode == 1 && !IsFrameFormat(format)) {
    note = QStringLiteral("Subframes are written as separate PNG files, not as %1.")
               .arg(Format->currentText());
  } else if (ExportMode == 2 && ExportFrameWhenExportFrameData->isChecked() && format != efBmp) {
    note = QStringLiteral("The frames written with the data are BMP files.");
  }
  ExportBtn->setEnabled(possible);
  ExportNote->setText(note);
  ExportNote->setVisible(!note.isEmpty());
}

void TExportDialog::PutOptionsBack() {
  if (View) View->Exports()->CopyExportOptions();
}

void TExportDialog::ExportBtnClick() {
  TFrontEndImages* front = View ? View->FrontEnd() : nullptr;
  if (!front || !View->Cursor()->Image() || !ExportBtn->isEnabled()) return;
  // Remembered first: storing them puts every view's options back to the settings.
  TSettingsModel* settings = View->Settings();
  settings->SetExportFormat(TExportFormat(std::clamp(Format->currentIndex(), 0, int(efSheet))));
  settings->SetExportScale(Scale->value());
  if (ExportMode >= 0) settings->SetExportDialogOption(ExportMode);
  front->AutoPad = AutoPadExportedFrames->isChecked();
  front->AutoPadUsingSelectedFrames = AutoPadUsingSelectedFrames->isChecked();
  front->ExportFrameWhenExportFrameData = ExportFrameWhenExportFrameData->isChecked();
  front->ExportPixelFormat = BitDepthFormat(ImageBitDepth->currentIndex());
  front->FrameDataExportType =
      uint8_t(NormalizeFrameDataExportType(FrameDataExportType->currentIndex()));
  front->FormatOptions.Format = TExportFormat(std::clamp(Format->currentIndex(), 0, int(efSheet)));
  front->FormatOptions.Scale = Scale->value();
  try {
    RunExport();
  } catch (const std::exception& error) {
    // A failed export must not leave this export's options behind as the view's.
    PutOptionsBack();
    View->ReportError(error);
    return;
  } catch (...) {
    PutOptionsBack();
    View->ReportError(std::runtime_error("Unknown error while exporting"));
    return;
  }
  PutOptionsBack();
}

void TExportDialog::RunExport() {
  TSettingsModel* settings = View->Settings();
  TFrontEndImage* image = View->Cursor()->Image();
  const int first = StartFrameIndex->value() - 1;
  const int last = EndFrameIndex->value() - 1;
  auto askFolder = [&]() -> bool {
    const QString folder = Dialogs().GetFolder(
        this, QStringLiteral("Select folder(ignores filename):"), settings->SaveLastDir());
    if (folder.isEmpty()) return false;
    settings->SetSaveLastDir(folder);
    return true;
  };
  std::function<void(TExportPlan&)> routine;
  QString file;  // confirmed by the save dialog
  switch (ExportMode) {
    case 0: {
      if (!askFolder()) return;
      const TExportFormat format = View->FrontEnd()->FormatOptions.Format;
      routine = [=](TExportPlan& plan) {
        ExportImageFiles(plan, *image, format, first, last, false, ToStd(settings->SaveLastDir()));
      };
      break;
    }
    case 1: {
      if (!askFolder()) return;
      const int firstSub = StartSubframeIndex->value() - 1;
      const int lastSub = EndSubframeIndex->value() - 1;
      TFrontEndImages* front = View->FrontEnd();
      const TExportFormat format = FrameExportFormat(front->FormatOptions.Format);
      routine = [=](TExportPlan& plan) {
        image->ExportImageSubFrameRange(plan, format, first, last, SubFrameNameFormatOf(format),
                                        ToStd(settings->SaveLastDir()), firstSub, lastSub);
      };
      break;
    }
    case 2: {
      const QString proposed = QStringLiteral("%1_%2_%3")
                                   .arg(FromStd(FileNamePart(image->Name)))
                                   .arg(StartFrameIndex->value())
                                   .arg(EndFrameIndex->value());
      file = Dialogs().GetSaveFileName(
          this, QStringLiteral("Save As"), settings->SaveLastDir(), proposed,
          QStringLiteral("Text file|*.txt|Comma delemited text file|*.csv|Any file|*.*"));
      if (file.isEmpty()) return;
      settings->SetSaveLastDir(QDir::cleanPath(QFileInfo(file).absolutePath()));
      if (ExportFrameWhenExportFrameData->isChecked() && !askFolder()) return;
      routine = [=](TExportPlan& plan) {
        image->WriteFramesData(plan, first, last, image->DefaultNameSource(),
                               ToStd(settings->SaveLastDir()), ToStd(file));
      };
      break;
    }
    default:
      return;
  }
  View->Exports()->WriteExport(routine, QString(), file);
}

void TExportDialog::CloseBtnClick() {
  if (View) {
    // Every open view takes the changed options from the settings.
    TSettingsModel* settings = View->Settings();
    settings->SetRememberExportSettings(RememberSettings->isChecked());
    settings->SetToggle(tgAutoPadAll, AutoPadUsingSelectedFrames->isChecked());
    settings->SetExportFormat(TExportFormat(std::clamp(Format->currentIndex(), 0, int(efSheet))));
    settings->SetExportScale(Scale->value());
    if (RememberSettings->isChecked()) {
      settings->SetExportBitDepth(BitDepthFormat(ImageBitDepth->currentIndex()));
      settings->SetFrameDataExportType(FrameDataExportType->currentIndex());
      settings->SetToggle(tgExportFrameWhenExportFrameData,
                          ExportFrameWhenExportFrameData->isChecked());
      settings->SetToggle(tgAutoPad, AutoPadExportedFrames->isChecked());
    }
    settings->Save();
  }
  accept();
}

void ShowExportDialog(TQuvView* view, QWidget* owner) {
  if (!view) return;
  const TAnimationPause pause;
  TExportDialog dialog(view, owner);
  dialog.exec();
}
