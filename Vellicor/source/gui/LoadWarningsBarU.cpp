#include "LoadWarningsBarU.h"

#include <QGridLayout>
#include <QLabel>
#include <QToolButton>

#include "ConsoleU.h"
#include "LoadMessagesU.h"

TLoadWarningsBar::TLoadWarningsBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("WarningsBar"));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, QColor(255, 243, 205));
  colours.setColor(QPalette::WindowText, QColor(90, 60, 0));
  setPalette(colours);
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(6, 2, 2, 2);
  FSummary = new QLabel(this);
  FSummary->setTextFormat(Qt::RichText);
  FDetails = new QLabel(this);
  FDetails->setWordWrap(true);
  FDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
  FDetails->hide();
  auto* close = new QToolButton(this);
  close->setAutoRaise(true);
  close->setText(QStringLiteral("\u2715"));
  close->setToolTip(QStringLiteral("Dismiss"));
  layout->addWidget(FSummary, 0, 0);
  layout->addWidget(close, 0, 1, Qt::AlignRight | Qt::AlignTop);
  layout->addWidget(FDetails, 1, 0, 1, 2);
  layout->setColumnStretch(0, 1);
  connect(close, &QToolButton::clicked, this, &QWidget::hide);
  connect(FSummary, &QLabel::linkActivated, this, [this] {
    FDetails->setVisible(!FDetails->isVisible());
    UpdateSummary();
  });
  hide();
}

void TLoadWarningsBar::ShowLoadWarnings(const QStringList& warnings, bool noImages) {
  FLoadWarnings = warnings;
  FNoImages = noImages;
  FDetails->setText((FFrameErrors + FLoadWarnings).join('\n'));
  FDetails->hide();
  UpdateSummary();
  setVisible(!FSummary->text().isEmpty());
}

void TLoadWarningsBar::AddFrameError(const QString& sentence) {
  FFrameErrors << sentence;
  FDetails->setText((FFrameErrors + FLoadWarnings).join('\n'));
  UpdateSummary();
  show();
}

void TLoadWarningsBar::UpdateSummary() {
  const QString link =
      QStringLiteral("<a href=\"#\">%1</a>")
          .arg(FDetails->isVisible() ? QStringLiteral("hide") : QStringLiteral("show"));
  QStringList parts;
  if (FNoImages) parts << QStringLiteral("This file holds no images");
  const int frames = int(FFrameErrors.size());
  if (frames == 1)
    parts << FFrameErrors.front().toHtmlEscaped();
  else if (frames > 1)
    parts << QStringLiteral("%1 frames cannot be read \u2014 %2").arg(frames).arg(link);
  const int count = int(FLoadWarnings.size());
  if (count > 0) {
    const QString what =
        count == 1 ? QStringLiteral("1 warning") : QStringLiteral("%1 warnings").arg(count);
    parts << QStringLiteral("%1 \u2014 %2").arg(what, link);
  }
  FSummary->setText(parts.join(QStringLiteral(" \u00b7 ")));
}

TLoadWarningCollector::TLoadWarningCollector(QStringList& warnings) : FWarnings(warnings) {
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

TLoadWarningCollector::~TLoadWarningCollector() {
  if (FInstalled && Console) Console->OnLog = FPrevious;
}
