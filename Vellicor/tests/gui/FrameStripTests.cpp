// The strip of frames under a view's canvas, as the user works it: clicking a tile shows that
// frame, Ctrl and Shift choose several, the keys move along it, a drag of tiles asks for a move and
// dropped picture files ask to be added; pictures are made only for tiles in sight; empty pixels
// look as on the canvas; the View menu hides the strip in every view and the choice is kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <vector>

#include "EditDocumentU.h"
#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "FrameStripU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainMenusU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"

namespace {

constexpr uint8_t FirstColour = 16;  // frame i is all colour 16 + i

// `count` frames of 8 x 8 pixels, frame i all of colour 16 + i.
TSampleImage Frames(const std::string& name, int count) {
  TSampleImage image{name, {}};
  for (int i = 0; i < count; ++i)
    image.Frames.push_back(SolidFrame(8, 8, 0, 0, uint8_t(FirstColour + i % 200)));
  return image;
}

int PixelsOf(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  return count;
}

class FrameStripTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain(QSize(1000, 800));
    Main->Settings()->SetBackGroundColor(0x00000000);  // black
  }

  TQuvView* OpenFrames(int count) {
    TQuvView* view = Open(
        Write(QStringLiteral("strip%1.quv").arg(++Files), BuildQuvFile({Frames("tank", count)})));
    Settle(view->Strip());
    return view;
  }

  // Until the strip has drawn what is in sight and made its pictures.
  static void Settle(TFrameStrip* strip) {
    for (int turn = 0; turn < 3 || (strip->Busy() && turn < 500); ++turn)
      QApplication::processEvents();
  }

  static QRect Tile(TFrameStrip* strip, int index) {
    return strip->List()->visualRect(strip->List()->model()->index(index, 0));
  }

  static void Click(TFrameStrip* strip, int index, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(strip->List()->viewport(), Qt::LeftButton, modifiers,
                      Tile(strip, index).center());
    Settle(strip);
  }

  // What the user sees of a tile.
  static QImage Seen(TFrameStrip* strip, int index) {
    return strip->List()->viewport()->grab().toImage().copy(Tile(strip, index));
  }

  static QString Shown(TQuvView* view) { return view->InfoPanel()->FramePosition()->text(); }

  static int CanvasPixels(TQuvView* view, int frame) {
    return PixelsOf(view->Canvas()->PaintBox()->grab().toImage(),
                    PaletteColour(uint8_t(FirstColour + frame)));
  }

  // The events a drag brings while it enters the tiles and moves to `at`, and whether the
  // tiles then show where the drop would go.
  static bool DragOver(TFrameStrip* strip, const QMimeData* mime, QPoint at) {
    QWidget* port = strip->List()->viewport();
    const QImage before = port->grab().toImage();
    QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(port, &enter);
    QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(port, &move);
    return port->grab().toImage() != before;
  }

  // The same ending in a drop; whether the tiles showed where it would go.
  static bool Drop(TFrameStrip* strip, const QMimeData* mime, QPoint at) {
    const bool marked = DragOver(strip, mime, at);
    QDropEvent drop(at, Qt::MoveAction | Qt::CopyAction, mime, Qt::LeftButton, {});
    QApplication::sendEvent(strip->List()->viewport(), &drop);
    return marked;
  }

  static void DragAway(TFrameStrip* strip) {
    QDragLeaveEvent leave;
    QApplication::sendEvent(strip->List()->viewport(), &leave);
  }

  int Files = 0;
};

TEST_F(FrameStripTest, EveryFrameHasATileWithItsPictureAndNumberAndTheShownOneIsMarked) {
  TQuvView* view = OpenFrames(8);
  TFrameStrip* strip = view->Strip();
  ASSERT_TRUE(strip->isVisible());
  EXPECT_GT(strip->geometry().top(), view->Canvas()->geometry().bottom());  // under the canvas
  ASSERT_EQ(strip->List()->model()->rowCount(), 8);
  const QColor mark = strip->List()->palette().color(QPalette::Highlight);
  for (int frame = 0; frame < 8; ++frame) {
    SCOPED_TRACE(frame);
    EXPECT_EQ(strip->List()->model()->index(frame, 0).data().toString(),
              QString::number(frame + 1));
    // 8 x 8 pixels fitted into 48 x 48: each pixel a block of 6.
    const QImage tile = Seen(strip, frame);
    EXPECT_EQ(PixelsOf(tile, PaletteColour(uint8_t(FirstColour + frame))), 48 * 48);
    EXPECT_EQ(PixelsOf(tile, mark) > 0, frame == 0);
  }
  EXPECT_EQ(strip->List()->model()->index(2, 0).data(Qt::ToolTipRole).toString(),
            QStringLiteral("Frame 3 of 8 \u2014 8 \u00d7 8"));
}

TEST_F(FrameStripTest, ClickingATileShowsThatFrameAndCtrlOrShiftChooseSeveral) {
  TQuvView* view = OpenFrames(8);
  TFrameStrip* strip = view->Strip();
  QSignalSpy chosen(strip, &TFrameStrip::frameChosen);
  QSignalSpy selection(strip, &TFrameStrip::selectionChanged);
  ASSERT_TRUE(view->Player()->Playing());

  Click(strip, 2);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 3 / 8"));
  EXPECT_EQ(CanvasPixels(view, 2), 64);
  EXPECT_FALSE(view->Player()->Playing());  // the chosen frame stays
  EXPECT_EQ(strip->SelectedFrames(), (std::vector<int32_t>{2}));
  EXPECT_EQ(chosen.size(), 1);
  EXPECT_GT(selection.size(), 0);

  Click(strip, 5, Qt::ControlModifier);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 6 / 8"));
  EXPECT_EQ(CanvasPixels(view, 5), 64);
  EXPECT_EQ(strip->SelectedFrames(), (std::vector<int32_t>{2, 5}));
  Click(strip, 7, Qt::ShiftModifier);  // from the last one chosen
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 8 / 8"));
  EXPECT_EQ(strip->SelectedFrames(), (std::vector<int32_t>{2, 5, 6, 7}));

  // Stepping on the canvas moves the mark and keeps a choice of several.
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Right);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 1 / 8"));
  EXPECT_EQ(strip->CurrentFrame(), 0);
  EXPECT_EQ(strip->SelectedFrames(), (std::vector<int32_t>{2, 5, 6, 7}));

  // A choice of one follows the frame shown; with nothing chosen the shown frame counts.
  Click(strip, 3);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Right);
  EXPECT_EQ(strip->SelectedFrames(), (std::vector<int32_t>{4}));
  Click(strip, 4, Qt::ControlModifier);  // off again
  EXPECT_TRUE(strip->List()->selectionModel()->selectedIndexes().isEmpty());
  EXPECT_EQ(strip->SelectedFrames(), (std::vector<int32_t>{4}));
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 5 / 8"));
}

TEST_F(FrameStripTest, KeysMoveAlongTheStripWhileItHasTheFocus) {
  TQuvView* view = OpenFrames(8);
  QListView* list = view->Strip()->List();
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Right);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 2 / 8"));
  EXPECT_FALSE(view->Player()->Playing());
  QTest::keyClick(list, Qt::Key_Right);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 3 / 8"));
  EXPECT_EQ(CanvasPixels(view, 2), 64);
  QTest::keyClick(list, Qt::Key_Left);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 2 / 8"));
  QTest::keyClick(list, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view->Strip()->SelectedFrames(), (std::vector<int32_t>{1, 2}));
  QTest::keyClick(list, Qt::Key_End);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 8 / 8"));
  QTest::keyClick(list, Qt::Key_Home);
  EXPECT_EQ(Shown(view), QStringLiteral("Frame 1 / 8"));
  EXPECT_EQ(CanvasPixels(view, 0), 64);
}

TEST_F(FrameStripTest, DraggingTilesAsksForAMoveAndLeavesTheOrderToTheDocument) {
  TQuvView* view = OpenFrames(8);
  TFrameStrip* strip = view->Strip();
  QListView* list = strip->List();
  QSignalSpy moves(strip, &TFrameStrip::moveRequested);

  // Pressing on tile 0 and moving the mouse starts a drag of frame 0 (this desktop ends it at
  // once: the drop comes as the desktop would bring it).
  QWidget* port = list->viewport();
  const QPoint from = Tile(strip, 0).center();
  QTest::mousePress(port, Qt::LeftButton, {}, from);
  QTest::mouseMove(port, from + QPoint(QApplication::startDragDistance() + 10, 0));
  QTest::mouseMove(port, from + QPoint(QApplication::startDragDistance() + 20, 0));
  auto* drag = list->findChild<QDrag*>();
  ASSERT_NE(drag, nullptr);
  QMimeData* dragged = drag->mimeData();
  QTest::mouseRelease(port, Qt::LeftButton, {}, from);

  // Dropped on the right half of tile 3: after it.
  const QRect fourth = Tile(strip, 3);
  ASSERT_TRUE(Drop(strip, dragged, QPoint(fourth.right() - 3, fourth.center().y())));
  ASSERT_EQ(moves.size(), 1);
  EXPECT_EQ(moves[0][0].value<std::vector<int32_t>>(), (std::vector<int32_t>{0}));
  EXPECT_EQ(moves[0][1].value<int32_t>(), 4);
  // The view moves the frames as one undoable step: frame 0 is fourth now, and shown.
  Settle(strip);
  EXPECT_EQ(PixelsOf(Seen(strip, 3), PaletteColour(FirstColour)), 48 * 48);
  EXPECT_EQ(PixelsOf(Seen(strip, 0), PaletteColour(FirstColour + 1)), 48 * 48);
  EXPECT_EQ(Shown(view), "Frame 4 / 8");
  EXPECT_EQ(view->Edits()->UndoStack()->count(), 1);

  // Several frames, dropped before the first tile; a drop where they already are asks nothing.
  Click(strip, 4);
  Click(strip, 6, Qt::ControlModifier);
  std::unique_ptr<QMimeData> two(
      list->model()->mimeData(list->selectionModel()->selectedIndexes()));
  ASSERT_TRUE(Drop(strip, two.get(), QPoint(Tile(strip, 0).left() + 2, from.y())));
  ASSERT_EQ(moves.size(), 2);
  EXPECT_EQ(moves[1][0].value<std::vector<int32_t>>(), (std::vector<int32_t>{4, 6}));
  EXPECT_EQ(moves[1][1].value<int32_t>(), 0);
  Click(strip, 5);
  std::unique_ptr<QMimeData> one(
      list->model()->mimeData(list->selectionModel()->selectedIndexes()));
  Drop(strip, one.get(), Tile(strip, 5).center() + QPoint(5, 0));
  EXPECT_EQ(moves.size(), 2);

  // Another view's frames are not taken.
  TQuvView* other = OpenFrames(3);
  QSignalSpy otherMoves(other->Strip(), &TFrameStrip::moveRequested);
  EXPECT_FALSE(DragOver(other->Strip(), two.get(), Tile(other->Strip(), 0).center()));
  DragAway(other->Strip());
  EXPECT_EQ(otherMoves.size(), 0);
}

TEST_F(FrameStripTest, DroppedPictureFilesAreAskedToBeAddedWhereTheyFall) {
  TQuvView* view = OpenFrames(8);
  TFrameStrip* strip = view->Strip();
  QSignalSpy files(strip, &TFrameStrip::filesDropped);
  const QString png = Write(QStringLiteral("walk.png"), {1});
  const QString bmp = Write(QStringLiteral("RUN.BMP"), {1});
  const QString text = Write(QStringLiteral("notes.txt"), {1});
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(png), QUrl::fromLocalFile(text), QUrl::fromLocalFile(bmp)});
  const QRect second = Tile(strip, 1);
  ASSERT_TRUE(Drop(strip, &mime, QPoint(second.left() + 3, second.center().y())));
  ASSERT_EQ(files.size(), 1);
  EXPECT_EQ(files[0][0].toStringList(), (QStringList{png, bmp}));
  EXPECT_EQ(files[0][1].value<int32_t>(), 1);

  // Other files are not the strip's (the main window opens what is dropped on it).
  QMimeData notes;
  notes.setUrls({QUrl::fromLocalFile(text)});
  EXPECT_FALSE(DragOver(strip, &notes, second.center()));
  DragAway(strip);
  EXPECT_EQ(files.size(), 1);
}

TEST_F(FrameStripTest, AnImageOfManyFramesShowsAtOnceAndMakesOnlyThePicturesInSight) {
  TQuvView* view = OpenFrames(1000);
  TFrameStrip* strip = view->Strip();
  TFrontEndImage* image = view->Cursor()->Image();
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(strip->FrameCount(), 1000);
  const int inSight = strip->List()->viewport()->width() / Tile(strip, 0).width() + 1;
  EXPECT_TRUE(strip->IsMade(0));
  EXPECT_TRUE(strip->IsMade(inSight - 1));
  EXPECT_LE(strip->PicturesMade(), inSight);
  EXPECT_FALSE(image->IsFrameCreated(500));
  EXPECT_FALSE(image->IsFrameCreated(999));

  // Scrolled to the end: the last tiles are made, those passed over are not.
  QScrollBar* bar = strip->List()->horizontalScrollBar();
  bar->setValue(bar->maximum());
  Settle(strip);
  EXPECT_TRUE(strip->IsMade(999));
  EXPECT_EQ(PixelsOf(Seen(strip, 999), PaletteColour(uint8_t(FirstColour + 999 % 200))), 48 * 48);
  EXPECT_FALSE(strip->IsMade(500));
  EXPECT_FALSE(image->IsFrameCreated(500));
  EXPECT_LE(strip->PicturesMade(), 2 * inSight);

  // An edited frame's picture is made again, and no other.
  const int made = strip->PicturesMade();
  strip->Invalidate({999, 0});
  Settle(strip);
  EXPECT_TRUE(strip->IsMade(999));
  EXPECT_FALSE(strip->IsMade(0));  // out of sight: made when it comes back
  EXPECT_EQ(strip->PicturesMade(), made + 1);
}

TEST_F(FrameStripTest, EmptyPixelsLookAsOnTheCanvas) {
  TSampleImage ghost{
      "ghost",
      {SolidFrame(8, 8, 0, 0, SampleTransparentIndex), SolidFrame(8, 8, 0, 0, FirstColour)}};
  TQuvView* view = Open(Write(QStringLiteral("ghost.quv"), BuildQuvFile({ghost})));
  TFrameStrip* strip = view->Strip();
  Settle(strip);
  // The background colour (and the frame's number under it).
  EXPECT_GE(PixelsOf(Seen(strip, 0), Qt::black), 48 * 48);
  EXPECT_EQ(PixelsOf(Seen(strip, 0), PaletteColour(SampleTransparentIndex)), 0);
  Main->Settings()->SetToggle(tgCheckerboard, true);
  Settle(strip);
  const QImage checked = Seen(strip, 0);
  EXPECT_GT(PixelsOf(checked, CheckerLight), 500);
  EXPECT_GT(PixelsOf(checked, CheckerDark), 500);
  Main->Settings()->SetToggle(tgTransparent, false);
  Settle(strip);
  EXPECT_EQ(PixelsOf(Seen(strip, 0), PaletteColour(SampleTransparentIndex)), 48 * 48);
}

TEST_F(FrameStripTest, TheViewMenuHidesTheStripOfEveryViewAndTheChoiceIsKept) {
  const QString path = Write(QStringLiteral("tank.quv"), BuildQuvFile({Frames("tank", 4)}));
  TQuvView* first = Open(path);
  TQuvView* second = Open(path);
  ASSERT_TRUE(second->Strip()->isVisible());
  const int roomWithStrip = second->Canvas()->height();
  auto chooseFrameStrip = [&] {
    QMenu* menu = Main->Menus()->ViewMenu;
    QApplication::setActiveWindow(Main.get());
    QTest::keyClick(Main.get(), Qt::Key_V, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), menu);
    QAction* item = nullptr;
    for (QAction* action : menu->actions())
      if (action->text() == QStringLiteral("Frame Strip")) item = action;
    ASSERT_NE(item, nullptr);
    menu->setActiveAction(item);
    QTest::keyClick(menu, Qt::Key_Return);
    QApplication::processEvents();
  };
  chooseFrameStrip();
  EXPECT_FALSE(first->Strip()->isVisible());
  EXPECT_FALSE(second->Strip()->isVisible());
  EXPECT_GT(second->Canvas()->height(), roomWithStrip);  // the canvas takes the room
  QFile ini(Dir.filePath(QStringLiteral("Vellicor.ini")));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("FrameStrip=0"));
  ini.close();

  // The program started again reads the settings file.
  StopMain();
  Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
  Main->resize(1000, 800);
  Main->show();
  QApplication::setActiveWindow(Main.get());
  Main->FirstActivation({});
  TQuvView* later = Open(path);
  EXPECT_FALSE(later->Strip()->isVisible());
  chooseFrameStrip();
  EXPECT_TRUE(later->Strip()->isVisible());
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_FALSE(ini.readAll().contains("FrameStrip"));  // shown is the default
}

}  // namespace

namespace {

// What the strip chooses is what the edit commands act on, and pictures dropped on it become
// frames where they fall.
TEST_F(FrameStripTest, TheChosenFramesAreDeletedTogetherAndDroppedPicturesBecomeFrames) {
  TQuvView* view = OpenFrames(6);
  TFrameStrip* strip = view->Strip();
  Click(strip, 1);
  Click(strip, 3, Qt::ControlModifier);
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Delete);
  Settle(strip);
  ASSERT_EQ(view->Cursor()->Image()->FrameCount, 4);
  // Left: frames 0, 2, 4, 5.
  for (auto [tile, frame] : {std::pair{0, 0}, {1, 2}, {2, 4}, {3, 5}})
    EXPECT_EQ(PixelsOf(Seen(strip, tile), PaletteColour(uint8_t(FirstColour + frame))), 48 * 48)
        << tile;
  EXPECT_EQ(view->Edits()->UndoStack()->count(), 1);  // one step for both

  QImage picture(2, 2, QImage::Format_RGB32);
  picture.fill(PaletteColour(40));
  const QString png = Dir.filePath(QStringLiteral("new.png"));
  ASSERT_TRUE(picture.save(png, "PNG"));
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(png)});
  const QRect second = Tile(strip, 1);
  ASSERT_TRUE(Drop(strip, &mime, QPoint(second.left() + 3, second.center().y())));
  Settle(strip);
  ASSERT_EQ(view->Cursor()->Image()->FrameCount, 5);
  EXPECT_EQ(PixelsOf(Seen(strip, 1), PaletteColour(40)), 48 * 48);
  EXPECT_EQ(PixelsOf(Seen(strip, 2), PaletteColour(uint8_t(FirstColour + 2))), 48 * 48);
}

}  // namespace
