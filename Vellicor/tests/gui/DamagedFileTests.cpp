// Damaged files in the viewer, as the user meets them: a frame that cannot be read says why on
// the canvas and in the warnings bar while the other frames draw; a batch with damaged files in
// it opens every other file, and Enter on whatever box appears keeps every window; "Yes" in the
// error dialog ends the program cleanly; every button of the assertion dialog leaves hand-over
// and loading working.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <functional>
#include <memory>
#include <stdexcept>

#include "AssertDialogU.h"
#include "AssertU.h"
#include "ConsoleU.h"
#include "EditDocumentU.h"
#include "FileOpenU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "FrameStripU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "LoadWarningsBarU.h"
#include "LowLevelIO.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QtStringU.h"
#include "QuvLoadU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SingleInstanceServerU.h"
#include "SpriteCanvasU.h"

namespace {

constexpr uint8_t FirstColour = 16;  // frame i of the tank is all colour 16 + i

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}

// "tank": 8 frames of 8 x 8 pixels, frame i all of colour 16 + i; every row is one run.
std::vector<uint8_t> Tank() {
  TSampleImage tank{"tank", {}};
  for (int i = 0; i < 8; ++i) tank.Frames.push_back(SolidFrame(8, 8, 0, 0, FirstColour + i));
  return BuildQuvFile({tank}, 1);
}

enum class TDamage { RunPastRow, Compression, SubFrameCycle };

// Damages frame `frame` of a tank file the way a broken writer or a bad disk would.
void Damage(std::vector<uint8_t>& bytes, int frame, TDamage damage) {
  const size_t header = U32(bytes, U32(bytes, 12) + 40 + 8 * size_t(frame));
  const size_t data = U32(bytes, header + 16);
  ASSERT_EQ(bytes[data + 7 * 4], 2);  // the last row: 2 code bytes, one run of 8
  switch (damage) {
    case TDamage::RunPastRow:  // the last row's run of 8 becomes one of 64
      bytes[data + 7 * 4 + 2] = (63 << 2) | 2;
      break;
    case TDamage::Compression:
      bytes[header + 9] = 7;
      break;
    case TDamage::SubFrameCycle:  // one sub-frame, whose header is the frame's own
      bytes[header + 10] = 1;
      PutU32(bytes, data, uint32_t(header));
      break;
  }
}

QString Sentence(int frameNumber, const QString& reason) {
  return QStringLiteral("Frame %1 of \u2018tank\u2019 cannot be read: %2")
      .arg(frameNumber)
      .arg(reason);
}

int PixelsOf(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  return count;
}

// A key as the user presses it on a box: to the button that has the focus.
void PressKey(QMessageBox* box, Qt::Key key) {
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus && box->isAncestorOf(focus) ? focus : box, key);
}

// Presses Enter, as the user would, on every message box that comes up while it lives, and
// remembers the caption and text of each.
class TEnterOnEveryBox {
 public:
  TEnterOnEveryBox() {
    QObject::connect(&FPoll, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box == FLast) return;
      FLast = box;
      Seen << box->windowTitle() + '\n' + box->text();
      PressKey(box, Qt::Key_Return);
    });
    FPoll.start(10);
  }
  QStringList Seen;

 private:
  QTimer FPoll;
  QPointer<QMessageBox> FLast;
};

class DamagedFileTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain(QSize(1000, 800));
    Main->Settings()->SetBackGroundColor(0x00000000);  // black
  }

  void TearDown() override {
    SetDialogs(&GuiTestDialogs());
    TViewTest::TearDown();
  }

  QStringList OpenNames() const {
    QStringList names;
    for (TQuvView* view : Main->Views()) names << QFileInfo(view->FileName()).fileName();
    names.sort();
    return names;
  }
};

TEST_F(DamagedFileTest, DamagedFramesSayWhyOnTheCanvasWhileTheOtherFramesDraw) {
  std::vector<uint8_t> bytes = Tank();
  Damage(bytes, 1, TDamage::Compression);
  Damage(bytes, 3, TDamage::RunPastRow);
  Damage(bytes, 5, TDamage::SubFrameCycle);
  TQuvView* view = Main->OpenQuvFile({}, Write("tank.quv", bytes));
  view->Canvas()->setFixedSize(200, 150);
  QApplication::processEvents();
  ASSERT_EQ(view->InfoPanel()->FramePosition()->text(), QStringLiteral("Frame 1 / 8"));
  QWidget* canvas = view->Canvas()->PaintBox();
  canvas->setFocus();

  const QStringList reasons = {QString(), "it is stored in a way no Quv file uses",
                               QString(), "the run-length code runs past the row",
                               QString(), "its sub-frames refer back to the frame itself",
                               QString(), QString()};
  for (int frame = 0; frame < 8; ++frame) {
    SCOPED_TRACE(frame + 1);
    if (frame > 0) QTest::keyClick(canvas, Qt::Key_Right);
    EXPECT_EQ(view->InfoPanel()->FramePosition()->text(),
              QStringLiteral("Frame %1 / 8").arg(frame + 1));
    const QImage shown = view->Canvas()->PaintBox()->grab().toImage();
    const int drawn = PixelsOf(shown, PaletteColour(FirstColour + frame));
    if (reasons[frame].isEmpty()) {
      EXPECT_EQ(drawn, 64);
      EXPECT_EQ(view->Canvas()->PaintBox()->Message(), QString());
      EXPECT_EQ(PixelsOf(shown, MessageBackground), 0);
    } else {
      EXPECT_EQ(drawn, 0);  // the rows read before the damage are not shown as the frame
      EXPECT_EQ(view->Canvas()->PaintBox()->Message(), Sentence(frame + 1, reasons[frame]));
      EXPECT_GT(PixelsOf(shown, MessageBackground), 500);
    }
  }
  // Round again: the damaged frames are not read again, the others still draw.
  QTest::keyClick(canvas, Qt::Key_Right);
  QTest::keyClick(canvas, Qt::Key_Right);
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(), Sentence(2, reasons[1]));
  QTest::keyClick(canvas, Qt::Key_Right);
  EXPECT_EQ(PixelsOf(view->Canvas()->PaintBox()->grab().toImage(), PaletteColour(FirstColour + 2)),
            64);

  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_FALSE(view->WarningsBar()->isHidden());
  EXPECT_EQ(
      view->WarningsBar()->FrameErrors(),
      (QStringList{Sentence(2, reasons[1]), Sentence(4, reasons[3]), Sentence(6, reasons[5])}));
  EXPECT_TRUE(view->WarningsBar()->Summary()->text().startsWith("3 frames cannot be read"));
  emit view->WarningsBar()->Summary()->linkActivated(QStringLiteral("#"));
  EXPECT_TRUE(view->WarningsBar()->Details()->text().contains(Sentence(4, reasons[3])));
}

TEST_F(DamagedFileTest, ADamagedFramesTileSaysItCannotBeReadAndItsTipSaysWhy) {
  std::vector<uint8_t> bytes = Tank();
  Damage(bytes, 3, TDamage::RunPastRow);
  TQuvView* view = Main->OpenQuvFile({}, Write("tank.quv", bytes));
  QListView* list = view->Strip()->List();
  for (int turn = 0; turn < 3 || (view->Strip()->Busy() && turn < 100); ++turn)
    QApplication::processEvents();
  const auto tile = [&](int index) { return list->visualRect(list->model()->index(index, 0)); };
  const QImage seen = list->viewport()->grab().toImage();
  EXPECT_GT(PixelsOf(seen.copy(tile(3)), MessageBackground), 1000);
  EXPECT_EQ(PixelsOf(seen.copy(tile(3)), PaletteColour(FirstColour + 3)), 0);
  EXPECT_EQ(PixelsOf(seen.copy(tile(2)), PaletteColour(FirstColour + 2)), 48 * 48);
  EXPECT_EQ(PixelsOf(seen.copy(tile(4)), PaletteColour(FirstColour + 4)), 48 * 48);

  const QString why = Sentence(4, "the run-length code runs past the row");
  const QPoint over = tile(3).center();
  QHelpEvent hover(QEvent::ToolTip, over, list->viewport()->mapToGlobal(over));
  QApplication::sendEvent(list->viewport(), &hover);
  EXPECT_EQ(QToolTip::text(), why);
  EXPECT_EQ(view->WarningsBar()->FrameErrors(), QStringList{why});  // told once
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, over);
  EXPECT_EQ(view->InfoPanel()->FramePosition()->text(), QStringLiteral("Frame 4 / 8"));
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(), why);
  EXPECT_EQ(view->WarningsBar()->FrameErrors(), QStringList{why});
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(DamagedFileTest, AnimationPlaysPastADamagedFirstFrame) {
  std::vector<uint8_t> bytes = Tank();
  Damage(bytes, 0, TDamage::RunPastRow);
  TQuvView* view = Main->OpenQuvFile({}, Write("tank.quv", bytes));
  QApplication::processEvents();
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(),
            Sentence(1, "the run-length code runs past the row"));
  ASSERT_TRUE(view->Player()->Playing());
  view->Player()->TimerTimer();
  EXPECT_EQ(view->InfoPanel()->FramePosition()->text(), QStringLiteral("Frame 2 / 8"));
  EXPECT_EQ(PixelsOf(view->Canvas()->PaintBox()->grab().toImage(), PaletteColour(FirstColour + 1)),
            64);
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(), QString());
}

// The user's batch: good files, a damaged frame, a file cut short, a file that is no Quv file,
// and an archive whose directory runs in a loop. Every box is answered with Enter.
TEST_F(DamagedFileTest, ABatchWithDamagedFilesOpensEveryOtherFileAndEnterKeepsEveryWindow) {
  std::vector<uint8_t> damaged = Tank();
  Damage(damaged, 0, TDamage::RunPastRow);
  std::vector<uint8_t> cut = Tank();
  cut.resize(8);
  THpiBuilder builder;
  builder.AddFile("units/a.quv", Tank());
  THpiLayout layout;
  std::vector<uint8_t> loop = builder.Build(&layout);
  PutU32(loop, layout.Entries.at("units") + 4, layout.DirRecords.at(""));
  const QStringList batch = {Write("a.quv", Tank()),
                             Write("tank.quv", damaged),
                             Write("cut.quv", cut),
                             Write("loop.hpi", loop),
                             Write("notquv.bin", std::vector<uint8_t>(64, 0)),
                             Write("b.quv", Tank())};
  SetDialogs(nullptr);  // the real boxes, answered with the keyboard
  TEnterOnEveryBox enter;
  Main->Opener()->LoadFiles(batch);
  QApplication::processEvents();

  EXPECT_EQ(OpenNames(), (QStringList{"a.quv", "b.quv", "tank.quv"}));
  EXPECT_FALSE(Main->Terminating);
  ASSERT_EQ(enter.Seen.size(), 3) << enter.Seen.join('\n').toStdString();
  // The archive is read first, for the picker, before the batch opens files.
  EXPECT_TRUE(enter.Seen[0].startsWith("Error\n")) << enter.Seen[0].toStdString();
  EXPECT_TRUE(enter.Seen[0].contains("reached twice")) << enter.Seen[0].toStdString();
  EXPECT_TRUE(enter.Seen[1].startsWith("Error\nCould not open quv " + batch[2]));
  EXPECT_TRUE(enter.Seen[2].contains("\"notquv.bin\" is not a Quv file"))
      << enter.Seen[2].toStdString();
  for (TQuvView* view : Main->Views()) {
    if (view->FileName().endsWith("tank.quv")) {
      EXPECT_EQ(view->Canvas()->PaintBox()->Message(),
                Sentence(1, "the run-length code runs past the row"));
    }
  }
}

// Files in an archive that hold something else under a Quv name: no empty sprite window, but a
// box that names the file as the user knows it; the log keeps the reader's own words.
TEST_F(DamagedFileTest, AFileThatIsNoQuvFileIsNamedSoAndOpensNoWindow) {
  THpiBuilder builder;
  const std::string notes = "Notes on the units folder.";
  builder.AddFile("units/notes.quv", std::vector<uint8_t>(notes.begin(), notes.end()));
  builder.AddFile("units/zero.quv", std::vector<uint8_t>(40, 0));
  const QString archive = Dir.filePath(QStringLiteral("pack.hpi"));
  builder.WriteFile(archive.toStdString());
  QStringList logged;
  const auto previous = Console->OnLog;
  Console->OnLog = [&](const std::string& text, uint8_t) { logged << FromStd(text); };
  for (const char* name : {"notes.quv", "zero.quv"})
    Main->OpenQuvFile(archive, archive + QStringLiteral("/units/") + name);
  Console->OnLog = previous;
  QApplication::processEvents();

  EXPECT_TRUE(Main->Views().isEmpty());
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 2u);
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.contains("\"units/notes.quv\" is not a Quv file"))
      << GuiTestDialogs().Messages[0].Text.toStdString();
  EXPECT_TRUE(GuiTestDialogs().Messages[1].Text.contains("\"units/zero.quv\" is not a Quv file"))
      << GuiTestDialogs().Messages[1].Text.toStdString();
  EXPECT_FALSE(GuiTestDialogs().Messages[1].Text.contains("Trying to continue"));
  EXPECT_TRUE(logged.join('\n').contains(
      "Quv header version was $00000000 expecting $00010100. Trying to continue."))
      << logged.join('\n').toStdString();
}

// A programming error asks whether to end: Enter keeps working with every window; "Yes" ends
// the event loop with the settings written, and the windows go afterwards without a fault.
TEST_F(DamagedFileTest, ErrorDialogKeepsWorkingOnEnterAndEndsCleanlyOnYes) {
  const QString settings = Dir.filePath(QStringLiteral("Vellicor.ini"));
  QPointer<TQuvView> first = Main->OpenQuvFile({}, Write("a.quv", Tank()));
  QPointer<TQuvView> second = Main->OpenQuvFile({}, Write("b.quv", Tank()));
  SetDialogs(nullptr);
  {
    TEnterOnEveryBox enter;
    first->ReportError(std::logic_error("a broken invariant"));
    ASSERT_EQ(enter.Seen.size(), 1);
    EXPECT_TRUE(enter.Seen[0].startsWith("Error at:\nProgram: ")) << enter.Seen[0].toStdString();
    EXPECT_TRUE(enter.Seen[0].endsWith("Terminate application?"));
  }
  EXPECT_EQ(Main->Views().size(), 2);
  EXPECT_FALSE(Main->Terminating);
  EXPECT_TRUE(first->Player()->Timer()->isActive());  // the view goes on animating

  QFile::remove(settings);
  TAnswerModal<QMessageBox> yes([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  // As in the program: the error comes while the event loop runs, from inside a view.
  QTimer::singleShot(0, first, [first] { first->ReportError(std::logic_error("again")); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(yes.Answered());
  EXPECT_TRUE(Main->Terminating);
  EXPECT_TRUE(QFileInfo::exists(settings));
  Main.reset();  // the windows go with the main window
  EXPECT_TRUE(first.isNull());
  EXPECT_TRUE(second.isNull());
  Main = std::make_unique<TMainForm>(settings);  // for TearDown
}

// A real assertion while a handed-over file opens: whichever button answers it (Enter and
// Escape included), the next hand-over opens its file.
class AssertionButtonTest : public DamagedFileTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    DamagedFileTest::SetUp();
    FHandler = Platform().AssertionHandler;
    Platform().AssertionHandler = AssertDialogHandler;
    AssertionsSuppressed() = false;
  }
  void TearDown() override {
    Platform().AssertionHandler = FHandler;
    AssertionsSuppressed() = false;
    DamagedFileTest::TearDown();
  }

  decltype(TPlatformTable::AssertionHandler) FHandler;
};

TEST_P(AssertionButtonTest, HandOverAndLoadingWorkAfterTheAnswer) {
  const int answer = GetParam();
  const QString name = Dir.filePath(QStringLiteral("viewer.sock"));
  TSingleInstanceServer server;
  Main->Opener()->ServeRequests(server);
  ASSERT_TRUE(server.Listen(name));
  QSignalSpy executed(&server, &TSingleInstanceServer::RequestExecuted);
  bool asserted = false;
  QObject::connect(Main.get(), &TMainForm::ViewOpened, [&asserted] {
    if (asserted) return;
    asserted = true;
    VASSERT_MSG(false, "A broken precondition");
  });
  SetDialogs(nullptr);
  TAnswerModal<QMessageBox> press([answer](QMessageBox* box) {
    if (answer == Qt::Key_Return || answer == Qt::Key_Escape)
      PressKey(box, Qt::Key(answer));
    else
      box->button(QMessageBox::StandardButton(answer))->click();
  });

  ASSERT_TRUE(TSingleInstanceServer::SendToRunning({Write("a.quv", Tank())}, Dir.path(), name));
  ASSERT_TRUE(executed.wait(5000));
  EXPECT_TRUE(asserted);
  EXPECT_TRUE(press.Answered());
  ASSERT_TRUE(TSingleInstanceServer::SendToRunning({Write("b.quv", Tank())}, Dir.path(), name));
  ASSERT_TRUE(executed.wait(5000));
  EXPECT_EQ(OpenNames(), (QStringList{"a.quv", "b.quv"}));
  EXPECT_EQ(Main->Views().back()->InfoPanel()->FramePosition()->text(),
            QStringLiteral("Frame 1 / 8"));
}

INSTANTIATE_TEST_SUITE_P(EveryAnswer, AssertionButtonTest,
                         ::testing::Values(int(QMessageBox::Retry), int(QMessageBox::Ignore),
                                           int(Qt::Key_Return), int(Qt::Key_Escape)));

// Abort, with no debugger attached, ends the viewer at once with its settings written and its
// name free: the next start is the viewer and opens the files handed to it.
TEST_F(AssertionButtonTest, AbortEndsTheViewerAndTheNextStartOpensItsFiles) {
  // The death test's child runs this test again from its start: it takes the folder from here.
  if (!qEnvironmentVariableIsSet("VELLICOR_TEST_ABORT_DIR"))
    qputenv("VELLICOR_TEST_ABORT_DIR", Dir.path().toLocal8Bit());
  const QString folder = qEnvironmentVariable("VELLICOR_TEST_ABORT_DIR");
  const QString settings = folder + QStringLiteral("/abort.ini");
  const QString name = folder + QStringLiteral("/abort.sock");
  const QString file = folder + QStringLiteral("/a.quv");
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TMainForm viewer(settings);
        TSingleInstanceServer server;
        viewer.Opener()->ServeRequests(server);
        if (!server.Listen(name)) std::_Exit(1);
        QObject::connect(&viewer, &TMainForm::ViewOpened,
                         [] { VASSERT_MSG(false, "A broken precondition"); });
        SetDialogs(nullptr);
        TAnswerModal<QMessageBox> abort(
            [](QMessageBox* box) { box->button(QMessageBox::Abort)->click(); });
        if (!WriteTestFile(file, Tank())) std::_Exit(1);
        QTimer::singleShot(0, &viewer, [&] { viewer.Opener()->OpenFiles({file}); });
        QTimer::singleShot(20000, [] { std::_Exit(2); });
        QApplication::exec();
      },
      ::testing::ExitedWithCode(3), "");
  qunsetenv("VELLICOR_TEST_ABORT_DIR");
  EXPECT_TRUE(QFileInfo::exists(settings));

  TSingleInstanceServer next;
  ASSERT_EQ(next.Start({file}, folder, name, 2000), TSingleInstanceServer::srListening);
  Main->Opener()->ServeRequests(next);
  QSignalSpy executed(&next, &TSingleInstanceServer::RequestExecuted);
  ASSERT_TRUE(TSingleInstanceServer::SendToRunning({file}, folder, name));
  ASSERT_TRUE(executed.wait(5000));
  EXPECT_EQ(OpenNames(), QStringList{"a.quv"});
}

}  // namespace

namespace {

// A file whose frames cannot all be read cannot be edited or saved as a whole: the user is told
// which frame, and nothing changes.
TEST_F(DamagedFileTest, AnEditOfAFileWithADamagedFrameNamesTheFrameAndChangesNothing) {
  std::vector<uint8_t> bytes = Tank();
  Damage(bytes, 5, TDamage::RunPastRow);
  const QString path = Write(QStringLiteral("tank.quv"), bytes);
  TQuvView* view = Open(path);
  ASSERT_TRUE(view && view->ShowImageNamed(QStringLiteral("tank")));
  GuiTestDialogs().Reset();
  EXPECT_FALSE(view->PerformEdit([](const TQuvContent& content, size_t image) {
    return ShiftOffsets(content, image, {0}, 1, 0);
  }));
  ASSERT_FALSE(GuiTestDialogs().Messages.empty());
  const QString told = GuiTestDialogs().Messages.back().Text;
  EXPECT_TRUE(told.startsWith(QStringLiteral("tank.quv: ") + Sentence(6, QString())))
      << told.toStdString();
  EXPECT_FALSE(view->Edits()->Modified());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray now = file.readAll();
  EXPECT_EQ(now, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

}  // namespace
