// Animation as the user sees it: a file plays however it was opened, the views stand still
// behind the dialogs that run over them, the playback keys and buttons work wherever the focus
// is in a view (but leave text fields their keys), the speed's floor, and the list's filter.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <memory>

#include "ExportDialogU.h"
#include "FileOpenU.h"
#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageListPaneU.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvLoadU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SelectU.h"
#include "SettingsU.h"
#include "SpriteCanvasU.h"
#include "ViewExportsU.h"

namespace {

TSampleImage Image(const std::string& name, int frames) {
  TSampleImage image{name, {}};
  for (int i = 0; i < frames; ++i) image.Frames.push_back(SolidFrame(6, 6, 0, 0, uint8_t(16 + i)));
  return image;
}

// "tank" of 8 frames first, then images whose names differ in letter case.
std::vector<uint8_t> TankQuv() {
  return BuildQuvFile({Image("tank", 8), Image("Walker", 3), Image("PLANE", 3), Image("ant", 2)});
}

// The frame shown changes by the view's own timer within a second.
bool Advances(TQuvView* view) {
  const QString before = view->InfoPanel()->FramePosition()->text();
  return QTest::qWaitFor([&] { return view->InfoPanel()->FramePosition()->text() != before; },
                         1000);
}

// The frame shown stays while a playing view would have stepped a dozen times.
bool StandsStill(TQuvView* view) {
  const QString before = view->InfoPanel()->FramePosition()->text();
  QTest::qWait(300);
  return view->InfoPanel()->FramePosition()->text() == before;
}

QStringList ShownRows(QTreeWidget* list) {
  QStringList names;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (!list->topLevelItem(i)->isHidden()) names << list->topLevelItem(i)->text(0);
  return names;
}

class PlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    Tank = Write("tank.quv", TankQuv());
  }
  void TearDown() override {
    if (!Main) return;
    for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
    QApplication::processEvents();
    Main.reset();
  }
  // The program started with these files on its command line.
  void Start(const QStringList& commandLine = {}) {
    Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
    Main->resize(1000, 750);
    Main->show();
    QApplication::setActiveWindow(Main.get());
    Main->FirstActivation(commandLine);
    Main->Settings()->SetAnimationSpeed(20);
  }
  QString Write(const QString& name, const std::vector<uint8_t>& bytes) {
    const QString path = Dir.filePath(name);
    EXPECT_TRUE(WriteTestFile(path, bytes));
    return path;
  }
  QString WriteArchive() {
    THpiBuilder builder;
    builder.AddFile("units/tank.quv", TankQuv());
    const QString path = Dir.filePath(QStringLiteral("pack.hpi"));
    builder.WriteFile(path.toStdString());
    return path;
  }
  TQuvView* LastView() const {
    const QList<TQuvView*> views = Main->Views();
    return views.isEmpty() ? nullptr : views.last();
  }
  // Ctrl+O in the main window, choosing `path` in the open dialog.
  void PressOpen(const QString& path) {
    GuiTestDialogs().OpenAnswers.push_back({{path}, 0});
    // The window system gives the main window back the focus once a dialog closes.
    QApplication::setActiveWindow(Main.get());
    QTest::keyClick(Main.get(), Qt::Key_O, Qt::ControlModifier);
  }
  // Picks units/tank.quv in the archive picker once it shows; `meanwhile` runs first.
  std::unique_ptr<TAnswerModal<TSelectFileInHpi>> AnswerPicker(std::function<void()> meanwhile) {
    return std::make_unique<TAnswerModal<TSelectFileInHpi>>([meanwhile](TSelectFileInHpi* picker) {
      if (meanwhile) meanwhile();
      const auto units = picker->DirView->findItems("units", Qt::MatchExactly | Qt::MatchRecursive);
      ASSERT_EQ(units.size(), 1);
      picker->DirViewClick(units.front());
      ASSERT_EQ(picker->FileView->topLevelItemCount(), 1);
      picker->FileView->topLevelItem(0)->setSelected(true);
      picker->OkButton->click();
    });
  }

  QTemporaryDir Dir;
  QString Tank;
  std::unique_ptr<TMainForm> Main;
};

TEST_F(PlaybackTest, AFilePlaysHoweverItWasOpened) {
  Start({Tank});  // the command line
  ASSERT_EQ(Main->Views().size(), 1);
  EXPECT_TRUE(Advances(LastView())) << "command line";

  PressOpen(Tank);  // Ctrl+O through the load dialog
  ASSERT_EQ(Main->Views().size(), 2);
  TQuvView* opened = LastView();
  EXPECT_TRUE(Advances(opened)) << "Ctrl+O";
  EXPECT_TRUE(Main->acAnimate->isChecked());
  EXPECT_EQ(opened->InfoPanel()->PlayState()->text(), QString());
  // Another image of the same view plays as well.
  opened->ImageList()->setFocus();
  QTest::keyClick(opened->ImageList(), Qt::Key_Down);
  ASSERT_EQ(QString::fromStdString(opened->Cursor()->Image()->Name), "Walker");
  EXPECT_TRUE(Advances(opened)) << "another image";

  const auto picker = AnswerPicker(nullptr);
  PressOpen(WriteArchive());  // Ctrl+O on an archive: the picker
  ASSERT_TRUE(picker->Answered());
  ASSERT_EQ(Main->Views().size(), 3);
  EXPECT_EQ(LastView()->ArchiveSource(), Dir.filePath("pack.hpi"));
  EXPECT_TRUE(Advances(LastView())) << "picker";

  const QList<TMyMenuItem*> history = Main->Menus()->HistoryMenuItems();
  ASSERT_FALSE(history.isEmpty());
  history.front()->trigger();  // the File menu's history
  ASSERT_EQ(Main->Views().size(), 4);
  EXPECT_TRUE(Advances(LastView())) << "history";

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(Tank)});
  const QPoint at(Main->width() / 2, Main->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Main.get(), &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Main.get(), &drop);
  QApplication::processEvents();  // the files open once the drop has ended
  ASSERT_EQ(Main->Views().size(), 5);
  EXPECT_TRUE(Advances(LastView())) << "drop";
}

TEST_F(PlaybackTest, ViewsStandStillBehindTheDialogsThatRunOverThem) {
  Start({Tank});
  TQuvView* view = LastView();
  ASSERT_TRUE(Advances(view));

  bool still = false;
  {
    const TAnswerModal<TExportDialog> answer([&](TExportDialog* dialog) {
      still = StandsStill(view);
      dialog->CancelBtn->click();
    });
    view->Exports()->acExportGeneric()->trigger();  // "Export ..."
    ASSERT_TRUE(answer.Answered());
  }
  EXPECT_TRUE(still) << "export dialog";
  EXPECT_TRUE(Advances(view));

  still = false;
  {
    const TAnswerModal<TSettingsDialog> answer([&](TSettingsDialog* dialog) {
      still = StandsStill(view);
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    Main->acSettings->trigger();
    ASSERT_TRUE(answer.Answered());
  }
  EXPECT_TRUE(still) << "settings dialog";
  EXPECT_TRUE(Advances(view));

  // The load batch: the view open before, and the one it opens, until the batch ends.
  still = false;
  Main->Opener()->QuvLoader()->OnFileOpened = [&](int) { still = StandsStill(view); };
  Main->Opener()->LoadFiles({Tank});
  Main->Opener()->QuvLoader()->OnFileOpened = nullptr;
  EXPECT_TRUE(still) << "load dialog";
  EXPECT_TRUE(Advances(view));
  EXPECT_TRUE(Advances(LastView()));

  still = false;
  const auto picker = AnswerPicker([&] { still = StandsStill(view); });
  Main->Opener()->LoadFiles({WriteArchive()});
  ASSERT_TRUE(picker->Answered());
  EXPECT_TRUE(still) << "archive picker";
  EXPECT_TRUE(Advances(view));
  EXPECT_TRUE(Main->acAnimate->isChecked());
}

TEST_F(PlaybackTest, SpaceAndTheButtonsPlayAndPauseWhereverTheFocusIsInTheView) {
  Start({Tank});
  TQuvView* view = LastView();
  ASSERT_TRUE(Advances(view));
  EXPECT_EQ(view->InfoPanel()->PlayState()->text(), QString());

  // A focused check box keeps its state: Space pauses the view.
  const bool transparent = view->InfoPanel()->TransparentCheck()->isChecked();
  view->InfoPanel()->TransparentCheck()->setFocus();
  QTest::keyClick(view->InfoPanel()->TransparentCheck(), Qt::Key_Space);
  EXPECT_EQ(view->InfoPanel()->TransparentCheck()->isChecked(), transparent);
  EXPECT_EQ(view->InfoPanel()->PlayState()->text(), "Paused");
  EXPECT_TRUE(StandsStill(view));
  const int at = view->Cursor()->Image()->CurrentFrame;
  QTest::keyClick(view->InfoPanel()->TransparentCheck(),
                  Qt::Key_Right);  // one frame on, still paused
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, (at + 1) % 8);
  EXPECT_TRUE(StandsStill(view));
  view->InfoPanel()->FrameTrackBar()->setFocus();
  QTest::keyClick(view->InfoPanel()->FrameTrackBar(), Qt::Key_Space);  // the slider too
  EXPECT_TRUE(Advances(view));

  // The buttons of the frame panel.
  view->InfoPanel()->PlayButton()->click();
  EXPECT_EQ(view->InfoPanel()->PlayState()->text(), "Paused");
  EXPECT_TRUE(StandsStill(view));
  const int frame = view->Cursor()->Image()->CurrentFrame;
  view->InfoPanel()->StepOnButton()->click();
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, (frame + 1) % 8);
  view->InfoPanel()->StepBackButton()->click();
  view->InfoPanel()->StepBackButton()->click();
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, (frame + 7) % 8);
  view->InfoPanel()->PlayButton()->click();
  EXPECT_EQ(view->InfoPanel()->PlayState()->text(), QString());
  EXPECT_TRUE(Advances(view));

  // A text field keeps its keys.
  view->ListPane()->Filter()->setFocus();
  QTest::keyClicks(view->ListPane()->Filter(), "a n");
  EXPECT_EQ(view->ListPane()->Filter()->text(), "a n");
  QTest::keyClick(view->ListPane()->Filter(), Qt::Key_Left);
  EXPECT_EQ(view->ListPane()->Filter()->cursorPosition(), 2);
  EXPECT_TRUE(Advances(view));

  // Stopped by the Animate setting, Space plays again and the setting comes back on.
  Main->acAnimate->trigger();
  EXPECT_EQ(view->InfoPanel()->PlayState()->text(), "Paused");
  EXPECT_TRUE(StandsStill(view));
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Space);
  EXPECT_TRUE(Main->acAnimate->isChecked());
  EXPECT_TRUE(Advances(view));
}

TEST_F(PlaybackTest, ASpeedBelowTheTimersFloorRunsAtTheFloorWithItsRateShown) {
  Start({Tank});
  TQuvView* view = LastView();
  QSpinBox* speed = view->InfoPanel()->AnimationSpeedSelector();
  speed->setFocus();
  speed->selectAll();
  QTest::keyClicks(speed, "0");
  EXPECT_TRUE(view->InfoPanel()->AnimationSpeedUnit()->text().contains("fps)"))
      << view->InfoPanel()->AnimationSpeedUnit()->text().toStdString();
  QTest::keyClick(speed, Qt::Key_Return);
  EXPECT_EQ(speed->text(), "10");
  EXPECT_EQ(view->InfoPanel()->AnimationSpeedUnit()->text(), "ms per frame (100.0 fps)");
  EXPECT_EQ(view->Player()->Timer()->interval(), 10);
  EXPECT_EQ(Main->Settings()->AnimationSpeed(), 10);
  EXPECT_TRUE(Advances(view));

  speed->selectAll();
  QTest::keyClicks(speed, "250");  // typed digit by digit, it is not cut short
  QTest::keyClick(speed, Qt::Key_Return);
  EXPECT_EQ(speed->text(), "250");
  EXPECT_EQ(view->InfoPanel()->AnimationSpeedUnit()->text(), "ms per frame (4.0 fps)");
}

TEST_F(PlaybackTest, TheFilterNarrowsTheListByNameInAnyCaseBesideTheTypeAhead) {
  Start({Tank});
  TQuvView* view = LastView();
  QTreeWidget* list = view->ImageList();
  view->ListPane()->Filter()->setFocus();
  QTest::keyClicks(view->ListPane()->Filter(), "AN");
  EXPECT_EQ(ShownRows(list), QStringList({"tank", "PLANE", "ant"}));
  QTest::keyClicks(view->ListPane()->Filter(), "K");
  EXPECT_EQ(ShownRows(list), QStringList({"tank"}));
  // Up and Down on the canvas step through what the list shows.
  view->ListPane()->Filter()->clear();
  QTest::keyClicks(view->ListPane()->Filter(), "a");
  EXPECT_EQ(ShownRows(list), QStringList({"tank", "Walker", "PLANE", "ant"}));
  QTest::keyClicks(view->ListPane()->Filter(), "n");
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Down);
  EXPECT_EQ(QString::fromStdString(view->Cursor()->Image()->Name), "PLANE");
  // A selected row the filter hides leaves the selection.
  list->selectAll();
  QTest::keyClicks(view->ListPane()->Filter(), "t");
  EXPECT_EQ(ShownRows(list), QStringList({"ant"}));
  ASSERT_EQ(list->selectedItems().size(), 1);
  EXPECT_EQ(list->selectedItems().first()->text(0), "ant");
  // Cleared, every row is back, and typing in the list still jumps to a name.
  view->ListPane()->Filter()->clear();
  EXPECT_EQ(ShownRows(list).size(), 4);
  list->setFocus();
  QTest::keyClicks(list, "wa");
  EXPECT_EQ(list->currentItem()->text(0), "Walker");
}

TEST_F(PlaybackTest, TheColumnCaptionsAreNotCut) {
  Start({Tank});
  QTreeWidget* list = LastView()->ImageList();
  for (int column = 0; column < 3; ++column)
    EXPECT_GE(list->columnWidth(column), list->header()->sectionSizeHint(column))
        << list->headerItem()->text(column).toStdString();
}

}  // namespace
