#include "ViewExportsU.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTreeWidget>
#include <QUrl>

#include "AnimationPauseU.h"
#include "DialogsU.h"
#include "ExportPlanU.h"
#include "FrameCursorU.h"
#include "FrameExportU.h"
#include "ImageExportU.h"
#include "ImageListPaneU.h"
#include "QtStringU.h"
#include "SettingsModelU.h"
#include "StringUtilsU.h"
#include "WaitCursorU.h"

TViewExports::TViewExports(TSettingsModel* settings, TFrameCursor* cursor, TImageListPane* list,
                           QLabel* status, QWidget* owner)
    : QObject(owner),
      FSettings(settings),
      FCursor(cursor),
      FList(list),
      FStatus(status),
      FOwner(owner) {
  CreateActions();
}

void TViewExports::CreateActions() {
  auto make = [this](const char* caption, const char* hint, void (TViewExports::*handler)()) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setStatusTip(QString::fromUtf8(hint));
    action->setToolTip(QString::fromUtf8(hint));
    action->setVisible(false);
    if (handler) connect(action, &QAction::triggered, this, handler);
    return action;
  };
  FExportFrames = make("Export image frames", "Exports frames for the current frame",
                       &TViewExports::acExportFramesExecute);
  FExportSubFrames = make("Export frames", "Exports subframes for the current frame",
                          &TViewExports::acExportSubFramesExecute);
  FExportImageSubFrames = make("Export image subframes", "Exports subframes for the current image",
                               &TViewExports::acExportImageSubFramesExecute);
  FExportFrame =
      make("Export frame", "Exports the current frame", &TViewExports::acExportFrameExecute);
  FExportSubFrame = make("Export frame subframe", "Exports the current subframe",
                         &TViewExports::acExportSubFrameExecute);
  FExportAll = make("Export all Images", "Exports all images for all the images in the quv file",
                    &TViewExports::acExportAllExecute);
  FExportSelected = make("Export Selected", "Exports the selected images",
                         &TViewExports::acExportSelectedExecute);
  FExportFrameData = make("Export Frame Data", "Exports Frame data for the current frame",
                          &TViewExports::acExportFrameDataExecute);
  FExportFramesData = make("Export Frames Data", "Exports Frame data for the current image",
                           &TViewExports::acExportFramesDataExecute);
  FExportSelectedFramesData =
      make("Export Frames Data for selected images", "Exports frames data for the selected images",
           &TViewExports::acExportSelectedFramesDataExecute);
  FExportAllFramesData =
      make("Export Frames Data for all images", "Exports frames data for the all images",
           &TViewExports::acExportAllFramesDataExecute);
  FCopyFrame = make("Copy frame", "Copies the current frame to the clipboard",
                    &TViewExports::acCopyFrameExecute);
  // The main window's menu item carries the key; the action itself stays out of any widget.
  FCopyFrame->setShortcut(QKeySequence::Copy);
  FExportGeneric = make("Export ...", "Export", nullptr);
  connect(FExportGeneric, &QAction::triggered, this, [this] { emit exportDialogRequested(); });
  for (QAction*& separator : FSeparators) {
    separator = new QAction(this);
    separator->setSeparator(true);
  }
}

QList<QAction*> TViewExports::ExportActions() const {
  return {FExportFrames,
          FExportSubFrames,
          FExportImageSubFrames,
          FExportFrame,
          FExportSubFrame,
          FExportAll,
          FExportSelected,
          FExportFrameData,
          FExportFramesData,
          FExportSelectedFramesData,
          FExportAllFramesData,
          FExportGeneric,
          FCopyFrame};
}

// A sub-frame can only be exported while sub-frames are viewed.
void TViewExports::ShowActionsFor(bool menuShown, bool multiSelect, bool imageShown,
                                  bool subFrameMode) {
  for (QAction* action : ExportActions()) action->setVisible(false);
  FMenuActions.clear();
  if (menuShown && multiSelect) {
    FMenuActions = {FExportSelected, FExportSelectedFramesData, FExportAll, FExportAllFramesData};
    for (QAction* action : FMenuActions) action->setVisible(true);
  } else if (menuShown && imageShown) {
    for (QAction* action : ExportActions())
      if (action != FExportSelected && action != FExportSelectedFramesData)
        action->setVisible(true);
    FExportSubFrame->setVisible(subFrameMode);
    FMenuActions = {FExportAll,       FExportAllFramesData, FSeparators[0],   FExportFrame,
                    FExportFrames,    FExportSubFrame,      FExportSubFrames, FExportImageSubFrames,
                    FExportFrameData, FExportFramesData,    FExportGeneric,   FSeparators[1],
                    FCopyFrame};
  }
}

void TViewExports::CopyExportOptions() {
  TFrontEndImages* front = FrontEnd();
  if (!front) return;
  front->AutoPad = FSettings->AutoPad();
  front->AutoPadUsingSelectedFrames = FSettings->AutoPadUsingSelectedFrames();
  front->ExportPixelFormat = FSettings->ExportBitDepth();
  front->ExportFrameWhenExportFrameData = FSettings->ExportFrameWhenExportFrameData();
  front->FrameDataExportType = uint8_t(FSettings->FrameDataExportType());
  front->FormatOptions.Format = FSettings->ExportFormat();
  front->FormatOptions.Scale = FSettings->ExportScale();
}

TFrontEndImages* TViewExports::FrontEnd() const {
  return FCursor->FrontEnd();
}

TFrontEndImage* TViewExports::Image() const {
  return FCursor->Image();
}

QString TViewExports::StatusText() const {
  return FStatus->text();
}

void TViewExports::SetStatusText(const QString& text) {
  FStatus->setText(text);
}

bool TViewExports::AskSaveFile(const QString& title, const QString& filter,
                               const QString& proposedName, QString& chosen) {
  chosen = Dialogs().GetSaveFileName(FOwner, title, FSettings->SaveLastDir(), proposedName, filter);
  FSavedFile = chosen;
  if (chosen.isEmpty()) return false;
  FSettings->SetSaveLastDir(QDir::cleanPath(QFileInfo(chosen).absolutePath()));
  return true;
}

bool TViewExports::AskFolder(QString& chosen) {
  chosen = Dialogs().GetFolder(FOwner, QStringLiteral("Select folder:"), FSettings->SaveLastDir());
  if (chosen.isEmpty()) return false;
  chosen = QDir::cleanPath(chosen);
  FSettings->SetSaveLastDir(chosen);
  return true;
}

// "3 files written to /out  Show folder": the folder of the last file, as a link the owner's
// status bar opens in the desktop's file manager.
static QString ExportedStatus(const std::vector<std::string>& files) {
  const QString folder = QFileInfo(FromStd(files.back())).absolutePath();
  return QStringLiteral("%1 written to %2 &nbsp;<a href=\"%3\">Show folder</a>")
      .arg(files.size() == 1 ? QStringLiteral("1 file")
                             : QStringLiteral("%1 files").arg(files.size()),
           folder.toHtmlEscaped(), QUrl::fromLocalFile(folder).toString().toHtmlEscaped());
}

bool TViewExports::WriteExport(const std::function<void(TExportPlan&)>& routine,
                               const QString& message, const QString& confirmed) {
  // A routine may show its progress; the dry run's is not kept.
  QString status = StatusText();
  std::vector<std::string> existing;
  {
    TWaitCursor wait;
    existing = ExistingFiles(PlannedExportFiles(routine));
  }
  SetStatusText(status);
  const std::string confirmedFile =
      confirmed.isEmpty() ? std::string() : ToStd(QFileInfo(confirmed).absoluteFilePath());
  std::erase_if(existing, [&](const std::string& name) {
    return ToStd(QFileInfo(FromStd(name)).absoluteFilePath()) == confirmedFile;
  });
  QStringList names;
  for (size_t i = 0; i < existing.size() && i < 5; ++i)
    names << QFileInfo(FromStd(existing[i])).fileName();
  if (existing.size() > 5) names << QStringLiteral("…");
  const QString details =
      existing.empty()
          ? QString()
          : QStringLiteral("In %1: %2")
                .arg(QDir::toNativeSeparators(QFileInfo(FromStd(existing.front())).absolutePath()),
                     names.join(QStringLiteral(", ")));
  if (!ConfirmReplace(FOwner, existing.size(), details)) return false;
  TWaitCursor wait;
  if (!message.isEmpty()) SetStatusText(message);
  TExportPlan plan;
  // The status says what was written also when the routine fails halfway.
  const auto report = [&] {
    if (!plan.Files().empty()) status = ExportedStatus(plan.Files());
    SetStatusText(status);
  };
  try {
    routine(plan);
  } catch (...) {
    report();
    throw;
  }
  report();
  if (!plan.Failures().empty()) {
    std::string text;
    for (const std::string& failure : plan.Failures()) text += (text.empty() ? "" : "\n") + failure;
    throw EImageFileError(text);
  }
  return true;
}

void TViewExports::RunExport(QAction* action, const std::function<bool()>& askNames,
                             const std::function<QString()>& message,
                             const std::function<void(TExportPlan&)>& routine) {
  std::exception_ptr failure;
  {
    // The animation pauses while the dialogs run; nothing is written meanwhile.
    const TAnimationPause pause;
    TSettingsModel::TUpdate update(*FSettings);
    FSavedFile.clear();
    try {
      if (askNames()) {
        action->setEnabled(false);
        try {
          WriteExport(routine, message(), FSavedFile);
        } catch (...) {
          failure = std::current_exception();
        }
        action->setEnabled(true);
      }
    } catch (...) {
      failure = std::current_exception();
    }
  }
  FSettings->Save();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const std::exception& error) {
      emit failed(error);
    }
  }
}

QString TViewExports::FrameFileNameIn(TExportFormat format, int subFrame) const {
  const QString name = FromStd(Image()->FrameFileName(Image()->CurrentFrame, subFrame));
  return format == efBmp ? name : FromStd(ChangeFileExt(ToStd(name), ".png"));
}

QString TViewExports::FrameFilter(TExportFormat format) {
  return format == efBmp ? QStringLiteral("Bitmap|*.bmp") : QStringLiteral("PNG image|*.png");
}

void TViewExports::acExportFrameExecute() {
  if (!Image()) return;
  const TExportFormat format = FrameExportFormat(FSettings->ExportFormat());
  QString file;
  RunExport(
      FExportFrame,
      [&] {
        return AskSaveFile(QStringLiteral("Save Image..."), FrameFilter(format),
                           FrameFileNameIn(format, -1), file);
      },
      [&] {
        return QStringLiteral("Exporting frame %1 image:\"%2\".")
            .arg(Image()->CurrentFrame)
            .arg(FromStd(Image()->Name));
      },
      [&](TExportPlan& plan) { Image()->ExportCurrentFrame(plan, format, ToStd(file)); });
}

void TViewExports::acExportFramesExecute() {
  if (!Image()) return;
  QString folder;
  RunExport(
      FExportFrames, [&] { return AskFolder(folder); },
      [&] { return QStringLiteral("Exporting image:\"%1\".").arg(FromStd(Image()->Name)); },
      [&](TExportPlan& plan) {
        ExportImageFiles(plan, *Image(), FSettings->ExportFormat(), 0, Image()->FrameCount - 1,
                         false, ToStd(FSettings->SaveLastDir()));
      });
}

void TViewExports::acExportSubFrameExecute() {
  if (!Image() || !FCursor->SubFrameMode() || !FCursor->Frame() ||
      FCursor->Frame()->SubFrameCount < 1)
    return;
  const TExportFormat format = FrameExportFormat(FSettings->ExportFormat());
  QString file;
  const int subFrame = FCursor->Frame()->CurrentSubFrame;
  RunExport(
      FExportSubFrame,
      [&] {
        return AskSaveFile(QStringLiteral("Save Image..."), FrameFilter(format),
                           FrameFileNameIn(format, subFrame), file);
      },
      [&] {
        return QStringLiteral("Exporting Subframe %1 from Frame %2, Image \"%3\".")
            .arg(subFrame)
            .arg(Image()->CurrentFrame)
            .arg(FromStd(Image()->Name));
      },
      [&](TExportPlan& plan) {
        Image()->ExportCurrentSubFrame(plan, format, subFrame, ToStd(file));
      });
}

void TViewExports::acExportSubFramesExecute() {
  if (!Image()) return;
  TFrontEndImageFrame* frame = Image()->GetFrame(Image()->CurrentFrame);
  if (!frame) return;
  const TExportFormat format = FrameExportFormat(FSettings->ExportFormat());
  QString folder;
  RunExport(
      FExportSubFrames, [&] { return AskFolder(folder); },
      [&] {
        return QStringLiteral("Exporting Subframes from frame %1, Image:\"%2\".")
            .arg(Image()->CurrentFrame)
            .arg(FromStd(Image()->Name));
      },
      [&](TExportPlan& plan) {
        Image()->ExportSubFrameRange(plan, format, 0, frame->SubFrameCount - 1,
                                     SubFrameNameFormatOf(format), ToStd(FSettings->SaveLastDir()));
      });
}

void TViewExports::acExportImageSubFramesExecute() {
  if (!Image()) return;
  const TExportFormat format = FrameExportFormat(FSettings->ExportFormat());
  QString folder;
  RunExport(
      FExportImageSubFrames, [&] { return AskFolder(folder); },
      [&] {
        return QStringLiteral("Exporting Subframes from Image:\"%1\".").arg(FromStd(Image()->Name));
      },
      [&](TExportPlan& plan) {
        ExportImageFiles(plan, *Image(), format, 0, Image()->FrameCount - 1, true,
                         ToStd(FSettings->SaveLastDir()));
      });
}

void TViewExports::acExportAllExecute() {
  if (!FrontEnd()) return;
  QString folder;
  RunExport(
      FExportAll, [&] { return AskFolder(folder); },
      [] { return QStringLiteral("Exporting all images."); },
      [&](TExportPlan& plan) {
        // Last to first, as the front end's own all-images export goes.
        for (int32_t i = FrontEnd()->Images->ImageCount - 1; i >= 0; --i)
          if (TFrontEndImage* image = FrontEnd()->GetImage(i))
            ExportImageFiles(plan, *image, FSettings->ExportFormat(), 0, image->FrameCount - 1,
                             false, ToStd(FSettings->SaveLastDir()));
      });
}

void TViewExports::acExportSelectedExecute() {
  if (!FrontEnd()) return;
  QString folder;
  RunExport(
      FExportSelected, [&] { return AskFolder(folder); },
      [] { return QStringLiteral("Exporting selected images."); },
      [&](TExportPlan& plan) {
        for (QTreeWidgetItem* row : FList->SelectedRowsInListOrder()) {
          TFrontEndImage* image = FList->RowImage(row);
          ExportImageFiles(plan, *image, FSettings->ExportFormat(), 0, image->FrameCount - 1, false,
                           ToStd(FSettings->SaveLastDir()));
        }
      });
}

// The data file, then (when sub-frame bitmaps go with the data) the folder for them.
bool TViewExports::AskFrameDataFile(QString& file, QString& folder) {
  return AskSaveFile(QStringLiteral("Save frame data..."), QStringLiteral("Text file|*.txt"),
                     FromStd(FileNamePart(Image()->Name)) + QStringLiteral("_Data.txt"), file) &&
         (!FrontEnd()->ExportFrameWhenExportFrameData || AskFolder(folder));
}

void TViewExports::acExportFrameDataExecute() {
  if (!Image()) return;
  QString file, folder;
  RunExport(
      FExportFrameData, [&] { return AskFrameDataFile(file, folder); },
      [&] {
        return QStringLiteral("Exporting frame data for Image: \"%1\", Frame: %2.")
            .arg(FromStd(Image()->Name))
            .arg(Image()->CurrentFrame);
      },
      [&](TExportPlan& plan) {
        Image()->WriteFrameData(plan, ToStd(file), ToStd(FSettings->SaveLastDir()),
                                Image()->DefaultNameSource(), Image()->CurrentFrame);
      });
}

void TViewExports::acExportFramesDataExecute() {
  if (!Image()) return;
  QString file, folder;
  RunExport(
      FExportFramesData, [&] { return AskFrameDataFile(file, folder); },
      [&] {
        return QStringLiteral("Exporting frame data for Image: \"%1\".")
            .arg(FromStd(Image()->Name));
      },
      [&](TExportPlan& plan) {
        Image()->WriteFramesData(plan, 0, Image()->FrameCount, Image()->DefaultNameSource(),
                                 ToStd(FSettings->SaveLastDir()), ToStd(file));
      });
}

void TViewExports::ExportDataOfRows(TExportPlan& plan, const QList<QTreeWidgetItem*>& rows) {
  const std::string folder = ToStd(FSettings->SaveLastDir());
  for (QTreeWidgetItem* row : rows) {
    TFrontEndImage* image = FList->RowImage(row);
    SetStatusText(
        QStringLiteral("Exporting frame data for Image: \"%1\".").arg(FromStd(image->Name)));
    const std::string file = JoinPath(folder, image->DataFileName(), PathDelim);
    image->WriteFramesData(plan, 0, image->FrameCount - 1, image->DefaultNameSource(), folder,
                           file);
  }
}

void TViewExports::acExportSelectedFramesDataExecute() {
  if (!FrontEnd()) return;
  QString folder;
  RunExport(
      FExportSelectedFramesData, [&] { return AskFolder(folder); }, [] { return QString(); },
      [&](TExportPlan& plan) { ExportDataOfRows(plan, FList->SelectedRowsInListOrder()); });
}

void TViewExports::acExportAllFramesDataExecute() {
  if (!FrontEnd()) return;
  QString folder;
  RunExport(
      FExportAllFramesData, [&] { return AskFolder(folder); }, [] { return QString(); },
      [&](TExportPlan& plan) { ExportDataOfRows(plan, FList->AllRowsInListOrder()); });
}

void TViewExports::acCopyFrameExecute() {
  if (!Image()) return;
  try {
    CopyFrame();
  } catch (const std::exception& error) {
    emit failed(error);
  }
}

void TViewExports::CopyFrame() {
  TFrontEndImage* image = Image();
  TFrontEndImageFrame* parent = FCursor->Frame();
  TFrontEndImageFrame* frame = image->GetFrame(image->CurrentFrame);
  if (FCursor->SubFrameMode() && parent && parent->SubFrameCount > 0)
    frame = parent->GetSubFrame(parent->CurrentSubFrame);
  if (!frame || !frame->Frame) return;
  if (TFrameCursor::IsDamaged(frame)) throw EImageFileError(ToStd(FCursor->DamageOf(frame)));
  // The palette's exact colours, the transparent index clear, as the PNG export has them.
  const TPicture rgba = frame->GetPixels().Rgba();
  if (rgba.Width <= 0 || rgba.Height <= 0) return;
  const QImage picture(rgba.Pixels.data(), rgba.Width, rgba.Height, rgba.Width * 4,
                       QImage::Format_RGBA8888);
  QApplication::clipboard()->setImage(picture.copy());
  const QString what = frame == image->GetFrame(image->CurrentFrame)
                           ? QStringLiteral("Frame %1").arg(image->CurrentFrame + 1)
                           : QStringLiteral("Subframe %1 of frame %2")
                                 .arg(parent->CurrentSubFrame + 1)
                                 .arg(image->CurrentFrame + 1);
  SetStatusText(QStringLiteral("%1 of \"%2\" copied to the clipboard (%3 \u00d7 %4 pixels).")
                    .arg(what, FromStd(image->Name))
                    .arg(rgba.Width)
                    .arg(rgba.Height));
}
