#pragma once
// "Transparent Index": which palette index means an empty pixel. Load Palette asks it for the
// file just read, and the main window's status bar for the palette in use; the colour of the
// chosen entry shows beside the number, so a palette's own empty colour can be found by eye.
#include <QDialog>

#include "ImageManagerU.h"

class QLabel;
class QSpinBox;

class TTransparentIndexDialog : public QDialog {
  Q_OBJECT
 public:
  // text says what is asked about (the palette file, or the palette in use).
  TTransparentIndexDialog(const QString& text, const TPalette& palette, int index,
                          QWidget* parent = nullptr);
  int Index() const;

  QSpinBox* IndexEdit;
  QLabel* Swatch;

 private:
  void ShowColour(int index);
  TPalette FPalette;
};

// Shows the dialog with index proposed; true and the choice in index after OK.
bool AskTransparentIndex(QWidget* parent, const QString& text, const TPalette& palette, int& index);
