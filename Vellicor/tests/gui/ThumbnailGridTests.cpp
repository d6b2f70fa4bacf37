// The grid of thumbnails of a game folder, as its user meets it: every file a tile with its
// name, the first frame drawn with the palette's colours and empty pixels showing the
// background, a broken file a "cannot read" tile that says why, Enter and double-click asking
// for the file, the selection in grid order, and a second visit shown from the cache folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>
#include <vector>

#include "GameFolderU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "PaintBoxU.h"
#include "QtStringU.h"
#include "QuvSamplesU.h"
#include "ThumbnailGridU.h"

namespace {

constexpr uint8_t Red = 40;
constexpr uint8_t Blue = 80;
constexpr int Side = 64;

std::vector<uint8_t> SolidQuv(int32_t width, int32_t height, uint8_t colour) {
  return BuildQuvFile({TSampleImage{"solid", {SolidFrame(width, height, 0, 0, colour)}}});
}

int PixelsOf(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  return count;
}

class ThumbnailGridTest : public ::testing::Test {
 protected:
  // The game: base.hpi with red.quv (8 x 8 red), wide.quv (8 x 4 blue) and broken.quv; the
  // cache folder is the user's, below XDG_CACHE_HOME.
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Palette = BuiltInPalette();  // what PaletteColour tells; the grid's default
    FOldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", Dir.filePath("cache").toUtf8());
    THpiBuilder builder;
    builder.AddFile("red.quv", SolidQuv(8, 8, Red));
    builder.AddFile("wide.quv", SolidQuv(8, 4, Blue));
    builder.AddFile("broken.quv", {'b', 'r', 'o', 'k', 'e', 'n', 0, 0, 0, 0, 0, 0, 0});
    std::filesystem::create_directories(ToStd(Dir.filePath("game")));
    builder.WriteFile(ToStd(Dir.filePath("game/base.hpi")));
    Folder = std::make_unique<TGameFolder>(ToStd(Dir.filePath("game")));
    for (const char* name : {"red.quv", "wide.quv", "broken.quv"})
      Files.push_back(Folder->FileSystem().FindFile(name));
  }
  void TearDown() override {
    Grid.reset();
    if (FOldCache.isNull())
      qunsetenv("XDG_CACHE_HOME");
    else
      qputenv("XDG_CACHE_HOME", FOldCache);
  }

  // A grid shown with the game's files, once every tile has arrived.
  void ShowGrid() {
    Grid = std::make_unique<TThumbnailGrid>();
    Grid->SetThumbnailSize(Side);
    Grid->resize(500, 300);
    Grid->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Grid.get()));
    QSignalSpy shown(Grid.get(), &TThumbnailGrid::allShown);
    Grid->ShowFiles(*Folder, Files);
    ASSERT_EQ(Grid->TileCount(), 3);
    ASSERT_TRUE(shown.wait(10000));
    QApplication::processEvents();
  }
  QRect Tile(int index) const {
    return Grid->View()->visualRect(Grid->View()->model()->index(index, 0));
  }
  // What the user sees of a tile's picture square.
  QImage Picture(int index) const {
    const QRect tile = Tile(index);
    const QRect square(tile.left() + (tile.width() - Side) / 2, tile.top() + 6, Side, Side);
    return Grid->View()->viewport()->grab().toImage().copy(square);
  }

  QTemporaryDir Dir;
  std::unique_ptr<TGameFolder> Folder;
  std::vector<const TFileEntry*> Files;
  std::unique_ptr<TThumbnailGrid> Grid;

 private:
  QByteArray FOldCache;
};

}  // namespace

TEST_F(ThumbnailGridTest, TilesShowTheFirstFramesAndABrokenFileSaysWhy) {
  ShowGrid();
  const QColor background = Grid->View()->viewport()->palette().color(QPalette::Base);
  // 8 x 8 fills 64 x 64; 8 x 4 fills the middle half, empty pixels show the background.
  const QImage red = Picture(0);
  EXPECT_EQ(PixelsOf(red, PaletteColour(Red)), Side * Side);
  const QImage wide = Picture(1);
  EXPECT_EQ(PixelsOf(wide, PaletteColour(Blue)), Side * Side / 2);
  EXPECT_EQ(wide.pixelColor(Side / 2, Side / 2), PaletteColour(Blue));
  EXPECT_EQ(wide.pixelColor(Side / 2, 2), background);

  // The broken file: the tile says so, its tooltip why.
  const QImage broken = Picture(2);
  EXPECT_GT(PixelsOf(broken, MessageBackground), Side * Side / 2);
  EXPECT_EQ(PixelsOf(broken, PaletteColour(Red)), 0);
  const QString reason = Grid->FailureAt(2);
  EXPECT_TRUE(reason.contains(QStringLiteral("broken.quv"))) << ToStd(reason);
  EXPECT_EQ(Grid->View()->model()->index(2, 0).data(Qt::ToolTipRole).toString(), reason);
  EXPECT_TRUE(Grid->FailureAt(0).isEmpty());
  // Names under the tiles.
  EXPECT_EQ(Grid->View()->model()->index(1, 0).data().toString(), QStringLiteral("wide.quv"));
}

TEST_F(ThumbnailGridTest, EnterAndDoubleClickAskForTheFileAndTheSelectionKeepsGridOrder) {
  ShowGrid();
  QSignalSpy open(Grid.get(), &TThumbnailGrid::openRequested);
  QWidget* port = Grid->View()->viewport();
  QTest::mouseClick(port, Qt::LeftButton, {}, Tile(1).center());
  Grid->View()->setFocus();
  QTest::keyClick(Grid->View(), Qt::Key_Return);
  ASSERT_EQ(open.count(), 1);
  const QString wide = QDir::cleanPath(Dir.filePath("game/base.hpi")) + "/wide.quv";
  EXPECT_EQ(open.takeFirst().at(0).toString(), wide);

  // A double-click: press and release, then the second press comes as the double-click.
  QTest::mouseClick(port, Qt::LeftButton, {}, Tile(0).center());
  EXPECT_EQ(open.count(), 0);  // one click only chooses
  QTest::mouseDClick(port, Qt::LeftButton, {}, Tile(0).center());
  QTest::mouseRelease(port, Qt::LeftButton, {}, Tile(0).center());
  ASSERT_EQ(open.count(), 1);
  EXPECT_TRUE(open.takeFirst().at(0).toString().endsWith(QStringLiteral("base.hpi/red.quv")));

  QTest::mouseClick(port, Qt::LeftButton, {}, Tile(2).center());
  QTest::mouseClick(port, Qt::LeftButton, Qt::ControlModifier, Tile(0).center());
  const QStringList selected = Grid->SelectedOpenPaths();
  ASSERT_EQ(selected.size(), 2);
  EXPECT_TRUE(selected[0].endsWith(QStringLiteral("/red.quv")));
  EXPECT_TRUE(selected[1].endsWith(QStringLiteral("/broken.quv")));
}

TEST_F(ThumbnailGridTest, ASecondVisitComesFromTheCacheFolderAndARewrittenArchiveIsMadeAnew) {
  ShowGrid();
  EXPECT_EQ(Grid->DecodedCount(), 3u);
  EXPECT_FALSE(QDir(Dir.filePath("cache/vellicor/thumbnails")).isEmpty());
  const QImage first = Picture(0);

  ShowGrid();  // a new grid, as in the next run of the program
  EXPECT_EQ(Grid->DecodedCount(), 0u);
  EXPECT_EQ(Picture(0), first);
  EXPECT_FALSE(Grid->FailureAt(2).isEmpty());

  THpiBuilder builder;
  builder.AddFile("red.quv", SolidQuv(8, 8, Blue));  // red.quv turned blue
  builder.AddFile("wide.quv", SolidQuv(8, 4, Blue));
  builder.AddFile("broken.quv", {'b', 'r', 'o', 'k', 'e', 'n', 0, 0, 0, 0, 0, 0, 0});
  builder.WriteFile(ToStd(Dir.filePath("game/base.hpi")));
  Grid.reset();
  Files.clear();
  Folder = std::make_unique<TGameFolder>(ToStd(Dir.filePath("game")));
  for (const char* name : {"red.quv", "wide.quv", "broken.quv"})
    Files.push_back(Folder->FileSystem().FindFile(name));
  ShowGrid();
  EXPECT_EQ(Grid->DecodedCount(), 3u);
  EXPECT_EQ(PixelsOf(Picture(0), PaletteColour(Blue)), Side * Side);
}
