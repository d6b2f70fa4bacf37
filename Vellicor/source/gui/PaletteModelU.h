#pragma once
// The palette every view draws with and the index of its empty pixels, held in one place: what
// the program started with ("palette.pal" or the built-in table), or the palette file the
// settings name, with the index the user chose. Views take both when they are made and follow
// paletteChanged afterwards.
#include <QObject>
#include <QString>
#include <cstdint>

#include "ImageManagerU.h"

class TSettingsModel;

class TPaletteModel : public QObject {
  Q_OBJECT
 public:
  // `startPalette` and `startIndex`: what "Use Built-in Palette" goes back to.
  TPaletteModel(TSettingsModel* settings, const TPalette& startPalette, uint8_t startIndex,
                QObject* parent = nullptr);

  const TPalette& Palette() const { return FPalette; }
  uint8_t TransparentIndex() const { return FTransparentIndex; }

  // The stored palette file, read once the settings are: one that no longer reads leaves the
  // palette the program started with, with a warning in the log.
  void ApplyStoredPalette();
  // A palette read already (the file in use read again, perhaps with new colours).
  void Apply(const TPalette& palette, uint8_t transparentIndex);

 signals:
  // Views decode again when the index changed and draw again in any case.
  void paletteChanged(const TPalette& palette, uint8_t transparentIndex);

 private:
  void ApplyFile(const QString& fileName);
  // The index the user chose, or paletteIndex (the palette's own) when there is no choice.
  uint8_t ChosenTransparentIndex(uint8_t paletteIndex) const;

  TSettingsModel* FSettings;
  TPalette FStartPalette;
  uint8_t FStartTransparentIndex;
  uint8_t FPaletteIndex;  // the own transparent index of the palette in use
  TPalette FPalette;
  uint8_t FTransparentIndex;
};
