// The game browser: a folder of three archives and a disk folder opened from the File menu, the
// command line, a second start and a Shift-drop; each file's origin and the copies it hides;
// Enter opening the standing copy or a hidden one; the window kept live while a large folder
// mounts; a folder that cannot be read.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include "CommandLineU.h"
#include "FileOpenU.h"
#include "FileSystemU.h"
#include "GameBrowserU.h"
#include "GameFileModelU.h"
#include "GameFolderU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageListPaneU.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SingleInstanceServerU.h"

namespace {

// A Quv file of one image named "image%04d" after number: every copy of a name tells itself
// apart by its image.
std::vector<uint8_t> NumberedQuv(int number) {
  return BuildQuvFile(SyntheticImages(1, 1, 8, 8, 1, number));
}

// The folder's path in the tree, '\\' between names; "<none>" for no folder.
QString FromStdPath(const TDirEntry* folder) {
  return folder ? QString::fromStdString(folder->GetFullPath()) : QStringLiteral("<none>");
}

class GameBrowserTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    GuiTestDialogs().Reset();
  }
  void TearDown() override {
    TViewTest::TearDown();
    GuiTestDialogs().Reset();
  }

  // base.hpi at the top, mods/mod.ufo and mods/extra/extra.hpi below it, a disk folder units/
  // whose tank.quv stands over every archive's, a damaged archive and a text file.
  QString MakeGame() {
    Game = Dir.filePath("game");
    THpiBuilder base;
    base.AddFile("units/tank.quv", NumberedQuv(1));
    base.AddFile("units/arm.quv", NumberedQuv(2));
    base.AddFile("units/notes.txt", {1, 2, 3});
    WriteArchive(base, "game/base.hpi");
    THpiBuilder mod;
    mod.AddFile("units/tank.quv", NumberedQuv(3));
    mod.AddFile("units/arm.quv", NumberedQuv(4));
    mod.AddFile("anims/ball.quv", NumberedQuv(5));
    WriteArchive(mod, "game/mods/mod.ufo");
    THpiBuilder extra;
    extra.AddFile("units/tank.quv", NumberedQuv(6));
    extra.AddFile("units/core.quv", NumberedQuv(7));
    WriteArchive(extra, "game/mods/extra/extra.hpi");
    Write("game/units/tank.quv", NumberedQuv(8));
    std::vector<uint8_t> broken = {'H', 'A', 'P', 'I'};
    broken.resize(64, 0xEE);
    Write("game/broken.hpi", broken);
    Write("game/readme.txt", {'h', 'i', '\n'});
    return Game;
  }
  void WriteArchive(const THpiBuilder& builder, const QString& name) {
    const QString path = Dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    builder.WriteFile(path.toStdString());
  }

  static bool WaitMounted(TGameBrowser* browser, int ms = 120000) {
    const QPointer<TGameBrowser> alive(browser);
    QElapsedTimer clock;
    clock.start();
    while (alive && alive->Mounting()) {
      if (clock.elapsed() > ms) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QApplication::processEvents();
    return true;
  }
  TGameBrowser* OnlyBrowser() const {
    const QList<TGameBrowser*> browsers = Main->GameBrowsers();
    return browsers.size() == 1 ? browsers.front() : nullptr;
  }
  // Clicks the folder at the '/'-separated path below the tree's root.
  static void ChooseFolder(TGameBrowser* browser, const QString& path) {
    QTreeWidget* tree = browser->FolderTree();
    QTreeWidgetItem* node = tree->topLevelItem(0);
    for (const QString& name : path.split('/', Qt::SkipEmptyParts)) {
      node->setExpanded(true);
      QTreeWidgetItem* next = nullptr;
      for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == name) next = node->child(i);
      ASSERT_TRUE(next) << name.toStdString();
      node = next;
    }
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    ASSERT_EQ(tree->currentItem(), node);
  }
  // Every row as the user reads it: name, origin, note (size left out), "(grey)" for a greyed
  // row.
  static QStringList Rows(TGameBrowser* browser) {
    QStringList rows;
    const TGameFileModel* model = browser->Files();
    for (int row = 0; row < model->rowCount(); ++row) {
      QStringList cells;
      for (int column :
           {TGameFileModel::colName, TGameFileModel::colOrigin, TGameFileModel::colNote})
        cells << model->index(row, column).data().toString();
      if (model->index(row, 0).data(Qt::ForegroundRole).isValid()) cells << "(grey)";
      rows << cells.join(" | ");
    }
    return rows;
  }
  static int RowNamed(TGameBrowser* browser, const QString& name, const QString& origin) {
    const TGameFileModel* model = browser->Files();
    for (int row = 0; row < model->rowCount(); ++row)
      if (model->index(row, TGameFileModel::colName).data().toString() == name &&
          model->index(row, TGameFileModel::colOrigin).data().toString() == origin)
        return row;
    return -1;
  }
  // Clicks the row, then presses Enter in the list.
  static void EnterOnRow(TGameBrowser* browser, int row) {
    QTreeView* list = browser->FileList();
    const QRect cell = list->visualRect(browser->Files()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClick(list, Qt::Key_Return);
    QApplication::processEvents();
  }
  void ShiftDrop(const QString& path, Qt::KeyboardModifiers modifiers) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPointF at(Main->width() / 2, Main->height() / 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(Main.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(Main.get(), &drop);
    QApplication::processEvents();
  }

  QString Game;
};

TEST_F(GameBrowserTest, FileMenuOpensTheMergedTreeWithOriginsAndHiddenCopies) {
  StartMain();
  MakeGame();
  GuiTestDialogs().FolderAnswers.push_back(Game);
  QTest::keyClick(Main.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  TGameBrowser* browser = OnlyBrowser();
  ASSERT_TRUE(browser);
  EXPECT_EQ(GuiTestDialogs().Asked.size(), 1);
  EXPECT_EQ(browser->windowTitle(), QStringLiteral("Game \u2014 game"));
  // The tree comes once the worker is done; until then the window says what it reads.
  EXPECT_TRUE(browser->ReadingLabel()->isVisible());
  EXPECT_EQ(browser->ReadingLabel()->text(), QStringLiteral("Reading %1\u2026").arg(Game));
  ASSERT_TRUE(WaitMounted(browser));
  EXPECT_FALSE(browser->ReadingLabel()->isVisible());
  EXPECT_TRUE(browser->FileList()->isVisible());
  EXPECT_EQ(browser->Pages()->tabText(0), "Files");

  // The damaged archive is a plain file of the folder; the others merged all the same.
  EXPECT_EQ(Rows(browser),
            (QStringList{"anims |  | ", "mods |  | ", "units |  | ", "base.hpi | ./ | ",
                         "broken.hpi | ./ | ", "readme.txt | ./ | "}));
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  ChooseFolder(browser, "units");
  const QStringList standing = {
      "arm.quv | base.hpi | also in mods/mod.ufo", "core.quv | mods/extra/extra.hpi | ",
      "notes.txt | base.hpi | ",
      "tank.quv | units/ | also in base.hpi, mods/mod.ufo, mods/extra/extra.hpi"};
  EXPECT_EQ(Rows(browser), standing);
  EXPECT_EQ(browser->Files()->index(2, TGameFileModel::colSize).data().toString(), "3");

  // The tool button lists the hidden copies too, each below the file that hides it.
  QWidget* toggle = browser->ToolBar()->widgetForAction(browser->ShowHiddenAction());
  ASSERT_TRUE(toggle);
  QTest::mouseClick(toggle, Qt::LeftButton);
  EXPECT_EQ(Rows(browser),
            (QStringList{"arm.quv | base.hpi | also in mods/mod.ufo",
                         "arm.quv | mods/mod.ufo | hidden by base.hpi | (grey)",
                         "core.quv | mods/extra/extra.hpi | ", "notes.txt | base.hpi | ",
                         "tank.quv | units/ | also in base.hpi, mods/mod.ufo, mods/extra/extra.hpi",
                         "tank.quv | base.hpi | hidden by units/ | (grey)",
                         "tank.quv | mods/mod.ufo | hidden by units/ | (grey)",
                         "tank.quv | mods/extra/extra.hpi | hidden by units/ | (grey)"}));
  QTest::mouseClick(toggle, Qt::LeftButton);
  EXPECT_EQ(Rows(browser), standing);
  ChooseFolder(browser, "mods");
  EXPECT_EQ(Rows(browser), (QStringList{"extra |  | ", "mod.ufo | mods/ | "}));
}

TEST_F(GameBrowserTest, EnterOpensTheStandingCopyOrTheHiddenCopyChosen) {
  StartMain();
  MakeGame();
  TGameBrowser* browser = Main->OpenGameFolder(Game);
  ASSERT_TRUE(WaitMounted(browser));
  // Enter on a folder row goes into it.
  EnterOnRow(browser, RowNamed(browser, "units", ""));
  EXPECT_EQ(browser->FolderTree()->currentItem()->text(0), "units");
  ASSERT_EQ(FromStdPath(browser->CurrentFolder()), "units");

  EnterOnRow(browser, RowNamed(browser, "arm.quv", "base.hpi"));
  ASSERT_EQ(Main->Views().size(), 1);
  TQuvView* standing = Main->Views().back();
  EXPECT_EQ(standing->ListPane()->ImageNames(), QStringList{"image0002"});
  EXPECT_EQ(standing->ArchiveSource(), Game + "/base.hpi");
  EXPECT_TRUE(standing->FileName().endsWith("base.hpi/units/arm.quv"))
      << standing->FileName().toStdString();

  browser->ShowHiddenAction()->setChecked(true);
  EnterOnRow(browser, RowNamed(browser, "arm.quv", "mods/mod.ufo"));
  ASSERT_EQ(Main->Views().size(), 2);
  TQuvView* hidden = Main->Views().back();
  EXPECT_EQ(hidden->ListPane()->ImageNames(), QStringList{"image0004"});
  EXPECT_EQ(hidden->ArchiveSource(), Game + "/mods/mod.ufo");

  // A disk file opens from the disk; a double click opens as Enter does.
  EnterOnRow(browser, RowNamed(browser, "tank.quv", "units/"));
  ASSERT_EQ(Main->Views().size(), 3);
  EXPECT_EQ(Main->Views().back()->ListPane()->ImageNames(), QStringList{"image0008"});
  EXPECT_TRUE(Main->Views().back()->ArchiveSource().isEmpty());
  QTreeView* list = browser->FileList();
  const int extraTank = RowNamed(browser, "tank.quv", "mods/extra/extra.hpi");
  const QPoint at = list->visualRect(browser->Files()->index(extraTank, 0)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  QApplication::processEvents();
  ASSERT_EQ(Main->Views().size(), 4);
  EXPECT_EQ(Main->Views().back()->ListPane()->ImageNames(), QStringList{"image0006"});
  ASSERT_EQ(browser->SelectedFiles().size(), 1u);
  EXPECT_EQ(TGameFolder::OriginOf(*browser->SelectedFiles().front()).DiskPath,
            (Game + "/mods/extra/extra.hpi").toStdString());
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(GameBrowserTest, CommandLineSecondStartAndShiftDropOpenBrowsers) {
  StartMain();
  MakeGame();
  Write("game/ball.quv", NumberedQuv(9));
  // --game DIR, as the program reads its command line.
  QCommandLineParser parser;
  AddViewerOptions(parser);
  ASSERT_TRUE(parser.parse({"vellicor", "--game", Game}));
  Main->FirstActivation({}, ReadCommandLine(parser).GameFolders);
  ASSERT_TRUE(OnlyBrowser());
  ASSERT_TRUE(WaitMounted(OnlyBrowser()));
  EXPECT_EQ(OnlyBrowser()->Folder(), Game);
  delete OnlyBrowser()->parentWidget();

  // A second start hands its folder over on a line of its own.
  TSingleInstanceServer server;
  Main->Opener()->ServeRequests(server);
  ASSERT_TRUE(server.Listen(Dir.filePath("viewer.sock")));
  QSignalSpy executed(&server, &TSingleInstanceServer::RequestExecuted);
  ASSERT_TRUE(TSingleInstanceServer::SendToRunning({}, Dir.path(), Dir.filePath("viewer.sock"),
                                                   3000, {"game"}));
  ASSERT_TRUE(executed.wait(3000));
  ASSERT_TRUE(OnlyBrowser());
  EXPECT_EQ(OnlyBrowser()->Folder(), Game);
  ASSERT_TRUE(WaitMounted(OnlyBrowser()));
  delete OnlyBrowser()->parentWidget();

  // Without Shift a dropped folder still gives its Quv files; with Shift it is a game folder.
  ShiftDrop(Game, Qt::NoModifier);
  EXPECT_TRUE(Main->GameBrowsers().isEmpty());
  ASSERT_EQ(Main->Views().size(), 1);
  EXPECT_EQ(Main->Views().front()->ListPane()->ImageNames(), QStringList{"image0009"});
  ShiftDrop(Game, Qt::ShiftModifier);
  ASSERT_TRUE(OnlyBrowser());
  ASSERT_TRUE(WaitMounted(OnlyBrowser()));
  EXPECT_EQ(OnlyBrowser()->Folder(), Game);
  EXPECT_EQ(Main->Views().size(), 1);
}

// The program itself: `vellicor --game DIR` while a viewer runs hands the folder over and ends.
TEST_F(GameBrowserTest, SecondProgramStartHandsItsGameFolderOver) {
  const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/vellicor");
  if (!QFileInfo(program).isExecutable()) GTEST_SKIP() << "vellicor not built beside the tests";
  const QString settings = Dir.filePath(QStringLiteral("Vellicor.ini"));
  const QString runtime = Dir.filePath(QStringLiteral("run"));
  ASSERT_TRUE(QDir().mkpath(runtime));
  qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
  const QString name = TSingleInstanceServer::ServerName(settings, program);
  qunsetenv("XDG_RUNTIME_DIR");
  TSingleInstanceServer server;
  QStringList files, folders;
  server.Open = [&](const std::string& file) { files << QString::fromStdString(file); };
  server.OpenGame = [&](const std::string& folder) { folders << QString::fromStdString(folder); };
  ASSERT_TRUE(server.Listen(name));
  QSignalSpy executed(&server, &TSingleInstanceServer::RequestExecuted);
  QProcess second;
  second.setWorkingDirectory(Dir.path());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  second.setProcessEnvironment(environment);
  second.start(program, {QStringLiteral("--game"), QStringLiteral("game"),
                         QStringLiteral("--settings=Vellicor.ini")});
  ASSERT_TRUE(second.waitForStarted(10000));
  while (executed.isEmpty() && second.state() != QProcess::NotRunning) executed.wait(100);
  if (executed.isEmpty()) executed.wait(1000);
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(files.isEmpty());
  EXPECT_EQ(folders, QStringList{Dir.filePath("game")});
}

TEST_F(GameBrowserTest, FolderThatCannotBeReadIsToldAndTheBrowserCloses) {
  StartMain();
  const QString missing = Dir.filePath("no such game");
  GuiTestDialogs().FolderAnswers.push_back(missing);
  QTest::keyClick(Main.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  const QPointer<TGameBrowser> browser = OnlyBrowser();
  ASSERT_TRUE(browser);
  QSignalSpy failed(browser.data(), &TGameBrowser::mountFailed);
  ASSERT_TRUE(WaitMounted(browser));
  QApplication::processEvents();
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  const auto& message = GuiTestDialogs().Messages.front();
  EXPECT_EQ(message.Caption, "Open Game Folder");
  EXPECT_EQ(message.Icon, QMessageBox::Warning);
  EXPECT_TRUE(message.Text.contains(missing)) << message.Text.toStdString();
  EXPECT_EQ(failed.size(), 1);
  EXPECT_TRUE(browser.isNull());
  EXPECT_TRUE(Main->GameBrowsers().isEmpty());
}

TEST_F(GameBrowserTest, RemountKeepsTheFolderShownAndSeesNewFiles) {
  StartMain();
  MakeGame();
  TGameBrowser* browser = Main->OpenGameFolder(Game);
  ASSERT_TRUE(WaitMounted(browser));
  ChooseFolder(browser, "mods/extra");
  Write("game/mods/extra/later.quv", NumberedQuv(10));
  QSignalSpy mounted(browser, &TGameBrowser::mounted);
  browser->Remount();
  ASSERT_TRUE(WaitMounted(browser));
  EXPECT_EQ(mounted.size(), 1);
  EXPECT_EQ(FromStdPath(browser->CurrentFolder()), "mods\\extra");
  EXPECT_EQ(browser->FolderTree()->currentItem()->text(0), "extra");
  EXPECT_EQ(Rows(browser),
            (QStringList{"extra.hpi | mods/extra/ | ", "later.quv | mods/extra/ | "}));
  // A folder that went is replaced by the nearest one still there.
  QDir(Dir.filePath("game/mods/extra")).removeRecursively();
  browser->Remount();
  ASSERT_TRUE(WaitMounted(browser));
  EXPECT_EQ(FromStdPath(browser->CurrentFolder()), "mods");
}

// Twenty thousand files in one folder, forty-eight thousand more in eight archives.
TEST_F(GameBrowserTest, WindowKeepsTickingWhileALargeFolderMountsAndACrowdedFolderLists) {
  StartMain();
  for (int archive = 0; archive < 8; ++archive) {
    THpiBuilder builder;
    for (int file = 0; file < 6000; ++file)
      builder.AddFile(QStringLiteral("data%1/f%2.txt").arg(file % 40).arg(file).toStdString(),
                      {uint8_t(file)});
    WriteArchive(builder, QStringLiteral("big/pack%1.hpi").arg(archive));
  }
  THpiBuilder crowd;
  for (int file = 0; file < 20000; ++file)
    crowd.AddFile(QStringLiteral("crowd/f%1.quv").arg(file, 5, 10, QChar('0')).toStdString(), {1});
  WriteArchive(crowd, "big/crowd.hpi");

  // A mount on the window's thread would let no tick through until it is done. (How long the
  // longest pause is, is measured by the benchmarks.)
  int ticks = 0;
  TGameBrowser* browser = nullptr;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ticks += browser && browser->Mounting(); });
  ticker.start(5);
  browser = Main->OpenGameFolder(Dir.filePath("big"));
  ASSERT_TRUE(browser->Mounting());
  ASSERT_TRUE(WaitMounted(browser));
  ticker.stop();
  EXPECT_GE(ticks, 2);

  ChooseFolder(browser, "crowd");
  QApplication::processEvents();
  EXPECT_EQ(browser->Files()->rowCount(), 20000);
  EXPECT_EQ(browser->Files()->index(19999, TGameFileModel::colOrigin).data().toString(),
            "crowd.hpi");
}

}  // namespace
