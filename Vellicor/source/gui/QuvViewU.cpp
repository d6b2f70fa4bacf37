#include "QuvViewU.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "AnimationPauseU.h"
#include "ArchivePathU.h"
#include "ConsoleU.h"
#include "DialogsU.h"
#include "FrameExportU.h"
#include "ImageExportU.h"
#include "LoadMessagesU.h"
#include "PaintBoxU.h"
#include "PaletteModelU.h"
#include "QtStringU.h"
#include "QuvDocumentU.h"
#include "StringUtilsU.h"
#include "WaitCursorU.h"

namespace {

// Everything from the last "." of the name part is replaced by extension; a name without one
// gets the extension appended.
std::string ReplaceExtension(const std::string& name, const std::string& extension) {
  const size_t dot = name.find_last_of('.');
  const size_t part = name.find_last_of("/\\:");
  if (dot != std::string::npos && (part == std::string::npos || dot > part))
    return name.substr(0, dot) + extension;
  return name + extension;
}

QString StripAmpersands(QString text) {
  return text.remove(QLatin1Char('&'));
}

constexpr int DefaultAnimationSpeed = 67;
// The platform timer never fires faster than this; a smaller speed would only spin the CPU.
constexpr int MinimumTimerInterval = 10;
// The scroll range stops here however far a broken file's offsets reach: a canvas side in sprite
// pixels (the canvas holds 4 bytes per sprite pixel).
constexpr int MaxCanvasSide = 4096;
constexpr qreal OnionSkinOpacity = 0.3;
constexpr int WheelStep = 120;  // one notch of a mouse wheel

QString ZoomText(int zoom) {
  if (zoom < 0) return QStringLiteral("1/%1\u00d7").arg(-zoom);
  return QStringLiteral("%1\u00d7").arg(zoom);
}

}  // namespace

// ---- TQuvImageListItem ----

bool TQuvImageListItem::operator<(const QTreeWidgetItem& other) const {
  QWidget* owner = treeWidget();
  while (owner && !qobject_cast<TQuvView*>(owner)) owner = owner->parentWidget();
  if (auto* view = qobject_cast<TQuvView*>(owner))
    return view->QuvImageListCompare(this, &other) < 0;
  return QTreeWidgetItem::operator<(other);
}

// ---- Creation and destruction ----

TQuvView::TQuvView(TSettingsModel* settings, const TPaletteModel* palettes)
    : QWidget(nullptr),
      FSettings(settings),
      FPalette(palettes->Palette()),
      FTransparentIndex(palettes->TransparentIndex()),
      FZoom(NormalizeZoom(settings->Zoom())),
      FFit(settings->Fit() || settings->FitNewViews()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Vellicor"));
  resize(729, 550);
  CreateActions();
  CreateControls();
  CreateWarningsBar();
  CreateMenus();
  CreateKeys();
  for (QAction*& separator : FMenuSeparators) {
    separator = new QAction(this);
    separator->setSeparator(true);
  }

  if (FSettings->SeperatorWidth() >= 0) SetListWidth(FSettings->SeperatorWidth());
  for (int column = 0; column < 3; ++column)
    if (FSettings->ColumnWidth(column) >= 0)
      QuvImageList->setColumnWidth(column, FSettings->ColumnWidth(column));

  Timer = new QTimer(this);
  SetTimerInterval(FSettings->AnimationSpeed());
  connect(Timer, &QTimer::timeout, this, &TQuvView::TimerTimer);

  ConnectSettings();
  connect(palettes, &TPaletteModel::paletteChanged, this, &TQuvView::SetPalette);
}

// What the toggle commands and setters do to every view.
void TQuvView::ConnectSettings() {
  connect(FSettings, &TSettingsModel::playbackChanged, this,
          [this](bool on) { PreloadFrames(on); });
  connect(FSettings, &TSettingsModel::subFramesChanged, this, [this](bool on) {
    Guarded([this, on] {
      SetSubFrameMode(on);
      PaintBoxPaint();
      ShowCurrentFrame();
    });
  });
  connect(FSettings, &TSettingsModel::displayChanged, this, [this] {
    UpdateImageCanvas();  // centring changes the canvas the frames share
    RepaintImage();
  });
  connect(FSettings, &TSettingsModel::canvasAidsChanged, this, [this] { RepaintImage(); });
  // The global command sets every view going or stops it; Space then plays or pauses one view.
  // A state read from the settings file (while Updating) leaves the views' own states alone.
  connect(FSettings, &TSettingsModel::toggleChanged, this, [this](TToggle toggle, bool on) {
    if (toggle != tgAnimated) return;
    if (!FSettings->Updating()) SetPlaying(on);
    UpdatePlayControls();
  });
  connect(FSettings, &TSettingsModel::exportOptionsChanged, this, [this] { CopyExportOptions(); });
  connect(FSettings, &TSettingsModel::animationSpeedChanged, this,
          [this](int speed) { SetAnimationSpeedSelector(speed); });
  connect(FSettings, &TSettingsModel::seperatorWidthChanged, this, [this](int width) {
    if (width != ListWidth()) SetListWidth(width);
  });
  connect(FSettings, &TSettingsModel::columnWidthChanged, this, [this](int column, int width) {
    if (width >= 0 && QuvImageList->columnWidth(column) != width)
      QuvImageList->setColumnWidth(column, width);
  });
}

TQuvView::~TQuvView() {
  Timer->stop();
  FSelectHandlerAttached = false;
  ClearImage();
  FImages.Clear();
  FFrontEnd = nullptr;
  Collection = nullptr;
  FDocument.reset();
}

void TQuvView::CreateActions() {
  auto make = [this](const char* caption, const char* hint, void (TQuvView::*handler)()) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setStatusTip(QString::fromUtf8(hint));
    action->setToolTip(QString::fromUtf8(hint));
    action->setVisible(false);
    if (handler) connect(action, &QAction::triggered, this, handler);
    return action;
  };
  acExportFrames = make("Export image frames", "Exports frames for the current frame",
                        &TQuvView::acExportFramesExecute);
  acExportSubFrames = make("Export frames", "Exports subframes for the current frame",
                           &TQuvView::acExportSubFramesExecute);
  acExportImageSubFrames = make("Export image subframes", "Exports subframes for the current image",
                                &TQuvView::acExportImageSubFramesExecute);
  acExportFrame =
      make("Export frame", "Exports the current frame", &TQuvView::acExportFrameExecute);
  acExportSubFrame = make("Export frame subframe", "Exports the current subframe",
                          &TQuvView::acExportSubFrameExecute);
  acExportAll = make("Export all Images", "Exports all images for all the images in the quv file",
                     &TQuvView::acExportAllExecute);
  acExportSelected =
      make("Export Selected", "Exports the selected images", &TQuvView::acExportSelectedExecute);
  acExportFrameData = make("Export Frame Data", "Exports Frame data for the current frame",
                           &TQuvView::acExportFrameDataExecute);
  acExportFramesData = make("Export Frames Data", "Exports Frame data for the current image",
                            &TQuvView::acExportFramesDataExecute);
  acExportSelectedFramesData =
      make("Export Frames Data for selected images", "Exports frames data for the selected images",
           &TQuvView::acExportSelectedFramesDataExecute);
  acExportAllFramesData =
      make("Export Frames Data for all images", "Exports frames data for the all images",
           &TQuvView::acExportAllFramesDataExecute);
  acCopyFrame = make("Copy frame", "Copies the current frame to the clipboard",
                     &TQuvView::acCopyFrameExecute);
  // The main window's menu item carries the key; the action itself stays out of any widget.
  acCopyFrame->setShortcut(QKeySequence::Copy);
  acExportGeneric = make("Export ...", "Export", nullptr);
  connect(acExportGeneric, &QAction::triggered, this, [this] { emit exportDialogRequested(); });

  acAnimate = MakeToggleAction(FSettings, tgAnimated, this);
  acViewSubFrames = MakeToggleAction(FSettings, tgViewSubFrames, this);
  acAutoCentre = MakeToggleAction(FSettings, tgAutoCentre, this);
  acTransparent = MakeToggleAction(FSettings, tgTransparent, this);
  acPreLoad = MakeToggleAction(FSettings, tgPreLoad, this);
  CreateViewActions();
}

void TQuvView::CreateViewActions() {
  auto make = [this](const QString& caption, const QString& hint, const QList<QKeySequence>& keys) {
    auto* action = new QAction(caption, this);
    SetActionHint(action, hint);
    action->setShortcuts(keys);
    // Only the view with the focus answers, however many views the main window holds.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
    return action;
  };
  acZoomIn = make(QStringLiteral("Zoom In"), QStringLiteral("Shows the image larger"),
                  {QKeySequence(QKeySequence::ZoomIn), QKeySequence(QStringLiteral("Ctrl+="))});
  acZoomOut = make(QStringLiteral("Zoom Out"), QStringLiteral("Shows the image smaller"),
                   {QKeySequence(QKeySequence::ZoomOut)});
  acZoomReset = make(QStringLiteral("Actual Size"),
                     QStringLiteral("Shows one screen pixel for each image pixel"),
                     {QKeySequence(QStringLiteral("Ctrl+0"))});
  acFit = make(ToggleCaption(tgFit), ToggleHint(tgFit), {QKeySequence(QStringLiteral("Ctrl+9"))});
  acFit->setCheckable(true);
  acFit->setChecked(FFit);
  connect(acZoomIn, &QAction::triggered, this, [this] { StepZoom(1); });
  connect(acZoomOut, &QAction::triggered, this, [this] { StepZoom(-1); });
  connect(acZoomReset, &QAction::triggered, this, [this] { SetZoom(1); });
  connect(acFit, &QAction::triggered, this, [this](bool on) { SetFit(on); });
}

// The playback keys answer wherever the focus is inside the view: on the canvas, the list, a
// check box or a slider. A text field (the filter, the speed) claims its keys first, and so
// does the canvas its Space, which pans while held (see CanvasKeyEvent). Up and Down are the
// list's own there.
void TQuvView::CreateKeys() {
  auto key = [this](QWidget* owner, int code, Qt::ShortcutContext context, auto handler) {
    new QShortcut(QKeySequence(code), owner, this, handler, context);
  };
  const auto inView = Qt::WidgetWithChildrenShortcut;
  for (int code : {int(Qt::Key_Left), int(Qt::Key_Comma)})
    key(this, code, inView, [this] { Guarded([this] { StepFrame(-1); }); });
  for (int code : {int(Qt::Key_Right), int(Qt::Key_Period)})
    key(this, code, inView, [this] { Guarded([this] { StepFrame(1); }); });
  key(this, Qt::Key_Home, inView, [this] { Guarded([this] { ShowEndFrame(false); }); });
  key(this, Qt::Key_End, inView, [this] { Guarded([this] { ShowEndFrame(true); }); });
  key(this, Qt::Key_Space, inView, [this] { TogglePlaying(); });
  key(PaintBox, Qt::Key_Up, Qt::WidgetShortcut, [this] { SelectNeighbour(-1); });
  key(PaintBox, Qt::Key_Down, Qt::WidgetShortcut, [this] { SelectNeighbour(1); });
}

QList<QAction*> TQuvView::ExportActions() const {
  return {acExportFrames,
          acExportSubFrames,
          acExportImageSubFrames,
          acExportFrame,
          acExportSubFrame,
          acExportAll,
          acExportSelected,
          acExportFrameData,
          acExportFramesData,
          acExportSelectedFramesData,
          acExportAllFramesData,
          acExportGeneric,
          acCopyFrame};
}

QCheckBox* TQuvView::BoundCheckBox(QAction* action) {
  auto* box = new QCheckBox(this);
  auto mirror = [box, action] {
    box->setText(StripAmpersands(action->text()));
    box->setToolTip(action->toolTip());
    box->setStatusTip(action->statusTip());
    box->setEnabled(action->isEnabled());
    const QSignalBlocker blocker(box);
    box->setChecked(action->isChecked());
  };
  mirror();
  connect(action, &QAction::changed, box, mirror);
  connect(action, &QAction::toggled, box, mirror);
  // The action decides the new state; the box only follows it.
  connect(box, &QCheckBox::clicked, action, [action, mirror] {
    action->trigger();
    mirror();
  });
  return box;
}

void TQuvView::CreateControls() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 0, 0, 0);
  root->setSpacing(0);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setHandleWidth(5);
  Splitter1->setChildrenCollapsible(false);
  root->addWidget(Splitter1, 1);
  QuvImageList = CreateListPane();

  Panel1 = new QWidget(Splitter1);
  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({225, 499});
  connect(Splitter1, &QSplitter::splitterMoved, this, [this] { Splitter1Moved(); });

  ImageAttributesPanel = new QWidget(Panel1);
  // As high as its contents, so the drawing area keeps the rest.
  ImageAttributesPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  ImageAttributesPanel->setContextMenuPolicy(Qt::CustomContextMenu);
  panelLayout->addWidget(ImageAttributesPanel);
  auto* attributesLayout = new QHBoxLayout(ImageAttributesPanel);
  attributesLayout->setContentsMargins(4, 4, 4, 4);
  attributesLayout->addWidget(CreateAttributesGrid(ImageAttributesPanel), 1);
  attributesLayout->addWidget(CreateAnimationPanel(ImageAttributesPanel));
  ImageAttributesPanel->hide();

  panelLayout->addWidget(CreateDrawingArea(Panel1), 1);

  StatusBar = new QStatusBar(this);
  StatusBar->setSizeGripEnabled(false);
  auto* statusLabel = new QLabel(StatusBar);
  statusLabel->setObjectName(QStringLiteral("StatusText"));
  StatusBar->addWidget(statusLabel, 1);
  PixelStatus = new QLabel(StatusBar);
  PixelStatus->setObjectName(QStringLiteral("PixelStatus"));
  StatusBar->addPermanentWidget(PixelStatus);
  ZoomStatus = new QLabel(StatusBar);
  ZoomStatus->setObjectName(QStringLiteral("ZoomStatus"));
  StatusBar->addPermanentWidget(ZoomStatus);
  root->addWidget(StatusBar);
  UpdateZoomLabels();
}

// The paint area inside a scroll area: scroll bars when the zoomed canvas is larger than the
// room, and the view's own handling of keys, the wheel and the pointer on the canvas.
QWidget* TQuvView::CreateDrawingArea(QWidget* parent) {
  PaintScroll = new QScrollArea(parent);
  PaintScroll->setFrameShape(QFrame::NoFrame);
  PaintScroll->setWidgetResizable(false);
  PaintScroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PaintScroll->setFocusPolicy(Qt::NoFocus);
  PaintBox = new TPaintBox;
  PaintBox->setToolTip(QStringLiteral(
      "This is the area were the QUV image is rendered to.  Right click for a popup menu."));
  PaintBox->setContextMenuPolicy(Qt::CustomContextMenu);
  PaintBox->setFocusPolicy(Qt::StrongFocus);
  PaintBox->setMouseTracking(true);
  PaintBox->OnCanvasReset = [this] { PaintBoxPaint(); };
  PaintScroll->setWidget(PaintBox);
  PaintBox->setAutoFillBackground(false);  // the canvas covers every pixel
  PaintBox->installEventFilter(this);
  PaintScroll->viewport()->installEventFilter(this);
  return PaintScroll;
}

// The list under its filter box; the list's own type-ahead still jumps to a name.
QTreeWidget* TQuvView::CreateListPane() {
  auto* pane = new QWidget(Splitter1);
  auto* paneLayout = new QVBoxLayout(pane);
  paneLayout->setContentsMargins(0, 0, 0, 0);
  paneLayout->setSpacing(2);
  ImageFilter = new QLineEdit(pane);
  ImageFilter->setPlaceholderText(QStringLiteral("Filter images"));
  ImageFilter->setToolTip(QStringLiteral("Lists only the images whose names hold this text"));
  ImageFilter->setClearButtonEnabled(true);
  connect(ImageFilter, &QLineEdit::textChanged, this, &TQuvView::FilterImages);
  paneLayout->addWidget(ImageFilter);
  auto* list = new QTreeWidget(pane);
  paneLayout->addWidget(list, 1);
  list->setColumnCount(3);
  list->setHeaderLabels(
      {QStringLiteral("Image Name"), QStringLiteral("Animated"), QStringLiteral("Frames")});
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setDragEnabled(true);
  list->setSortingEnabled(false);
  list->header()->setSectionsClickable(true);
  list->header()->setSortIndicatorShown(false);
  list->header()->setStretchLastSection(false);
  // Columns may be dragged down to one pixel; the main window's timer keeps them at least that.
  list->header()->setMinimumSectionSize(1);
  // Never narrower than the captions themselves.
  list->setColumnWidth(0, std::max(80, list->header()->sectionSizeHint(0)));
  list->setColumnWidth(1, std::max(60, list->header()->sectionSizeHint(1)));
  list->setToolTip(QStringLiteral(
      "Select the image from the QUV you wish to view. Right click for a popup menu."));
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list->header(), &QHeaderView::sectionClicked, this, &TQuvView::QuvImageListColumnClick);
  connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TQuvView::OnSelectionChanged);
  connect(list, &QWidget::customContextMenuRequested, this,
          [this, list](const QPoint& pos) { ShowPopup(ListPopupMenu, list->viewport(), pos); });
  return list;
}

QWidget* TQuvView::CreateAttributesGrid(QWidget* parent) {
  ImageAttributes = new QWidget(parent);
  // The captions and values never shrink below their text; the animation panel gives way first.
  ImageAttributes->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
  ImageAttributes->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* grid = new QGridLayout(ImageAttributes);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(1);
  auto value = [this] { return new QLabel(QStringLiteral("-1"), ImageAttributes); };
  auto addPair = [&](int row, int column, const char* caption, QLabel* valueLabel) {
    auto* captionLabel = new QLabel(QString::fromUtf8(caption), ImageAttributes);
    grid->addWidget(captionLabel, row, column);
    grid->addWidget(valueLabel, row, column + 1);
    return captionLabel;
  };
  FrameCount = value();
  CurrentFrame = value();
  SubFrameCount = value();
  CurrentSubFrame = value();
  ImageWidth = value();
  ImageHeight = value();
  XOffSet = value();
  YOffSet = value();
  addPair(0, 0, "Frame count", FrameCount);
  addPair(1, 0, "Current Frame", CurrentFrame);
  addPair(2, 0, "Subframe Count", SubFrameCount);
  CurrentSubFrameLabel = addPair(3, 0, "Current Subframe", CurrentSubFrame);
  addPair(0, 2, "Width", ImageWidth);
  addPair(1, 2, "Height", ImageHeight);
  addPair(2, 2, "XOffset", XOffSet);
  addPair(3, 2, "YOffset", YOffSet);
  CurrentSubFrameLabel->hide();
  CurrentSubFrame->hide();
  TransparentCheck = BoundCheckBox(acTransparent);
  AnimateCheck = BoundCheckBox(acAnimate);
  ViewSubFramesCheck = BoundCheckBox(acViewSubFrames);
  AutoCentreCheck = BoundCheckBox(acAutoCentre);
  grid->addWidget(TransparentCheck, 4, 0, 1, 2);
  grid->addWidget(AnimateCheck, 4, 2, 1, 2);
  grid->addWidget(ViewSubFramesCheck, 5, 0, 1, 2);
  grid->addWidget(AutoCentreCheck, 5, 2, 1, 2);
  ZoomValue = value();
  FramePosition = new QLabel(ImageAttributes);
  addPair(0, 4, "Zoom", ZoomValue);
  grid->addWidget(FramePosition, 1, 4, 1, 2);
  grid->setRowStretch(6, 1);
  return ImageAttributes;
}

// Long: the panel's controls and play buttons, laid out top to bottom.
QWidget* TQuvView::CreateAnimationPanel(QWidget* parent) {
  AnimationPanel = new QWidget(parent);
  AnimationPanel->setMinimumWidth(120);
  AnimationPanel->setMaximumWidth(268);
  AnimationPanel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  AnimationPanel->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* animationLayout = new QVBoxLayout(AnimationPanel);
  animationLayout->setContentsMargins(0, 0, 0, 0);
  auto makeTrackBar = [this] {
    auto* bar = new QSlider(Qt::Horizontal, AnimationPanel);
    bar->setMinimum(1);
    bar->setMaximum(1);
    bar->setPageStep(1);
    bar->setSingleStep(1);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(1);
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    return bar;
  };
  FrameTrackBar = makeTrackBar();
  SubFrameTrackBar = makeTrackBar();
  SubFrameTrackBar->hide();
  // The playback buttons lead the frame slider's row.
  auto* frameRow = new QHBoxLayout;
  frameRow->setSpacing(2);
  frameRow->addWidget(CreatePlayControls(AnimationPanel));
  frameRow->addWidget(FrameTrackBar, 1);
  animationLayout->addLayout(frameRow);
  animationLayout->addWidget(SubFrameTrackBar);
  // The frame sliders above, the speed below, set apart by a line.
  auto* line = new QFrame(AnimationPanel);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  animationLayout->addWidget(line);
  auto* speedCaption = new QHBoxLayout;
  speedCaption->addWidget(new QLabel(QStringLiteral("Animation Speed"), AnimationPanel));
  speedCaption->addStretch(1);
  PlayState = new QLabel(AnimationPanel);
  speedCaption->addWidget(PlayState);
  animationLayout->addLayout(speedCaption);
  AnimationSpeedSelector = new QSpinBox(AnimationPanel);
  // No limits: the change handler decides what text counts.
  AnimationSpeedSelector->setRange(std::numeric_limits<int>::min(),
                                   std::numeric_limits<int>::max());
  AnimationSpeedSelector->setValue(FSettings->AnimationSpeed());
  AnimationSpeedSelector->setToolTip(QStringLiteral("Allows the animation speed to be changed"));
  // Wide enough for any speed one would type, no wider.
  AnimationSpeedSelector->setMaximumWidth(
      AnimationSpeedSelector->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 32);
  animationLayout->addWidget(AnimationSpeedSelector);
  // The speed's unit and the rate it gives, under the number (it wraps in a narrow panel).
  AnimationSpeedUnit = new QLabel(AnimationPanel);
  AnimationSpeedUnit->setWordWrap(true);
  animationLayout->addWidget(AnimationSpeedUnit);
  animationLayout->addStretch(1);
  connect(FrameTrackBar, &QSlider::valueChanged, this,
          [this] { Guarded([this] { FrameTrackBarChange(); }); });
  connect(SubFrameTrackBar, &QSlider::valueChanged, this,
          [this] { Guarded([this] { SubFrameTrackBarChange(); }); });
  connect(AnimationSpeedSelector, &QSpinBox::textChanged, this,
          [this] { Guarded([this] { AnimationSpeedSelectorChange(); }); });
  connect(AnimationSpeedSelector, &QSpinBox::valueChanged, this, &TQuvView::UpdateSpeedUnit);
  // A finished entry below the timer's smallest interval becomes that interval.
  connect(AnimationSpeedSelector, &QSpinBox::editingFinished, this, [this] {
    const int speed = AnimationSpeedSelector->value();
    if (speed >= 0 && speed < MinimumTimerInterval)
      AnimationSpeedSelector->setValue(MinimumTimerInterval);
  });
  UpdateSpeedUnit();
  UpdatePlayControls();
  return AnimationPanel;
}

// Step back, play or pause, step on: the playback keys as buttons.
QWidget* TQuvView::CreatePlayControls(QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  auto button = [this, row, layout](QStyle::StandardPixmap icon, const QString& tip) {
    auto* b = new QToolButton(row);
    b->setIcon(style()->standardIcon(icon));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);  // the keys work anywhere in the view
    layout->addWidget(b);
    return b;
  };
  StepBackButton = button(QStyle::SP_MediaSeekBackward, QStringLiteral("Previous frame (Left)"));
  PlayButton = button(QStyle::SP_MediaPause, QString());
  StepOnButton = button(QStyle::SP_MediaSeekForward, QStringLiteral("Next frame (Right)"));
  connect(StepBackButton, &QToolButton::clicked, this,
          [this] { Guarded([this] { StepFrame(-1); }); });
  connect(StepOnButton, &QToolButton::clicked, this, [this] { Guarded([this] { StepFrame(1); }); });
  connect(PlayButton, &QToolButton::clicked, this, [this] { TogglePlaying(); });
  return row;
}

// The button offers what a press does; the caption says when the view stands still.
void TQuvView::UpdatePlayControls() {
  if (!PlayButton || !PlayState) return;
  const bool playing = Playing();
  PlayButton->setIcon(
      style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
  PlayButton->setToolTip(playing ? QStringLiteral("Pause (Space)")
                                 : QStringLiteral("Play (Space)"));
  PlayState->setText(playing ? QString() : QStringLiteral("Paused"));
}

void TQuvView::CreateMenus() {
  PopUpMenu_Selection = new QMenu(this);
  PopUpMenu_Selection->addActions(
      {acExportFrames, acExportImageSubFrames, acExportFramesData, acExportGeneric});
  PopUpMenu_Selection->addSeparator();
  PopUpMenu_Selection->addActions({acExportAll, acExportAllFramesData});

  PopUpMenu_MultiSelected = new QMenu(this);
  PopUpMenu_MultiSelected->addActions(
      {acExportSelected, acExportSelectedFramesData, acExportAll, acExportAllFramesData});

  PopupMenu_Image = new QMenu(this);
  PopupMenu_Image->addActions({acExportFrame, acExportFrames, acExportSubFrame, acExportSubFrames,
                               acExportImageSubFrames, acExportFrameData, acExportFramesData,
                               acExportGeneric});

  PopupMenu_ImageAttributes = new QMenu(this);
  PopupMenu_ImageAttributes->addActions(
      {acAnimate, acViewSubFrames, acAutoCentre, acTransparent, acPreLoad});

  ListPopupMenu = PopUpMenu_Selection;
  connect(PaintBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { ShowPopup(PopupMenu_Image, PaintBox, pos); });
  for (QWidget* widget :
       {static_cast<QWidget*>(ImageAttributesPanel), ImageAttributes, AnimationPanel,
        static_cast<QWidget*>(FrameTrackBar), static_cast<QWidget*>(SubFrameTrackBar)})
    connect(widget, &QWidget::customContextMenuRequested, this, [this, widget](const QPoint& pos) {
      ShowPopup(PopupMenu_ImageAttributes, widget, pos);
    });
}

void TQuvView::ShowPopup(QMenu* menu, QWidget* widget, const QPoint& pos) {
  const QList<QAction*> actions = menu->actions();
  const bool anyVisible = std::any_of(actions.begin(), actions.end(), [](QAction* action) {
    return action->isVisible() && !action->isSeparator();
  });
  if (anyVisible) menu->popup(widget->mapToGlobal(pos));
}

// ---- Loading ----

bool TQuvView::LoadQuv(const QString& fileName, const QString& archiveSource) {
  if (FLoaded) return Collection != nullptr;
  FLoaded = true;
  QString shownName = fileName;
  try {
    // Names are kept relative to the program's folder where they stay below it (as the history
    // stores them), and a relative name means one there; every path handed on is absolute, so
    // the process's current folder plays no part.
    const QDir programDir(FSettings->ProgramFolder());
    const QString fullName = QDir::cleanPath(programDir.absoluteFilePath(fileName));
    QString name = QDir::cleanPath(programDir.relativeFilePath(fullName));
    if (name == QLatin1String("..") || name.startsWith(QLatin1String("../")) ||
        QFileInfo(name).isAbsolute())
      name = fullName;
    FileName = name;
    ArchiveSource = archiveSource;
    shownName = FileName;
    const TLoadWarningCollector warnings(LoadWarnings);
    Collection = OpenQuvDocument(fullName, shownName);
  } catch (const std::exception& error) {
    LastError = QString::fromStdString(error.what());
    emit statusChanged(LastError);
    CloseAfterFailure();
    return false;
  }

  emit fileOpened(FileName);
  // The file's name leads, so that tiled windows stay told apart; its folder follows.
  BaseCaption = FileCaption(FileName);
  setWindowTitle(BaseCaption);
  ShowLoadWarnings();
  FFrontEnd = FDocument->FrontEnd.get();
  // The drawn images share the bitmaps' memory, so they go with them.
  FFrontEnd->OnBitmapReleased = [this](TFrontEndImageFrame* frame) { FImages.Forget(frame); };
  CopyExportOptions();

  SortColumn = 0;
  SortDirection = 0;
  AddRows();

  FSelectHandlerAttached = true;
  MergeMenus(true);
  if (FSettings->AutoSelect1stImage() && QuvImageList->topLevelItemCount() > 0) {
    QTreeWidgetItem* first = QuvImageList->topLevelItem(0);
    QuvImageList->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
    first->setSelected(true);
  }
  SetStatusText(QStringLiteral("Loaded \"%1\".").arg(shownName));
  return true;
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
  return FDocument->Images;
}

void TQuvView::CopyExportOptions() {
  if (!FFrontEnd) return;
  FFrontEnd->AutoPad = FSettings->AutoPad();
  FFrontEnd->AutoPadUsingSelectedFrames = FSettings->AutoPadUsingSelectedFrames();
  FFrontEnd->ExportPixelFormat = FSettings->ExportBitDepth();
  FFrontEnd->ExportFrameWhenExportFrameData = FSettings->ExportFrameWhenExportFrameData();
  FFrontEnd->FrameDataExportType = uint8_t(FSettings->FrameDataExportType());
  FFrontEnd->FormatOptions.Format = FSettings->ExportFormat();
  FFrontEnd->FormatOptions.Scale = FSettings->ExportScale();
}

TExportFormatScope::TExportFormatScope(TFrontEndImages* frontEnd, TExportFormat format)
    : FFrontEnd(frontEnd), FWas(frontEnd->FormatOptions.Format) {
  frontEnd->FormatOptions.Format = format;
}

TExportFormatScope::~TExportFormatScope() {
  FFrontEnd->FormatOptions.Format = FWas;
}

void TQuvView::CloseAfterFailure() {
  Timer->stop();
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->close();
  } else {
    close();  // deletes on close
  }
}

void TQuvView::AddRows() {
  QuvImageList->clear();
  ImageNames.clear();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(qsizetype(Collection->Images.size()));
  for (const auto& image : Collection->Images) {
    const QString name = FromStd(image->Name);
    auto* row = new TQuvImageListItem(
        QStringList{name, image->FrameCount >= 2 ? QStringLiteral("True") : QStringLiteral("False"),
                    QString::number(image->FrameCount)});
    row->setData(0, Qt::UserRole, int(ImageNames.size()));
    row->setData(0, Qt::UserRole + 1, QByteArray::fromStdString(image->Name));
    ImageNames.append(name);
    rows.append(row);
  }
  QuvImageList->addTopLevelItems(rows);
}

// ---- Menus and activation ----

void TQuvView::Activate() {
  MergeMenus(true);
}

void TQuvView::MergeMenus(bool on) {
  for (QAction* action : ExportActions()) action->setVisible(false);
  FMenuActions.clear();
  FMenuShown = on && Collection && Collection->ImageCount >= 1;
  if (FMenuShown && MultiSelectMode) {
    FMenuActions = {acExportSelected, acExportSelectedFramesData, acExportAll,
                    acExportAllFramesData};
    for (QAction* action : FMenuActions) action->setVisible(true);
  } else if (FMenuShown && CurrentImage) {
    for (QAction* action : ExportActions())
      if (action != acExportSelected && action != acExportSelectedFramesData)
        action->setVisible(true);
    // A sub-frame can only be exported while sub-frames are viewed.
    acExportSubFrame->setVisible(SubFrameMode);
    FMenuActions = {acExportAll,        acExportAllFramesData,  nullptr,
                    acExportFrame,      acExportFrames,         acExportSubFrame,
                    acExportSubFrames,  acExportImageSubFrames, acExportFrameData,
                    acExportFramesData, acExportGeneric,        nullptr,
                    acCopyFrame};
  }
  emit menusMerged(on);
}

QList<QAction*> TQuvView::ImageManipulationActions() const {
  QList<QAction*> actions;
  int separators = 0;
  for (QAction* action : FMenuActions)
    actions << (action ? action : FMenuSeparators[std::min(separators++, 1)]);
  return actions;
}

// ---- Selection ----

TQuvImageListItem* TQuvView::FindRow(const QString& name) const {
  for (int i = 0; i < QuvImageList->topLevelItemCount(); ++i) {
    auto* row = static_cast<TQuvImageListItem*>(QuvImageList->topLevelItem(i));
    if (row->text(0) == name) return row;
  }
  return nullptr;
}

QScopeGuard<std::function<void()>> TQuvView::DetachSelectHandler() {
  const bool attached = FSelectHandlerAttached;
  FSelectHandlerAttached = false;
  return QScopeGuard<std::function<void()>>(
      [this, attached] { FSelectHandlerAttached = attached; });
}

TFrontEndImage* TQuvView::RowImage(QTreeWidgetItem* row) {
  auto* item = static_cast<TQuvImageListItem*>(row);
  if (!item->Image)
    item->Image = FFrontEnd->GetImage(item->data(0, Qt::UserRole + 1).toByteArray().toStdString());
  return item->Image;
}

int TQuvView::SelectedRowCount() const {
  return int(QuvImageList->selectedItems().size());
}

void TQuvView::OnSelectionChanged(const QItemSelection&, const QItemSelection&) {
  if (!FSelectHandlerAttached) return;
  // Qt reports a click as one change of the whole selection; the resulting set decides.
  Guarded([this] {
    const QList<QTreeWidgetItem*> rows = QuvImageList->selectedItems();
    if (rows.size() >= 2) {
      SetMultiSelect(true);
      return;
    }
    // Narrowed to one row out of several: that row is the one to show again.
    if (rows.size() == 1 && MultiSelectMode) LastSelectedName = rows.first()->text(0);
    SetMultiSelect(false);
    const QList<QTreeWidgetItem*> now = QuvImageList->selectedItems();
    if (now.size() == 1) QuvImageListSelectItem(now.first(), true);
  });
}

void TQuvView::QuvImageListSelectItem(QTreeWidgetItem* item, bool selected) {
  if (!item) return;
  const int count = SelectedRowCount();
  if (!selected) {
    if (count <= 1) SetMultiSelect(false);
    return;
  }
  if (count >= 2) {
    SetMultiSelect(true);
    return;
  }
  if (count == 0) {
    SetMultiSelect(false);
    return;
  }
  SetMultiSelect(false);
  const QString caption = item->text(0);
  if (CurrentImage && FromStd(CurrentImage->Name) == caption) return;
  LastSelectedName = caption;
  TWaitCursor wait;
  const auto reattach = DetachSelectHandler();
  const QString collection = FromStd(Collection->Name);
  SetStatusText(QStringLiteral("Loading image \"%1\" from \"%2\".").arg(caption, collection));
  SelectImage(caption);
  SetStatusText(QStringLiteral("Image \"%1\" from \"%2\".").arg(caption, collection));
}

void TQuvView::SetMultiSelect(bool on) {
  if (on == MultiSelectMode) return;
  MultiSelectMode = on;
  if (on) {
    if (CurrentImage) LastSelectedName = FromStd(CurrentImage->Name);
    ClearImage();
    ListPopupMenu = PopUpMenu_MultiSelected;
    MergeMenus(true);
    return;
  }
  ListPopupMenu = PopUpMenu_Selection;
  if (LastSelectedName.isEmpty()) return;
  const auto reattach = DetachSelectHandler();
  for (int i = 0; i < QuvImageList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = QuvImageList->topLevelItem(i);
    if (row->text(0) == LastSelectedName) {
      row->setSelected(true);
      QuvImageList->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
      LastSelectedName.clear();
    } else {
      row->setSelected(false);
    }
  }
}

bool TQuvView::ShowImageNamed(const QString& name) {
  TQuvImageListItem* row = FindRow(name);
  if (!row) {
    SetStatusText(QStringLiteral("No image named \"%1\" in this file.").arg(name));
    return false;
  }
  QuvImageList->setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect);
  QuvImageList->scrollToItem(row);
  return true;
}

void TQuvView::SelectImage(const QString& name) {
  TQuvImageListItem* row = FindRow(name);
  TFrontEndImage* image = row ? RowImage(row) : FFrontEnd->GetImage(ToStd(name));
  CurrentImage = image;
  if (row) {
    row->setSelected(true);
    QuvImageList->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    QuvImageList->scrollToItem(row);
  }

  ImageReady = false;
  image->CurrentFrame = 0;
  TFrontEndImageFrame* first = FetchFrame(0);
  CurrentFrameObject = DisplayedFrame = first;
  if (!first) {
    PaintBox->SetMessage(FrameErrorAt(image->Image, 0));
    return;
  }

  ImageWidth->setText(QString::number(first->Frame->Width));
  ImageHeight->setText(QString::number(first->Frame->Height));
  SubFrameCount->setText(QString::number(first->SubFrameCount));
  FrameCount->setText(QString::number(image->FrameCount));
  CurrentFrame->setText(QStringLiteral("1"));
  setWindowTitle(BaseCaption + QStringLiteral(" - ") + name);

  AnimationPanel->setVisible(image->FrameCount >= 2);
  ImageAttributesPanel->setVisible(true);
  MergeMenus(true);

  SetAnimationSpeedSelector(FSettings->AnimationSpeed());
  LastTrackPosition = -1;
  SetSubFrameMode(FSettings->ViewSubFrames() && first->SubFrameCount >= 1);
  FrameTrackBar->setMaximum(std::max(1, image->FrameCount));
  UpdateImageCanvas();
  ImageReady = true;

  if (FSettings->PreLoad()) PreloadFrames(true);
  UpdateBackground();
  PaintBox->Clear();
  ShowFrame(0);
  Timer->start();
}

void TQuvView::ClearImage() {
  Timer->stop();
  CurrentFrameObject = nullptr;
  DisplayedFrame = nullptr;
  CurrentImage = nullptr;
  MergeMenus(false);
  SetStatusText(QString());
  ImageReady = false;
  setWindowTitle(BaseCaption.isEmpty() ? QStringLiteral("Vellicor") : BaseCaption);
  ImageAttributesPanel->hide();
  FOnionRect = QRect();
  PaintBox->SetMarks({});
  PaintBox->SetMessage(QString());
  PixelStatus->clear();
  FramePosition->clear();
  PaintBoxPaint();
}

// ---- Frames ----

void TQuvView::SetSubFrameMode(bool on) {
  if (on == SubFrameMode || !CurrentImage) return;
  TFrontEndImageFrame* current = FetchFrame(CurrentImage->CurrentFrame);
  if (on && current && current->SubFrameCount > 0 && !IsDamaged(current)) {
    SubFrameMode = true;
    SubFrameTrackBar->show();
    CurrentSubFrameLabel->show();
    CurrentSubFrame->show();
    CurrentFrameObject = current;
    if (current->CurrentSubFrame < 0 || current->CurrentSubFrame >= current->SubFrameCount)
      current->CurrentSubFrame = 0;
    DisplayedFrame = current->GetSubFrame(current->CurrentSubFrame);
    acExportSubFrame->setVisible(true);
    return;
  }
  SubFrameMode = false;
  acExportSubFrame->setVisible(false);
  SubFrameTrackBar->hide();
  CurrentSubFrameLabel->hide();
  CurrentSubFrame->hide();
  SubFrameCount->setText(QStringLiteral("0"));
  DisplayedFrame = current;
}

void TQuvView::ShowFrame(int index) {
  if (!ImageReady || !CurrentImage) return;
  // Moving a track bar runs its handler, which may show the frame itself (or switch to the
  // frame's sub-frames); then this call has nothing left to do.
  const uint64_t serial = ++FShowSerial;
  if (SubFrameMode && CurrentFrameObject) {
    if (index < 0 || index >= CurrentFrameObject->SubFrameCount) index = 0;
    CurrentSubFrame->setText(QString::number(index + 1));
    SubFrameTrackBar->setMaximum(std::max(1, CurrentFrameObject->SubFrameCount));
    if (SubFrameTrackBar->value() != index + 1) {
      SubFrameTrackBar->setValue(index + 1);
      if (FShowSerial != serial) return;
    }
    EraseFrame(DisplayedFrame);
    CurrentFrameObject->CurrentSubFrame = index;
    DisplayedFrame = CurrentFrameObject->GetSubFrame(index);
  } else {
    if (index < 0 || index >= CurrentImage->FrameCount) index = 0;
    if (FrameTrackBar->value() != index + 1) {
      FrameTrackBar->setValue(index + 1);
      if (FShowSerial != serial) return;
    }
    EraseFrame(DisplayedFrame);
    CurrentImage->CurrentFrame = index;
    DisplayedFrame = FetchFrame(index);
    if (!DisplayedFrame) {
      PaintBox->SetMessage(FrameErrorAt(CurrentImage->Image, index));
      return;
    }
    SubFrameCount->setText(QString::number(DisplayedFrame->SubFrameCount));
  }
  DrawFrame(DisplayedFrame);
  CurrentFrame->setText(QString::number(FrameTrackBar->value()));
  FramePosition->setText(QStringLiteral("Frame %1 / %2")
                             .arg(CurrentImage->CurrentFrame + 1)
                             .arg(CurrentImage->FrameCount));
  UpdatePixelStatus();
  if (CurrentFrameObject)
    SubFrameTrackBar->setMaximum(std::max(1, CurrentFrameObject->SubFrameCount));
  UpdateFrameLabels(DisplayedFrame);
}

void TQuvView::ShowCurrentFrame() {
  if (!ImageReady || !CurrentImage) return;
  if (SubFrameMode && CurrentFrameObject)
    ShowFrame(CurrentFrameObject->CurrentSubFrame);
  else
    ShowFrame(CurrentImage->CurrentFrame);
}

void TQuvView::UpdateFrameLabels(TFrontEndImageFrame* frame) {
  if (!frame || !frame->Frame) return;
  ImageWidth->setText(QString::number(frame->Frame->Width));
  ImageHeight->setText(QString::number(frame->Frame->Height));
  XOffSet->setText(QString::number(frame->Frame->XOffset));
  YOffSet->setText(QString::number(frame->Frame->YOffset));
}

QPoint TQuvView::FramePlacement(TFrontEndImageFrame* frame) const {
  const TImageFrame* data = frame->Frame;
  // The canvas is the paint area in sprite pixels: at 1x its very size.
  const QSize area = PaintBox->Canvas().size();
  if (FSettings->AutoCentre())
    return QPoint((area.width() - data->Width) / 2, (area.height() - data->Height) / 2);
  if (data->ParentFrame)
    return QPoint(data->ParentFrame->MaxSubXOffset - data->XOffset,
                  data->ParentFrame->MaxSubYOffset - data->YOffset);
  return QPoint(data->Image->MaxXOffset - data->XOffset, data->Image->MaxYOffset - data->YOffset);
}

void TQuvView::DrawFrame(TFrontEndImageFrame* frame) {
  if (!frame || !frame->Frame) return;
  // What was read of a damaged frame is not drawn: the canvas says why instead.
  const QString damage = DamageOf(frame);
  PaintBox->SetMessage(damage);
  if (!damage.isEmpty()) {
    PaintBox->SetMarks({});
    return;
  }
  if (!FSettings->AutoCentre()) {
    // A sub-frame canvas may reach beyond the frames' one: the scroll range follows it.
    const QRect placed(FramePlacement(frame), QSize(frame->Frame->Width, frame->Frame->Height));
    const QSize reach = FContent.expandedTo(QSize(std::min(placed.right() + 1, MaxCanvasSide),
                                                  std::min(placed.bottom() + 1, MaxCanvasSide)));
    if (reach != FContent) {
      FContent = reach;
      UpdateCanvasLayout();
    }
  }
  FOnionRect = QRect();
  if (FSettings->OnionSkin())
    if (TFrontEndImageFrame* previous = OnionFrame(frame)) {
      DrawBitmap(previous, true, OnionSkinOpacity);
      FOnionRect =
          QRect(FramePlacement(previous), QSize(previous->Frame->Width, previous->Frame->Height));
    }
  DrawBitmap(frame, FSettings->Transparent(), 1.0);
  UpdateMarks(frame);
}

void TQuvView::DrawBitmap(TFrontEndImageFrame* frame, bool transparent, qreal opacity) {
  const TBitmap& bitmap = frame->GetBitmap();
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  transparent = transparent && bitmap.Transparent;
  PaintBox->DrawImage(FramePlacement(frame),
                      transparent ? FImages.Transparent(frame) : FImages.Opaque(frame), opacity);
}

// The frame before this one (the sub-frame before, viewing sub-frames), the last before the
// first; none when there is only one.
TFrontEndImageFrame* TQuvView::OnionFrame(TFrontEndImageFrame* frame) {
  const TImageFrame* data = frame->Frame;
  if (data->ParentFrame) {
    if (!CurrentFrameObject || CurrentFrameObject->SubFrameCount < 2) return nullptr;
    const int count = CurrentFrameObject->SubFrameCount;
    const int index = std::clamp(data->Index, 0, count - 1);
    TFrontEndImageFrame* previous = CurrentFrameObject->GetSubFrame((index + count - 1) % count);
    return previous && previous->Frame ? previous : nullptr;
  }
  if (!CurrentImage || CurrentImage->FrameCount < 2) return nullptr;
  const int count = CurrentImage->FrameCount;
  const int index = std::clamp(data->Index, 0, count - 1);
  TFrontEndImageFrame* previous = FetchFrame((index + count - 1) % count);
  return previous && previous->Frame && !IsDamaged(previous) ? previous : nullptr;
}

TFrontEndImageFrame* TQuvView::FetchFrame(int index) {
  try {
    return CurrentImage->GetFrame(index);
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    NoteFrameError(index, error.what());
  }
  try {
    return CurrentImage->GetFrame(index);  // as far as it was read
  } catch (const std::exception& error) {
    if (!IsDataError(error)) throw;
    return nullptr;
  }
}

void TQuvView::NoteFrameError(int index, const std::string& message) {
  QString& noted = FFrameErrors[{CurrentImage->Image, index}];
  if (!noted.isEmpty()) return;
  noted = FromStd(FrameErrorSentence(index, CurrentImage->Name, message));
  FrameErrors << noted;
  // The details stay open or closed as the user left them.
  WarningsDetails->setText((FrameErrors + LoadWarnings).join('\n'));
  UpdateWarningsSummary();
  WarningsBar->show();
}

bool TQuvView::IsDamaged(const TFrontEndImageFrame* frame) {
  return frame && frame->Frame && frame->Frame->TopFrame()->LoadFailed;
}

QString TQuvView::FrameErrorAt(const TImage* image, int index) const {
  const auto noted = FFrameErrors.find({image, index});
  return noted == FFrameErrors.end() ? QString() : noted->second;
}

QString TQuvView::DamageOf(const TFrontEndImageFrame* frame) const {
  if (!IsDamaged(frame)) return QString();
  const TImageFrame* top = frame->Frame->TopFrame();
  const QString noted = FrameErrorAt(top->Image, top->Index);
  if (!noted.isEmpty()) return noted;
  return FromStd(FrameErrorSentence(top->Index, top->Image ? top->Image->Name : "", ""));
}

void TQuvView::UpdateMarks(TFrontEndImageFrame* frame) {
  const TImageFrame* data = frame->Frame;
  const QPoint at = FramePlacement(frame);
  const QRect placed(at, QSize(data->Width, data->Height));
  const QPoint hotSpot = at + QPoint(data->XOffset, data->YOffset);
  TCanvasMarks marks;
  if (FSettings->Crosshair()) marks.HotSpot = hotSpot;
  if (FSettings->FrameBounds()) marks.Bounds = placed;
  if (FSettings->SubFrameOutline() && SubFrameMode && data->ParentFrame) {
    // A sub-frame column c shows the point of frame column p where p - frame XOffset equals
    // c - sub-frame XOffset: both share the hot spot.
    const TImageFrame* parent = data->ParentFrame;
    marks.SubFrame = placed;
    marks.SubFrameParent = QRect(hotSpot - QPoint(parent->XOffset, parent->YOffset),
                                 QSize(parent->Width, parent->Height));
  }
  PaintBox->SetMarks(marks);
}

void TQuvView::EraseFrame(TFrontEndImageFrame* frame) {
  if (!FOnionRect.isEmpty()) PaintBox->Erase(FOnionRect);
  FOnionRect = QRect();
  if (!frame || !frame->Frame) return;
  PaintBox->Erase(QRect(FramePlacement(frame), QSize(frame->Frame->Width, frame->Frame->Height)));
}

void TQuvView::PaintBoxPaint() {
  UpdateBackground();
  PaintBox->Clear();
  FOnionRect = QRect();
  if (ImageReady && DisplayedFrame)
    DrawFrame(DisplayedFrame);
  else
    PaintBox->SetMarks({});
}

void TQuvView::UpdateBackground() {
  PaintBox->SetBackground(ColorFromSetting(FSettings->BackGroundColor()),
                          FSettings->Checkerboard());
}

void TQuvView::RepaintImage() {
  Guarded([this] { PaintBoxPaint(); });
}

void TQuvView::TimerTimer() {
  Guarded([this] {
    // The Animate setting and the view's own play state both, and no dialog holding every view.
    if (Playing() && !TAnimationPause::Active() && DisplayedFrame)
      ShowFrame(DisplayedFrame->NextIndex);
  });
}

void TQuvView::FrameTrackBarChange() {
  if (!ImageReady || !CurrentImage || CurrentImage->FrameCount <= 1) return;
  const int position = FrameTrackBar->value();
  if (position == LastTrackPosition) return;
  LastTrackPosition = position;
  if (FSettings->ViewSubFrames()) {
    CurrentImage->CurrentFrame = position - 1;
    SetSubFrameMode(false);
    TFrontEndImageFrame* frame = FetchFrame(position - 1);
    SetSubFrameMode(frame && frame->SubFrameCount > 1);
  }
  if (SubFrameMode) {
    UpdateBackground();
    PaintBox->Clear();
    ShowFrame(0);
  } else {
    ShowFrame(position - 1);
  }
  if (FSettings->PreLoad()) PreloadFrames(true);
}

void TQuvView::SubFrameTrackBarChange() {
  // Only a shown sub-frame bar steps sub-frames; its range changing in frame mode must not
  // move the frames.
  if (!SubFrameMode || !CurrentFrameObject || CurrentFrameObject->SubFrameCount <= 1) return;
  ShowFrame(SubFrameTrackBar->value() - 1);
}

void TQuvView::PreloadFrames(bool on) {
  if (!on || !CurrentImage) return;
  const int first = CurrentImage->CurrentFrame;
  const int count = CurrentImage->FrameCount;
  if (first < 0 || first >= count) return;
  const int64_t last =
      std::min<int64_t>(int64_t(first) + FSettings->PreLoadCount() - 1, int64_t(count) - 1);
  bool all = true;
  for (int64_t i = first; i <= last && all; ++i) all = CurrentImage->IsFrameCreated(int32_t(i));
  if (all) return;
  TWaitCursor wait;
  for (int64_t i = first; i <= last; ++i) FetchFrame(int(i));
}

// ---- Speed, splitter, sorting ----

void TQuvView::SetTimerInterval(int speed) {
  Timer->setInterval(std::max(speed, MinimumTimerInterval));
}

void TQuvView::SetAnimationSpeedSelector(int speed) {
  AnimationSpeedSelector->setValue(speed);
  // Every view animates at the one speed the setting holds.
  if (speed >= 0) SetTimerInterval(speed);
}

void TQuvView::AnimationSpeedSelectorChange() {
  static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
  const QString text = AnimationSpeedSelector->text();
  if (!number.match(text).hasMatch()) return;
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok) return;  // beyond the integer range: not a speed
  if (value == FSettings->AnimationSpeed()) return;
  if (value < 0) {
    if (auto* edit = AnimationSpeedSelector->findChild<QLineEdit*>())
      edit->setText(QString::number(DefaultAnimationSpeed));
    else
      AnimationSpeedSelector->setValue(DefaultAnimationSpeed);
    return;
  }
  FSettings->SetAnimationSpeed(value);
  SetTimerInterval(value);
  TimerTimer();
}

void TQuvView::SetListWidth(int width) {
  const QSignalBlocker blocker(Splitter1);
  const int total = std::max(Splitter1->width(), width + 1) - Splitter1->handleWidth();
  Splitter1->setSizes({width, std::max(1, total - width)});
}

int TQuvView::ListWidth() const {
  return Splitter1->sizes().value(0);
}

void TQuvView::Splitter1Moved() {
  const int width = std::max(1, ListWidth());
  // Every other view follows the setting.
  FSettings->SetSeperatorWidth(width);
}

void TQuvView::QuvImageListColumnClick(int column) {
  SortDirection = (SortDirection + 1) % 3;
  SortColumn = SortDirection == 0 ? 0 : column + 1;
  const auto reattach = DetachSelectHandler();
  QuvImageList->sortItems(0, Qt::AscendingOrder);
}

int TQuvView::QuvImageListCompare(const QTreeWidgetItem* a, const QTreeWidgetItem* b) const {
  auto sign = [](int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
  if (SortDirection == 0)
    return sign(int64_t(a->data(0, Qt::UserRole).toInt()) - b->data(0, Qt::UserRole).toInt());
  int result = 0;
  switch (SortColumn) {
    case 1:
      result = sign(AnsiCompareText(ToStd(a->text(0)), ToStd(b->text(0))));
      break;
    case 2:
      result = sign(AnsiCompareText(ToStd(a->text(1)), ToStd(b->text(1))));
      break;
    case 3:
      result = sign(int64_t(a->text(2).toInt()) - b->text(2).toInt());
      break;
    default:
      break;
  }
  return SortDirection == 2 ? -result : result;
}

// ---- Status, errors, events ----

QString TQuvView::StatusText() const {
  auto* label = StatusBar->findChild<QLabel*>(QStringLiteral("StatusText"));
  return label ? label->text() : QString();
}

void TQuvView::SetStatusText(const QString& text) {
  if (auto* label = StatusBar->findChild<QLabel*>(QStringLiteral("StatusText")))
    label->setText(text);
}

void TQuvView::Guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& error) {
    ReportError(error);
  }
}

void TQuvView::ReportError(const std::exception& error) {
  // A modal error box must not be met by more timer ticks failing the same way.
  const bool running = Timer->isActive();
  Timer->stop();
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
  if (running && ImageReady) Timer->start();
}

void TQuvView::RequestNextChild() {
  emit nextWindowRequested();
}

void TQuvView::RequestPreviousChild() {
  emit previousWindowRequested();
}

bool TQuvView::event(QEvent* event) {
  // Ctrl+F6 and Ctrl+Shift+F6 are this window's next- and previous-window commands; Ctrl+Tab is
  // taken by the main window before it reaches a child.
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_F6 && (key->modifiers() & Qt::ControlModifier)) {
      if (event->type() == QEvent::KeyPress) {
        if (key->modifiers() & Qt::ShiftModifier)
          RequestPreviousChild();
        else
          RequestNextChild();
      }
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void TQuvView::closeEvent(QCloseEvent* event) {
  Timer->stop();
  event->accept();
}

// ---- Exports ----

bool TQuvView::AskSaveFile(const QString& title, const QString& filter, const QString& proposedName,
                           QString& chosen) {
  chosen = Dialogs().GetSaveFileName(this, title, FSettings->SaveLastDir(), proposedName, filter);
  FSavedFile = chosen;
  if (chosen.isEmpty()) return false;
  FSettings->SetSaveLastDir(QDir::cleanPath(QFileInfo(chosen).absolutePath()));
  return true;
}

bool TQuvView::AskFolder(QString& chosen) {
  chosen = Dialogs().GetFolder(this, QStringLiteral("Select folder:"), FSettings->SaveLastDir());
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

bool TQuvView::WriteExport(const std::function<void()>& routine, const QString& message,
                           const QString& confirmed) {
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
  if (!ConfirmReplace(this, existing.size(), details)) return false;
  TWaitCursor wait;
  if (!message.isEmpty()) SetStatusText(message);
  TExportRecord record;
  // The status says what was written also when the routine fails halfway.
  const auto report = [&] {
    if (!record.Files().empty()) status = ExportedStatus(record.Files());
    SetStatusText(status);
  };
  try {
    routine();
  } catch (...) {
    report();
    throw;
  }
  report();
  return true;
}

void TQuvView::RunExport(QAction* action, const std::function<bool()>& askNames,
                         const std::function<QString()>& message,
                         const std::function<void()>& routine) {
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
      ReportError(error);
    }
  }
}

QList<QTreeWidgetItem*> TQuvView::SelectedRowsInListOrder() const {
  QList<QTreeWidgetItem*> rows;
  for (int i = 0; i < QuvImageList->topLevelItemCount(); ++i)
    if (QuvImageList->topLevelItem(i)->isSelected()) rows.append(QuvImageList->topLevelItem(i));
  return rows;
}

QList<QTreeWidgetItem*> TQuvView::AllRowsInListOrder() const {
  QList<QTreeWidgetItem*> rows;
  for (int i = 0; i < QuvImageList->topLevelItemCount(); ++i)
    rows.append(QuvImageList->topLevelItem(i));
  return rows;
}

QString TQuvView::FrameFileNameIn(TExportFormat format, int subFrame) const {
  const QString name = FromStd(CurrentImage->FrameFileName(CurrentImage->CurrentFrame, subFrame));
  return format == efBmp ? name : FromStd(ReplaceExtension(ToStd(name), ".png"));
}

QString TQuvView::FrameFilter(TExportFormat format) {
  return format == efBmp ? QStringLiteral("Bitmap|*.bmp") : QStringLiteral("PNG image|*.png");
}

void TQuvView::acExportFrameExecute() {
  if (!CurrentImage) return;
  const TExportFormat format = TExportFormatScope::FrameFormat(FSettings->ExportFormat());
  QString file;
  RunExport(
      acExportFrame,
      [&] {
        return AskSaveFile(QStringLiteral("Save Image..."), FrameFilter(format),
                           FrameFileNameIn(format, -1), file);
      },
      [&] {
        return QStringLiteral("Exporting frame %1 image:\"%2\".")
            .arg(CurrentImage->CurrentFrame)
            .arg(FromStd(CurrentImage->Name));
      },
      [&] {
        const TExportFormatScope scope(FFrontEnd, format);
        CurrentImage->ExportCurrentFrame(ToStd(file));
      });
}

void TQuvView::acExportFramesExecute() {
  if (!CurrentImage) return;
  QString folder;
  RunExport(
      acExportFrames, [&] { return AskFolder(folder); },
      [&] { return QStringLiteral("Exporting image:\"%1\".").arg(FromStd(CurrentImage->Name)); },
      [&] {
        ExportImageFiles(*CurrentImage, 0, CurrentImage->FrameCount - 1, false,
                         ToStd(FSettings->SaveLastDir()));
      });
}

void TQuvView::acExportSubFrameExecute() {
  if (!CurrentImage || !SubFrameMode || !CurrentFrameObject ||
      CurrentFrameObject->SubFrameCount < 1)
    return;
  const TExportFormat format = TExportFormatScope::FrameFormat(FSettings->ExportFormat());
  QString file;
  const int subFrame = CurrentFrameObject->CurrentSubFrame;
  RunExport(
      acExportSubFrame,
      [&] {
        return AskSaveFile(QStringLiteral("Save Image..."), FrameFilter(format),
                           FrameFileNameIn(format, subFrame), file);
      },
      [&] {
        return QStringLiteral("Exporting Subframe %1 from Frame %2, Image \"%3\".")
            .arg(subFrame)
            .arg(CurrentImage->CurrentFrame)
            .arg(FromStd(CurrentImage->Name));
      },
      [&] {
        const TExportFormatScope scope(FFrontEnd, format);
        CurrentImage->ExportCurrentSubFrame(subFrame, ToStd(file));
      });
}

void TQuvView::acExportSubFramesExecute() {
  if (!CurrentImage) return;
  TFrontEndImageFrame* frame = CurrentImage->GetFrame(CurrentImage->CurrentFrame);
  if (!frame) return;
  const TExportFormat format = TExportFormatScope::FrameFormat(FSettings->ExportFormat());
  QString folder;
  RunExport(
      acExportSubFrames, [&] { return AskFolder(folder); },
      [&] {
        return QStringLiteral("Exporting Subframes from frame %1, Image:\"%2\".")
            .arg(CurrentImage->CurrentFrame)
            .arg(FromStd(CurrentImage->Name));
      },
      [&] {
        const TExportFormatScope scope(FFrontEnd, format);
        CurrentImage->ExportSubFrameRange(0, frame->SubFrameCount - 1, SubFrameNameFormatOf(format),
                                          ToStd(FSettings->SaveLastDir()));
      });
}

void TQuvView::acExportImageSubFramesExecute() {
  if (!CurrentImage) return;
  const TExportFormat format = TExportFormatScope::FrameFormat(FSettings->ExportFormat());
  QString folder;
  RunExport(
      acExportImageSubFrames, [&] { return AskFolder(folder); },
      [&] {
        return QStringLiteral("Exporting Subframes from Image:\"%1\".")
            .arg(FromStd(CurrentImage->Name));
      },
      [&] {
        const TExportFormatScope scope(FFrontEnd, format);
        ExportImageFiles(*CurrentImage, 0, CurrentImage->FrameCount - 1, true,
                         ToStd(FSettings->SaveLastDir()));
      });
}

void TQuvView::acExportAllExecute() {
  if (!FFrontEnd) return;
  QString folder;
  RunExport(
      acExportAll, [&] { return AskFolder(folder); },
      [] { return QStringLiteral("Exporting all images."); },
      [&] {
        // Last to first, as the front end's own all-images export goes.
        for (int32_t i = FFrontEnd->Images->ImageCount - 1; i >= 0; --i)
          if (TFrontEndImage* image = FFrontEnd->GetImage(i))
            ExportImageFiles(*image, 0, image->FrameCount - 1, false,
                             ToStd(FSettings->SaveLastDir()));
      });
}

void TQuvView::acExportSelectedExecute() {
  if (!FFrontEnd) return;
  QString folder;
  RunExport(
      acExportSelected, [&] { return AskFolder(folder); },
      [] { return QStringLiteral("Exporting selected images."); },
      [&] {
        for (QTreeWidgetItem* row : SelectedRowsInListOrder()) {
          TFrontEndImage* image = RowImage(row);
          ExportImageFiles(*image, 0, image->FrameCount - 1, false,
                           ToStd(FSettings->SaveLastDir()));
        }
      });
}

// The data file, then (when sub-frame bitmaps go with the data) the folder for them.
bool TQuvView::AskFrameDataFile(QString& file, QString& folder) {
  return AskSaveFile(QStringLiteral("Save frame data..."), QStringLiteral("Text file|*.txt"),
                     FromStd(FileNamePart(CurrentImage->Name)) + QStringLiteral("_Data.txt"),
                     file) &&
         (!FFrontEnd->ExportFrameWhenExportFrameData || AskFolder(folder));
}

void TQuvView::acExportFrameDataExecute() {
  if (!CurrentImage) return;
  QString file, folder;
  RunExport(
      acExportFrameData, [&] { return AskFrameDataFile(file, folder); },
      [&] {
        return QStringLiteral("Exporting frame data for Image: \"%1\", Frame: %2.")
            .arg(FromStd(CurrentImage->Name))
            .arg(CurrentImage->CurrentFrame);
      },
      [&] {
        const TExportFormatScope scope(FFrontEnd, efBmp);
        CurrentImage->WriteFrameData(ToStd(file), ToStd(FSettings->SaveLastDir()),
                                     CurrentImage->DefaultNameSource(), CurrentImage->CurrentFrame);
      });
}

void TQuvView::acExportFramesDataExecute() {
  if (!CurrentImage) return;
  QString file, folder;
  RunExport(
      acExportFramesData, [&] { return AskFrameDataFile(file, folder); },
      [&] {
        return QStringLiteral("Exporting frame data for Image: \"%1\".")
            .arg(FromStd(CurrentImage->Name));
      },
      [&] {
        const TExportFormatScope scope(FFrontEnd, efBmp);
        CurrentImage->WriteFramesData(0, CurrentImage->FrameCount,
                                      CurrentImage->DefaultNameSource(),
                                      ToStd(FSettings->SaveLastDir()), ToStd(file));
      });
}

void TQuvView::ExportDataOfRows(const QList<QTreeWidgetItem*>& rows) {
  const std::string folder = ToStd(FSettings->SaveLastDir());
  const TExportFormatScope scope(FFrontEnd, efBmp);
  for (QTreeWidgetItem* row : rows) {
    TFrontEndImage* image = RowImage(row);
    SetStatusText(
        QStringLiteral("Exporting frame data for Image: \"%1\".").arg(FromStd(image->Name)));
    const std::string file = JoinPath(folder, image->DataFileName(), PathDelim);
    image->WriteFramesData(0, image->FrameCount - 1, image->DefaultNameSource(), folder, file);
  }
}

void TQuvView::acExportSelectedFramesDataExecute() {
  if (!FFrontEnd) return;
  QString folder;
  RunExport(
      acExportSelectedFramesData, [&] { return AskFolder(folder); }, [] { return QString(); },
      [&] { ExportDataOfRows(SelectedRowsInListOrder()); });
}

void TQuvView::acExportAllFramesDataExecute() {
  if (!FFrontEnd) return;
  QString folder;
  RunExport(
      acExportAllFramesData, [&] { return AskFolder(folder); }, [] { return QString(); },
      [&] { ExportDataOfRows(AllRowsInListOrder()); });
}

void TQuvView::acCopyFrameExecute() {
  if (!CurrentImage) return;
  Guarded([this] {
    TFrontEndImageFrame* frame = CurrentImage->GetFrame(CurrentImage->CurrentFrame);
    if (SubFrameMode && CurrentFrameObject && CurrentFrameObject->SubFrameCount > 0)
      frame = CurrentFrameObject->GetSubFrame(CurrentFrameObject->CurrentSubFrame);
    if (!frame || !frame->Frame) return;
    if (IsDamaged(frame)) throw EImageFileError(ToStd(DamageOf(frame)));
    frame->GetBitmap();  // decodes rows the collection released, as showing it does
    // The palette's exact colours, the transparent index clear, as the PNG export has them.
    const TPicture rgba = IndicesToRgba(FrameIndices(*frame), FPalette, FTransparentIndex);
    if (rgba.Width <= 0 || rgba.Height <= 0) return;
    const QImage image(rgba.Pixels.data(), rgba.Width, rgba.Height, rgba.Width * 4,
                       QImage::Format_RGBA8888);
    QApplication::clipboard()->setImage(image.copy());
    const QString what = frame == CurrentImage->GetFrame(CurrentImage->CurrentFrame)
                             ? QStringLiteral("Frame %1").arg(CurrentImage->CurrentFrame + 1)
                             : QStringLiteral("Subframe %1 of frame %2")
                                   .arg(CurrentFrameObject->CurrentSubFrame + 1)
                                   .arg(CurrentImage->CurrentFrame + 1);
    SetStatusText(QStringLiteral("%1 of \"%2\" copied to the clipboard (%3 \u00d7 %4 pixels).")
                      .arg(what, FromStd(CurrentImage->Name))
                      .arg(rgba.Width)
                      .arg(rgba.Height));
  });
}

// ---- Palette, load warnings, speed unit, caption ----

void TQuvView::SetPalette(const TPalette& palette, uint8_t transparentIndex) {
  // Files opened later in this view (none yet, or a reload) take the new palette too.
  FPalette = palette;
  FTransparentIndex = transparentIndex;
  if (!FDocument || !FFrontEnd) return;
  // Every frame decoded so far is converted again, or read again when the empty index
  // changed (its empty pixels hold the index they were decoded with); the drawn images go
  // with the bitmaps.
  FFrontEnd->SetPalette(palette, transparentIndex);
  FImages.Clear();
  RepaintImage();
  UpdatePixelStatus();
}

QString TQuvView::FileCaption(const QString& fileName) {
  const int cut = int(std::max(fileName.lastIndexOf('/'), fileName.lastIndexOf('\\')));
  if (cut < 0) return fileName;
  const QString folder = fileName.left(cut);
  return fileName.mid(cut + 1) + QStringLiteral(" \u2014 ") + (folder.isEmpty() ? "/" : folder);
}

TQuvView::TLoadWarningCollector::TLoadWarningCollector(QStringList& warnings)
    : FWarnings(warnings) {
  FWarnings.clear();
  if (!Console) return;
  FPrevious = Console->OnLog;
  Console->OnLog = [this](const std::string& text, uint8_t level) {
    if (level == LogLevel::Warning && IsLoadWarning(text))
      FWarnings << QString::fromStdString(text);
    if (FPrevious) FPrevious(text, level);
  };
  FInstalled = true;
}

TQuvView::TLoadWarningCollector::~TLoadWarningCollector() {
  if (FInstalled && Console) Console->OnLog = FPrevious;
}

void TQuvView::CreateWarningsBar() {
  WarningsBar = new QFrame(this);
  WarningsBar->setObjectName(QStringLiteral("WarningsBar"));
  WarningsBar->setFrameShape(QFrame::StyledPanel);
  WarningsBar->setAutoFillBackground(true);
  QPalette colours = WarningsBar->palette();
  colours.setColor(QPalette::Window, QColor(255, 243, 205));
  colours.setColor(QPalette::WindowText, QColor(90, 60, 0));
  WarningsBar->setPalette(colours);
  auto* layout = new QGridLayout(WarningsBar);
  layout->setContentsMargins(6, 2, 2, 2);
  WarningsSummary = new QLabel(WarningsBar);
  WarningsSummary->setTextFormat(Qt::RichText);
  WarningsDetails = new QLabel(WarningsBar);
  WarningsDetails->setWordWrap(true);
  WarningsDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
  WarningsDetails->hide();
  auto* close = new QToolButton(WarningsBar);
  close->setAutoRaise(true);
  close->setText(QStringLiteral("\u2715"));
  close->setToolTip(QStringLiteral("Dismiss"));
  layout->addWidget(WarningsSummary, 0, 0);
  layout->addWidget(close, 0, 1, Qt::AlignRight | Qt::AlignTop);
  layout->addWidget(WarningsDetails, 1, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  connect(close, &QToolButton::clicked, WarningsBar, &QWidget::hide);
  connect(WarningsSummary, &QLabel::linkActivated, this, [this] {
    WarningsDetails->setVisible(!WarningsDetails->isVisible());
    UpdateWarningsSummary();
  });
  if (auto* root = qobject_cast<QBoxLayout*>(this->layout())) root->insertWidget(0, WarningsBar);
  WarningsBar->hide();
}

void TQuvView::UpdateWarningsSummary() {
  const QString link =
      QStringLiteral("<a href=\"#\">%1</a>")
          .arg(WarningsDetails->isVisible() ? QStringLiteral("hide") : QStringLiteral("show"));
  QStringList parts;
  if (Collection && Collection->ImageCount == 0)
    parts << QStringLiteral("This file holds no images");
  const int frames = int(FrameErrors.size());
  if (frames == 1)
    parts << FrameErrors.front().toHtmlEscaped();
  else if (frames > 1)
    parts << QStringLiteral("%1 frames cannot be read \u2014 %2").arg(frames).arg(link);
  const int count = int(LoadWarnings.size());
  if (count > 0) {
    const QString what =
        count == 1 ? QStringLiteral("1 warning") : QStringLiteral("%1 warnings").arg(count);
    parts << QStringLiteral("%1 \u2014 %2").arg(what, link);
  }
  WarningsSummary->setText(parts.join(QStringLiteral(" \u00b7 ")));
}

void TQuvView::ShowLoadWarnings() {
  WarningsDetails->setText((FrameErrors + LoadWarnings).join('\n'));
  WarningsDetails->hide();
  UpdateWarningsSummary();
  WarningsBar->setVisible(!WarningsSummary->text().isEmpty());
}

// The rate the timer really runs at: a speed below its smallest interval runs at that.
void TQuvView::UpdateSpeedUnit() {
  if (!AnimationSpeedUnit) return;
  const int speed = std::max(AnimationSpeedSelector->value(), MinimumTimerInterval);
  AnimationSpeedUnit->setText(
      QStringLiteral("ms per frame (%1 fps)").arg(1000.0 / speed, 0, 'f', speed >= 1000 ? 2 : 1));
  AnimationSpeedUnit->setToolTip(
      QStringLiteral("%1 frames per second").arg(1000.0 / speed, 0, 'g', 4));
}

// ---- Zoom and scrolling ----

void TQuvView::UpdateImageCanvas() {
  int64_t width = 1, height = 1;
  if (CurrentImage && CurrentImage->Image) {
    // The frame headers are read with the file, so no frame needs decoding for this.
    const TImage& image = *CurrentImage->Image;
    const bool centred = FSettings->AutoCentre();
    for (const auto& frame : image.Frames) {
      if (!frame) continue;
      const int64_t w = std::max(0, frame->Width), h = std::max(0, frame->Height);
      width = std::max(width, centred ? w : int64_t(image.MaxXOffset) - frame->XOffset + w);
      height = std::max(height, centred ? h : int64_t(image.MaxYOffset) - frame->YOffset + h);
    }
  }
  FImageCanvas = QSize(int(std::min<int64_t>(width, MaxCanvasSide)),
                       int(std::min<int64_t>(height, MaxCanvasSide)));
  FContent = FImageCanvas;
  UpdateCanvasLayout();
}

int TQuvView::FitZoom() const {
  const QSize room = PaintScroll->maximumViewportSize();
  const qreal dpr = PaintBox->devicePixelRatioF();
  int best = ZoomSteps[0];
  for (int step : ZoomSteps) {
    const qreal side = PixelScale(step, dpr) / dpr;
    if (std::ceil(FImageCanvas.width() * side) <= room.width() &&
        std::ceil(FImageCanvas.height() * side) <= room.height())
      best = step;
  }
  return best;
}

void TQuvView::UpdateCanvasLayout() {
  if (FLayingOut) return;
  FLayingOut = true;
  const auto done = qScopeGuard([this] { FLayingOut = false; });
  if (FFit) FZoom = FitZoom();
  const qreal dpr = PaintBox->devicePixelRatioF();
  const qreal scale = PixelScale(FZoom, dpr);
  const QSize zoomed(int(std::ceil(FContent.width() * scale / dpr)),
                     int(std::ceil(FContent.height() * scale / dpr)));
  PaintBox->SetGeometry(scale, zoomed.expandedTo(PaintScroll->viewport()->size()));
  UpdateZoomLabels();
}

void TQuvView::UpdateZoomLabels() {
  ZoomValue->setText(FFit ? ZoomText(FZoom) + QStringLiteral(" (Fit)") : ZoomText(FZoom));
  ZoomStatus->setText(QStringLiteral("Zoom ") + ZoomValue->text());
}

void TQuvView::SetZoom(int step, std::optional<QPoint> anchor) {
  step = NormalizeZoom(step);
  FSettings->SetZoom(step);
  if (FFit) {
    FFit = false;
    acFit->setChecked(false);
    FSettings->SetToggle(tgFit, false);
  }
  ApplyZoom(step, anchor);
}

void TQuvView::StepZoom(int steps, std::optional<QPoint> anchor) {
  const auto* at = std::find(std::begin(ZoomSteps), std::end(ZoomSteps), FZoom);
  const int index =
      std::clamp(int(at - std::begin(ZoomSteps)) + steps, 0, int(std::size(ZoomSteps)) - 1);
  SetZoom(ZoomSteps[index], anchor);
}

void TQuvView::SetFit(bool on) {
  FFit = on;
  acFit->setChecked(on);
  FSettings->SetToggle(tgFit, on);
  ApplyZoom(on ? FitZoom() : FZoom, std::nullopt);
}

// The point under `anchor` (by default the middle of the room) stays where it is: the same pixel
// of the frame shown, wherever the new canvas places that frame.
void TQuvView::ApplyZoom(int step, std::optional<QPoint> anchor) {
  QWidget* viewport = PaintScroll->viewport();
  const QPoint at = anchor.value_or(viewport->rect().center());
  const qreal dpr = PaintBox->devicePixelRatioF();
  const QPointF canvasAt = QPointF(PaintBox->mapFromParent(at)) * dpr / PaintBox->Scale();
  const bool framed = ImageReady && DisplayedFrame && DisplayedFrame->Frame;
  const QPoint placedBefore = framed ? FramePlacement(DisplayedFrame) : QPoint();
  FZoom = step;
  UpdateCanvasLayout();
  const QPoint placedAfter = framed ? FramePlacement(DisplayedFrame) : QPoint();
  const QPointF widgetAt = PaintBox->WidgetPoint(canvasAt + QPointF(placedAfter - placedBefore));
  PaintScroll->horizontalScrollBar()->setValue(int(std::lround(widgetAt.x() - at.x())));
  PaintScroll->verticalScrollBar()->setValue(int(std::lround(widgetAt.y() - at.y())));
  UpdatePixelStatus();
}

// ---- Playback keys ----

void TQuvView::SetPlaying(bool on) {
  FPlaying = on;
  UpdatePlayControls();
}

void TQuvView::TogglePlaying() {
  if (Playing()) {
    SetPlaying(false);
    return;
  }
  SetPlaying(true);
  // Stopped by the global setting: the user's play starts it again, as its command would.
  if (!FSettings->Animated()) FSettings->SetToggle(tgAnimated, true);
}

void TQuvView::StepFrame(int delta) {
  if (!ImageReady || !CurrentImage) return;
  SetPlaying(false);
  if (SubFrameMode && CurrentFrameObject && CurrentFrameObject->SubFrameCount > 0) {
    const int count = CurrentFrameObject->SubFrameCount;
    ShowFrame(((CurrentFrameObject->CurrentSubFrame + delta) % count + count) % count);
    return;
  }
  const int count = std::max(1, CurrentImage->FrameCount);
  ShowFrame(((CurrentImage->CurrentFrame + delta) % count + count) % count);
}

void TQuvView::ShowEndFrame(bool last) {
  if (!ImageReady || !CurrentImage) return;
  SetPlaying(false);
  const int index = last ? std::max(0, CurrentImage->FrameCount - 1) : 0;
  // Through the frame track bar, which also picks the frame's sub-frames when they are viewed.
  if (SubFrameMode && FrameTrackBar->value() != index + 1)
    FrameTrackBar->setValue(index + 1);
  else if (SubFrameMode)
    ShowFrame(0);
  else
    ShowFrame(index);
}

void TQuvView::SelectNeighbour(int delta) {
  // Among the rows the filter leaves.
  QTreeWidgetItem* at = QuvImageList->currentItem();
  if (at && at->isHidden()) at = nullptr;
  QTreeWidgetItem* next = nullptr;
  if (at)
    next = delta < 0 ? QuvImageList->itemAbove(at) : QuvImageList->itemBelow(at);
  else
    for (int i = 0; i < QuvImageList->topLevelItemCount() && !next; ++i)
      if (!QuvImageList->topLevelItem(i)->isHidden()) next = QuvImageList->topLevelItem(i);
  if (!next) next = at;  // at an end of the list
  if (!next || (next == at && SelectedRowCount() == 1)) return;
  // As a click on the row: it alone is selected, and the selection handler shows it.
  QuvImageList->setCurrentItem(next);
}

// Rows the filter hides leave the selection, so that the exports of the selection take what
// the list shows.
void TQuvView::FilterImages(const QString& text) {
  QList<QTreeWidgetItem*> leaving;
  for (int i = 0; i < QuvImageList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = QuvImageList->topLevelItem(i);
    const bool hide = !row->text(0).contains(text, Qt::CaseInsensitive);
    row->setHidden(hide);
    if (hide && row->isSelected()) leaving << row;
  }
  for (QTreeWidgetItem* row : leaving) row->setSelected(false);
}

// ---- Pixel inspector ----

QString TQuvView::PixelInfo(const QPoint& pixel) {
  if (!ImageReady || !DisplayedFrame || !DisplayedFrame->Frame || IsDamaged(DisplayedFrame))
    return QString();
  const TImageFrame& frame = *DisplayedFrame->Frame;
  const QPoint at = pixel - FramePlacement(DisplayedFrame);
  if (at.x() < 0 || at.y() < 0 || at.x() >= frame.Width || at.y() >= frame.Height) return QString();
  DisplayedFrame->GetBitmap();  // decodes rows the collection released, as showing it does
  const uint8_t index = FrameIndexAt(*DisplayedFrame, at.x(), at.y());
  QString colour = QStringLiteral("transparent");
  if (index != FDocument->Manager->TransparentIndex) {
    const TPaletteEntry& entry = FDocument->Manager->Palette[index];
    colour = QColor(entry[0], entry[1], entry[2]).name(QColor::HexRgb).toUpper();
  }
  return QStringLiteral("Pixel %1, %2 (hot spot %3, %4): index %5, %6")
      .arg(at.x())
      .arg(at.y())
      .arg(at.x() - frame.XOffset)
      .arg(at.y() - frame.YOffset)
      .arg(index)
      .arg(colour);
}

void TQuvView::UpdatePixelStatus() {
  PixelStatus->setText(FPointer ? PixelInfo(*FPointer) : QString());
}

// ---- Canvas input ----

bool TQuvView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PaintScroll->viewport()) {
    if (event->type() == QEvent::Resize) UpdateCanvasLayout();
    return false;
  }
  if (watched != PaintBox) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return CanvasKeyEvent(static_cast<QKeyEvent*>(event));
    case QEvent::Wheel: {
      auto* wheel = static_cast<QWheelEvent*>(event);
      if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
      FWheelRest += wheel->angleDelta().y();
      const int steps = FWheelRest / WheelStep;
      FWheelRest -= steps * WheelStep;
      if (steps != 0) StepZoom(steps, PaintBox->mapToParent(wheel->position().toPoint()));
      return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::Leave:
      return CanvasMouseEvent(event);
    default:
      return false;
  }
}

// Space tapped plays or pauses; held, it turns a left-button drag into panning.
bool TQuvView::CanvasKeyEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space || event->modifiers() != Qt::NoModifier) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();  // the view's Space key waits: a tap or a hold decides
    return true;
  }
  if (event->isAutoRepeat()) return true;
  if (event->type() == QEvent::KeyPress) {
    FSpaceHeld = true;
    FSpacePanned = false;
  } else {
    if (FSpaceHeld && !FSpacePanned) TogglePlaying();
    FSpaceHeld = false;
  }
  return true;
}

bool TQuvView::CanvasMouseEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) {
    FPointer.reset();
    UpdatePixelStatus();
    return false;
  }
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint global = mouse->globalPosition().toPoint();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (mouse->button() == Qt::MiddleButton ||
          (mouse->button() == Qt::LeftButton && FSpaceHeld)) {
        FPanFrom = global;
        PaintBox->setCursor(Qt::ClosedHandCursor);
        return true;
      }
      return false;
    case QEvent::MouseMove:
      if (FPanFrom) {
        const QPoint delta = global - *FPanFrom;
        FPanFrom = global;
        FSpacePanned = FSpaceHeld;
        QScrollBar* horizontal = PaintScroll->horizontalScrollBar();
        QScrollBar* vertical = PaintScroll->verticalScrollBar();
        horizontal->setValue(horizontal->value() - delta.x());
        vertical->setValue(vertical->value() - delta.y());
        return true;
      }
      FPointer = PaintBox->CanvasPixelAt(mouse->position());
      UpdatePixelStatus();
      return false;
    case QEvent::MouseButtonRelease:
      if (FPanFrom && (mouse->button() == Qt::MiddleButton || mouse->button() == Qt::LeftButton)) {
        FPanFrom.reset();
        PaintBox->unsetCursor();
        return true;
      }
      return false;
    default:
      return false;
  }
}
