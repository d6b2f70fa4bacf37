#include "EditDialogsU.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "AnimationPauseU.h"

namespace {
// A shift may cross the whole range of an offset; the edit refuses one that leaves it.
constexpr int MaxShift = 65535;
}  // namespace

TShiftOffsetsDialog::TShiftOffsetsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Shift Offsets"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  FDX = new QSpinBox(this);
  FDY = new QSpinBox(this);
  for (QSpinBox* box : {FDX, FDY}) box->setRange(-MaxShift, MaxShift);
  form->addRow(QStringLiteral("D&X:"), FDX);
  form->addRow(QStringLiteral("D&Y:"), FDY);
  layout->addLayout(form);
  FSelected = new QRadioButton(QStringLiteral("&Selected frames"), this);
  FWhole = new QRadioButton(QStringLiteral("&Whole image"), this);
  FSelected->setChecked(true);
  layout->addWidget(FSelected);
  layout->addWidget(FWhole);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  FDX->setFocus();
}

int TShiftOffsetsDialog::DX() const {
  return FDX->value();
}

int TShiftOffsetsDialog::DY() const {
  return FDY->value();
}

bool TShiftOffsetsDialog::WholeImage() const {
  return FWhole->isChecked();
}

bool AskShiftOffsets(QWidget* parent, int& dx, int& dy, bool& wholeImage) {
  const TAnimationPause pause;
  TShiftOffsetsDialog dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  dx = dialog.DX();
  dy = dialog.DY();
  wholeImage = dialog.WholeImage();
  return true;
}

bool AskImageName(QWidget* parent, const QString& title, QString& name) {
  const TAnimationPause pause;
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(QStringLiteral("Image name:"));
  dialog.setTextValue(name);
  if (dialog.exec() != QDialog::Accepted) return false;
  name = dialog.textValue();
  return true;
}
