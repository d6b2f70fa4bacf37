// The edit commands of a view as its user reaches them: keys on the canvas, the Edit menu opened
// with Alt+E, the canvas's and the list's right-click menus, the dialogs answered with keys, and
// picture files dropped on the canvas. Each test checks the frames the view shows afterwards.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include "EditDialogsU.h"
#include "EditDocumentU.h"
#include "ExportFormatU.h"
#include "FrameCursorU.h"
#include "GuiTestMain.h"
#include "ImageListPaneU.h"
#include "ImageLoaderU.h"
#include "MainMenusU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"

namespace {

constexpr uint8_t T = SampleTransparentIndex;

// "walk": three frames of their own sizes and hot spots; "idle": one frame.
std::vector<TSampleImage> Walk() {
  return {{"walk",
           {SolidFrame(4, 4, 1, 2, 16), SolidFrame(6, 3, 0, 0, 17), SolidFrame(2, 2, 5, 5, 18)}},
          {"idle", {SolidFrame(2, 2, 0, 0, 19)}}};
}

class EditCommandsTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain();
    for (TToggle aid : {tgCheckerboard, tgFrameBounds, tgOnionSkin, tgCrosshair, tgAutoCentre})
      Main->Settings()->SetToggle(aid, false);
    View = OpenImages(Walk());
    ASSERT_TRUE(View);
    ASSERT_TRUE(View->ShowImageNamed("walk"));
  }
  TQuvView* OpenImages(const std::vector<TSampleImage>& images) {
    return Open(Write(QStringLiteral("file%1.quv").arg(++Files), BuildQuvFile(images)));
  }

  // ---- What the user sees ----
  const TImageFrame* ShownFrame() const { return View->Cursor()->Shown()->Frame; }
  QPoint ShownOffset() const { return {ShownFrame()->XOffset, ShownFrame()->YOffset}; }
  QSize ShownSize() const { return {ShownFrame()->Width, ShownFrame()->Height}; }
  int FrameIndex() const { return View->Cursor()->Image()->CurrentFrame; }
  int FrameCount() const { return View->Cursor()->Image()->FrameCount; }
  QImage Rendered() const { return View->Canvas()->PaintBox()->grab().toImage(); }
  QStringList ListedImages() const {
    QStringList names;
    for (int i = 0; i < View->ImageList()->topLevelItemCount(); ++i)
      names << View->ImageList()->topLevelItem(i)->text(0);
    return names;
  }

  // ---- What the user does ----
  // A key pressed with the focus on the canvas.
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QApplication::setActiveWindow(Main.get());
    TPaintBox* box = View->Canvas()->PaintBox();
    box->setFocus();
    QTest::keyClick(box, Qt::Key(key), modifiers);
    QApplication::processEvents();
  }
  // The open menu's item of that caption, chosen with Return.
  static void Choose(QMenu* menu, const QString& caption) {
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(QApplication::activePopupWidget(), menu);
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions())
      if (action->text() == caption) chosen = action;
    ASSERT_NE(chosen, nullptr) << caption.toStdString();
    ASSERT_TRUE(chosen->isVisible() && chosen->isEnabled()) << caption.toStdString();
    menu->setActiveAction(chosen);
    QTest::keyClick(menu, Qt::Key_Return);
    QApplication::processEvents();
  }
  // Alt+E, then the item.
  void ChooseFromEditMenu(const QString& caption) {
    QApplication::setActiveWindow(Main.get());
    QTest::keyClick(Main.get(), Qt::Key_E, Qt::AltModifier);
    QApplication::processEvents();
    Choose(Main->Menus()->EditMenu, caption);
  }
  // A right click at `pos` of `widget`, then the item of the menu it pops up.
  static void ChooseFromPopup(QWidget* widget, QPoint pos, const QString& caption) {
    QTest::mouseClick(widget, Qt::RightButton, Qt::NoModifier, pos);
    QContextMenuEvent click(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
    QApplication::sendEvent(widget, &click);
    QApplication::processEvents();
    Choose(qobject_cast<QMenu*>(QApplication::activePopupWidget()), caption);
  }
  void ChooseFromCanvasMenu(const QString& caption) {
    ChooseFromPopup(View->Canvas()->PaintBox(), QPoint(1, 1), caption);
  }
  void ChooseFromListMenu(int row, const QString& caption) {
    QTreeWidget* list = View->ImageList();
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    ChooseFromPopup(list->viewport(), at, caption);
  }
  // A picture of one palette colour, written as a PNG.
  QString WritePicture(const QString& name, QSize size, uint8_t colour) {
    QImage picture(size, QImage::Format_ARGB32);
    picture.fill(PaletteColour(colour));
    const QString path = Dir.filePath(name);
    EXPECT_TRUE(picture.save(path, "PNG"));
    return path;
  }
  // Files dragged over the canvas and dropped there.
  void Drop(const QStringList& files) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    data.setUrls(urls);
    QWidget* canvas = View->Canvas();
    const QPoint at = canvas->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &drop);
    EXPECT_TRUE(drop.isAccepted());
    QApplication::processEvents();
    QApplication::processEvents();
  }

  TQuvView* View = nullptr;
  int Files = 0;
};

TEST_F(EditCommandsTest, CopiedOffsetsArePastedWholeOrOneCoordinateOntoOtherFramesAndViews) {
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));
  Press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);  // Copy Offsets
  EXPECT_EQ(QApplication::clipboard()->text(), "1,2");
  Press(Qt::Key_Right);
  ASSERT_EQ(FrameIndex(), 1);
  EXPECT_EQ(ShownOffset(), QPoint(0, 0));
  Press(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);  // Paste Offsets
  EXPECT_EQ(FrameIndex(), 1);
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));
  EXPECT_EQ(ShownSize(), QSize(6, 3));  // the same frame, its hot spot moved

  Press(Qt::Key_Right);
  EXPECT_EQ(ShownOffset(), QPoint(5, 5));
  ChooseFromEditMenu("Paste X Only");
  EXPECT_EQ(ShownOffset(), QPoint(1, 5));
  ChooseFromCanvasMenu("Paste Y Only");
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));
  Press(Qt::Key_Home);
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));  // the frame copied from stays as it was

  // Another file's view takes the same offsets.
  View = OpenImages({{"jump", {SolidFrame(3, 3, 7, 8, 20)}}});
  ASSERT_TRUE(View && View->ShowImageNamed("jump"));
  ASSERT_EQ(ShownOffset(), QPoint(7, 8));
  ChooseFromEditMenu("Paste Offsets");
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));
}

TEST_F(EditCommandsTest, ShiftDialogAnsweredWithKeysMovesEveryHotSpotOfTheImageInOneStep) {
  TAnswerModal<TShiftOffsetsDialog> answer([](TShiftOffsetsDialog* dialog) {
    QApplication::setActiveWindow(dialog);  // the desktop activates a box as it opens
    const auto type = [](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    };
    type(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "-2");  // DX
    type(Qt::Key_Tab);
    type(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "3");  // DY
    type(Qt::Key_Tab);                                   // "Selected frames"
    type(Qt::Key_Down);                                  // "Whole image"
    type(Qt::Key_Return);
  });
  ChooseFromEditMenu("Shift Offsets...");
  EXPECT_TRUE(answer.Answered());
  EXPECT_EQ(FrameIndex(), 0);
  EXPECT_EQ(ShownOffset(), QPoint(-1, 5));
  Press(Qt::Key_Right);
  EXPECT_EQ(ShownOffset(), QPoint(-2, 3));
  Press(Qt::Key_Right);
  EXPECT_EQ(ShownOffset(), QPoint(3, 8));
  EXPECT_EQ(View->Edits()->UndoStack()->count(), 1);
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(ShownOffset(), QPoint(5, 5));
}

TEST_F(EditCommandsTest, HotSpotAtBottomCentreIsWhereAFreshReadFindsIt) {
  // Visible pixels in columns 1 to 3 and rows 0 to 2 of a 5 x 4 frame.
  TSampleFrame frame{
      5, 4, 0, 0, 1, {T, 30, 31, 32, T, T, 33, 34, 35, T, T, 36, 37, 38, T, T, T, T, T, T}, {}};
  View = OpenImages({{"crate", {frame, SolidFrame(2, 2, 0, 0, 20)}}});
  ASSERT_TRUE(View && View->ShowImageNamed("crate"));
  ChooseFromCanvasMenu("Hot Spot at Bottom Centre");
  EXPECT_EQ(ShownOffset(), QPoint(2, 2));  // the middle column of three, on the last row
  Press(Qt::Key_Right);
  EXPECT_EQ(ShownOffset(), QPoint(0, 0));  // only the shown frame moved
  // The bytes of the edited file, read by a collection of their own.
  const std::vector<uint8_t> bytes = EncodeQuvContent(View->Content());
  const QString copy = Write("copy.quv", bytes);
  TQuvView* reread = Open(copy);
  ASSERT_TRUE(reread && reread->ShowImageNamed("crate"));
  EXPECT_EQ(reread->Cursor()->Shown()->Frame->XOffset, 2);
  EXPECT_EQ(reread->Cursor()->Shown()->Frame->YOffset, 2);
}

TEST_F(EditCommandsTest, CropKeepsEveryVisiblePixelOnItsPlaceOnScreen) {
  // Frame 0: a 3 x 2 block of colours inside an 8 x 8 frame; frame 1, larger, holds the canvas.
  TSampleFrame sparse{8, 8, 4, 4, 1, std::vector<uint8_t>(64, T), {}};
  for (int y = 3; y <= 4; ++y)
    for (int x = 2; x <= 4; ++x) sparse.Pixels[size_t(y * 8 + x)] = uint8_t(40 + y * 8 + x);
  View = OpenImages({{"pad", {sparse, SolidFrame(12, 12, 6, 6, 21)}}});
  ASSERT_TRUE(View && View->ShowImageNamed("pad"));
  const QImage before = Rendered();
  const QRgb corner = PaletteColour(40 + 3 * 8 + 2).rgb();  // the block's top left
  int drawn = 0;
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x) drawn += before.pixel(x, y) == corner;
  ASSERT_GT(drawn, 0);
  ChooseFromEditMenu("Crop to Visible Pixels");
  EXPECT_EQ(ShownSize(), QSize(3, 2));
  EXPECT_EQ(ShownOffset(), QPoint(2, 1));
  EXPECT_EQ(Rendered(), before);
  Press(Qt::Key_Right);
  EXPECT_EQ(ShownSize(), QSize(12, 12));  // not selected: as it was
}

TEST_F(EditCommandsTest, ReplaceFrameFromAPngOfTheProgramsOwnExportGivesBackThatFrame) {
  TSampleFrame holed{3, 2, 1, 1, 1, {22, T, 23, 24, 25, T}, {}};
  View = OpenImages({{"hole", {SolidFrame(4, 4, 2, 3, 16), holed}}});
  ASSERT_TRUE(View && View->ShowImageNamed("hole"));
  Main->Settings()->SetExportFormat(efPng);
  Main->Settings()->SetToggle(tgAutoPad, false);
  Press(Qt::Key_Right);
  const QString exported = Dir.filePath("hole_1.png");
  GuiTestDialogs().SaveAnswers.push_back(exported);
  ChooseFromCanvasMenu("Export frame");
  ASSERT_TRUE(QFileInfo::exists(exported));

  Press(Qt::Key_Home);
  GuiTestDialogs().OpenAnswers.push_back({{exported}, 0});
  ChooseFromEditMenu("Replace Frame from File...");
  const TQuvFrameModel& replaced = View->Content().Images[0].Frames[0];
  EXPECT_EQ(replaced.Pixels, holed.Pixels);
  EXPECT_EQ(QSize(replaced.Width, replaced.Height), QSize(3, 2));
  EXPECT_EQ(ShownOffset(), QPoint(2, 3));  // the replaced frame's hot spot stays
  EXPECT_EQ(FrameIndex(), 0);
}

TEST_F(EditCommandsTest, InsertedFramesFollowTheShownFrameInNaturalOrderOfTheirNames) {
  const QString ten = WritePicture("frame10.png", QSize(2, 2), 24);
  const QString two = WritePicture("frame2.png", QSize(3, 1), 25);
  GuiTestDialogs().OpenAnswers.push_back({{ten, two}, 0});
  ChooseFromEditMenu("Insert Frames from Files...");
  ASSERT_EQ(FrameCount(), 5);
  EXPECT_EQ(FrameIndex(), 1);  // the first inserted is shown
  EXPECT_EQ(ShownSize(), QSize(3, 1));
  const std::vector<TQuvFrameModel>& frames = View->Content().Images[0].Frames;
  EXPECT_EQ(frames[1].Pixels, std::vector<uint8_t>(3, 25));
  EXPECT_EQ(frames[2].Pixels, std::vector<uint8_t>(4, 24));
  EXPECT_EQ(QSize(frames[3].Width, frames[3].Height), QSize(6, 3));  // the old frame 1
}

TEST_F(EditCommandsTest, DeleteOnTheCanvasRemovesTheFrameAndCtrlZBringsItBack) {
  Press(Qt::Key_Right);
  ASSERT_EQ(ShownSize(), QSize(6, 3));
  Press(Qt::Key_Delete);
  EXPECT_EQ(FrameCount(), 2);
  EXPECT_EQ(FrameIndex(), 1);
  EXPECT_EQ(ShownSize(), QSize(2, 2));  // its successor
  Press(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(FrameCount(), 3);
  EXPECT_EQ(ShownSize(), QSize(6, 3));
  EXPECT_EQ(ShownOffset(), QPoint(0, 0));
}

TEST_F(EditCommandsTest, MovedAndDuplicatedFramesStayShown) {
  Press(Qt::Key_Right, Qt::ControlModifier);  // Move Frame Later
  EXPECT_EQ(FrameIndex(), 1);
  EXPECT_EQ(ShownSize(), QSize(4, 4));
  Press(Qt::Key_Home);
  EXPECT_EQ(ShownSize(), QSize(6, 3));
  Press(Qt::Key_End);
  Press(Qt::Key_Left, Qt::ControlModifier);  // Move Frame Earlier
  EXPECT_EQ(FrameIndex(), 1);
  EXPECT_EQ(ShownSize(), QSize(2, 2));
  Press(Qt::Key_D, Qt::ControlModifier);  // Duplicate Frame: its copy is shown
  EXPECT_EQ(FrameCount(), 4);
  EXPECT_EQ(FrameIndex(), 2);
  EXPECT_EQ(ShownSize(), QSize(2, 2));
  Press(Qt::Key_Right);
  EXPECT_EQ(ShownSize(), QSize(4, 4));
}

TEST_F(EditCommandsTest, RenameByF2RefusesANameOf32BytesWithABoxAndTakesAShorterOne) {
  const auto rename = [this](const QString& name) {
    TAnswerModal<QInputDialog> answer([name](QInputDialog* dialog) {
      QWidget* edit = dialog->findChild<QLineEdit*>();
      QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(edit, name);
      QTest::keyClick(edit, Qt::Key_Return);
    });
    Press(Qt::Key_F2);
    EXPECT_TRUE(answer.Answered());
  };
  rename(QString(32, 'n'));
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.contains("32 bytes"))
      << GuiTestDialogs().Messages[0].Text.toStdString();
  EXPECT_EQ(ListedImages(), (QStringList{"walk", "idle"}));
  EXPECT_EQ(View->Edits()->UndoStack()->count(), 0);

  rename(QString(31, 'n'));
  EXPECT_EQ(ListedImages(), (QStringList{QString(31, 'n'), "idle"}));
  EXPECT_EQ(View->Cursor()->ImageName(), QString(31, 'n'));
}

TEST_F(EditCommandsTest, DeleteImageFromTheListMenuAsksFirstAndTheListLosesTheRow) {
  // "No" keeps it.
  ChooseFromListMenu(0, "Delete Image");
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.contains("walk"));
  EXPECT_EQ(ListedImages(), (QStringList{"walk", "idle"}));
  GuiTestDialogs().MessageAnswers.push_back(QMessageBox::Yes);
  ChooseFromListMenu(0, "Delete Image");
  EXPECT_EQ(ListedImages(), QStringList{"idle"});
  EXPECT_EQ(View->Cursor()->ImageName(), "idle");

  ChooseFromListMenu(0, "Duplicate Image");
  EXPECT_EQ(ListedImages(), (QStringList{"idle", "idle copy"}));
  EXPECT_EQ(View->Cursor()->ImageName(), "idle copy");
}

TEST_F(EditCommandsTest, APngDroppedOnTheCanvasIsInsertedAndAQuvFileDroppedThereOpens) {
  Drop({WritePicture("extra.png", QSize(5, 1), 26)});
  EXPECT_EQ(FrameCount(), 4);
  EXPECT_EQ(FrameIndex(), 1);
  EXPECT_EQ(ShownSize(), QSize(5, 1));

  const qsizetype views = Main->Views().size();
  Drop({Write("other.quv", BuildQuvFile({{"other", {SolidFrame(1, 1, 0, 0, 20)}}}))});
  EXPECT_EQ(Main->Views().size(), views + 1);
  EXPECT_EQ(FrameCount(), 4);
}

}  // namespace
