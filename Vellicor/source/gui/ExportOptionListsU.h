#pragma once
// The drop-down items that the export dialogs and the settings dialog offer; a list position is
// the setting's value (bit depths through their list-position mapping).
#include <QStringList>

QStringList BitDepthItems();       // "1 Bit" ... "32 Bit"
QStringList FrameDataTypeItems();  // "Offsets" ... "Offsets + size data + image filename"
QStringList ExportFormatItems();   // "BMP" ... "Sprite sheet", in TExportFormat order
