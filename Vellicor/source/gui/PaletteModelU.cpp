#include "PaletteModelU.h"

#include "ConsoleU.h"
#include "ImageLoaderU.h"
#include "PaletteFileU.h"
#include "QtStringU.h"
#include "SettingsModelU.h"
#include "StringUtilsU.h"

TPaletteModel::TPaletteModel(TSettingsModel* settings, const TPalette& startPalette,
                             uint8_t startIndex, QObject* parent)
    : QObject(parent),
      FSettings(settings),
      FStartPalette(startPalette),
      FStartTransparentIndex(startIndex),
      FPaletteIndex(startIndex),
      FPalette(startPalette),
      FTransparentIndex(startIndex) {
  connect(FSettings, &TSettingsModel::paletteChanged, this, &TPaletteModel::ApplyFile);
  // The palette stays; its frames are decoded again with the new index.
  connect(FSettings, &TSettingsModel::transparentIndexChanged, this,
          [this] { Apply(FPalette, ChosenTransparentIndex(FPaletteIndex)); });
}

void TPaletteModel::ApplyStoredPalette() {
  ApplyFile(FSettings->PaletteFile());
}

uint8_t TPaletteModel::ChosenTransparentIndex(uint8_t paletteIndex) const {
  const int chosen = FSettings->TransparentIndex();
  return chosen >= 0 ? uint8_t(chosen) : paletteIndex;
}

void TPaletteModel::ApplyFile(const QString& fileName) {
  if (fileName.isEmpty()) {
    FPaletteIndex = FStartTransparentIndex;
    Apply(FStartPalette, ChosenTransparentIndex(FPaletteIndex));
    return;
  }
  try {
    // A palette file names its colour 0 as the empty one, as "palette.pal" does.
    const TPalette palette = ReadPaletteFile(ToStd(fileName));
    FPaletteIndex = PaletteFileTransparentIndex;
    Apply(palette, ChosenTransparentIndex(FPaletteIndex));
  } catch (const std::exception& error) {
    ConsoleLog(LogLevel::Warning, Format("%s The start palette is used instead.", error.what()));
    FPaletteIndex = FStartTransparentIndex;
    Apply(FStartPalette, FStartTransparentIndex);
  }
}

void TPaletteModel::Apply(const TPalette& palette, uint8_t transparentIndex) {
  FPalette = palette;
  FTransparentIndex = transparentIndex;
  emit paletteChanged(FPalette, FTransparentIndex);
}
