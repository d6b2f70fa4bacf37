#include "FrameInfoPanelU.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "ImageLoaderU.h"
#include "PopupMenuU.h"
#include "SettingsModelU.h"

TFrameInfoPanel::TFrameInfoPanel(TSettingsModel* settings, QWidget* parent)
    : QWidget(parent), FSettings(settings) {
  FAnimate = MakeToggleAction(FSettings, tgAnimated, this);
  FViewSubFrames = MakeToggleAction(FSettings, tgViewSubFrames, this);
  FAutoCentre = MakeToggleAction(FSettings, tgAutoCentre, this);
  FTransparent = MakeToggleAction(FSettings, tgTransparent, this);
  FPreLoad = MakeToggleAction(FSettings, tgPreLoad, this);
  // As high as its contents, so the drawing area keeps the rest.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  setContextMenuPolicy(Qt::CustomContextMenu);
  auto* attributesLayout = new QHBoxLayout(this);
  attributesLayout->setContentsMargins(4, 4, 4, 4);
  attributesLayout->addWidget(CreateAttributesGrid(), 1);
  attributesLayout->addWidget(CreateAnimationPanel());
  CreatePopupMenu();
}

QList<QAction*> TFrameInfoPanel::ToggleActions() const {
  return {FAnimate, FViewSubFrames, FAutoCentre, FTransparent, FPreLoad};
}

QCheckBox* TFrameInfoPanel::BoundCheckBox(QAction* action, QWidget* parent) {
  auto* box = new QCheckBox(parent);
  auto mirror = [box, action] {
    box->setText(action->text().remove(QLatin1Char('&')));
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

QWidget* TFrameInfoPanel::CreateAttributesGrid() {
  FAttributes = new QWidget(this);
  // The captions and values never shrink below their text; the animation panel gives way first.
  FAttributes->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
  FAttributes->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* grid = new QGridLayout(FAttributes);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(1);
  auto value = [this] { return new QLabel(QStringLiteral("-1"), FAttributes); };
  auto addPair = [&](int row, int column, const char* caption, QLabel* valueLabel) {
    auto* captionLabel = new QLabel(QString::fromUtf8(caption), FAttributes);
    grid->addWidget(captionLabel, row, column);
    grid->addWidget(valueLabel, row, column + 1);
    return captionLabel;
  };
  FFrameCount = value();
  FCurrentFrame = value();
  FSubFrameCount = value();
  FCurrentSubFrame = value();
  FImageWidth = value();
  FImageHeight = value();
  FXOffSet = CreateOffsetBox(Qt::Horizontal);
  FYOffSet = CreateOffsetBox(Qt::Vertical);
  addPair(0, 0, "Frame count", FFrameCount);
  addPair(1, 0, "Current Frame", FCurrentFrame);
  addPair(2, 0, "Subframe Count", FSubFrameCount);
  FCurrentSubFrameLabel = addPair(3, 0, "Current Subframe", FCurrentSubFrame);
  addPair(0, 2, "Width", FImageWidth);
  addPair(1, 2, "Height", FImageHeight);
  grid->addWidget(new QLabel(QStringLiteral("XOffset"), FAttributes), 2, 2);
  grid->addWidget(FXOffSet, 2, 3, Qt::AlignLeft);
  grid->addWidget(new QLabel(QStringLiteral("YOffset"), FAttributes), 3, 2);
  grid->addWidget(FYOffSet, 3, 3, Qt::AlignLeft);
  FCurrentSubFrameLabel->hide();
  FCurrentSubFrame->hide();
  FTransparentCheck = BoundCheckBox(FTransparent, FAttributes);
  FAnimateCheck = BoundCheckBox(FAnimate, FAttributes);
  FViewSubFramesCheck = BoundCheckBox(FViewSubFrames, FAttributes);
  FAutoCentreCheck = BoundCheckBox(FAutoCentre, FAttributes);
  grid->addWidget(FTransparentCheck, 4, 0, 1, 2);
  grid->addWidget(FAnimateCheck, 4, 2, 1, 2);
  grid->addWidget(FViewSubFramesCheck, 5, 0, 1, 2);
  grid->addWidget(FAutoCentreCheck, 5, 2, 1, 2);
  FZoomValue = value();
  FFramePosition = new QLabel(FAttributes);
  addPair(0, 4, "Zoom", FZoomValue);
  grid->addWidget(FFramePosition, 1, 4, 1, 2);
  grid->setRowStretch(6, 1);
  return FAttributes;
}

// Enter, the box's arrows or leaving the box make the new offset; typing alone does not.
QSpinBox* TFrameInfoPanel::CreateOffsetBox(Qt::Orientation which) {
  auto* box = new QSpinBox(FAttributes);
  // What a file can hold.
  box->setRange(std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
  box->setValue(-1);
  box->setKeyboardTracking(false);
  box->setAccelerated(true);
  box->setToolTip(which == Qt::Horizontal
                      ? QStringLiteral("The hot spot's distance from the frame's left edge")
                      : QStringLiteral("The hot spot's distance from the frame's top edge"));
  box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-000000")) + 32);
  connect(box, &QSpinBox::valueChanged, this,
          [this, which](int value) { emit offsetEdited(which, value); });
  return box;
}

// Long: the panel's controls and play buttons, laid out top to bottom.
QWidget* TFrameInfoPanel::CreateAnimationPanel() {
  FAnimationPanel = new QWidget(this);
  FAnimationPanel->setMinimumWidth(120);
  FAnimationPanel->setMaximumWidth(268);
  FAnimationPanel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  FAnimationPanel->setContextMenuPolicy(Qt::CustomContextMenu);
  auto* animationLayout = new QVBoxLayout(FAnimationPanel);
  animationLayout->setContentsMargins(0, 0, 0, 0);
  auto makeTrackBar = [this] {
    auto* bar = new QSlider(Qt::Horizontal, FAnimationPanel);
    bar->setMinimum(1);
    bar->setMaximum(1);
    bar->setPageStep(1);
    bar->setSingleStep(1);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(1);
    bar->setContextMenuPolicy(Qt::CustomContextMenu);
    return bar;
  };
  FFrameTrackBar = makeTrackBar();
  FSubFrameTrackBar = makeTrackBar();
  FSubFrameTrackBar->hide();
  // The playback buttons lead the frame slider's row.
  auto* frameRow = new QHBoxLayout;
  frameRow->setSpacing(2);
  frameRow->addWidget(CreatePlayControls(FAnimationPanel));
  frameRow->addWidget(FFrameTrackBar, 1);
  animationLayout->addLayout(frameRow);
  animationLayout->addWidget(FSubFrameTrackBar);
  // The frame sliders above, the speed below, set apart by a line.
  auto* line = new QFrame(FAnimationPanel);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  animationLayout->addWidget(line);
  auto* speedCaption = new QHBoxLayout;
  speedCaption->addWidget(new QLabel(QStringLiteral("Animation Speed"), FAnimationPanel));
  speedCaption->addStretch(1);
  FPlayState = new QLabel(FAnimationPanel);
  speedCaption->addWidget(FPlayState);
  animationLayout->addLayout(speedCaption);
  FAnimationSpeedSelector = new QSpinBox(FAnimationPanel);
  // No limits: the change handler decides what text counts.
  FAnimationSpeedSelector->setRange(std::numeric_limits<int>::min(),
                                    std::numeric_limits<int>::max());
  FAnimationSpeedSelector->setValue(FSettings->AnimationSpeed());
  FAnimationSpeedSelector->setToolTip(QStringLiteral("Allows the animation speed to be changed"));
  // Wide enough for any speed one would type, no wider.
  FAnimationSpeedSelector->setMaximumWidth(
      FAnimationSpeedSelector->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 32);
  animationLayout->addWidget(FAnimationSpeedSelector);
  // The speed's unit and the rate it gives, under the number, on one line: the panel's height
  // is that of the attributes beside it, so a wrapped second line was cut off.
  FAnimationSpeedUnit = new QLabel(FAnimationPanel);
  animationLayout->addWidget(FAnimationSpeedUnit);
  animationLayout->addStretch(1);
  connect(FFrameTrackBar, &QSlider::valueChanged, this, &TFrameInfoPanel::frameTrackMoved);
  connect(FSubFrameTrackBar, &QSlider::valueChanged, this, &TFrameInfoPanel::subFrameTrackMoved);
  connect(FAnimationSpeedSelector, &QSpinBox::textChanged, this, &TFrameInfoPanel::speedEdited);
  connect(FAnimationSpeedSelector, &QSpinBox::valueChanged, this,
          &TFrameInfoPanel::UpdateSpeedUnit);
  // A finished entry below the timer's smallest interval becomes that interval.
  connect(FAnimationSpeedSelector, &QSpinBox::editingFinished, this, [this] {
    const int speed = FAnimationSpeedSelector->value();
    if (speed >= 0 && speed < MinimumTimerInterval)
      FAnimationSpeedSelector->setValue(MinimumTimerInterval);
  });
  UpdateSpeedUnit();
  return FAnimationPanel;
}

// Step back, play or pause, step on: the playback keys as buttons.
QWidget* TFrameInfoPanel::CreatePlayControls(QWidget* parent) {
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
  FStepBackButton = button(QStyle::SP_MediaSeekBackward, QStringLiteral("Previous frame (Left)"));
  FPlayButton = button(QStyle::SP_MediaPause, QString());
  FStepOnButton = button(QStyle::SP_MediaSeekForward, QStringLiteral("Next frame (Right)"));
  connect(FStepBackButton, &QToolButton::clicked, this, [this] { emit stepPressed(-1); });
  connect(FStepOnButton, &QToolButton::clicked, this, [this] { emit stepPressed(1); });
  connect(FPlayButton, &QToolButton::clicked, this, &TFrameInfoPanel::playPressed);
  return row;
}

void TFrameInfoPanel::CreatePopupMenu() {
  FPopupMenu = new QMenu(this);
  FPopupMenu->addActions(ToggleActions());
  for (QWidget* widget :
       {static_cast<QWidget*>(this), FAttributes, FAnimationPanel,
        static_cast<QWidget*>(FFrameTrackBar), static_cast<QWidget*>(FSubFrameTrackBar)})
    connect(widget, &QWidget::customContextMenuRequested, this,
            [this, widget](const QPoint& pos) { ShowPopupMenu(FPopupMenu, widget, pos); });
}

void TFrameInfoPanel::ShowPlaying(bool playing) {
  FPlayButton->setIcon(
      style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
  FPlayButton->setToolTip(playing ? QStringLiteral("Pause (Space)")
                                  : QStringLiteral("Play (Space)"));
  FPlayState->setText(playing ? QString() : QStringLiteral("Paused"));
}

void TFrameInfoPanel::ShowFrameSize(const TFrontEndImageFrame* frame) {
  if (!frame || !frame->Frame) return;
  FImageWidth->setText(QString::number(frame->Frame->Width));
  FImageHeight->setText(QString::number(frame->Frame->Height));
  // A sub-frame moves with its frame: its offsets are not the user's to set.
  const bool editable = !frame->Frame->ParentFrame;
  for (auto [box, offset] :
       {std::pair{FXOffSet, frame->Frame->XOffset}, std::pair{FYOffSet, frame->Frame->YOffset}}) {
    const QSignalBlocker blocker(box);
    box->setValue(offset);
    box->setReadOnly(!editable);
    box->setButtonSymbols(editable ? QAbstractSpinBox::UpDownArrows : QAbstractSpinBox::NoButtons);
  }
}

void TFrameInfoPanel::ShowSubFrameControls(bool on) {
  FSubFrameTrackBar->setVisible(on);
  FCurrentSubFrameLabel->setVisible(on);
  FCurrentSubFrame->setVisible(on);
}

// The rate the timer really runs at: a speed below its smallest interval runs at that.
void TFrameInfoPanel::UpdateSpeedUnit() {
  const int speed = std::max(FAnimationSpeedSelector->value(), MinimumTimerInterval);
  FAnimationSpeedUnit->setText(
      QStringLiteral("ms per frame (%1 fps)").arg(1000.0 / speed, 0, 'f', speed >= 1000 ? 2 : 1));
  FAnimationSpeedUnit->setToolTip(
      QStringLiteral("%1 frames per second").arg(1000.0 / speed, 0, 'g', 4));
}
