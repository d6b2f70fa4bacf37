#include "TransparentIndexDialogU.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "AnimationPauseU.h"

TTransparentIndexDialog::TTransparentIndexDialog(const QString& text, const TPalette& palette,
                                                 int index, QWidget* parent)
    : QDialog(parent), FPalette(palette) {
  setObjectName(QStringLiteral("TransparentIndexDialog"));
  setWindowTitle(QStringLiteral("Transparent Index"));
  auto* intro = new QLabel(text, this);
  intro->setWordWrap(true);
  IndexEdit = new QSpinBox(this);
  IndexEdit->setRange(0, 255);
  IndexEdit->setValue(index);
  IndexEdit->setToolTip(QStringLiteral("Pixels of this palette index are drawn as empty"));
  Swatch = new QLabel(this);
  Swatch->setMinimumWidth(120);
  auto* row = new QHBoxLayout;
  row->addWidget(IndexEdit);
  row->addWidget(Swatch, 1);
  auto* label = new QLabel(QStringLiteral("&Empty pixels are index:"), this);
  label->setBuddy(IndexEdit);
  auto* form = new QFormLayout;
  form->addRow(label, row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  // Enter takes the proposal: OK is the default, also while the number has the focus.
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(IndexEdit, &QSpinBox::valueChanged, this, [this](int value) { ShowColour(value); });
  ShowColour(index);
  IndexEdit->selectAll();
  IndexEdit->setFocus();
}

int TTransparentIndexDialog::Index() const {
  return IndexEdit->value();
}

void TTransparentIndexDialog::ShowColour(int index) {
  const TPaletteEntry& entry = FPalette[size_t(std::clamp(index, 0, 255))];
  const QColor colour(entry[0], entry[1], entry[2]);
  const QString name = colour.name(QColor::HexRgb).toUpper();
  // Black text on light colours, white on dark ones.
  const QString ink = colour.lightness() > 127 ? QStringLiteral("black") : QStringLiteral("white");
  Swatch->setText(name);
  Swatch->setAlignment(Qt::AlignCenter);
  Swatch->setStyleSheet(
      QStringLiteral("background-color: %1; color: %2; border: 1px solid gray;").arg(name, ink));
}

bool AskTransparentIndex(QWidget* parent, const QString& text, const TPalette& palette,
                         int& index) {
  const TAnimationPause pause;
  TTransparentIndexDialog dialog(text, palette, index, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  index = dialog.Index();
  return true;
}
