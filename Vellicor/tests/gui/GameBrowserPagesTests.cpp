// The game browser's pages as a user reaches them: the thumbnails of the folder shown, a search
// by image name opening the file on that image, and an archive of the game edited and saved
// from the Archive page, after which the browser shows the game anew.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "ArchiveEditPageU.h"
#include "GameBrowserPagesU.h"
#include "GameBrowserU.h"
#include "GameFileModelU.h"
#include "GameSearchPaneU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "HpiOutsideReader.h"
#include "ImageListPaneU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "ThumbnailGridU.h"

namespace {

std::vector<uint8_t> NumberedQuv(int number) {
  return BuildQuvFile(SyntheticImages(1, 1, 8, 8, 1, number));
}

template <class TCondition>
bool WaitFor(const TCondition& condition, int ms = 60000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

class GameBrowserPagesTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    GuiTestDialogs().Reset();
    FOldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", Dir.filePath("cache").toLocal8Bit());
    THpiBuilder base;
    base.AddFile("units/tank.quv", NumberedQuv(1));
    base.AddFile("units/arm.quv", NumberedQuv(2));
    base.AddFile("units/notes.txt", {1, 2, 3});
    Archive = Dir.filePath("game/base.hpi");
    QDir().mkpath(Dir.filePath("game"));
    base.WriteFile(Archive.toStdString());
    Write("game/units/scout.quv", NumberedQuv(3));
    StartMain();
    Browser = Main->OpenGameFolder(Dir.filePath("game"));
    ASSERT_TRUE(WaitFor([this] { return !Browser->Mounting(); }));
    Pages = Browser->findChild<TGameBrowserPages*>();
    ASSERT_TRUE(Pages);
  }
  void TearDown() override {
    TViewTest::TearDown();
    GuiTestDialogs().Reset();
    qputenv("XDG_CACHE_HOME", FOldCache);
  }
  void ShowPage(QWidget* page) {
    QTabWidget* tabs = Browser->Pages();
    const int index = tabs->indexOf(page);
    ASSERT_GE(index, 0);
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
    ASSERT_EQ(tabs->currentWidget(), page);
  }
  hpitest::TOutsideArchive ReadArchive() const {
    QFile file(Archive);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    return hpitest::TOutsideReader(std::vector<uint8_t>(bytes.begin(), bytes.end())).Read();
  }
  QString Caption() const {
    auto* child = qobject_cast<QMdiSubWindow*>(Browser->parentWidget());
    return child ? child->windowTitle() : Browser->windowTitle();
  }

  QString Archive;
  QPointer<TGameBrowser> Browser;
  TGameBrowserPages* Pages = nullptr;

 private:
  QByteArray FOldCache;
};

}  // namespace

TEST_F(GameBrowserPagesTest, ThumbnailsShowTheQuvFilesOfTheFolderShownAndEnterOpensOne) {
  Browser->ShowFolder(Browser->Game()->FileSystem().FindDirectory("units"));
  TThumbnailGrid* grid = Pages->Thumbnails();
  ShowPage(grid);
  ASSERT_TRUE(WaitFor([grid] { return grid->TileCount() == 3 && grid->ReadyCount() == 3; }));
  QStringList names;
  for (int tile = 0; tile < grid->TileCount(); ++tile)
    names << QFileInfo(grid->OpenPathAt(tile)).fileName();
  EXPECT_EQ(names, (QStringList{"arm.quv", "scout.quv", "tank.quv"}));
  for (int tile = 0; tile < 3; ++tile) EXPECT_TRUE(grid->FailureAt(tile).isEmpty());

  grid->View()->setFocus();
  grid->View()->setCurrentIndex(grid->View()->model()->index(1, 0));
  QTest::keyClick(grid->View(), Qt::Key_Return);
  ASSERT_TRUE(WaitFor([this] { return Main->Views().size() == 1; }));
  EXPECT_EQ(Main->Views().back()->ListPane()->ImageNames(), QStringList{"image0003"});
}

TEST_F(GameBrowserPagesTest, SearchByImageNameOpensTheFileOnThatImage) {
  TGameSearchPane* search = Pages->Search();
  ShowPage(search);
  ASSERT_TRUE(WaitFor([this] { return !Pages->Indexing(); }));
  QApplication::processEvents();  // what the index job posted last
  EXPECT_EQ(QApplication::focusWidget(), search->SearchBox());
  QTest::keyClicks(search->SearchBox(), "IMAGE0002");
  ASSERT_EQ(search->RowCount(), 1);
  EXPECT_EQ(search->Cell(0, TGameSearchPane::ColPath), "units/arm.quv");
  EXPECT_EQ(search->Cell(0, TGameSearchPane::ColOrigin), "base.hpi");
  EXPECT_EQ(Pages->ExportSources(), QStringList{Archive + "/units/arm.quv"});
  QTest::keyClick(search->SearchBox(), Qt::Key_Return);
  ASSERT_TRUE(WaitFor([this] { return Main->Views().size() == 1; }));
  TQuvView* view = Main->Views().back();
  EXPECT_EQ(view->ListPane()->ImageNames(), QStringList{"image0002"});

  // From the search to the thumbnails: those of what it found.
  Main->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Browser->parentWidget()));
  TThumbnailGrid* grid = Pages->Thumbnails();
  ShowPage(grid);
  ASSERT_TRUE(WaitFor([grid] { return grid->TileCount() == 1 && grid->ReadyCount() == 1; }));
  EXPECT_EQ(grid->OpenPathAt(0), Archive + "/units/arm.quv");
  // A folder chosen afterwards shows its own.
  Browser->ShowFolder(Browser->Game()->FileSystem().FindDirectory("units"));
  ASSERT_TRUE(WaitFor([grid] { return grid->TileCount() == 3 && grid->ReadyCount() == 3; }));
}

TEST_F(GameBrowserPagesTest, AnArchiveEditedOnTheArchivePageIsMarkedSavedAndShownAnew) {
  Browser->ShowFolder(Browser->Game()->FileSystem().FindDirectory("units"));
  TArchiveEditPage* page = Pages->ArchivePage();
  ShowPage(page);
  EXPECT_EQ(page->ArchiveChooser()->currentText(), "base.hpi");
  QTreeWidget* list = page->EntryList();
  QList<QTreeWidgetItem*> notes = list->findItems("notes.txt", Qt::MatchExactly);
  ASSERT_EQ(notes.size(), 1);
  list->setFocus();
  list->setCurrentItem(notes.front());
  QTest::keyClick(list, Qt::Key_Delete);
  notes = list->findItems("notes.txt", Qt::MatchExactly);
  ASSERT_EQ(notes.size(), 1);
  EXPECT_EQ(notes.front()->text(2), "deleted");
  EXPECT_TRUE(notes.front()->font(0).strikeOut());
  EXPECT_TRUE(Caption().endsWith('*')) << Caption().toStdString();
  const hpitest::TOutsideArchive before = ReadArchive();
  ASSERT_TRUE(before.Files.count("units/notes.txt"));

  QSignalSpy mounted(Browser.data(), &TGameBrowser::mounted);
  QTest::keyClick(list, Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(WaitFor([&mounted] { return mounted.count() > 0; }));
  EXPECT_FALSE(Caption().endsWith('*'));
  const hpitest::TOutsideArchive after = ReadArchive();
  EXPECT_FALSE(after.Files.count("units/notes.txt"));
  EXPECT_EQ(after.Files.at("units/tank.quv").Content, before.Files.at("units/tank.quv").Content);
  // The browser shows the game as it now is, still in the same folder.
  EXPECT_EQ(QString::fromStdString(Browser->CurrentFolder()->GetFullPath()), "units");
  EXPECT_FALSE(Browser->Game()->FileSystem().FindFile("units/notes.txt"));
  EXPECT_TRUE(list->findItems("notes.txt", Qt::MatchExactly).isEmpty());
}

TEST_F(GameBrowserPagesTest, ClosingTheBrowserWithAnEditedArchiveAsksFirst) {
  Browser->ShowFolder(Browser->Game()->FileSystem().FindDirectory("units"));
  TArchiveEditPage* page = Pages->ArchivePage();
  ShowPage(page);
  QTreeWidget* list = page->EntryList();
  list->setFocus();
  list->setCurrentItem(list->findItems("arm.quv", Qt::MatchExactly).front());
  QTest::keyClick(list, Qt::Key_Delete);
  ASSERT_TRUE(page->Modified());
  GuiTestDialogs().QuestionAnswers.push_back("Cancel");
  auto* child = qobject_cast<QMdiSubWindow*>(Browser->parentWidget());
  ASSERT_TRUE(child);
  EXPECT_FALSE(child->close());
  EXPECT_TRUE(Browser);
  GuiTestDialogs().QuestionAnswers.push_back("Discard");
  EXPECT_TRUE(child->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(Browser.isNull());
  EXPECT_TRUE(ReadArchive().Files.count("units/arm.quv"));
}

TEST_F(GameBrowserPagesTest, QuittingWithAnEditedArchiveAsksAndCancelKeepsTheProgramOpen) {
  Browser->ShowFolder(Browser->Game()->FileSystem().FindDirectory("units"));
  TArchiveEditPage* page = Pages->ArchivePage();
  ShowPage(page);
  QTreeWidget* list = page->EntryList();
  list->setFocus();
  list->setCurrentItem(list->findItems("tank.quv", Qt::MatchExactly).front());
  QTest::keyClick(list, Qt::Key_Delete);
  GuiTestDialogs().QuestionAnswers.push_back("Cancel");
  EXPECT_FALSE(Main->close());
  EXPECT_TRUE(Browser);
  EXPECT_TRUE(page->Modified());
  GuiTestDialogs().QuestionAnswers.push_back("Save");
  EXPECT_TRUE(Main->close());
  EXPECT_FALSE(ReadArchive().Files.count("units/tank.quv"));
}
