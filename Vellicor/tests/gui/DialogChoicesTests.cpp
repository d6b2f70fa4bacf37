// Dialogs that do what they show: the export dialog refuses a reversed range and says what a
// format means for sub-frames, remembers format and scale on Export, and exports on Enter
// whichever button has the focus; the archive picker's Ok opens what the list shows chosen; Enter
// in the settings dialog is OK; the colour menu fits the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "ColorPickerButtonU.h"
#include "ExportDialogU.h"
#include "FrameCursorU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SelectU.h"
#include "SettingsModelU.h"
#include "SettingsU.h"

namespace {

// Eight frames of two sub-frames each.
TSampleImage Walker() {
  TSampleImage image{"walker", {}};
  for (int i = 0; i < 8; ++i) {
    TSampleFrame frame = SolidFrame(6, 4, 3, 2, 0);
    frame.Pixels.clear();
    frame.SubFrames = {SolidFrame(2, 2, 1, 1, uint8_t(16 + i)), SolidFrame(2, 2, 3, 2, 40)};
    image.Frames.push_back(frame);
  }
  return image;
}

// Types a number into a spin box as its user does: all of the old text replaced.
void Type(QSpinBox* box, int value) {
  box->setFocus();
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(box, QString::number(value));
  QTest::keyClick(box, Qt::Key_Tab);
}

class ExportChoiceTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain();
    Main->Settings()->SetSaveLastDir(Dir.path());
    View = Open(Write(QStringLiteral("walk.quv"), BuildQuvFile({Walker()})));
    ASSERT_NE(View, nullptr);
    View->SelectImage(QStringLiteral("walker"));
    ASSERT_NE(View->Cursor()->Image(), nullptr);
  }

  void TearDown() override {
    Dialog.reset();
    TViewTest::TearDown();
  }

  TExportDialog& Show() {
    Dialog = std::make_unique<TExportDialog>(View, Main.get());
    Dialog->show();
    QApplication::processEvents();
    return *Dialog;
  }
  QString Folder(const QString& name) {
    const QString path = Dir.filePath(name);
    QDir().mkpath(path);
    return path;
  }
  void PressEnter(TExportDialog& d) {
    QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Return);
  }

  TQuvView* View = nullptr;
  std::unique_ptr<TExportDialog> Dialog;
};

TEST_F(ExportChoiceTest, AReversedRangeCannotBeExportedAndTheDialogSaysWhy) {
  TExportDialog& d = Show();
  d.ExportFrames->click();
  GuiTestDialogs().FolderAnswers.push_back(Folder("first"));
  d.ExportBtn->click();  // frames 1..8
  ASSERT_EQ(QDir(Dir.filePath("first")).entryList(QDir::Files).size(), 8);
  const QString status = View->StatusText();
  EXPECT_TRUE(status.startsWith("8 files written")) << status.toStdString();

  Type(d.StartFrameIndex, 6);
  Type(d.EndFrameIndex, 2);
  EXPECT_FALSE(d.ExportBtn->isEnabled());
  EXPECT_TRUE(d.ExportNote->isVisible());
  EXPECT_TRUE(d.ExportNote->text().contains("start frame comes after the end frame"));
  GuiTestDialogs().Asked.clear();
  PressEnter(d);
  EXPECT_TRUE(GuiTestDialogs().Asked.isEmpty());  // no folder asked for, nothing written

  // The sub-frame range as well; put right, Export is back.
  d.ExportSubframes->click();
  Type(d.StartFrameIndex, 1);
  Type(d.StartSubframeIndex, 2);
  Type(d.EndSubframeIndex, 1);
  EXPECT_FALSE(d.ExportBtn->isEnabled());
  EXPECT_TRUE(d.ExportNote->text().contains("start subframe comes after the end subframe"));
  Type(d.EndSubframeIndex, 2);
  EXPECT_TRUE(d.ExportBtn->isEnabled());
  EXPECT_FALSE(d.ExportNote->isVisible());
}

TEST_F(ExportChoiceTest, SubframesWithAnAnimationFormatAreSaidToBecomePngFilesAndDo) {
  TExportDialog& d = Show();
  d.ExportSubframes->click();
  EXPECT_FALSE(d.ExportNote->isVisible());  // BMP: nothing to say
  for (const char* format : {"Animated GIF", "Animated PNG", "Sprite sheet"}) {
    d.Format->setCurrentIndex(d.Format->findText(format));
    EXPECT_TRUE(d.ExportNote->isVisible()) << format;
    EXPECT_EQ(
        d.ExportNote->text(),
        QStringLiteral("Subframes are written as separate PNG files, not as %1.").arg(format));
  }
  Type(d.EndFrameIndex, 2);
  const QString out = Folder("parts");
  GuiTestDialogs().FolderAnswers.push_back(out);
  PressEnter(d);
  const QStringList written = QDir(out).entryList(QDir::Files);
  EXPECT_EQ(written.size(), 4);  // two frames of two sub-frames
  for (const QString& name : written) EXPECT_TRUE(name.endsWith(".png")) << name.toStdString();

  d.ExportFrames->click();  // a sprite sheet of frames is one file: nothing to say
  EXPECT_FALSE(d.ExportNote->isVisible());
}

TEST_F(ExportChoiceTest, FormatAndScaleAreRememberedWhenExportIsPressed) {
  TExportDialog& d = Show();
  d.ExportFrames->click();
  d.Format->setCurrentIndex(d.Format->findText("PNG"));
  Type(d.Scale, 3);
  GuiTestDialogs().FolderAnswers.push_back(Folder("png"));
  d.ExportBtn->click();
  EXPECT_EQ(QDir(Dir.filePath("png")).entryList(QDir::Files).size(), 8);
  d.CancelBtn->click();  // not Close
  EXPECT_EQ(Main->Settings()->ExportFormat(), efPng);
  EXPECT_EQ(Main->Settings()->ExportScale(), 3);
  TExportDialog& again = Show();
  EXPECT_EQ(again.Format->currentText(), "PNG");
  EXPECT_EQ(again.Scale->value(), 3);
}

TEST_F(ExportChoiceTest, EnterExportsWhicheverButtonHasTheFocus) {
  TExportDialog& d = Show();
  d.ExportFrames->click();
  for (QPushButton* button : {d.CloseBtn, d.CancelBtn, d.ExportBtn}) {
    const QString out = Folder(QStringLiteral("by") + button->text());
    GuiTestDialogs().FolderAnswers.push_back(out);
    button->setFocus();
    ASSERT_EQ(d.focusWidget(), button);
    PressEnter(d);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 8) << button->text().toStdString();
    EXPECT_TRUE(d.isVisible()) << button->text().toStdString();
  }
}

// ---- The archive picker ----

class PickerOkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    THpiBuilder builder;
    builder.AddFile("units/a.quv", std::vector<uint8_t>(40, 0x5A));
    builder.AddFile("units/b.quv", std::vector<uint8_t>(30, 0x5A));
    builder.AddFile("top.quv", std::vector<uint8_t>(50, 0x5A));
    Archive = Dir.filePath("pack.hpi");
    builder.WriteFile(Archive.toStdString());
  }
  static TSelectFileInHpi* Picker() {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* picker = qobject_cast<TSelectFileInHpi*>(widget); picker && picker->isVisible())
        return picker;
    return nullptr;
  }
  static void Click(QTreeWidget* tree, const QString& text, Qt::KeyboardModifiers keys = {}) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(found.isEmpty()) << text.toStdString();
    tree->scrollToItem(found.front());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, keys,
                      tree->visualItemRect(found.front()).center());
  }
  // Runs the picker as its user does with `act`; the chosen paths, or none when cancelled.
  QStringList Pick(bool multiple, const std::function<void(TSelectFileInHpi*)>& act) {
    QString filter = "*.quv";
    QStringList results;
    QTimer::singleShot(50, [&] {
      TSelectFileInHpi* picker = Picker();
      ASSERT_NE(picker, nullptr);
      act(picker);
      if (Picker()) picker->CancelButton->click();
    });
    if (!SelectFilesInHpi(filter, results, Archive, multiple)) return {};
    return results;
  }

  QTemporaryDir Dir;
  QString Archive;
};

TEST_F(PickerOkTest, OkOpensOnlyWhatTheListShowsChosen) {
  // Chosen in "units", then "top.quv" added at the root: "units" is no longer listed.
  EXPECT_EQ(Pick(true,
                 [](TSelectFileInHpi* picker) {
                   Click(picker->DirView, "units");
                   Click(picker->FileView, "a.quv");
                   Click(picker->DirView, "pack.hpi");
                   Click(picker->FileView, "top.quv", Qt::ControlModifier);
                   picker->OkButton->click();
                 }),
            QStringList{"top.quv"});

  // Chosen, then the folder changed: nothing listed is chosen, so Ok cannot open anything.
  bool okEnabled = true;
  EXPECT_TRUE(Pick(false, [&](TSelectFileInHpi* picker) {
                Click(picker->DirView, "units");
                Click(picker->FileView, "b.quv");
                Click(picker->DirView, "pack.hpi");
                okEnabled = picker->OkButton->isEnabled();
                picker->OkButton->click();
              }).isEmpty());
  EXPECT_FALSE(okEnabled);

  // Several chosen in the listed folder: all of them, in the order chosen.
  EXPECT_EQ(Pick(true,
                 [](TSelectFileInHpi* picker) {
                   Click(picker->DirView, "units");
                   Click(picker->FileView, "b.quv");
                   Click(picker->FileView, "a.quv", Qt::ControlModifier);
                   QTest::keyClick(picker->FileView, Qt::Key_Return);
                   if (Picker()) picker->OkButton->click();
                 }),
            (QStringList{"units\\b.quv", "units\\a.quv"}));
}

// ---- The settings dialog ----

class SettingsEnterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    GuiTestDialogs().Reset();
    Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
    Main->Settings()->Save();  // not a first start
    Main->show();
  }
  void TearDown() override { Main.reset(); }

  // Picks a named colour from the button's menu with the keyboard, as its user does.
  static void ChooseColour(TColorPickerButton* button, const QString& name) {
    QTimer::singleShot(50, [button, name] {
      QMenu* menu = button->Menu();
      for (QAction* action : menu->actions())
        if (action->text() == name) menu->setActiveAction(action);
      QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    QApplication::processEvents();
  }

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Main;
  TMemoryRegistry Registry;
  TQuietDesktop Desktop;
};

// Enter keeps the colour wherever the focus was left: on any button, the colour button or a field.
TEST_F(SettingsEnterTest, EnterAfterChoosingAColourIsOkWhereverTheFocusIs) {
  auto stops = [](TSettingsDialog& d) {
    return QList<QWidget*>{d.CancelBtn, d.ResetBtn,           d.DefaultBtn,          d.ClearHistory,
                           d.OKBtn,     d.ColorPickerButton1, d.ArchiveSearchFilter, d.FitNewViews};
  };
  for (int stop = 0; stop < 8; ++stop) {
    Main->Settings()->SetBackGroundColor(0x00FFFFFF);
    TSettingsDialog dialog(Main->Settings(), Main.get(), &Registry, &Desktop);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QApplication::processEvents();
    ChooseColour(dialog.ColorPickerButton1, "Red");
    ASSERT_EQ(dialog.ColorPickerButton1->Color(), 0x000000FFu);
    QWidget* target = stops(dialog)[stop];
    target->setFocus(Qt::TabFocusReason);
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible()) << stop;
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << stop;
    EXPECT_EQ(Main->Settings()->BackGroundColor(), 0x000000FFu) << stop;
  }
}

// A font large enough that the whole list (about 40 entries) is taller than the screen: the
// menu stays one column on the screen, the desktop's colours one level down.
TEST_F(SettingsEnterTest, TheColourMenuFitsTheScreenInOneColumn) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget holder;
  auto* button = new TColorPickerButton(&holder);
  QFont large = button->Menu()->font();
  large.setPixelSize(std::max(8, screen.height() / 36));
  button->Menu()->setFont(large);
  button->resize(60, 24);
  holder.resize(80, 30);
  holder.move(screen.left() + 20, screen.bottom() - 60);  // little room below
  holder.show();
  QApplication::processEvents();
  QRect shown;
  QSet<int> columns;
  QStringList system;
  QTimer::singleShot(50, [&] {
    QMenu* menu = button->Menu();
    shown = menu->geometry();
    for (QAction* action : menu->actions()) {
      if (action->isVisible()) columns << menu->actionGeometry(action).left();
      if (action->menu())
        for (QAction* entry : action->menu()->actions()) system << entry->text();
    }
    QTest::keyClick(menu, Qt::Key_Escape);
  });
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
  QApplication::processEvents();
  ASSERT_TRUE(shown.isValid());
  EXPECT_TRUE(screen.contains(shown))
      << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();
  EXPECT_EQ(columns.size(), 1);
  EXPECT_TRUE(system.contains("Highlight"));
}

}  // namespace
