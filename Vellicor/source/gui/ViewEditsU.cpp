#include "ViewEditsU.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCollator>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPoint>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "DialogsU.h"
#include "EditDialogsU.h"
#include "FrameCursorU.h"
#include "FramePlayerU.h"
#include "ImageLoaderU.h"
#include "PaintBoxU.h"
#include "QtStringU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"
#include "StringUtilsU.h"

namespace {

// Caption, hint and key of each command, in the order of TViewEditCommand.
struct TCommandInfo {
  const char* Caption;
  const char* Hint;
  const char* Key;
};
const TCommandInfo Commands[ecCommandCount] = {
    {"Copy Offsets", "Copies the hot spot of the shown frame", "Ctrl+Shift+C"},
    {"Paste Offsets", "Gives the frame the hot spot copied", "Ctrl+Shift+V"},
    {"Paste X Only", "Gives the frame the X offset copied", ""},
    {"Paste Y Only", "Gives the frame the Y offset copied", ""},
    {"Shift Offsets...", "Moves the hot spots by a distance", ""},
    {"Hot Spot at Centre", "Puts the hot spot in the middle of the pixels", ""},
    {"Hot Spot at Bottom Centre", "Puts the hot spot in the middle of the pixels' bottom row", ""},
    {"Align to Previous Frame", "Lines the pixels up with those of the frame before", ""},
    {"Crop to Visible Pixels", "Cuts the frame's empty border away", ""},
    {"Crop Image to Visible Pixels", "Cuts every frame's empty border away", ""},
    {"Replace Frame from File...", "Replaces the frame by a picture", ""},
    {"Insert Frames from Files...", "Inserts pictures after the frame", ""},
    {"Duplicate Frame", "Copies the frame", "Ctrl+D"},
    {"Delete Frame", "Deletes the frame", "Del"},
    {"Move Frame Earlier", "Moves the frame one place back", "Ctrl+Left"},
    {"Move Frame Later", "Moves the frame one place on", "Ctrl+Right"},
    {"New Image from Files...", "Adds an image made of pictures", ""},
    {"Rename Image...", "Renames the image", "F2"},
    {"Duplicate Image", "Copies the image", ""},
    {"Delete Image", "Deletes the image", ""},
};

// The commands in the order of the menus, by group: hot spots, presets, crops, frames, images.
const std::array<std::vector<TViewEditCommand>, 5> CommandGroups = {{
    {ecCopyOffsets, ecPasteOffsets, ecPasteX, ecPasteY, ecShiftOffsets},
    {ecHotSpotCentre, ecHotSpotBottomCentre, ecAlignToPrevious},
    {ecCrop, ecCropImage},
    {ecReplaceFrame, ecInsertFrames, ecDuplicateFrame, ecDeleteFrame, ecMoveEarlier, ecMoveLater},
    {ecNewImage, ecRenameImage, ecDuplicateImage, ecDeleteImage},
}};

// The hot spot last copied, in whichever view: pasted onto the frames of any view.
std::optional<QPoint> CopiedOffsets;

constexpr size_t MaxNameBytes = 31;  // what an image entry holds

// "walk copy", "walk copy 2", ...: the first that no image has (without regard to case), cut
// to fit an entry.
std::string CopyName(const TQuvContent& content, size_t image) {
  const QString base = FromStd(content.Images[image].Name);
  for (int n = 1;; ++n) {
    const QString suffix = n == 1 ? QStringLiteral(" copy") : QStringLiteral(" copy %1").arg(n);
    QString stem = base;
    while (!stem.isEmpty() && ToStd(stem + suffix).size() > MaxNameBytes) stem.chop(1);
    const std::string name = ToStd(stem + suffix);
    if (std::none_of(
            content.Images.begin(), content.Images.end(),
            [&](const TQuvImageModel& other) { return AnsiCompareText(other.Name, name) == 0; }))
      return name;
  }
}

// Sorted, without repeats.
std::vector<int32_t> Sorted(TFrameList frames) {
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return frames;
}

// Where `shown`, one of `frames` (sorted), lands when they move to `to`: after the frames that
// stay before that place, in their own order.
int MovedPosition(const std::vector<int32_t>& frames, int32_t to, int32_t shown) {
  int32_t staying = 0;
  for (int32_t i = 0; i < to; ++i)
    if (!std::binary_search(frames.begin(), frames.end(), i)) ++staying;
  const auto at = std::lower_bound(frames.begin(), frames.end(), shown);
  return int(staying + (at - frames.begin()));
}

// The local files of a drop when every one is a picture; else none.
QStringList DroppedPictures(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  QStringList files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile() || !TViewEdits::IsPictureFile(url.toLocalFile())) return {};
    files << url.toLocalFile();
  }
  return files;
}

}  // namespace

TViewEdits::TViewEdits(TSettingsModel* settings, TFrameCursor* cursor, TFramePlayer* player,
                       TSpriteCanvas* canvas, QLabel* status, TEditTarget target, QWidget* owner)
    : QObject(owner),
      FSettings(settings),
      FCursor(cursor),
      FPlayer(player),
      FStatus(status),
      FTarget(std::move(target)),
      FOwner(owner) {
  CreateActions();
  AddKeys(canvas->PaintBox());
  canvas->setAcceptDrops(true);
  canvas->installEventFilter(this);
  ShowActionsFor(false);
}

void TViewEdits::CreateActions() {
  for (int command = 0; command < ecCommandCount; ++command) {
    const TCommandInfo& info = Commands[command];
    auto* action = new QAction(QString::fromUtf8(info.Caption), this);
    action->setStatusTip(QString::fromUtf8(info.Hint));
    action->setToolTip(QString::fromUtf8(info.Hint));
    if (*info.Key) action->setShortcut(QKeySequence(QString::fromUtf8(info.Key)));
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this,
            [this, command] { Guarded([&] { Run(TViewEditCommand(command)); }); });
    FActions[command] = action;
  }
  for (QAction*& separator : FSeparators) {
    separator = new QAction(this);
    separator->setSeparator(true);
  }
}

void TViewEdits::Run(TViewEditCommand command) {
  switch (command) {
    case ecCopyOffsets:
      return CopyOffsets();
    case ecPasteOffsets:
      return PasteOffsets(true, true);
    case ecPasteX:
      return PasteOffsets(true, false);
    case ecPasteY:
      return PasteOffsets(false, true);
    case ecShiftOffsets:
      return ShiftOffsets();
    case ecHotSpotCentre:
      return ApplyPreset(TOffsetPreset::Centre);
    case ecHotSpotBottomCentre:
      return ApplyPreset(TOffsetPreset::BottomCentre);
    case ecAlignToPrevious:
      return ApplyPreset(TOffsetPreset::Previous);
    case ecCrop:
      return Crop(false);
    case ecCropImage:
      return Crop(true);
    case ecReplaceFrame:
      return ReplaceFrame();
    case ecInsertFrames:
      return AskInsertFrames();
    case ecDuplicateFrame:
      return DuplicateFrame();
    case ecDeleteFrame:
      return DeleteFrame();
    case ecMoveEarlier:
      return MoveFrame(-1);
    case ecMoveLater:
      return MoveFrame(1);
    case ecNewImage:
      return NewImage();
    case ecRenameImage:
      return RenameImage();
    case ecDuplicateImage:
      return DuplicateImage();
    case ecDeleteImage:
      return DeleteImage();
    case ecCommandCount:
      return;
  }
}

// The keys answer wherever the focus is inside the view; Delete only on the canvas, where a
// frame is what it can mean.
void TViewEdits::AddKeys(QWidget* paintBox) {
  for (QAction* action : FActions)
    if (action != FActions[ecDeleteFrame]) FOwner->addAction(action);
  FActions[ecDeleteFrame]->setShortcutContext(Qt::WidgetShortcut);
  paintBox->addAction(FActions[ecDeleteFrame]);
}

QList<QAction*> TViewEdits::EditActions() const {
  QList<QAction*> actions;
  for (size_t group = 0; group < CommandGroups.size(); ++group) {
    actions << FSeparators[group];
    for (TViewEditCommand command : CommandGroups[group]) actions << FActions[command];
  }
  return actions;
}

QList<QAction*> TViewEdits::FrameActions() const {
  QList<QAction*> actions;
  for (size_t group = 0; group + 1 < CommandGroups.size(); ++group) {
    if (group > 0) actions << nullptr;
    for (TViewEditCommand command : CommandGroups[group]) actions << FActions[command];
  }
  return actions;
}

QList<QAction*> TViewEdits::ImageActions() const {
  QList<QAction*> actions;
  for (TViewEditCommand command : CommandGroups.back()) actions << FActions[command];
  return actions;
}

void TViewEdits::ShowActionsFor(bool imageShown) {
  for (QAction* action : EditActions()) action->setVisible(imageShown);
  for (TViewEditCommand paste : {ecPasteOffsets, ecPasteX, ecPasteY})
    FActions[paste]->setEnabled(CopiedOffsets.has_value());
}

bool TViewEdits::IsPictureFile(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  return suffix == QLatin1String("png") || suffix == QLatin1String("bmp");
}

// ---- Helpers ----

void TViewEdits::Guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& error) {
    emit failed(error);
  }
}

int TViewEdits::ShownFrame() const {
  return FCursor->Image() ? FCursor->Image()->CurrentFrame : 0;
}

void TViewEdits::FollowFrame(int index) {
  FPlayer->SetPlaying(false);
  FPlayer->ShowImageFrame(index);
}

void TViewEdits::SetStatusText(const QString& text) {
  FStatus->setText(text);
}

QStringList TViewEdits::AskPictureFiles(const QString& title) {
  int filterIndex = 1;
  return Dialogs().GetOpenFileNames(FOwner, title, FSettings->SaveLastDir(),
                                    QStringLiteral("Pictures|*.png;*.bmp|All Files|*.*"),
                                    filterIndex);
}

bool TViewEdits::ReadPictures(QStringList& files, std::vector<TFramePicture>& pictures) {
  // The C locale's collator compares plainly, digits and all.
  QLocale locale;
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English);
  QCollator natural(locale);
  natural.setNumericMode(true);
  natural.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(files.begin(), files.end(), [&](const QString& a, const QString& b) {
    return natural.compare(QFileInfo(a).fileName(), QFileInfo(b).fileName()) < 0;
  });
  for (const QString& file : files) {
    try {
      pictures.push_back({ReadPicture(ToStd(file)), std::nullopt, std::nullopt});
    } catch (const Exception& error) {
      // A file that is no usable picture is the user's to know, not an error of the program.
      const QString text = QString::fromUtf8(error.what());
      SetStatusText(text);
      Dialogs().Message(FOwner, QStringLiteral("Edit"), text, QMessageBox::Information,
                        QMessageBox::Ok);
      return false;
    }
  }
  return !pictures.empty();
}

// ---- Hot spots ----

void TViewEdits::CopyOffsets() {
  size_t image = 0;
  if (!FTarget.ShownImage(image)) return;
  const std::vector<TQuvFrameModel>& frames = FTarget.Content().Images[image].Frames;
  const auto frame = size_t(ShownFrame());
  if (frame >= frames.size()) return;
  const QPoint offsets(frames[frame].XOffset, frames[frame].YOffset);
  CopiedOffsets = offsets;
  const QString text = QStringLiteral("%1,%2").arg(offsets.x()).arg(offsets.y());
  QApplication::clipboard()->setText(text);
  SetStatusText(QStringLiteral("Offsets %1 copied").arg(text));
  ShowActionsFor(true);
}

void TViewEdits::PasteOffsets(bool x, bool y) {
  if (!CopiedOffsets) return;
  const std::optional<int32_t> newX = x ? std::optional<int32_t>(CopiedOffsets->x()) : std::nullopt;
  const std::optional<int32_t> newY = y ? std::optional<int32_t>(CopiedOffsets->y()) : std::nullopt;
  const TFrameList frames = FTarget.SelectedFrames();
  Perform([&](const TQuvContent& content, size_t image) {
    return SetOffsets(content, image, frames, newX, newY);
  });
}

void TViewEdits::ShiftOffsets() {
  int dx = 0, dy = 0;
  bool wholeImage = false;
  if (!AskShiftOffsets(FOwner, dx, dy, wholeImage)) return;
  const TFrameList frames = wholeImage ? TFrameList{} : FTarget.SelectedFrames();
  Perform([&](const TQuvContent& content, size_t image) {
    return ::ShiftOffsets(content, image, frames, dx, dy);
  });
}

void TViewEdits::ApplyPreset(TOffsetPreset preset) {
  const TFrameList frames = FTarget.SelectedFrames();
  Perform([&](const TQuvContent& content, size_t image) {
    return ApplyOffsetPreset(content, image, frames, preset);
  });
}

void TViewEdits::Crop(bool wholeImage) {
  const TFrameList frames = wholeImage ? TFrameList{} : FTarget.SelectedFrames();
  Perform(
      [&](const TQuvContent& content, size_t image) { return CropFrames(content, image, frames); });
}

// ---- Frames ----

void TViewEdits::ReplaceFrame() {
  QStringList files = AskPictureFiles(QStringLiteral("Replace Frame from File"));
  std::vector<TFramePicture> pictures;
  if (files.isEmpty() || !ReadPictures(files, pictures)) return;
  const int frame = ShownFrame();
  const TPalette palette = FCursor->Palette();
  Perform([&](const TQuvContent& content, size_t image) {
    return ::ReplaceFrame(content, image, frame, pictures.front(), palette);
  });
}

void TViewEdits::AskInsertFrames() {
  const QStringList files = AskPictureFiles(QStringLiteral("Insert Frames from Files"));
  if (!files.isEmpty()) InsertFrames(files);
}

void TViewEdits::InsertFrames(QStringList files, int at) {
  Guarded([&] {
    std::vector<TFramePicture> pictures;
    if (!FCursor->Image() || !ReadPictures(files, pictures)) return;
    if (at < 0) at = ShownFrame() + 1;
    const TPalette palette = FCursor->Palette();
    if (Perform([&](const TQuvContent& content, size_t image) {
          return ::InsertFrames(content, image, at, pictures, palette);
        }))
      FollowFrame(at);
  });
}

void TViewEdits::DuplicateFrame() {
  const std::vector<int32_t> frames = Sorted(FTarget.SelectedFrames());
  if (frames.empty()) return;
  // The shown frame's copy, among the copies that follow the last frame duplicated.
  const auto shown = std::lower_bound(frames.begin(), frames.end(), ShownFrame());
  const int copy = frames.back() + 1 + int(shown - frames.begin());
  if (Perform([&](const TQuvContent& content, size_t image) {
        return DuplicateFrames(content, image, frames);
      }))
    FollowFrame(copy);
}

void TViewEdits::DeleteFrame() {
  const TFrameList frames = FTarget.SelectedFrames();
  Perform([&](const TQuvContent& content, size_t image) {
    return DeleteFrames(content, image, frames);
  });
}

// One place back or on; frames already at that end stay where they are.
void TViewEdits::MoveFrame(int delta) {
  const std::vector<int32_t> frames = Sorted(FTarget.SelectedFrames());
  if (frames.empty() || !FCursor->Image()) return;
  const int32_t count = FCursor->Image()->FrameCount;
  if (delta < 0 ? frames.front() == 0 : frames.back() + 1 >= count) return;
  const int32_t to = delta < 0 ? frames.front() - 1 : frames.back() + 2;
  const int shown = MovedPosition(frames, to, ShownFrame());
  if (Perform([&](const TQuvContent& content, size_t image) {
        return MoveFrames(content, image, frames, to);
      }))
    FollowFrame(shown);
}

// ---- Images ----

void TViewEdits::NewImage() {
  QStringList files = AskPictureFiles(QStringLiteral("New Image from Files"));
  std::vector<TFramePicture> pictures;
  if (files.isEmpty() || !ReadPictures(files, pictures)) return;
  QString name = QFileInfo(files.front()).completeBaseName();
  if (!AskImageName(FOwner, QStringLiteral("New Image"), name)) return;
  const TPalette palette = FCursor->Palette();
  if (Perform([&](const TQuvContent& content, size_t) {
        return AddImage(content, ToStd(name), pictures, palette);
      }))
    FollowFrame(0);
}

void TViewEdits::RenameImage() {
  QString name = FCursor->ImageName();
  if (!AskImageName(FOwner, QStringLiteral("Rename Image"), name) || name == FCursor->ImageName())
    return;
  Perform([&](const TQuvContent& content, size_t image) {
    return ::RenameImage(content, image, ToStd(name));
  });
}

void TViewEdits::DuplicateImage() {
  Perform([](const TQuvContent& content, size_t image) {
    return ::DuplicateImage(content, image, CopyName(content, image));
  });
}

void TViewEdits::DeleteImage() {
  if (!FCursor->Image()) return;
  const int frames = FCursor->Image()->FrameCount;
  const QString text =
      QStringLiteral("Delete the image \u2018%1\u2019 with its %2?")
          .arg(FCursor->ImageName(),
               frames == 1 ? QStringLiteral("frame") : QStringLiteral("%1 frames").arg(frames));
  if (Dialogs().Message(FOwner, QStringLiteral("Delete Image"), text, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return;
  Perform([](const TQuvContent& content, size_t image) { return ::DeleteImage(content, image); });
}

// ---- Drops ----

bool TViewEdits::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
    return QObject::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  const QStringList files = DroppedPictures(drop->mimeData());
  if (files.isEmpty() || !FActions[ecInsertFrames]->isVisible()) return false;
  drop->acceptProposedAction();
  // The drop ends before the pictures are read, so the source of the drag is not kept waiting.
  if (type == QEvent::Drop)
    QMetaObject::invokeMethod(
        this, [this, files] { InsertFrames(files); }, Qt::QueuedConnection);
  return true;
}
