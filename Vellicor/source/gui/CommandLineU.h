#pragma once
// The viewer's command line: its options, read with Qt's parser so that --help and --version
// behave as on every other desktop program.
#include <QCommandLineParser>
#include <QStringList>

struct TCommandLine {
  QStringList Files;
  QString Select;           // --select=NAME: the image to show in the last opened window
  QString Settings;         // --settings=FILE: another settings file
  QStringList GameFolders;  // --game=DIR (may repeat): folders opened in a game browser each
  bool Sample = false;
  bool Tile = false;
};

// Declares the options, --help and --version included.
void AddViewerOptions(QCommandLineParser& parser);
// The values after a successful parse.
TCommandLine ReadCommandLine(const QCommandLineParser& parser);
