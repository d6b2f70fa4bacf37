#pragma once
// The palette commands of the Settings menu (Load Palette…, Use Built-in Palette, Transparent
// Index…) and the status bar's index button, which always shows the index of empty pixels in
// force so that what is drawn as empty is never a guess.
#include <QObject>
#include <QString>

class QAction;
class QMainWindow;
class QToolButton;
class TPaletteModel;
class TSettingsModel;

class TPaletteCommands : public QObject {
  Q_OBJECT
 public:
  TPaletteCommands(QMainWindow* window, TSettingsModel* settings, TPaletteModel* palettes,
                   QAction* loadPalette, QAction* builtInPalette, QAction* transparentIndex);

  QToolButton* TransparentIndexButton = nullptr;

  void LoadPalette();
  void UseBuiltInPalette();
  // Asks the index of empty pixels for the palette in use.
  void ChooseTransparentIndex();

 private:
  void ShowIndex(int index);
  // What a palette command did, in the status bar.
  void Report(const QString& text);

  QMainWindow* FWindow;
  TSettingsModel* FSettings;
  TPaletteModel* FPalettes;
};
