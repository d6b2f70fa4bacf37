// The main window as a desktop program: drops, palettes, desktop keys, tabs, the warnings bar,
// error sentences, captions, cascading and the first-start size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include "ConsoleU.h"
#include "FileOpenU.h"
#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageListPaneU.h"
#include "ImageLoaderU.h"
#include "LoadWarningsBarU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvLoadU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SpriteCanvasU.h"
#include "TransparentIndexDialogU.h"
#include "WindowArrangementU.h"

namespace {

// One 2 x 1 frame: palette index 1, then the empty index.
std::vector<uint8_t> DotQuv() {
  TSampleFrame dot;
  dot.Width = 2;
  dot.Height = 1;
  dot.Pixels = {1, SampleTransparentIndex};
  return BuildQuvFile({{"dot", {dot}}});
}

// Entry i of palette k is (i ^ k, k, 255 - k).
QRgb PaletteColour(int k, int i) {
  return qRgb(i ^ k, k, 255 - k);
}

QByteArray PaletteText(const QByteArray& header, int k, const char* nameSuffix = "") {
  QByteArray text = header;
  for (int i = 0; i < 256; ++i) {
    const QRgb c = PaletteColour(k, i);
    text += QByteArray::number(qRed(c)) + ' ' + QByteArray::number(qGreen(c)) + ' ' +
            QByteArray::number(qBlue(c)) + nameSuffix + '\n';
  }
  return text;
}

QByteArray RawPalette(int k, int bytesPerEntry) {
  QByteArray bytes;
  for (int i = 0; i < 256; ++i) {
    const QRgb c = PaletteColour(k, i);
    bytes += char(qRed(c));
    bytes += char(qGreen(c));
    bytes += char(qBlue(c));
    if (bytesPerEntry == 4) bytes += char(99);
  }
  return bytes;
}

class MainWindowDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    IniName = Dir.filePath(QStringLiteral("Vellicor.ini"));
    Main = MakeForm();
  }
  void TearDown() override {
    if (Main) {
      for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
      Main.reset();
    }
    Palette = BuiltInPalette();
    TransparentIndex = 9;
  }
  std::unique_ptr<TMainForm> MakeForm() {
    auto form = std::make_unique<TMainForm>(IniName);
    form->resize(1000, 750);
    form->show();
    form->FirstActivation({});
    form->Settings()->SetAnimationSpeed(100000000);  // steps only when a test asks
    return form;
  }
  QString Write(const QString& name, const QByteArray& bytes) {
    const QString path = Dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QString Write(const QString& name, const std::vector<uint8_t>& bytes) {
    return Write(name,
                 QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
  }
  QString WriteArchive(const QString& name) {
    THpiBuilder builder;
    builder.AddFile("units/a.quv", MakeSampleQuv());
    const QString path = Dir.filePath(name);
    builder.WriteFile(path.toStdString());
    return path;
  }
  void Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPointF at(Main->width() / 2, Main->height() / 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Main.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Main.get(), &drop);
    QApplication::processEvents();
  }
  QStringList PickedArchives() const { return FPicked; }
  void ScriptPicker() {
    Main->Opener()->QuvLoader()->PickFiles = [this](QString&, QStringList& results,
                                                    const QString& name, bool) {
      FPicked << QFileInfo(name).fileName();
      results = {"units\\a.quv"};
      return true;
    };
  }
  QRgb DotPixel(TQuvView* view) {
    view->RepaintImage();
    return view->Canvas()->PaintBox()->Canvas().pixel(0, 0) & 0xFFFFFF;
  }
  bool LoadPalette(const QString& path) {
    const size_t messages = GuiTestDialogs().Messages.size();
    GuiTestDialogs().OpenAnswers.push_back({{path}, 0});
    // Enter takes the proposed index of empty pixels.
    const TAnswerModal<TTransparentIndexDialog> index([](TTransparentIndexDialog* dialog) {
      QTest::keyClick(dialog->IndexEdit, Qt::Key_Return);
    });
    Main->acLoadPalette->trigger();
    return GuiTestDialogs().Messages.size() == messages;
  }

  QTemporaryDir Dir;
  QString IniName;
  std::unique_ptr<TMainForm> Main;

 private:
  QStringList FPicked;
};

}  // namespace

TEST_F(MainWindowDesktopTest, DroppedQuvFilesOpenAtOnceAndArchivesAreToldByTheirFirstBytes) {
  ScriptPicker();
  Drop({Write("one.quv", MakeSampleQuv())});
  ASSERT_EQ(Main->Views().size(), 1);
  EXPECT_TRUE(Main->Views()[0]->Collection() != nullptr);
  EXPECT_TRUE(PickedArchives().isEmpty());

  // An archive named like a sprite, and one without a suffix, both go to the picker.
  const QString archive = WriteArchive("pack.hpi");
  const QString disguised = Dir.filePath("pack.quv"), bare = Dir.filePath("pack");
  ASSERT_TRUE(QFile::copy(archive, disguised));
  ASSERT_TRUE(QFile::copy(archive, bare));
  Drop({disguised});
  Drop({bare});
  EXPECT_EQ(PickedArchives(), (QStringList{"pack.quv", "pack"}));
  ASSERT_EQ(Main->Views().size(), 3);
  EXPECT_EQ(Main->Views()[1]->ArchiveSource(), disguised);
  EXPECT_EQ(Main->Views()[2]->ArchiveSource(), bare);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(MainWindowDesktopTest, ADroppedFolderOpensEveryQuvFileInItAndDropsOfNoFileAreRefused) {
  Write("folder/b.quv", MakeSampleQuv());
  Write("folder/a.QUV", MakeSampleQuv());
  Write("folder/notes.txt", QByteArray("not a sprite"));
  Write("folder/deeper/c.quv", MakeSampleQuv());  // only the folder itself
  Drop({Dir.filePath("folder")});
  QStringList opened;
  for (TQuvView* view : Main->Views()) opened << QFileInfo(view->FileName()).fileName();
  EXPECT_EQ(opened, (QStringList{"a.QUV", "b.quv"}));
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());

  QMimeData text;
  text.setText(QStringLiteral("hello"));
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QApplication::sendEvent(Main.get(), &enter);
  EXPECT_FALSE(enter.isAccepted());
}

TEST_F(MainWindowDesktopTest, EveryPaletteFormatRecoloursOpenAndNewViewsAndABadFileChangesNothing) {
  TQuvView* view = Main->OpenQuvFile({}, Write("dot.quv", DotQuv()));
  ASSERT_TRUE(view->Cursor()->Image());
  EXPECT_EQ(DotPixel(view), qRgb(0x80, 0, 0) & 0xFFFFFF);  // built-in entry 1

  const QString raw4 = Write("p4.pal", RawPalette(10, 4));
  const QString raw3 = Write("p3.pal", RawPalette(20, 3));
  const QString jasc = Write("p.pal", PaletteText("JASC-PAL\r\n0100\r\n256\r\n", 30));
  const QString gimp = Write("p.gpl", PaletteText("GIMP Palette\nName: t\n#\n", 40, "\tc"));
  int k = 10;
  for (const QString& file : {raw4, raw3, jasc, gimp}) {
    ASSERT_TRUE(LoadPalette(file)) << file.toStdString();
    EXPECT_EQ(DotPixel(view), PaletteColour(k, 1) & 0xFFFFFF) << k;
    EXPECT_EQ(Main->Settings()->PaletteFile(), file);
    k += 10;
  }
  // A view opened now decodes through it too.
  TQuvView* later = Main->OpenQuvFile({}, Write("dot2.quv", DotQuv()));
  EXPECT_EQ(DotPixel(later), PaletteColour(40, 1) & 0xFFFFFF);

  // A bad file: one clear message, the colours and the stored file stay.
  const QString bad =
      Write("bad.pal", PaletteText("JASC-PAL\n0100\n256\n", 50).replace("\n3 ", "\n300 "));
  EXPECT_FALSE(LoadPalette(bad));
  ASSERT_FALSE(GuiTestDialogs().Messages.empty());
  EXPECT_TRUE(GuiTestDialogs().Messages.back().Text.contains("outside 0 to 255"));
  EXPECT_TRUE(GuiTestDialogs().Messages.back().Text.contains("bad.pal"));
  EXPECT_EQ(DotPixel(view), PaletteColour(40, 1) & 0xFFFFFF);
  EXPECT_FALSE(LoadPalette(Write("short.pal", QByteArray(1000, 'x'))));
  EXPECT_EQ(Main->Settings()->PaletteFile(), gimp);

  Main->acBuiltInPalette->trigger();
  EXPECT_EQ(DotPixel(view), qRgb(0x80, 0, 0) & 0xFFFFFF);
  EXPECT_EQ(DotPixel(later), qRgb(0x80, 0, 0) & 0xFFFFFF);
  EXPECT_TRUE(Main->Settings()->PaletteFile().isEmpty());
}

TEST_F(MainWindowDesktopTest, TheStoredPaletteIsReadAtStartAndOneThatNoLongerReadsFallsBack) {
  const QString file = Write("p4.pal", RawPalette(10, 4));
  ASSERT_TRUE(LoadPalette(file));
  for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
  Main.reset();
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;

  Main = MakeForm();
  TQuvView* view = Main->OpenQuvFile({}, Write("dot.quv", DotQuv()));
  EXPECT_EQ(DotPixel(view), PaletteColour(10, 1) & 0xFFFFFF);
  for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
  Main.reset();

  ASSERT_TRUE(QFile::remove(file));
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
  Main = MakeForm();
  EXPECT_NE(Console->LastMessage().find("p4.pal"), std::string::npos);
  view = Main->OpenQuvFile({}, Write("dot.quv", DotQuv()));
  EXPECT_EQ(DotPixel(view), qRgb(0x80, 0, 0) & 0xFFFFFF);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(MainWindowDesktopTest, CtrlTabVisitsEveryViewInTurnAndBackwardsInReverse) {
  const QString sample = Write("sample.quv", MakeSampleQuv());
  for (int i = 0; i < 4; ++i)
    Main->OpenQuvFile({}, sample)->parentWidget()->setWindowTitle(QStringLiteral("w%1").arg(i));
  auto active = [&] { return Main->MdiArea->currentSubWindow()->windowTitle(); };
  ASSERT_EQ(active(), "w3");
  QApplication::setActiveWindow(Main.get());
  auto press = [&](bool back) {
    QKeyEvent key(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                  back ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
    EXPECT_TRUE(Main->Arranger()->HandleSwitchKey(&key));
    return active();
  };
  QStringList forward;
  for (int i = 0; i < 4; ++i) forward << press(false);
  EXPECT_EQ(forward, (QStringList{"w2", "w1", "w0", "w3"}));
  QStringList backward;
  for (int i = 0; i < 4; ++i) backward << press(true);
  EXPECT_EQ(backward, (QStringList{"w0", "w1", "w2", "w3"}));
}

TEST_F(MainWindowDesktopTest, SelectAllSelectsEveryImageOfTheActiveList) {
  TQuvView* view = Main->OpenQuvFile({}, Write("sample.quv", MakeSampleQuv()));
  Main->acSelectAll->trigger();
  EXPECT_EQ(view->ImageList()->selectedItems().size(), view->ImageList()->topLevelItemCount());
  EXPECT_TRUE(view->ListPane()->MultiSelectMode());
  EXPECT_EQ(Main->WindowClose1->shortcuts().front(), QKeySequence("Ctrl+W"));
  Main->WindowClose1->trigger();
  QApplication::processEvents();
  EXPECT_TRUE(Main->Views().isEmpty());
}

TEST_F(MainWindowDesktopTest, TabsSwitchTheClientAreaLiveAndComeBackAtTheNextStart) {
  EXPECT_EQ(Main->MdiArea->viewMode(), QMdiArea::SubWindowView);
  Main->acTabs->trigger();
  EXPECT_EQ(Main->MdiArea->viewMode(), QMdiArea::TabbedView);
  Main.reset();
  Main = MakeForm();
  EXPECT_TRUE(Main->acTabs->isChecked());
  EXPECT_EQ(Main->MdiArea->viewMode(), QMdiArea::TabbedView);
  Main->acTabs->trigger();
  EXPECT_EQ(Main->MdiArea->viewMode(), QMdiArea::SubWindowView);
}

TEST_F(MainWindowDesktopTest, LoadWarningsAndAnEmptyFileShowInADismissibleBar) {
  std::vector<uint8_t> bytes = MakeSampleQuv();
  bytes[0] ^= 0x01;  // another format version: read anyway, with a warning
  TQuvView* view = Main->OpenQuvFile({}, Write("old.quv", bytes));
  ASSERT_TRUE(view->Collection());
  EXPECT_FALSE(view->WarningsBar()->isHidden());
  EXPECT_EQ(view->WarningsBar()->LoadWarnings().size(), 1);
  EXPECT_TRUE(view->WarningsBar()->Summary()->text().startsWith("1 warning \u2014 "));
  EXPECT_TRUE(view->WarningsBar()->Details()->isHidden());
  emit view->WarningsBar()->Summary()->linkActivated(QStringLiteral("#"));
  EXPECT_FALSE(view->WarningsBar()->Details()->isHidden());
  EXPECT_TRUE(view->WarningsBar()->Details()->text().contains("Quv header version was"));
  EXPECT_TRUE(view->WarningsBar()->Summary()->text().contains("hide"));
  view->WarningsBar()->findChild<QToolButton*>()->click();
  EXPECT_TRUE(view->WarningsBar()->isHidden());

  TQuvView* empty = Main->OpenQuvFile({}, Write("empty.quv", BuildQuvFile({})));
  ASSERT_TRUE(empty->Collection());
  EXPECT_FALSE(empty->WarningsBar()->isHidden());
  EXPECT_EQ(empty->WarningsBar()->Summary()->text(), "This file holds no images");

  TQuvView* clean = Main->OpenQuvFile({}, Write("clean.quv", MakeSampleQuv()));
  EXPECT_TRUE(clean->WarningsBar()->isHidden());
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(MainWindowDesktopTest, ErrorBoxesSayWhatTheErrorMeansForTheFile) {
  std::vector<uint8_t> bytes = MakeSampleQuv();
  bytes.resize(8);  // the header alone needs 12 bytes
  const QString cut = Write("cut.quv", bytes);
  Main->OpenQuvFile({}, cut);
  Main->OpenQuvFile({}, Write("zero.quv", QByteArray()));
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 2u);
  const QString first = GuiTestDialogs().Messages[0].Text;
  EXPECT_TRUE(first.startsWith("Could not open quv " + cut)) << first.toStdString();
  EXPECT_TRUE(first.contains("cut short or not a Quv file")) << first.toStdString();
  EXPECT_TRUE(GuiTestDialogs().Messages[1].Text.contains("holds no bytes at all"));
}

TEST_F(MainWindowDesktopTest, NewWindowsCascadeInsideTheVisibleAreaAndNameTheirFileFirst) {
  Main->resize(700, 520);
  QApplication::processEvents();
  const QString sample = Write("sub/sample.quv", MakeSampleQuv());
  const QRect area = Main->MdiArea->viewport()->rect();
  QList<QPoint> corners;
  for (int i = 0; i < 12; ++i) {
    TQuvView* view = Main->OpenQuvFile({}, sample);
    auto* child = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    EXPECT_TRUE(area.contains(child->geometry())) << i;
    corners << child->pos();
    EXPECT_TRUE(child->windowTitle().startsWith("sample.quv \u2014 ")) << i;
    EXPECT_TRUE(child->windowTitle().contains("sub - ball")) << child->windowTitle().toStdString();
  }
  EXPECT_EQ(corners[0], QPoint(0, 0));
  EXPECT_GT(corners[1].x(), 0);
  EXPECT_EQ(corners[1].x(), corners[1].y());
}

TEST_F(MainWindowDesktopTest, FirstStartTakesTwoThirdsOfTheScreenAndSpeedShowsItsUnit) {
  std::unique_ptr<TMainForm> fresh = std::make_unique<TMainForm>(Dir.filePath("fresh.ini"));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(fresh->width(), std::max(screen.width() * 2 / 3, 320));
  EXPECT_EQ(fresh->height(), std::max(screen.height() * 2 / 3, 240));
  EXPECT_LE(std::abs(fresh->geometry().center().x() - screen.center().x()), 1);

  TQuvView* view = Main->OpenQuvFile({}, Write("sample.quv", MakeSampleQuv()));
  view->Player()->SetAnimationSpeedSelector(67);
  EXPECT_EQ(view->InfoPanel()->AnimationSpeedUnit()->text(), "ms per frame (14.9 fps)");
  view->Player()->SetAnimationSpeedSelector(0);  // the timer's floor
  EXPECT_EQ(view->InfoPanel()->AnimationSpeedUnit()->text(), "ms per frame (100.0 fps)");
  EXPECT_LT(view->InfoPanel()->height(), 136);
}
