#include "ExportOptionListsU.h"

QStringList BitDepthItems() {
  return {QStringLiteral("1 Bit"),  QStringLiteral("4 Bit"),  QStringLiteral("8 Bit"),
          QStringLiteral("15 bit"), QStringLiteral("16 bit"), QStringLiteral("24 bit"),
          QStringLiteral("32 Bit")};
}

QStringList FrameDataTypeItems() {
  return {QStringLiteral("Offsets"), QStringLiteral("Offsets + size data"),
          QStringLiteral("Offsets + size data + image filename")};
}

QStringList ExportFormatItems() {
  return {QStringLiteral("BMP"),          QStringLiteral("PNG"),
          QStringLiteral("Indexed PNG"),  QStringLiteral("Animated GIF"),
          QStringLiteral("Animated PNG"), QStringLiteral("Sprite sheet")};
}
