// The image view window: loading from disk and from archives, the list, frame stepping,
// sub-frames, placement and drawing, menus, exports and failures.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <memory>

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
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SpriteCanvasU.h"
#include "ViewExportsU.h"
#include "WindowArrangementU.h"

namespace {

TSampleImage Frames(const std::string& name, int count, int32_t size = 4) {
  TSampleImage image{name, {}};
  for (int i = 0; i < count; ++i) image.Frames.push_back(SolidFrame(size, size, i % 3, 1, 16 + i));
  return image;
}

// beta (10 frames), Alpha (9), gamma (1), arm.fire (2): names, counts and letter case chosen so
// that every sort order differs.
std::vector<TSampleImage> SortImages() {
  return {Frames("beta", 10), Frames("Alpha", 9), Frames("gamma", 1), Frames("arm.fire", 2)};
}

class QuvViewTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    // Room for a view of its own size, whatever the first-start size on this screen.
    StartMain(QSize(1000, 750));
    Main->Settings()->SetSaveLastDir(Dir.path());
  }

  TQuvView* OpenSample() { return Open(Write(QStringLiteral("sample.quv"), MakeSampleQuv())); }

  static QTreeWidgetItem* Row(TQuvView* view, const QString& name) {
    const auto rows = view->ImageList()->findItems(name, Qt::MatchExactly, 0);
    return rows.isEmpty() ? nullptr : rows.first();
  }

  static void Select(TQuvView* view, const QString& name) {
    view->ImageList()->setCurrentItem(Row(view, name));
  }

  static QStringList Captions(TQuvView* view) {
    QStringList names;
    for (int i = 0; i < view->ImageList()->topLevelItemCount(); ++i)
      names << view->ImageList()->topLevelItem(i)->text(0);
    return names;
  }

  // The items of "Image Manipulation" as the menu holds them; null past the last.
  QList<QAction*> Items() const { return Main->Menus()->ImageManipulationMenu->actions(); }
  QAction* Item(int i) const { return Items().value(i); }

  static QString CurrentName(TQuvView* view) {
    return view->Cursor()->Image() ? QString::fromStdString(view->Cursor()->Image()->Name)
                                   : QString();
  }
};

TEST_F(QuvViewTest, ShowingAnImageByNameLeavesItTheOnlySelection) {
  TQuvView* view = OpenSample();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(CurrentName(view), "ball");  // the first, chosen on load
  EXPECT_TRUE(view->ShowImageNamed("tank"));
  EXPECT_EQ(CurrentName(view), "tank");
  ASSERT_EQ(view->ImageList()->selectedItems().size(), 1);
  EXPECT_EQ(view->ImageList()->selectedItems().first()->text(0), "tank");
  EXPECT_FALSE(view->ShowImageNamed("no such image"));
  EXPECT_EQ(CurrentName(view), "tank");
  EXPECT_EQ(view->StatusText(), "No image named \"no such image\" in this file.");
}

TEST_F(QuvViewTest, LoadListsImagesInFileOrderAndShowsTheFirst) {
  TQuvView* view = OpenSample();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(Captions(view), (QStringList{"ball", "windmill", "tank", "light", "walker"}));
  QTreeWidgetItem* ball = Row(view, "ball");
  EXPECT_EQ(ball->text(1), "True");
  EXPECT_EQ(ball->text(2), "8");
  EXPECT_TRUE(view->StatusText().startsWith("Loaded \""));
  EXPECT_TRUE(view->StatusText().endsWith("sample.quv\"."));
  EXPECT_EQ(view->windowTitle(), view->BaseCaption() + " - ball");
  EXPECT_EQ(view->BaseCaption(), TQuvView::FileCaption(view->FileName()));
  EXPECT_TRUE(view->BaseCaption().startsWith("sample.quv \u2014 "));
  EXPECT_TRUE(view->Cursor()->Ready());
  EXPECT_FALSE(view->InfoPanel()->isHidden());
  EXPECT_EQ(view->InfoPanel()->FrameCount()->text(), "8");
  EXPECT_EQ(view->InfoPanel()->CurrentFrame()->text(), "1");
  EXPECT_TRUE(view->Player()->Timer()->isActive());
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(QuvViewTest, TimerStepsFramesAndWrapsOnlyWhileAnimating) {
  TQuvView* view = OpenSample();
  for (int i = 1; i <= 7; ++i) view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 7);
  EXPECT_EQ(view->InfoPanel()->CurrentFrame()->text(), "8");
  EXPECT_EQ(view->InfoPanel()->FrameTrackBar()->value(), 8);
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
  EXPECT_EQ(view->Cursor()->Shown(), view->Cursor()->Image()->GetFrame(0));

  Main->acAnimate->setChecked(false);
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
}

TEST_F(QuvViewTest, FrameTrackBarShowsTheChosenFrame) {
  TQuvView* view = OpenSample();
  view->InfoPanel()->FrameTrackBar()->setValue(5);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 4);
  EXPECT_EQ(view->Player()->LastTrackPosition(), 5);
  TImageFrame* frame = view->Cursor()->Image()->Image->GetFrame(4);
  EXPECT_EQ(view->InfoPanel()->XOffSet()->text(), QString::number(frame->XOffset));
  EXPECT_EQ(view->InfoPanel()->ImageWidth()->text(), QString::number(frame->Width));
}

TEST_F(QuvViewTest, OneFrameImageHidesAnimationPanelAndRedrawsTheSameFrame) {
  TQuvView* view = Open(Write("sort.quv", BuildQuvFile(SortImages())));
  EXPECT_EQ(Row(view, "gamma")->text(1), "False");
  EXPECT_EQ(Row(view, "beta")->text(1), "True");
  Select(view, "gamma");
  EXPECT_EQ(CurrentName(view), "gamma");
  EXPECT_TRUE(view->InfoPanel()->AnimationPanel()->isHidden());
  TFrontEndImageFrame* only = view->Cursor()->Shown();
  view->Player()->TimerTimer();
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Shown(), only);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
}

TEST_F(QuvViewTest, SortCycleIsSharedByAllColumnsAndFramesSortNumerically) {
  TQuvView* view = Open(Write("sort.quv", BuildQuvFile(SortImages())));
  view->ListPane()->QuvImageListColumnClick(2);
  EXPECT_EQ(Captions(view), (QStringList{"gamma", "arm.fire", "Alpha", "beta"}));
  view->ListPane()->QuvImageListColumnClick(0);  // second click: descending, whatever the column
  EXPECT_EQ(view->ListPane()->SortColumn(), 1);
  EXPECT_EQ(view->ListPane()->SortDirection(), 2);
  EXPECT_EQ(Captions(view), (QStringList{"gamma", "beta", "arm.fire", "Alpha"}));
  view->ListPane()->QuvImageListColumnClick(1);  // third click: file order
  EXPECT_EQ(view->ListPane()->SortColumn(), 0);
  EXPECT_EQ(Captions(view), (QStringList{"beta", "Alpha", "gamma", "arm.fire"}));
  view->ListPane()->QuvImageListColumnClick(0);
  EXPECT_EQ(Captions(view), (QStringList{"Alpha", "arm.fire", "beta", "gamma"}));
  // Sorting keeps the shown image selected and shown.
  EXPECT_EQ(CurrentName(view), "beta");
  EXPECT_TRUE(Row(view, "beta")->isSelected());
}

TEST_F(QuvViewTest, MultiSelectionHidesImageAndGoingBackReselectsIt) {
  TQuvView* view = OpenSample();
  ASSERT_EQ(CurrentName(view), "ball");
  Row(view, "tank")->setSelected(true);
  EXPECT_TRUE(view->ListPane()->MultiSelectMode());
  EXPECT_EQ(view->Cursor()->Image(), nullptr);
  EXPECT_FALSE(view->Cursor()->Ready());
  EXPECT_TRUE(view->InfoPanel()->isHidden());
  EXPECT_EQ(view->ListPane()->ListPopupMenu(), view->ListPane()->MultiSelectedMenu());
  EXPECT_EQ(Item(0)->text(), "Export Selected");
  EXPECT_EQ(Item(1)->text(), "Export Frames Data for selected images");
  EXPECT_EQ(Item(2)->text(), "Export all Images");
  EXPECT_EQ(Item(3)->text(), "Export Frames Data for all images");
  EXPECT_EQ(Items().size(), 4);

  Row(view, "tank")->setSelected(false);
  EXPECT_FALSE(view->ListPane()->MultiSelectMode());
  EXPECT_EQ(view->ListPane()->ListPopupMenu(), view->ListPane()->SelectionMenu());
  EXPECT_EQ(CurrentName(view), "ball");
  EXPECT_TRUE(view->Cursor()->Ready());

  // A plain click on a third row out of a multi-selection shows that row.
  Row(view, "tank")->setSelected(true);
  ASSERT_TRUE(view->ListPane()->MultiSelectMode());
  Select(view, "light");
  EXPECT_FALSE(view->ListPane()->MultiSelectMode());
  EXPECT_EQ(CurrentName(view), "light");
  EXPECT_EQ(view->ImageList()->selectedItems().size(), 1);
  Select(view, "ball");

  // Selecting the shown image again changes nothing.
  view->Player()->TimerTimer();
  Select(view, "ball");
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
}

TEST_F(QuvViewTest, ImageManipulationItemsFollowTheShownImage) {
  TQuvView* view = OpenSample();
  const QStringList expected = {"Export all Images",
                                "Export Frames Data for all images",
                                "-",
                                "Export frame",
                                "Export image frames",
                                "Export frame subframe",
                                "Export frames",
                                "Export image subframes",
                                "Export Frame Data",
                                "Export Frames Data",
                                "Export ..."};
  for (int i = 0; i < 11; ++i) {
    const QAction* item = Item(i);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->isSeparator() ? QStringLiteral("-") : item->text(), expected[i]);
  }
  EXPECT_TRUE(Item(2)->text().isEmpty());  // drawn as a line alone
  EXPECT_TRUE(Main->Menus()->ImageManipulationMenu->menuAction()->isVisible());
  // Sub-frame export shows only while sub-frames are viewed; the generic export opens its dialog.
  EXPECT_FALSE(Item(5)->isVisible());
  EXPECT_TRUE(view->Exports()->acExportGeneric()->isEnabled());

  view->ClearImage();
  EXPECT_FALSE(Main->Menus()->ImageManipulationMenu->menuAction()->isVisible());
  EXPECT_TRUE(Items().isEmpty());
}

TEST_F(QuvViewTest, SubFrameModeStepsTheSubFramesOfOneFrame) {
  Main->acViewSubFrames->setChecked(true);
  TQuvView* view = OpenSample();
  Select(view, "tank");
  ASSERT_TRUE(view->Cursor()->SubFrameMode());
  EXPECT_FALSE(view->InfoPanel()->SubFrameTrackBar()->isHidden());
  EXPECT_FALSE(view->InfoPanel()->CurrentSubFrame()->isHidden());
  TFrontEndImageFrame* frame0 = view->Cursor()->Image()->GetFrame(0);
  EXPECT_EQ(view->Cursor()->Frame(), frame0);
  EXPECT_EQ(view->Cursor()->Shown(), frame0->GetSubFrame(0));
  EXPECT_TRUE(Item(5)->isVisible());  // "Export frame subframe"
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Shown(), frame0->GetSubFrame(1));
  EXPECT_EQ(view->InfoPanel()->CurrentSubFrame()->text(), "2");
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Shown(), frame0->GetSubFrame(0));
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);

  // Another frame through the track bar: its sub-frames from the first.
  view->InfoPanel()->FrameTrackBar()->setValue(3);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 2);
  EXPECT_EQ(view->Cursor()->Shown(), view->Cursor()->Image()->GetFrame(2)->GetSubFrame(0));

  view->Player()->SetSubFrameMode(false);
  EXPECT_TRUE(view->InfoPanel()->SubFrameTrackBar()->isHidden());
  EXPECT_EQ(view->InfoPanel()->SubFrameCount()->text(), "0");
  EXPECT_EQ(view->Cursor()->Shown(), view->Cursor()->Image()->GetFrame(2));
}

TEST_F(QuvViewTest, SingleSubFrameModeStartsOnSelectionButNotOnTrackBarMoves) {
  TSampleImage solo{"solo", {}};
  for (int i = 0; i < 2; ++i) {
    TSampleFrame frame = SolidFrame(4, 4, 0, 0, 9);
    frame.SubFrames.push_back(SolidFrame(4, 4, 0, 0, 20));
    solo.Frames.push_back(frame);
  }
  Main->acViewSubFrames->setChecked(true);
  TQuvView* view = Open(Write("solo.quv", BuildQuvFile({solo})));
  ASSERT_EQ(CurrentName(view), "solo");
  EXPECT_TRUE(view->Cursor()->SubFrameMode());
  view->InfoPanel()->FrameTrackBar()->setValue(2);
  EXPECT_FALSE(view->Cursor()->SubFrameMode());
  EXPECT_EQ(view->Cursor()->Shown(), view->Cursor()->Image()->GetFrame(1));
}

TEST_F(QuvViewTest, PlacementUsesHotSpotOrCentresRoundingTowardZero) {
  TSampleImage wide{"wide", {SolidFrame(1001, 3, 7, 2, 20), SolidFrame(5, 5, 3, 9, 21)}};
  TQuvView* view = Open(Write("wide.quv", BuildQuvFile({wide})));
  TFrontEndImageFrame* first = view->Cursor()->Image()->GetFrame(0);
  TFrontEndImageFrame* second = view->Cursor()->Image()->GetFrame(1);
  EXPECT_EQ(view->Canvas()->FramePlacement(first), QPoint(0, 7));  // MaxXOffset 7, MaxYOffset 9
  EXPECT_EQ(view->Canvas()->FramePlacement(second), QPoint(4, 0));

  view->Canvas()->PaintBox()->setFixedSize(400, 200);
  QApplication::processEvents();
  ASSERT_EQ(view->Canvas()->PaintBox()->width(), 400);
  Main->acAutoCentre->setChecked(true);
  // (400 - 1001) / 2 = -300.5 becomes -300, not -301.
  EXPECT_EQ(view->Canvas()->FramePlacement(first), QPoint(-300, 98));
}

TEST_F(QuvViewTest, DrawsWithAndWithoutTransparencyOverTheBackground) {
  TSampleFrame dot = SolidFrame(3, 1, 0, 0, 1);
  dot.Pixels[0] = SampleTransparentIndex;
  TQuvView* view = Open(Write("dot.quv", BuildQuvFile({{"dot", {dot}}})));
  Main->Settings()->SetBackGroundColor(0x0000FF00);  // green
  view->RepaintImage();
  const QImage& canvas = view->Canvas()->PaintBox()->Canvas();
  EXPECT_EQ(canvas.pixel(0, 0), qRgb(0, 255, 0));
  EXPECT_EQ(canvas.pixel(1, 0), qRgb(0x80, 0, 0));
  EXPECT_EQ(canvas.pixel(5, 5), qRgb(0, 255, 0));

  Main->acTransparent->setChecked(false);
  view->RepaintImage();
  EXPECT_EQ(view->Canvas()->PaintBox()->Canvas().pixel(0, 0), qRgb(0x54, 0x54, 0xFC));
}

TEST_F(QuvViewTest, AnimationStepErasesThePreviousFrame) {
  TSampleImage grow{"grow", {SolidFrame(6, 6, 0, 0, 1), SolidFrame(2, 2, 0, 0, 2)}};
  TQuvView* view = Open(Write("grow.quv", BuildQuvFile({grow})));
  EXPECT_EQ(view->Canvas()->PaintBox()->Canvas().pixel(4, 4), qRgb(0x80, 0, 0));
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Canvas()->PaintBox()->Canvas().pixel(4, 4), qRgb(255, 255, 255));
  EXPECT_EQ(view->Canvas()->PaintBox()->Canvas().pixel(1, 1), qRgb(0, 0x80, 0));
}

TEST_F(QuvViewTest, PreloadStopsAtPreloadCountAndAtTheLastFrame) {
  Main->Settings()->SetPreLoadCount(3);
  Main->Settings()->SetToggle(tgFrameStrip, false);  // it reads the frames it shows
  TQuvView* view = Open(Write("many.quv", BuildQuvFile({Frames("many", 12)})));
  TFrontEndImage* image = view->Cursor()->Image();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(image->IsFrameCreated(2));
  EXPECT_FALSE(image->IsFrameCreated(3));
  Main->Settings()->SetPreLoadCount(100);
  image->CurrentFrame = 10;
  view->Player()->PreloadFrames(true);
  EXPECT_TRUE(image->IsFrameCreated(11));
  EXPECT_FALSE(image->IsFrameCreated(9));
  view->Player()->PreloadFrames(false);  // off does nothing
}

TEST_F(QuvViewTest, AnimationSpeedTextRules) {
  TQuvView* view = OpenSample();
  Main->Settings()->SetAnimationSpeed(67);
  auto* edit = view->InfoPanel()->AnimationSpeedSelector()->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->setText("12a");
  edit->setText("-");
  EXPECT_EQ(Main->Settings()->AnimationSpeed(), 67);
  edit->setText("-5");
  EXPECT_EQ(view->InfoPanel()->AnimationSpeedSelector()->text(), "67");
  EXPECT_EQ(Main->Settings()->AnimationSpeed(), 67);
  edit->setText("250");
  EXPECT_EQ(Main->Settings()->AnimationSpeed(), 250);
  EXPECT_EQ(view->Player()->Timer()->interval(), 250);
}

TEST_F(QuvViewTest, ExportFrameAsksForTheProposedNameAndRestoresState) {
  TQuvView* view = OpenSample();
  const QString out = Dir.filePath("out");
  QDir().mkpath(out);
  GuiTestDialogs().SaveAnswers.push_back(out + "/first.bmp");
  view->Player()->TimerTimer();  // frame 1
  const QString status = view->StatusText();
  Item(3)->trigger();  // "Export frame"
  EXPECT_EQ(GuiTestDialogs().Asked, QStringList{"save:Save Image..."});
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "ball_1.bmp");
  EXPECT_EQ(GuiTestDialogs().LastFilter, "Bitmap|*.bmp");
  EXPECT_TRUE(QFileInfo::exists(out + "/first.bmp"));
  EXPECT_EQ(Main->Settings()->SaveLastDir(), out);
  EXPECT_TRUE(Main->acAnimate->isChecked());
  EXPECT_FALSE(Main->Settings()->Updating());
  EXPECT_TRUE(view->Exports()->acExportFrame()->isEnabled());
  // What was written replaces the status the export showed meanwhile.
  EXPECT_NE(view->StatusText(), status);
  EXPECT_TRUE(view->StatusText().startsWith(QStringLiteral("1 file written to %1 ").arg(out)));

  // Cancelled: nothing written, and the status stays.
  const QString written = view->StatusText();
  view->Exports()->acExportFrame()->trigger();
  EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 1);
  EXPECT_EQ(view->StatusText(), written);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(QuvViewTest, FolderExportsWriteEveryFrameAndSubFrame) {
  TQuvView* view = OpenSample();
  const QString out = Dir.filePath("frames");
  QDir().mkpath(out);
  GuiTestDialogs().FolderAnswers.push_back(out);
  view->Exports()->acExportFrames()->trigger();
  EXPECT_EQ(GuiTestDialogs().Asked, QStringList{"folder:Select folder:"});
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(QFileInfo::exists(out + QString("/ball_%1.bmp").arg(i)));
  EXPECT_TRUE(view->StatusText().startsWith(QStringLiteral("8 files written to %1 ").arg(out)))
      << view->StatusText().toStdString();
  EXPECT_TRUE(view->StatusText().contains(
      QStringLiteral("<a href=\"%1\">Show folder</a>").arg(QUrl::fromLocalFile(out).toString())));

  Select(view, "tank");
  const QString subs = Dir.filePath("subs");
  QDir().mkpath(subs);
  GuiTestDialogs().FolderAnswers.push_back(subs);
  view->Exports()->acExportImageSubFrames()->trigger();
  EXPECT_TRUE(QFileInfo::exists(subs + "/tank_0_0.bmp"));
  EXPECT_TRUE(QFileInfo::exists(subs + "/tank_7_1.bmp"));
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(QuvViewTest, DataExportsNameTextFilesAfterTheImages) {
  TQuvView* view = Open(Write("sort.quv", BuildQuvFile(SortImages())));
  const QString out = Dir.filePath("data");
  QDir().mkpath(out);
  GuiTestDialogs().SaveAnswers.push_back(out + "/beta.txt");
  view->Exports()->acExportFramesData()->trigger();
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "beta_Data.txt");
  EXPECT_EQ(GuiTestDialogs().LastFilter, "Text file|*.txt");
  QFile data(out + "/beta.txt");
  ASSERT_TRUE(data.open(QIODevice::ReadOnly));
  EXPECT_EQ(data.readAll().count('\n'), 12);  // "Extended=", header, ten frames

  Row(view, "arm.fire")->setSelected(true);
  ASSERT_TRUE(view->ListPane()->MultiSelectMode());
  const QString selected = Dir.filePath("selected");
  QDir().mkpath(selected);
  GuiTestDialogs().FolderAnswers.push_back(selected);
  view->Exports()->acExportSelectedFramesData()->trigger();
  EXPECT_EQ(QDir(selected).entryList(QDir::Files), (QStringList{"arm.txt", "beta.txt"}));

  const QString all = Dir.filePath("all");
  QDir().mkpath(all);
  GuiTestDialogs().FolderAnswers.push_back(all);
  view->Exports()->acExportAll()->trigger();
  EXPECT_TRUE(QFileInfo::exists(all + "/beta_09.bmp"));
  EXPECT_TRUE(QFileInfo::exists(all + "/Alpha_8.bmp"));
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(QuvViewTest, OpensQuvFileInsideAnArchive) {
  THpiBuilder builder;
  builder.AddFile("art/sample.quv", MakeSampleQuv());
  Write("pack.hpi", builder.Build());
  TQuvView* view = Open(Dir.filePath("pack.hpi/art/sample.quv"));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(Captions(view).size(), 5);
  EXPECT_EQ(CurrentName(view), "ball");
  EXPECT_NE(view->Canvas()->PaintBox()->Canvas().pixel(0, 0), 0u);
  // The user reads the inner path with "/", as any other path.
  EXPECT_EQ(view->StatusText(), QStringLiteral("Loaded \"art/sample.quv\"."));
}

TEST_F(QuvViewTest, BadFileClosesTheViewAndReportsTheMessage) {
  const QString path = Write("broken.quv", std::vector<uint8_t>(40, 0xAB));
  QPointer<TQuvView> view = Main->OpenQuvFile(QString(), path);
  const QString error = view ? view->LastError() : QString();
  EXPECT_EQ(Main->StatusText(), error);
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(view.isNull());
  EXPECT_FALSE(error.isEmpty());
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.startsWith("Could not open quv"));
  EXPECT_TRUE(Main->MdiArea->subWindowList().isEmpty());

  // A folder that does not exist fails the same way.
  QPointer<TQuvView> missing = Main->OpenQuvFile(QString(), Dir.filePath("nowhere/x.quv"));
  EXPECT_TRUE(!missing || !missing->LastError().isEmpty());
}

TEST_F(QuvViewTest, WindowMenuEntryFollowsTheView) {
  QPointer<TQuvView> view = OpenSample();
  const QList<QAction*> actions = Main->Menus()->WindowMenu->actions();
  const qsizetype marker = actions.indexOf(Main->Menus()->WindowMenuEndMarker);
  ASSERT_GE(marker, 0);
  ASSERT_EQ(actions.size(), marker + 3);
  EXPECT_TRUE(actions[marker + 1]->isSeparator());
  EXPECT_EQ(actions[marker + 2], Main->Menus()->WindowMenuEntry(view));
  EXPECT_EQ(Main->Menus()->WindowMenuEntry(view)->text(), view->FileName());

  Main->Menus()->PendingWindowMenu.push_back(view);
  delete view->parentWidget();
  EXPECT_TRUE(Main->Menus()->PendingWindowMenu.empty());
  EXPECT_EQ(Main->Menus()->WindowMenu->actions().size(), marker + 2);
}

TEST_F(QuvViewTest, NextAndPreviousWindowKeysRaiseTheMainWindowRequests) {
  TQuvView* view = OpenSample();
  QKeyEvent next(QEvent::KeyPress, Qt::Key_F6, Qt::ControlModifier);
  QApplication::sendEvent(view, &next);
  EXPECT_TRUE(Main->Arranger()->NextChildRequested);
  QKeyEvent previous(QEvent::KeyPress, Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier);
  QApplication::sendEvent(view, &previous);
  EXPECT_TRUE(Main->Arranger()->PreviousChildRequested);
  QApplication::processEvents();
  EXPECT_FALSE(Main->Arranger()->NextChildRequested);
  EXPECT_FALSE(Main->Arranger()->PreviousChildRequested);
}

}  // namespace

namespace {

TEST_F(QuvViewTest, ListWidthAndColumnWidthsAreSharedThroughTheMainWindow) {
  Main->Settings()->SetColumnWidth(0, 111);
  Main->Settings()->SetSeperatorWidth(180);
  TQuvView* first = OpenSample();
  TQuvView* second = OpenSample();
  EXPECT_EQ(first->ImageList()->columnWidth(0), 111);
  EXPECT_EQ(first->ListWidth(), 180);
  second->SetListWidth(150);
  second->Splitter1Moved();
  EXPECT_EQ(Main->Settings()->SeperatorWidth(), 150);
  EXPECT_EQ(first->ListWidth(), 150);
}

TEST_F(QuvViewTest, ActivatingAViewBindsItsOwnActions) {
  TQuvView* first = OpenSample();
  TQuvView* second = OpenSample();
  Main->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
  GuiTestDialogs().SaveAnswers.push_back(Dir.filePath("one.bmp"));
  first->Player()->TimerTimer();
  Item(3)->trigger();  // "Export frame" of the first view: frame 1
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "ball_1.bmp");
  Main->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
  Item(3)->trigger();
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "ball_0.bmp");
  // Closing a view in the background leaves the active view's menu alone.
  delete first->parentWidget();
  EXPECT_TRUE(Main->Menus()->ImageManipulationMenu->menuAction()->isVisible());
  EXPECT_TRUE(Item(0)->isVisible());
}

// Alt+I opens "Image Manipulation" from the menu bar; Enter on "Export frame" exports the frame
// of the view in front, whichever view that is now.
TEST_F(QuvViewTest, ImageManipulationOpenedByKeyboardActsOnTheActiveView) {
  TQuvView* first = OpenSample();
  TQuvView* second = OpenSample();
  first->Player()->TimerTimer();  // the first view at frame 1, the second at frame 0
  QMenu* menu = Main->Menus()->ImageManipulationMenu;
  const auto exportFrameByKeyboard = [&] {
    QApplication::setActiveWindow(Main.get());
    QTest::keyClick(Main.get(), Qt::Key_I, Qt::AltModifier);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), menu);
    QAction* exportFrame = nullptr;
    for (QAction* action : menu->actions())
      if (action->text() == "Export frame") exportFrame = action;
    ASSERT_NE(exportFrame, nullptr);
    menu->setActiveAction(exportFrame);
    GuiTestDialogs().SaveAnswers.push_back(Dir.filePath("frame.bmp"));
    QTest::keyClick(menu, Qt::Key_Return);
    QApplication::processEvents();
  };
  for (const auto& [view, proposed] :
       {std::pair{first, "ball_1.bmp"}, {second, "ball_0.bmp"}, {first, "ball_1.bmp"}}) {
    Main->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(view->parentWidget()));
    GuiTestDialogs().LastProposedName.clear();
    exportFrameByKeyboard();
    EXPECT_EQ(GuiTestDialogs().LastProposedName, proposed);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  }
}

TEST_F(QuvViewTest, AttributeCheckBoxesMirrorAndTriggerTheMainActions) {
  TQuvView* view = OpenSample();
  EXPECT_EQ(view->InfoPanel()->TransparentCheck()->text(), "Transparent");
  EXPECT_TRUE(view->InfoPanel()->TransparentCheck()->isChecked());
  view->InfoPanel()->TransparentCheck()->click();
  EXPECT_FALSE(Main->acTransparent->isChecked());
  EXPECT_FALSE(view->InfoPanel()->TransparentCheck()->isChecked());
  Main->acAutoCentre->setChecked(true);
  EXPECT_TRUE(view->InfoPanel()->AutoCentreCheck()->isChecked());
}

TEST(FrameImage, ShowsThePaletteColoursAndMasksTheTransparentIndex) {
  TPalette palette{};
  palette[1] = {1, 2, 3, 0};
  palette[7] = {200, 100, 50, 0};
  palette[8] = {1, 2, 3, 0};  // the transparent entry's colour under another index
  TPicture indices(3, 2, 1, 1);
  indices.Row(1)[2] = 7;
  indices.Row(1)[0] = 8;
  const TFramePixels pixels(indices, palette, 1);
  const QImage image = FrameImage(pixels, false);
  EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
  EXPECT_EQ(image.pixel(2, 1), qRgb(200, 100, 50));
  const QImage masked = FrameImage(pixels, true);
  EXPECT_EQ(qAlpha(masked.pixel(0, 0)), 0);
  EXPECT_EQ(masked.pixel(0, 1), qRgb(1, 2, 3));
  EXPECT_EQ(masked.pixel(2, 1), qRgb(200, 100, 50));
  EXPECT_TRUE(FrameImage(TFramePixels(TPicture(0, 5, 1), palette, 1), false).isNull());
}

}  // namespace

namespace {

TEST_F(QuvViewTest, FrameThatFailsToLoadSaysWhyOnTheCanvasAndTheOtherImageDraws) {
  TSampleFrame big = SolidFrame(40, 40, 0, 0, 30);
  big.Compression = 0;
  std::vector<uint8_t> bytes =
      BuildQuvFile({{"big", {big}}, {"small", {SolidFrame(2, 2, 0, 0, 31)}}});
  // The first frame's data is moved to 10 bytes before the end, so its rows run past it.
  auto u32 = [&](size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
  };
  const size_t header = u32(u32(12) + 40);
  const uint32_t moved = uint32_t(bytes.size() - 10);
  for (int i = 0; i < 4; ++i) bytes[header + 16 + i] = uint8_t(moved >> (8 * i));
  QPointer<TQuvView> view = Open(Write("cut.quv", bytes));
  ASSERT_FALSE(view.isNull());
  const QString why = QStringLiteral(
      "Frame 1 of \u2018big\u2019 cannot be read: its pixels run past the end of the file");
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(), why);
  EXPECT_EQ(view->WarningsBar()->FrameErrors(), QStringList{why});
  view->Player()->TimerTimer();
  view->RepaintImage();
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(), why);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  ASSERT_TRUE(view->ShowImageNamed("small"));
  EXPECT_EQ(view->Canvas()->PaintBox()->Message(), QString());
  const QImage canvas = view->Canvas()->PaintBox()->grab().toImage();
  int drawn = 0;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x)
      drawn += canvas.pixelColor(x, y) == QColor(Palette[31][0], Palette[31][1], Palette[31][2]);
  EXPECT_EQ(drawn, 4);
}

}  // namespace
