#include "QuvViewU.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "DialogsU.h"
#include "EditDocumentU.h"
#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "FrameStripU.h"
#include "ImageListPaneU.h"
#include "LoadMessagesU.h"
#include "LoadWarningsBarU.h"
#include "PaintBoxU.h"
#include "PaletteModelU.h"
#include "PopupMenuU.h"
#include "QtStringU.h"
#include "QuvDocumentU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"
#include "ViewEditsU.h"
#include "ViewExportsU.h"
#include "WaitCursorU.h"

// ---- Creation and destruction ----

TQuvView::TQuvView(TSettingsModel* settings, const TPaletteModel* palettes)
    : QWidget(nullptr),
      FSettings(settings),
      FPalette(palettes->Palette()),
      FTransparentIndex(palettes->TransparentIndex()),
      FEdits(new TEditDocument(this)),
      FCursor(new TFrameCursor(this)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Vellicor"));
  resize(729, 550);
  CreateControls();
  FPlayer = new TFramePlayer(FSettings, FCursor, FCanvas, FInfoPanel, this);
  FExports = new TViewExports(FSettings, FCursor, FListPane, FStatusText, this);
  FEditCommands = new TViewEdits(
      FSettings, FCursor, FPlayer, FCanvas, FStatusText,
      {[this](const TEditTarget::TMaker& make) { return PerformEdit(make); },
       [this] { return SelectedFrames(); }, [this]() -> const TQuvContent& { return Content(); },
       [this](size_t& image) { return ShownImageIndex(image); }},
      this);
  // The zoom keys answer wherever the focus is inside the view.
  addActions(FCanvas->ZoomActions());
  CreateMenus();
  CreateKeys();

  if (FSettings->SeperatorWidth() >= 0) SetListWidth(FSettings->SeperatorWidth());
  for (int column = 0; column < 3; ++column)
    if (FSettings->ColumnWidth(column) >= 0)
      ImageList()->setColumnWidth(column, FSettings->ColumnWidth(column));

  ConnectParts();
  ConnectSettings();
  connect(palettes, &TPaletteModel::paletteChanged, this, &TQuvView::SetPalette);
  connect(FEdits, &TEditDocument::contentChanged, this, &TQuvView::ShowContent);
  connect(FEdits, &TEditDocument::modifiedChanged, this, &TQuvView::UpdateCaption);
}

TQuvView::~TQuvView() {
  FPlayer->Timer()->stop();
  FListPane->DetachSelectHandler().dismiss();  // for good
  ClearImage();
  FCanvas->ForgetImages();
  FCursor->SetDocument(nullptr);
  FDocument.reset();
  // The parts that draw go before the cursor they read.
  delete FSplitter;
}

void TQuvView::CreateControls() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  FSplitter = new QSplitter(Qt::Horizontal, this);
  FSplitter->setHandleWidth(5);
  FSplitter->setChildrenCollapsible(false);
  root->addWidget(FSplitter, 1);
  FListPane = new TImageListPane(FCursor, FSplitter);

  auto* panel = new QWidget(FSplitter);
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  FSplitter->setStretchFactor(0, 0);
  FSplitter->setStretchFactor(1, 1);
  FSplitter->setSizes({225, 499});
  connect(FSplitter, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(); });

  FInfoPanel = new TFrameInfoPanel(FSettings, panel);
  panelLayout->addWidget(FInfoPanel);
  FInfoPanel->hide();
  FCanvas = new TSpriteCanvas(FSettings, FCursor, panel);
  panelLayout->addWidget(FCanvas, 1);
  FStrip = new TFrameStrip(FSettings, FCursor, panel);
  panelLayout->addWidget(FStrip);
  FStrip->setVisible(FSettings->FrameStrip());

  root->addWidget(CreateStatusBar());
  FWarningsBar = new TLoadWarningsBar(this);
  root->insertWidget(0, FWarningsBar);
}

QStatusBar* TQuvView::CreateStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setSizeGripEnabled(false);
  FStatusText = new QLabel(bar);
  FStatusText->setObjectName(QStringLiteral("StatusText"));
  bar->addWidget(FStatusText, 1);
  FPixelStatus = new QLabel(bar);
  FPixelStatus->setObjectName(QStringLiteral("PixelStatus"));
  bar->addPermanentWidget(FPixelStatus);
  FZoomStatus = new QLabel(bar);
  FZoomStatus->setObjectName(QStringLiteral("ZoomStatus"));
  bar->addPermanentWidget(FZoomStatus);
  return bar;
}

// The list's menus, and the canvas's: the export actions of each place, and the edit commands
// on images in the list's, on frames in the canvas's.
void TQuvView::CreateMenus() {
  TViewExports* e = FExports;
  FListPane->SetMenus(QList<QAction*>{e->acExportFrames(), e->acExportImageSubFrames(),
                                      e->acExportFramesData(), e->acExportGeneric(), nullptr,
                                      e->acExportAll(), e->acExportAllFramesData(), nullptr}
                          << FEditCommands->ImageActions(),
                      {e->acExportSelected(), e->acExportSelectedFramesData(), e->acExportAll(),
                       e->acExportAllFramesData()});
  FImageMenu = new QMenu(this);
  FImageMenu->addActions({e->acExportFrame(), e->acExportFrames(), e->acExportSubFrame(),
                          e->acExportSubFrames(), e->acExportImageSubFrames(),
                          e->acExportFrameData(), e->acExportFramesData(), e->acExportGeneric()});
  FImageMenu->addSeparator();
  for (QAction* action : FEditCommands->FrameActions()) {
    if (action)
      FImageMenu->addAction(action);
    else
      FImageMenu->addSeparator();
  }
  TPaintBox* box = FCanvas->PaintBox();
  connect(box, &QWidget::customContextMenuRequested, this,
          [this, box](const QPoint& pos) { ShowPopupMenu(FImageMenu, box, pos); });
}

// The playback keys answer wherever the focus is inside the view: on the canvas, the list, a
// check box or a slider. A text field (the filter, the speed) claims its keys first, and so
// does the canvas its Space, which pans while held. Up and Down are the list's own there.
void TQuvView::CreateKeys() {
  auto key = [this](QWidget* owner, int code, Qt::ShortcutContext context, auto handler) {
    new QShortcut(QKeySequence(code), owner, this, handler, context);
  };
  const auto inView = Qt::WidgetWithChildrenShortcut;
  TFramePlayer* player = FPlayer;
  for (int code : {int(Qt::Key_Left), int(Qt::Key_Comma)})
    key(this, code, inView, [this, player] { Guarded([player] { player->StepFrame(-1); }); });
  for (int code : {int(Qt::Key_Right), int(Qt::Key_Period)})
    key(this, code, inView, [this, player] { Guarded([player] { player->StepFrame(1); }); });
  key(this, Qt::Key_Home, inView,
      [this, player] { Guarded([player] { player->ShowEndFrame(false); }); });
  key(this, Qt::Key_End, inView,
      [this, player] { Guarded([player] { player->ShowEndFrame(true); }); });
  key(this, Qt::Key_Space, inView, [player] { player->TogglePlaying(); });
  key(FCanvas->PaintBox(), Qt::Key_Up, Qt::WidgetShortcut,
      [this] { FListPane->SelectNeighbour(-1); });
  key(FCanvas->PaintBox(), Qt::Key_Down, Qt::WidgetShortcut,
      [this] { FListPane->SelectNeighbour(1); });
}

void TQuvView::ConnectParts() {
  connect(FCursor, &TFrameCursor::frameErrorNoted, FWarningsBar, &TLoadWarningsBar::AddFrameError);
  auto showZoom = [this](const QString& caption) {
    FInfoPanel->ZoomValue()->setText(caption);
    FZoomStatus->setText(QStringLiteral("Zoom ") + caption);
  };
  showZoom(FCanvas->ZoomCaption());
  connect(FCanvas, &TSpriteCanvas::zoomChanged, this, showZoom);
  connect(FCanvas, &TSpriteCanvas::pixelHovered, FPixelStatus, &QLabel::setText);
  connect(FPlayer, &TFramePlayer::failed, this, &TQuvView::ReportError);
  connect(FPlayer, &TFramePlayer::subFrameModeChanged, FExports->acExportSubFrame(),
          &QAction::setVisible);
  connect(FPlayer, &TFramePlayer::frameShown, FStrip, &TFrameStrip::SetCurrentFrame);
  connect(FStrip, &TFrameStrip::frameChosen, this,
          [this](int index) { Guarded([this, index] { FPlayer->GoToFrame(index); }); });
  connect(FStrip, &TFrameStrip::failed, this, &TQuvView::ReportError);
  connect(FStrip, &TFrameStrip::moveRequested, this, &TQuvView::MoveFrames);
  connect(FStrip, &TFrameStrip::filesDropped, this,
          [this](const QStringList& files, int32_t at) { FEditCommands->InsertFrames(files, at); });
  connect(FListPane, &TImageListPane::imageChosen, this, &TQuvView::ShowChosenImage);
  connect(FListPane, &TImageListPane::multiSelectStarted, this, [this] {
    Guarded([this] {
      ClearImage();
      MergeMenus(true);
    });
  });
  connect(FListPane, &TImageListPane::failed, this, &TQuvView::ReportError);
  connect(FExports, &TViewExports::failed, this, &TQuvView::ReportError);
  connect(FEditCommands, &TViewEdits::failed, this, &TQuvView::ReportError);
  connect(FExports, &TViewExports::exportDialogRequested, this, &TQuvView::exportDialogRequested);
  connect(FCanvas, &TSpriteCanvas::frameMoved, this, &TQuvView::MoveShownFrame);
  connect(FInfoPanel, &TFrameInfoPanel::offsetEdited, this, &TQuvView::SetShownOffset);
}

// What the toggle commands and setters do to every view.
void TQuvView::ConnectSettings() {
  connect(FSettings, &TSettingsModel::playbackChanged, this,
          [this](bool on) { FPlayer->PreloadFrames(on); });
  connect(FSettings, &TSettingsModel::subFramesChanged, this, [this](bool on) {
    Guarded([this, on] {
      FPlayer->SetSubFrameMode(on);
      FCanvas->Repaint();
      FPlayer->ShowCurrentFrame();
    });
  });
  connect(FSettings, &TSettingsModel::displayChanged, this, [this] {
    FCanvas->UpdateImageCanvas();  // centring changes the canvas the frames share
    RepaintImage();
    FStrip->Redraw();
  });
  connect(FSettings, &TSettingsModel::canvasAidsChanged, this, [this] {
    RepaintImage();
    FStrip->Redraw();
  });
  // The global command sets every view going or stops it; Space then plays or pauses one view.
  // A state read from the settings file (while Updating) leaves the views' own states alone.
  connect(FSettings, &TSettingsModel::toggleChanged, this, [this](TToggle toggle, bool on) {
    if (toggle == tgFrameStrip) FStrip->setVisible(on);
    if (toggle != tgAnimated) return;
    if (!FSettings->Updating()) FPlayer->SetPlaying(on);
    FInfoPanel->ShowPlaying(FPlayer->Playing());
  });
  connect(FSettings, &TSettingsModel::exportOptionsChanged, FExports,
          &TViewExports::CopyExportOptions);
  connect(FSettings, &TSettingsModel::animationSpeedChanged, this,
          [this](int speed) { FPlayer->SetAnimationSpeedSelector(speed); });
  connect(FSettings, &TSettingsModel::seperatorWidthChanged, this, [this](int width) {
    if (width != ListWidth()) SetListWidth(width);
  });
  connect(FSettings, &TSettingsModel::columnWidthChanged, this, [this](int column, int width) {
    if (width >= 0 && ImageList()->columnWidth(column) != width)
      ImageList()->setColumnWidth(column, width);
  });
}

TImageClass* TQuvView::Collection() const {
  return FCursor->Collection();
}

TFrontEndImages* TQuvView::FrontEnd() const {
  return FCursor->FrontEnd();
}

QTreeWidget* TQuvView::ImageList() const {
  return FListPane->List();
}

QList<QAction*> TQuvView::ZoomActions() const {
  return FCanvas->ZoomActions();
}

// ---- Loading ----

bool TQuvView::LoadQuv(const QString& fileName, const QString& archiveSource) {
  if (FLoaded) return Collection() != nullptr;
  FLoaded = true;
  QString shownName = fileName;
  QStringList warnings;
  TImageClass* collection = nullptr;
  try {
    // Names are kept relative to the program's folder where they stay below it (as the history
    // stores them), and a relative name means one there; every path handed on is absolute, so
    // the process's current folder plays no part.
    const QString fullName =
        QDir::cleanPath(QDir(FSettings->ProgramFolder()).absoluteFilePath(fileName));
    FFileName = KeptName(fullName);
    FArchiveSource = archiveSource;
    shownName = FFileName;
    const TLoadWarningCollector collect(warnings);
    collection = OpenQuvDocument(fullName, shownName);
    FStamp = FDocument->Stamp;
  } catch (const std::exception& error) {
    FLastError = QString::fromStdString(error.what());
    emit statusChanged(FLastError);
    CloseAfterFailure();
    return false;
  }

  emit fileOpened(FFileName);
  // The file's name leads, so that tiled windows stay told apart; its folder follows.
  FBaseCaption = FileCaption(FFileName);
  UpdateCaption();
  FWarningsBar->ShowLoadWarnings(warnings, collection->ImageCount == 0);
  // The drawn images share the bitmaps' memory, so they go with them.
  FrontEnd()->OnPixelsReleased = [this](TFrontEndImageFrame* frame) {
    FCanvas->ForgetImage(frame);
  };
  FExports->CopyExportOptions();
  FListPane->AddRows(collection);

  FListPane->AttachSelectHandler();
  MergeMenus(true);
  QTreeWidget* list = ImageList();
  if (FSettings->AutoSelect1stImage() && list->topLevelItemCount() > 0) {
    QTreeWidgetItem* first = list->topLevelItem(0);
    list->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
    first->setSelected(true);
  }
  SetStatusText(QStringLiteral("Loaded \"%1\".").arg(shownName));
  return true;
}

QString TQuvView::KeptName(const QString& fullName) const {
  const QString name = QDir::cleanPath(QDir(FSettings->ProgramFolder()).relativeFilePath(fullName));
  if (name == QLatin1String("..") || name.startsWith(QLatin1String("../")) ||
      QFileInfo(name).isAbsolute())
    return fullName;
  return name;
}

QString TQuvView::FullFileName() const {
  return QDir::cleanPath(QDir(FSettings->ProgramFolder()).absoluteFilePath(FFileName));
}

TImageClass* TQuvView::OpenQuvDocument(const QString& fullName, QString& shownName) {
  TQuvDocumentOptions options;
  options.Palette = FPalette;
  options.TransparentIndex = FTransparentIndex;
  options.TrueColour = true;
  options.OnLoading = [this, &shownName](const TQuvDocument& document) {
    // The user sees an inner path as any other path; the file system keeps its own form.
    if (document.InArchive) shownName = FromStd(document.OpenName).replace('\\', '/');
    SetStatusText(QStringLiteral("Trying to load \"%1\".").arg(shownName));
  };
  TWaitCursor wait;
  TQuvDocumentResult opened = ::OpenQuvDocument(ToStd(fullName), options);
  if (!opened.Document) throw Exception(opened.Error);
  FDocument = std::move(opened.Document);
  FCursor->SetDocument(FDocument.get());
  return FDocument->Images;
}

void TQuvView::CloseAfterFailure() {
  FPlayer->Timer()->stop();
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->close();
  } else {
    close();  // deletes on close
  }
}

// ---- Editing ----

const TQuvContent& TQuvView::Content() {
  return FEdits->Content([this] {
    // Read apart from what is shown, through the same mount: indices as the file holds them,
    // whatever the view converted or released.
    TQuvDocumentOptions options;
    options.Palette = FPalette;
    options.TransparentIndex = FTransparentIndex;
    options.Mount = {FDocument->FileSystem, FDocument->InArchive};
    TQuvDocumentResult opened = ::OpenQuvDocument(FDocument->OpenName, options);
    if (!opened.Document) throw EImageFileError(opened.Error);
    return ReadDocumentContent(*opened.Document, FTransparentIndex);
  });
}

bool TQuvView::ShownImageIndex(size_t& index) {
  if (!FDocument || !FCursor->Image()) return false;
  const std::string name = ToStd(FCursor->ImageName());
  const TQuvContent& content = Content();
  for (size_t i = 0; i < content.Images.size(); ++i)
    if (content.Images[i].Name == name) {
      index = i;
      return true;
    }
  return false;
}

TFrameList TQuvView::SelectedFrames() const {
  if (!FCursor->Image()) return {};
  // The strip's choice (the shown frame when it has none); without the strip, the shown frame.
  if (FSettings->FrameStrip()) return FStrip->SelectedFrames();
  return {FCursor->Image()->CurrentFrame};
}

void TQuvView::MoveFrames(const std::vector<int32_t>& frames, int32_t to) {
  if (frames.empty()) return;
  if (!PerformEdit([&](const TQuvContent& content, size_t image) {
        return ::MoveFrames(content, image, frames, to);
      }))
    return;
  // The first frame moved, where it landed: the frames before `to` that moved leave a gap.
  const auto before =
      std::count_if(frames.begin(), frames.end(), [to](int32_t f) { return f < to; });
  Guarded([&] { FPlayer->GoToFrame(to - int(before)); });
}

bool TQuvView::PerformEdit(const std::function<TQuvEdit(const TQuvContent&, size_t image)>& make,
                           int mergeKey) {
  bool done = false;
  Guarded([&] {
    size_t image = 0;
    if (!ShownImageIndex(image)) return;
    TQuvEdit edit;
    try {
      edit = make(Content(), image);
    } catch (const EQuvEditError& refusal) {
      // What the format cannot hold is the user's to know, not an error of the program.
      SetStatusText(QString::fromUtf8(refusal.what()));
      Dialogs().Message(this, QStringLiteral("Edit"), QString::fromUtf8(refusal.what()),
                        QMessageBox::Information, QMessageBox::Ok);
      return;
    }
    FEdits->Perform(std::move(edit), mergeKey);
    done = true;
  });
  return done;
}

void TQuvView::ShowContent(const TQuvEdit& edit, bool undone) {
  Guarded([&] {
    const TQuvContent& content = FEdits->Content();
    // The image shown stays; one the edit added, renamed or removed gives way to its successor.
    QString name = FCursor->ImageName();
    const std::vector<TQuvImageModel>& now = undone ? edit.Before : edit.After;
    const std::vector<TQuvImageModel>& was = undone ? edit.After : edit.Before;
    if (!now.empty() && (was.empty() || FromStd(was.front().Name) == name || name.isEmpty()))
      name = FromStd(now.front().Name);
    else if (now.empty() && !content.Images.empty())
      name = FromStd(content.Images[std::min(edit.First, content.Images.size() - 1)].Name);
    const int frame = FCursor->Image() ? FCursor->Image()->CurrentFrame : 0;
    ShowBytes(EncodeQuvContent(content), name, frame);
  });
}

void TQuvView::ShowBytes(std::vector<uint8_t> bytes, const QString& name, int frame) {
  Guarded([&] {
    TQuvDocumentOptions options;
    options.Palette = FPalette;
    options.TransparentIndex = FTransparentIndex;
    options.TrueColour = true;
    std::unique_ptr<TQuvDocument> document =
        ReopenQuvDocument(*FDocument, std::move(bytes), options);
    // The panel hides while the image is shown anew: the focus goes back where it was, so that
    // an offset box or the canvas keeps taking keys.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const auto refocus = qScopeGuard([this, focus] {
      if (focus && isAncestorOf(focus) && focus->isVisible()) focus->setFocus();
    });
    const auto reattach = FListPane->DetachSelectHandler();
    ClearImage();
    FCanvas->ForgetImages();
    FCursor->SetDocument(document.get());
    FDocument = std::move(document);
    FrontEnd()->OnPixelsReleased = [this](TFrontEndImageFrame* shown) {
      FCanvas->ForgetImage(shown);
    };
    FListPane->AddRows(Collection());
    if (!FListPane->ShowImageNamed(name)) return;
    SelectImage(name);
    FPlayer->ShowImageFrame(std::clamp(frame, 0, std::max(0, FCursor->Image()->FrameCount - 1)));
  });
}

bool TQuvView::EditMode() const {
  return FCanvas->EditMode();
}

void TQuvView::SetEditMode(bool on) {
  if (on == EditMode()) return;
  FCanvas->SetEditMode(on);
  if (on) {
    // A frame that steps on by itself cannot be placed.
    FPlayer->SetPlaying(false);
    FCanvas->PaintBox()->setFocus();
  }
  emit editModeChanged(on);
}

// Screen x = hot-spot x - XOffset + pixel x: the picture moves right as its offset shrinks.
void TQuvView::MoveShownFrame(const QPoint& shift, bool nudge) {
  if (!FCursor->Image() || !FCanvas->CanMoveShownFrame()) return;
  const int frame = FCursor->Image()->CurrentFrame;
  PerformEdit(
      [&](const TQuvContent& content, size_t image) {
        TQuvEdit edit = ShiftOffsets(content, image, {frame}, -shift.x(), -shift.y());
        edit.Name = "Move Hot Spot";
        return edit;
      },
      nudge ? TEditDocument::NudgeMergeKey : FEdits->NewMergeKey());
}

void TQuvView::SetShownOffset(Qt::Orientation which, int value) {
  TFrontEndImageFrame* shown = FCursor->Shown();
  if (!FCursor->Image() || !shown || !FCanvas->CanMoveShownFrame()) return;
  const bool horizontal = which == Qt::Horizontal;
  if ((horizontal ? shown->Frame->XOffset : shown->Frame->YOffset) == value) return;
  const int frame = FCursor->Image()->CurrentFrame;
  const bool done = PerformEdit([&](const TQuvContent& content, size_t image) {
    return horizontal ? SetOffsets(content, image, {frame}, value, std::nullopt)
                      : SetOffsets(content, image, {frame}, std::nullopt, value);
  });
  // A refused value gives way to the frame's own.
  if (!done) FInfoPanel->ShowFrameSize(FCursor->Shown());
}

// ---- Saving ----

bool TQuvView::Save() {
  if (!FDocument) return false;
  // Where the file was read from (a name found in another letter case is that file).
  const TQuvSaveTarget target = FDocument->SaveTarget;
  if (StampOf(target.DiskFile) != FStamp) {
    const QString text =
        QStringLiteral("\u201c%1\u201d has changed on disk since it was opened. Overwrite it?")
            .arg(QFileInfo(FFileName).fileName());
    if (Dialogs().Message(this, QStringLiteral("Save"), text, QMessageBox::Warning,
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
      return false;
  }
  return SaveTo(target);
}

bool TQuvView::SaveAs() {
  if (!FDocument) return false;
  const QFileInfo file(FullFileName());
  // A file inside an archive is offered beside the archive.
  const QString folder = QFileInfo(FromStd(SaveTargetOf(ToStd(file.filePath())).DiskFile)).path();
  const QString chosen =
      Dialogs().GetSaveFileName(this, QStringLiteral("Save Quv As"), folder, file.fileName(),
                                QStringLiteral("Quv Files|*.quv|All Files|*.*"));
  if (chosen.isEmpty()) return false;
  const QString fullName = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
  const TQuvSaveTarget target = SaveTargetOf(ToStd(fullName));
  if (!SaveTo(target)) return false;
  FDocument->SaveTarget = target;
  // The view is the new file's from now on: its name, its history entry, and its frames read
  // from what was written.
  FFileName = KeptName(fullName);
  FBaseCaption = FileCaption(FFileName);
  emit fileOpened(FFileName);
  const int frame = FCursor->Image() ? FCursor->Image()->CurrentFrame : 0;
  ShowBytes(EncodeQuvContent(FEdits->Content()), FCursor->ImageName(), frame);
  UpdateCaption();
  return true;
}

bool TQuvView::SaveTo(const TQuvSaveTarget& target) {
  const QString fullName = FromStd(target.ShownPath());
  const QString name = QFileInfo(fullName).fileName();
  try {
    TWaitCursor wait;
    SaveQuvBytes(target, EncodeQuvContent(Content()));
    FStamp = StampOf(target.DiskFile);
  } catch (const std::exception& error) {
    // Whatever stopped the write, the file on disk is as it was and the edits stay unsaved.
    SetStatusText(QString::fromUtf8(error.what()));
    Dialogs().Message(this, QStringLiteral("Save"),
                      QStringLiteral("\u201c%1\u201d could not be saved.\n\n%2")
                          .arg(name, QString::fromUtf8(error.what())),
                      QMessageBox::Warning, QMessageBox::Ok);
    return false;
  }
  FEdits->MarkSaved();
  UpdateCaption();
  SetStatusText(QStringLiteral("Saved \"%1\".").arg(fullName));
  return true;
}

bool TQuvView::AskToSaveChanges() {
  if (!FEdits->Modified()) return true;
  const int answer = Dialogs().Question(
      this, QStringLiteral("Save Changes"),
      QStringLiteral("Save changes to %1?").arg(QFileInfo(FFileName).fileName()), QString(),
      {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")});
  if (answer == 0) return Save();
  return answer == 1;
}

// ---- Menus and activation ----

void TQuvView::Activate() {
  MergeMenus(true);
}

void TQuvView::MergeMenus(bool on) {
  TImageClass* collection = Collection();
  FMenuShown = on && collection && collection->ImageCount >= 1;
  FExports->ShowActionsFor(FMenuShown, FListPane->MultiSelectMode(), FCursor->Image() != nullptr,
                           FCursor->SubFrameMode());
  FEditCommands->ShowActionsFor(FMenuShown && !FListPane->MultiSelectMode() &&
                                FCursor->Image() != nullptr);
  emit menusMerged(on);
}

QList<QAction*> TQuvView::ImageManipulationActions() const {
  return FExports->MenuActions();
}

QList<QAction*> TQuvView::EditActions() const {
  return FEditCommands->EditActions();
}

// ---- Selection ----

void TQuvView::ShowChosenImage(const QString& name) {
  Guarded([this, &name] {
    TWaitCursor wait;
    const auto reattach = FListPane->DetachSelectHandler();
    const QString collection = FromStd(Collection()->Name);
    SetStatusText(QStringLiteral("Loading image \"%1\" from \"%2\".").arg(name, collection));
    SelectImage(name);
    SetStatusText(QStringLiteral("Image \"%1\" from \"%2\".").arg(name, collection));
  });
}

bool TQuvView::ShowImageNamed(const QString& name) {
  if (FListPane->ShowImageNamed(name)) return true;
  SetStatusText(QStringLiteral("No image named \"%1\" in this file.").arg(name));
  return false;
}

void TQuvView::SelectImage(const QString& name) {
  TQuvImageListItem* row = FListPane->FindRow(name);
  TFrontEndImage* image = row ? FListPane->RowImage(row) : FrontEnd()->GetImage(ToStd(name));
  FCursor->SetImage(image);
  FStrip->Reset(image);
  if (row) FListPane->MarkShown(row);

  FCursor->SetReady(false);
  image->CurrentFrame = 0;
  TFrontEndImageFrame* first = FCursor->FetchFrame(0);
  FCursor->SetFrame(first);
  FCursor->SetShown(first);
  if (!first) {
    FCanvas->PaintBox()->SetMessage(FCursor->FrameErrorAt(image->Image, 0));
    return;
  }

  FInfoPanel->ImageWidth()->setText(QString::number(first->Frame->Width));
  FInfoPanel->ImageHeight()->setText(QString::number(first->Frame->Height));
  FInfoPanel->SubFrameCount()->setText(QString::number(first->SubFrameCount));
  FInfoPanel->FrameCount()->setText(QString::number(image->FrameCount));
  FInfoPanel->CurrentFrame()->setText(QStringLiteral("1"));
  UpdateCaption();

  FInfoPanel->AnimationPanel()->setVisible(image->FrameCount >= 2);
  FInfoPanel->setVisible(true);
  MergeMenus(true);
  FPlayer->StartImage();
}

void TQuvView::ClearImage() {
  FPlayer->Timer()->stop();
  FCursor->Clear();
  FStrip->Reset(nullptr);
  MergeMenus(false);
  SetStatusText(QString());
  UpdateCaption();
  FInfoPanel->hide();
  FCanvas->ResetScene();
  FInfoPanel->FramePosition()->clear();
  FCanvas->Repaint();
}

void TQuvView::RepaintImage() {
  Guarded([this] { FCanvas->Repaint(); });
}

// ---- Splitter ----

void TQuvView::SetListWidth(int width) {
  const QSignalBlocker blocker(FSplitter);
  const int total = std::max(FSplitter->width(), width + 1) - FSplitter->handleWidth();
  FSplitter->setSizes({width, std::max(1, total - width)});
}

int TQuvView::ListWidth() const {
  return FSplitter->sizes().value(0);
}

void TQuvView::Splitter1Moved() {
  const int width = std::max(1, ListWidth());
  // Every other view follows the setting.
  FSettings->SetSeperatorWidth(width);
}

// ---- Status, errors, events ----

QString TQuvView::StatusText() const {
  return FStatusText->text();
}

void TQuvView::SetStatusText(const QString& text) {
  FStatusText->setText(text);
}

void TQuvView::Guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& error) {
    ReportError(error);
  }
}

// The animation stands still while the box is up (Dialogs() pauses it), so no more ticks fail
// the same way meanwhile.
void TQuvView::ReportError(const std::exception& error) {
  if (IsDataError(error)) {
    // What a file holds or a disk does is no programming error: the user is told (once for the
    // same failure) and works on.
    const QString text = QString::fromUtf8(error.what());
    SetStatusText(text);
    if (text != FLastDataError) {
      FLastDataError = text;
      Dialogs().Message(this, QStringLiteral("Error"), text, QMessageBox::Warning, QMessageBox::Ok);
    }
  } else {
    emit errorRaised(error);
  }
}

bool TQuvView::event(QEvent* event) {
  // Ctrl+F6 and Ctrl+Shift+F6 are this window's next- and previous-window commands; Ctrl+Tab is
  // taken by the main window before it reaches a child.
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F6 && (key->modifiers() & Qt::ControlModifier)) {
      if (event->type() == QEvent::KeyPress) {
        if (key->modifiers() & Qt::ShiftModifier)
          emit previousWindowRequested();
        else
          emit nextWindowRequested();
      }
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void TQuvView::closeEvent(QCloseEvent* event) {
  // A changed file closes only once saved or given up.
  if (!AskToSaveChanges()) {
    event->ignore();
    return;
  }
  FPlayer->Timer()->stop();
  event->accept();
}

// ---- Palette and caption ----

void TQuvView::SetPalette(const TPalette& palette, uint8_t transparentIndex) {
  // Files opened later in this view (none yet, or a reload) take the new palette too.
  FPalette = palette;
  FTransparentIndex = transparentIndex;
  FEdits->SetTransparentIndex(transparentIndex);
  if (!FDocument || !FrontEnd()) return;
  // Every frame decoded so far is converted again, or read again when the empty index
  // changed (its empty pixels hold the index they were decoded with); the drawn images go
  // with the bitmaps.
  FrontEnd()->SetPalette(palette, transparentIndex);
  FCanvas->ForgetImages();
  FStrip->InvalidateAll();
  RepaintImage();
  FCanvas->UpdatePixelStatus();
}

QString TQuvView::FileCaption(const QString& fileName, const QString& marker) {
  const int cut = int(std::max(fileName.lastIndexOf('/'), fileName.lastIndexOf('\\')));
  if (cut < 0) return fileName + marker;
  const QString folder = fileName.left(cut);
  return fileName.mid(cut + 1) + marker + QStringLiteral(" \u2014 ") +
         (folder.isEmpty() ? "/" : folder);
}

QString TQuvView::ShownCaption() const {
  if (!FEdits->Modified()) return FBaseCaption;
  return FileCaption(FFileName, QStringLiteral("*"));
}

void TQuvView::UpdateCaption() {
  const QString file = ShownCaption();
  if (file.isEmpty())
    setWindowTitle(QStringLiteral("Vellicor"));
  else if (FCursor->Image())
    setWindowTitle(file + QStringLiteral(" - ") + FCursor->ImageName());
  else
    setWindowTitle(file);
}
