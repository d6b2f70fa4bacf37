// The viewer's command line: every option in both spellings Qt's parser accepts, files kept in
// order, and wrong options refused rather than taken for file names.
#include <gtest/gtest.h>

#include "CommandLineU.h"

namespace {

bool Parse(QCommandLineParser& parser, const QStringList& arguments) {
  AddViewerOptions(parser);
  return parser.parse(QStringList{QStringLiteral("vellicor")} + arguments);
}

}  // namespace

TEST(CommandLine, OptionsAndFilesAreReadInBothSpellings) {
  QCommandLineParser parser;
  ASSERT_TRUE(Parse(parser, {"a.quv", "--settings=/tmp/v.ini", "--sample", "--select", "tank",
                             "--tile", "data/units.hpi/b.quv"}));
  const TCommandLine line = ReadCommandLine(parser);
  EXPECT_EQ(line.Files, (QStringList{"a.quv", "data/units.hpi/b.quv"}));
  EXPECT_EQ(line.Settings, "/tmp/v.ini");
  EXPECT_EQ(line.Select, "tank");
  EXPECT_TRUE(line.Sample);
  EXPECT_TRUE(line.Tile);
}

TEST(CommandLine, NothingGivenMeansNoFilesAndNoOptions) {
  QCommandLineParser parser;
  ASSERT_TRUE(Parse(parser, {}));
  const TCommandLine line = ReadCommandLine(parser);
  EXPECT_TRUE(line.Files.isEmpty());
  EXPECT_TRUE(line.Settings.isEmpty());
  EXPECT_FALSE(line.Sample);
  EXPECT_FALSE(line.Tile);
}

TEST(CommandLine, UnknownOptionsAreRefusedAndFileNamesAfterTheEndMarkerAreKept) {
  QCommandLineParser unknown;
  EXPECT_FALSE(Parse(unknown, {"--bogus"}));
  QCommandLineParser marker;
  ASSERT_TRUE(Parse(marker, {"--", "--sample", "-x.quv"}));
  EXPECT_EQ(ReadCommandLine(marker).Files, (QStringList{"--sample", "-x.quv"}));
  QCommandLineParser help;
  ASSERT_TRUE(Parse(help, {"--help"}));
  EXPECT_TRUE(help.isSet(QStringLiteral("help")));
}
