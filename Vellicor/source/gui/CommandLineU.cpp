#include "CommandLineU.h"

namespace {

const char* const KSample = "sample";
const char* const KSelect = "select";
const char* const KSettings = "settings";
const char* const KTile = "tile";
const char* const KGame = "game";

}  // namespace

void AddViewerOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Viewer for Quv sprite files and HPI archives. A file may lie inside an "
                     "archive: data/units.hpi/anims/tank.quv."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOptions({
      {QString::fromLatin1(KSample),
       QStringLiteral("Open the bundled samples when no file is given (as does a non-empty "
                      "VELLICOR_SAMPLE).")},
      {QString::fromLatin1(KSettings), QStringLiteral("Keep the settings in FILE."),
       QStringLiteral("FILE")},
      {QString::fromLatin1(KSelect), QStringLiteral("Show the image NAME in the last window."),
       QStringLiteral("NAME")},
      {QString::fromLatin1(KTile), QStringLiteral("Tile the windows once they are open.")},
      {QString::fromLatin1(KGame),
       QStringLiteral("Open the folder DIR as the game sees it: its sub-folders and archives "
                      "merged into one tree."),
       QStringLiteral("DIR")},
  });
  parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Quv files to open."),
                               QStringLiteral("[files...]"));
}

TCommandLine ReadCommandLine(const QCommandLineParser& parser) {
  TCommandLine line;
  line.Files = parser.positionalArguments();
  line.Select = parser.value(QString::fromLatin1(KSelect));
  line.Settings = parser.value(QString::fromLatin1(KSettings));
  line.Sample = parser.isSet(QString::fromLatin1(KSample));
  line.Tile = parser.isSet(QString::fromLatin1(KTile));
  line.GameFolders = parser.values(QString::fromLatin1(KGame));
  return line;
}
