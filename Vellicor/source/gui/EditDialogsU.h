#pragma once
// The questions the edit commands of a view ask: how far to shift hot spots and of which frames,
// and an image's name. Every view's animation stands still while one is up.
#include <QDialog>
#include <QString>

class QRadioButton;
class QSpinBox;

// "Shift Offsets": DX and DY, for the selected frames or for the whole image.
class TShiftOffsetsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TShiftOffsetsDialog(QWidget* parent = nullptr);
  int DX() const;
  int DY() const;
  bool WholeImage() const;

 private:
  QSpinBox* FDX;
  QSpinBox* FDY;
  QRadioButton* FSelected;
  QRadioButton* FWhole;
};

// True and the answer after OK.
bool AskShiftOffsets(QWidget* parent, int& dx, int& dy, bool& wholeImage);
// A one-line text box titled `title`, `name` proposed; true and the name typed after OK.
bool AskImageName(QWidget* parent, const QString& title, QString& name);
