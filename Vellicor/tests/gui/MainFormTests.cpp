// The main window: settings file, history list and its menu, toggles, status bar, errors,
// Window-menu entries, child switching, loading and closing batches.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

#include "AboutU.h"
#include "AppSettingsU.h"
#include "ExceptionsU.h"
#include "FileOpenU.h"
#include "FileSystemU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "IniFileU.h"
#include "MainU.h"
#include "MemoryStatusU.h"
#include "QuvCloseU.h"
#include "QuvLoadU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SelectU.h"
#include "VellicorVersion.h"
#include "WindowArrangementU.h"

namespace {

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    IniName = Dir.filePath("Vellicor.ini");
  }
  std::unique_ptr<TMainForm> MakeForm() { return std::make_unique<TMainForm>(IniName); }
  QStringList IniLines() const {
    QFile file(IniName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }
  QStringList IniKeys() const {
    QStringList keys;
    for (const QString& line : IniLines())
      keys << (line.startsWith('[') ? line.trimmed() : line.section('=', 0, 0));
    return keys;
  }
  void WriteIni(const QString& text) {
    QFile file(IniName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
  }
  QString WriteSample(const QString& name) {
    const auto data = MakeSampleQuv();
    const QString path = Dir.filePath(name);
    EXPECT_TRUE(WriteTestFile(path, data));
    return path;
  }
  QStringList MenuTexts(QMenu* menu) const {
    QStringList texts;
    for (QAction* action : menu->actions())
      texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
  }

  QTemporaryDir Dir;
  QString IniName;
};

TEST_F(MainFormTest, SettingsAreWrittenInKeyOrderAndReadBack) {
  {
    auto form = MakeForm();
    EXPECT_TRUE(form->FirstRun());
    form->FirstActivation({});
    form->acAutoCentre->trigger();  // a change writes at once
    ASSERT_TRUE(QFile::exists(IniName));
    // Every setting of the table in its order, each section once; those written only when
    // they differ from their default are absent.
    QStringList expected;
    QString section;
    for (const TSettingInfo& setting : AppSettingsTable()) {
      if (setting.Rule == TSettingRule::UnlessDefault) continue;
      if (section != setting.Section) {
        section = setting.Section;
        expected << "[" + section + "]";
      }
      expected << setting.Key;
    }
    ASSERT_EQ(expected.size(), 48);
    EXPECT_EQ(expected.last(), "Palette");
    EXPECT_EQ(IniKeys(), expected);
    // Those follow the palette file while they are set, and go again.
    form->Settings()->SetTransparentIndex(5);
    form->Settings()->SetFitNewViews(true);
    EXPECT_EQ(IniKeys(), expected + QStringList({"TransparentIndex", "FitNewViews"}));
    EXPECT_TRUE(IniLines().contains("TransparentIndex=5"));
    form->Settings()->SetTransparentIndex(-1);
    form->Settings()->SetFitNewViews(false);
    EXPECT_EQ(IniKeys(), expected);
    EXPECT_TRUE(IniLines().contains("AutoCentre=1"));
    EXPECT_TRUE(IniLines().contains("BackGroundColor=clWhite"));
    form->Settings()->SetAnimationSpeed(120);
    form->Settings()->SetExportBitDepth(pf8bit);
    form->Settings()->SetFrameDataExportType(2);
    form->Settings()->SetBackGroundColor(0x00123456);
    form->Settings()->SetArchiveSearchFilter("*.quv;*.gaf");
    form->Settings()->Save();
  }
  auto form = MakeForm();
  EXPECT_FALSE(form->FirstRun());
  form->FirstActivation({});
  EXPECT_TRUE(form->acAutoCentre->isChecked());
  EXPECT_EQ(form->Settings()->AnimationSpeed(), 120);
  EXPECT_EQ(form->Settings()->ExportBitDepth(), pf8bit);
  EXPECT_EQ(form->Settings()->FrameDataExportType(), 2);
  EXPECT_EQ(form->Settings()->BackGroundColor(), 0x00123456u);
  EXPECT_EQ(form->Settings()->ArchiveSearchFilter(), "*.quv;*.gaf");
}

TEST_F(MainFormTest, OutOfRangeValuesReadAsDefaultsAndHexIsAccepted) {
  WriteIni(
      "[Settings]\nExportImageBitDepth=12\nFrameDataExportType=7\nAnimationSpeed=0x20\n"
      "Animated=5\nPreLoadCount=abc\nSaveLastDir=/tmp/x/\n");
  auto form = MakeForm();
  form->FirstActivation({});
  EXPECT_EQ(form->Settings()->ExportBitDepth(), pf24bit);
  EXPECT_EQ(form->Settings()->FrameDataExportType(), 0);
  EXPECT_EQ(form->Settings()->AnimationSpeed(), 32);
  EXPECT_TRUE(form->acAnimate->isChecked());
  EXPECT_EQ(form->Settings()->PreLoadCount(), 5);
  EXPECT_EQ(form->Settings()->SaveLastDir(), "/tmp/x");
}

TEST_F(MainFormTest, MaximizedWindowSavesOnlyItsStateAndKeepsNormalBounds) {
  auto form = MakeForm();
  form->FirstActivation({});
  form->setGeometry(100, 120, 640, 480);
  form->Settings()->Save(wsNormal);
  EXPECT_TRUE(IniLines().contains("Width=640"));
  form->resize(700, 500);
  form->Settings()->Save(wsMaximized);
  EXPECT_TRUE(IniLines().contains("WindowState=2"));
  EXPECT_TRUE(IniLines().contains("Width=640"));  // the last normal bounds stay
  EXPECT_FALSE(IniLines().contains("Width=700"));
}

TEST_F(MainFormTest, StoredHistoryPutsFirstPieceOnTopAndSavesItBackInOrder) {
  const QString a = Dir.filePath("a.quv"), b = Dir.filePath("b.quv");
  WriteIni(QStringLiteral("[HistoryList]\nHistoryList=%1;%2;\n").arg(a, b));
  auto form = MakeForm();
  form->FirstActivation({});
  EXPECT_EQ(form->Settings()->HistoryEntries(), QStringList({a, b}));
  ASSERT_EQ(form->Menus()->HistoryMenuItems().size(), 2);
  EXPECT_EQ(form->Menus()->HistoryMenuItems()[0]->FileName, a);
  form->Settings()->Save();
  EXPECT_TRUE(IniLines().contains(QStringLiteral("HistoryList=%1;%2;").arg(a, b)));
}

TEST_F(MainFormTest, HistoryMenuMirrorsTheListBetweenTwoSeparatorsAboveExit) {
  auto form = MakeForm();
  form->FirstActivation({});
  const int fixed = int(form->Menus()->FileMenu->actions().size());
  form->Settings()->AddToHistory("one.quv");
  form->Settings()->AddToHistory("two.quv");
  form->Settings()->AddToHistory(
      "ONE.QUV");  // another letter case moves the entry, the list keeps size
  EXPECT_EQ(form->Settings()->HistoryEntries(), QStringList({"one.quv", "two.quv"}));
  const QStringList texts = MenuTexts(form->Menus()->FileMenu);
  ASSERT_EQ(texts.size(), fixed + 3);  // a history separator and two entries
  EXPECT_EQ(texts.mid(texts.size() - 5), QStringList({"-", "one.quv", "two.quv", "-", "E&xit"}));
}

TEST_F(MainFormTest, FullHistoryDropsTheOldestAndLoweringTheLimitKeepsTheNewest) {
  auto form = MakeForm();
  form->FirstActivation({});
  form->Settings()->SetMaxHistoryListSize(3);
  for (const char* name : {"1.quv", "2.quv", "3.quv", "4.quv"})
    form->Settings()->AddToHistory(name);
  EXPECT_EQ(form->Settings()->HistoryEntries(), QStringList({"4.quv", "3.quv", "2.quv"}));
  EXPECT_EQ(form->Menus()->HistoryMenuItems().size(), 3);

  form->Settings()->SetMaxHistoryListSize(5);
  for (const char* name : {"5.quv", "6.quv"}) form->Settings()->AddToHistory(name);
  ASSERT_EQ(form->Settings()->HistoryEntries().size(), 5);
  form->Settings()->SetMaxHistoryListSize(2);
  EXPECT_EQ(form->Settings()->HistoryEntries(), QStringList({"6.quv", "5.quv"}));
  QStringList menu;
  for (TMyMenuItem* item : form->Menus()->HistoryMenuItems()) menu << item->FileName;
  EXPECT_EQ(menu, QStringList({"6.quv", "5.quv"}));
  EXPECT_TRUE(IniLines().contains("MaxHistoryListSize=2"));

  form->Settings()->SetMaxHistoryListSize(0);
  form->Settings()->AddToHistory("7.quv");
  EXPECT_TRUE(form->Settings()->HistoryEntries().isEmpty());
  EXPECT_TRUE(form->Menus()->HistoryMenuItems().isEmpty());
}

TEST_F(MainFormTest, TogglesDoNothingWhileUpdating) {
  auto form = MakeForm();
  form->FirstActivation({});
  form->Settings()->Save();
  const QStringList before = IniLines();
  form->Settings()->SetUpdating(true);
  for (QAction* action :
       {form->acAnimate, form->acAutoCentre, form->acTransparent, form->acViewSubFrames,
        form->acPreLoad, form->acAutoPad, form->acAutoSelect1stImage,
        form->acAutoPadUsingSelectedFrames, form->acExportFrameWhenExportFrameData}) {
    const bool checked = action->isChecked();
    action->trigger();
    EXPECT_EQ(action->isChecked(), checked) << action->text().toStdString();
  }
  form->Settings()->SetUpdating(false);
  EXPECT_EQ(IniLines(), before);
  form->acTransparent->trigger();
  EXPECT_FALSE(form->acTransparent->isChecked());
  EXPECT_TRUE(IniLines().contains("Transparent=0"));
}

TEST_F(MainFormTest, ActionsCarryTheirCaptionsShortcutsAndHints) {
  auto form = MakeForm();
  EXPECT_EQ(form->acOpenQuv->text(), "&Open Quv");
  EXPECT_EQ(form->acOpenQuv->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(form->acOpenQuv->statusTip(), "Open a file");
  // The desktop's keys where the classic ones clash with them.
  EXPECT_EQ(form->WindowClose1->shortcut(), QKeySequence("Ctrl+W"));
  EXPECT_EQ(form->WindowCloseAll1->shortcut(), QKeySequence("Ctrl+Shift+W"));
  EXPECT_EQ(form->acQuit->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_EQ(form->acKeysHelp->shortcut(), QKeySequence("F1"));
  EXPECT_EQ(form->acSelectAll->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_EQ(form->acAutoSelect1stImage->statusTip(),
            "Auto selects the 1st image  when a quv is loaded");
  EXPECT_FALSE(form->acNewQuv->isVisible());
  EXPECT_FALSE(form->acSave->isEnabled());
  EXPECT_FALSE(form->Menus()->ImageManipulationMenu->menuAction()->isVisible());
  QStringList menus;
  for (QAction* action : form->menuBar()->actions()) menus << action->text();
  EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&Settings", "&Image Manipulation", "&View",
                                "&Window", "&Help"}));
  EXPECT_EQ(form->Menus()->WindowMenu->actions().size(), 7);
  EXPECT_FALSE(form->Menus()->WindowMenuEndMarker->isVisible());
}

TEST_F(MainFormTest, StatusBarShowsTheAllocatorFigure) {
  auto form = MakeForm();
  form->TimerTimer();
  EXPECT_TRUE(form->StatusText().startsWith("Memory used: ")) << form->StatusText().toStdString();
  EXPECT_EQ(FormatMemorySize(512), "512bytes");
  EXPECT_EQ(FormatMemorySize(1536), "1.5kb");
  EXPECT_EQ(FormatMemorySize(1024), "1.02E+003bytes");
}

TEST_F(MainFormTest, ErrorDialogNamesTheRaisingLocationAndAsksToTerminate) {
  auto form = MakeForm();
  try {
    throw EConvertError("'x' is not a valid integer value");
  } catch (const std::exception& error) {
    form->ApplicationException(error);
  }
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  const auto& message = GuiTestDialogs().Messages[0];
  EXPECT_EQ(message.Caption, "Error at:");
  EXPECT_TRUE(message.Text.startsWith("Program: ")) << message.Text.toStdString();
  EXPECT_TRUE(message.Text.contains("File: MainFormTests.cpp")) << message.Text.toStdString();
  EXPECT_TRUE(message.Text.endsWith(
      "\nError message:\n\"'x' is not a valid integer value\"\n\nTerminate application?"));
  EXPECT_EQ(message.Buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_FALSE(form->Terminating);  // answered No
}

// An object whose event handler fails.
class TFailingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw EAppError("Test", "boom");
    return QObject::event(event);
  }
};

TEST_F(MainFormTest, ExceptionEscapingAnEventHandlerReachesTheErrorDialog) {
  auto form = MakeForm();
  TFailingObject failing;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&failing, &event));
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.contains("\"boom\""));
}

TEST_F(MainFormTest, OpeningAFileThatFailsReportsItAndStillReturnsTheView) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString missing = Dir.filePath("nothing.quv");
  QFile file(missing);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a quv file at all");
  file.close();
  TQuvView* view = form->OpenQuvFile(QString(), missing);
  EXPECT_NE(view, nullptr);
  EXPECT_FALSE(form->Settings()->Updating());
  ASSERT_FALSE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(GuiTestDialogs().Messages.back().Caption, "Error");
  // The message, then the reader's reason (the file is too short for its header).
  const QString text = GuiTestDialogs().Messages.back().Text;
  EXPECT_TRUE(text.startsWith("Could not open quv " + missing + "\n\n")) << text.toStdString();
  EXPECT_GT(text.size(), ("Could not open quv " + missing + "\n\n").size());
}

TEST_F(MainFormTest, PendingWindowMenuEntriesComeInBatchesOfSix) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString sample = WriteSample("sample.quv");
  form->SetLoadingQuvs(true);  // as during a load batch: views wait for their entry
  for (int i = 0; i < 8; ++i)
    form->Menus()->PendingWindowMenu.push_back(form->OpenQuvFile({}, sample));
  form->SetLoadingQuvs(false);
  const int before = int(form->Menus()->WindowMenu->actions().size());
  form->ProcessPendingWindowMenu(5);
  EXPECT_EQ(form->Menus()->PendingWindowMenu.size(), 2u);
  // A separator after the end marker and six entries.
  EXPECT_EQ(int(form->Menus()->WindowMenu->actions().size()), before + 1 + 6);
  EXPECT_TRUE(form->Menus()->WindowMenu->actions()[before]->isSeparator());
  form->ProcessPendingWindowMenu(5);
  EXPECT_TRUE(form->Menus()->PendingWindowMenu.empty());
  EXPECT_EQ(int(form->Menus()->WindowMenu->actions().size()), before + 1 + 8);
}

TEST_F(MainFormTest, NarrowColumnsAreWidenedAndCopiedToOtherViews) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString sample = WriteSample("sample.quv");
  TQuvView* first = form->OpenQuvFile({}, sample);
  TQuvView* second = form->OpenQuvFile({}, sample);
  form->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(second->parentWidget()));
  ASSERT_EQ(form->ActiveView(), second);
  second->ImageList()->setColumnWidth(1, 0);
  second->ImageList()->setColumnWidth(0, 133);
  form->TimerTimer();
  EXPECT_EQ(second->ImageList()->columnWidth(1), 1);
  EXPECT_EQ(form->Settings()->ColumnWidth(1), 1);
  EXPECT_EQ(form->Settings()->ColumnWidth(0), 133);
  EXPECT_EQ(first->ImageList()->columnWidth(0), 133);
  EXPECT_EQ(first->ImageList()->columnWidth(1), 1);
  EXPECT_TRUE(IniLines().contains("ImageNameWidth=133"));
}

TEST_F(MainFormTest, ArchivesAreReleasedWhenNoViewIsOpen) {
  auto form = MakeForm();
  form->FileSystem()->GetRoot();  // something mounted
  ASSERT_NE(form->FileSystem()->Root(), nullptr);
  form->TimerTimer();
  EXPECT_EQ(form->FileSystem()->Root(), nullptr);
  EXPECT_EQ(form->FileSystem()->Loaders().size(), 1u);  // a fresh archive loader
}

TEST_F(MainFormTest, NextAndPreviousChildSwitching) {
  auto form = MakeForm();
  form->FirstActivation({});
  form->Arranger()->SwitchToNextChild();  // fewer than two: only a beep
  const QString sample = WriteSample("sample.quv");
  QStringList captions;
  for (int i = 0; i < 3; ++i) {
    TQuvView* view = form->OpenQuvFile({}, sample);
    view->parentWidget()->setWindowTitle(QStringLiteral("w%1").arg(i));
  }
  auto activeCaption = [&] { return form->MdiArea->currentSubWindow()->windowTitle(); };
  form->MdiArea->setActiveSubWindow(form->MdiArea->subWindowList()[2]);
  ASSERT_EQ(activeCaption(), "w2");
  form->MdiArea->currentSubWindow()->showMaximized();
  form->Arranger()->SwitchToNextChild();
  const QString afterNext = activeCaption();
  EXPECT_NE(afterNext, "w2");
  EXPECT_TRUE(form->MdiArea->currentSubWindow()->isMaximized());
  form->Arranger()->SwitchToPreviousChild();
  EXPECT_EQ(activeCaption(), "w2");
  EXPECT_TRUE(form->MdiArea->currentSubWindow()->isMaximized());

  // Ctrl+Tab goes to the main window's switching, not to QMdiArea's own.
  form->show();
  form->activateWindow();
  QApplication::setActiveWindow(form.get());
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_TRUE(form->Arranger()->HandleSwitchKey(&press));
  EXPECT_EQ(activeCaption(), afterNext);
  EXPECT_FALSE(form->Arranger()->NextChildRequested);
}

TEST_F(MainFormTest, LoaderOpensChosenFilesInOrderAndStopsOnAbort) {
  auto form = MakeForm();
  form->FirstActivation({});
  QStringList names;
  for (int i = 0; i < 5; ++i) names << WriteSample(QStringLiteral("s%1.quv").arg(i));
  TQuvLoader* loader = form->Opener()->QuvLoader();
  loader->OnFileOpened = [loader](int opened) {
    if (opened == 2) loader->AbortButton->click();
  };
  loader->Run(names);
  loader->OnFileOpened = nullptr;
  const QList<TQuvView*> views = form->Views();
  ASSERT_EQ(views.size(), 2);
  EXPECT_TRUE(views[0]->FileName().endsWith("s0.quv")) << views[0]->FileName().toStdString();
  EXPECT_TRUE(views[1]->FileName().endsWith("s1.quv"));
  EXPECT_FALSE(form->LoadingQuvs());
  EXPECT_TRUE(form->Menus()->PendingWindowMenu.empty());  // both got their Window-menu entry
  EXPECT_TRUE(loader->Items.isEmpty());

  loader->Run(names.mid(0, 3));
  EXPECT_EQ(form->Views().size(), 5);
  EXPECT_EQ(loader->ProgressBar->maximum(), 3);
  EXPECT_EQ(loader->ProgressBar->value(), 3);
}

TEST_F(MainFormTest, LoaderPicksInArchivesBeforeItShowsAndCountsEveryFileToOpen) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString sample = WriteSample("inner.quv");
  TQuvLoader* loader = form->Opener()->QuvLoader();
  // Only the first four bytes make an archive; the picker is scripted.
  for (const char* name : {"skip.hpi", "pack.hpi"}) {
    QFile file(Dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("HAPI....");
  }
  QStringList archives;
  int maximumSeen = 0;
  loader->PickFiles = [&](QString& filter, QStringList& results, const QString& archive,
                          bool multi) {
    archives << archive;
    EXPECT_TRUE(multi);
    EXPECT_FALSE(loader->isVisible());  // no empty progress dialog behind the picker
    if (archive.endsWith("skip.hpi")) return false;
    filter = "*.quv;*.x";
    results = {"a\\one.quv", "two.quv", "three.quv", "four.quv"};
    return true;
  };
  QStringList opened;
  QObject::connect(form.get(), &TMainForm::ViewOpened, [&](TQuvView* view) {
    opened << view->windowTitle();
    maximumSeen = loader->ProgressBar->maximum();
  });
  loader->Run({Dir.filePath("skip.hpi"), Dir.filePath("pack.hpi"), sample});
  EXPECT_EQ(archives.size(), 2);
  EXPECT_EQ(maximumSeen, 4 + 1);
  EXPECT_EQ(opened, QStringList({"one.quv", "two.quv", "three.quv", "four.quv", "inner.quv"}));
  EXPECT_EQ(form->Settings()->ArchiveSearchFilter(), "*.quv;*.x");
  EXPECT_EQ(loader->ProgressBar->value(), 5);
  EXPECT_EQ(loader->CurrentQuv->text(), "inner.quv");
}

TEST_F(MainFormTest, CloseAllClosesFromTheLastWindowToTheFirst) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString sample = WriteSample("sample.quv");
  for (int i = 0; i < 6; ++i) {
    TQuvView* view = form->OpenQuvFile({}, sample);
    view->parentWidget()->setWindowTitle(QString::number(i));
  }
  QStringList closedOrder;
  for (TQuvView* view : form->Views()) {
    const QString caption = view->parentWidget()->windowTitle();
    QObject::connect(view, &QObject::destroyed,
                     [&closedOrder, caption] { closedOrder << caption; });
  }
  TQuvCloser* closer = form->QuvCloser();
  form->WindowCloseAll1->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(closedOrder, QStringList({"5", "4", "3", "2", "1", "0"}));
  EXPECT_EQ(closer->ProgressBar->value(), 6);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form->Views().isEmpty());
}

}  // namespace

namespace {

TEST_F(MainFormTest, OpenCommandLoadsChosenFilesAndRemembersFolderAndFilter) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString a = WriteSample("a.quv"), b = WriteSample("b.quv");
  GuiTestDialogs().OpenAnswers.push_back({{a, b}, 1});
  form->acOpenQuv->trigger();
  EXPECT_EQ(GuiTestDialogs().LastFilter,
            "Quv Files|*.quv|Hpi Files(Can contain quvs)|*.hpi;*.ufo;*.gp3;*.gpf;*.ccx|All "
            "Files|*.*");
  EXPECT_EQ(form->Views().size(), 2);
  EXPECT_EQ(form->Settings()->LoadLastDir(), QDir(Dir.path()).absolutePath());
  EXPECT_TRUE(form->acAnimate->isChecked());  // paused only while the dialog ran
  EXPECT_FALSE(form->Settings()->Updating());
  EXPECT_TRUE(IniLines().contains("FilterIndex=1"));

  GuiTestDialogs().OpenAnswers.push_back({{}, 0});  // cancelled: nothing happens
  form->acOpenQuv->trigger();
  EXPECT_EQ(form->Views().size(), 2);
}

TEST_F(MainFormTest, ArchivePathThroughAMissingNameIsAnError) {
  auto form = MakeForm();
  QString archive, inner;
  const QString folder = Dir.filePath("missing/deeper");
  try {
    form->ResolveArchivePath(folder, folder + "/x.quv", archive, inner);
    FAIL() << "no error";
  } catch (const std::exception& error) {
    EXPECT_EQ(QString::fromUtf8(error.what()),
              QStringLiteral("Can not find file path \"%1\".").arg(folder));
  }
  EXPECT_FALSE(form->ResolveArchivePath(Dir.path(), Dir.filePath("x.quv"), archive, inner));
}

}  // namespace

namespace {

TEST(AboutBox, ShowsProductNameAndTheProgramVersion) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), "About Vellicor");
  EXPECT_EQ(box.Version->text(), QStringLiteral("Version : ") + VELLICOR_VERSION_STRING);
  EXPECT_FALSE(box.ProductName->text().isEmpty());
}

TEST(AboutBox, StatesFactsAboutTheProgramAndNamesNoPeople) {
  TAboutBox box;
  const QString text = box.Comments->toPlainText();
  for (const char* fact : {"Quv", "HPI", "MIT licence", "Qt ", "zlib ", "libpng ", "giflib ",
                           VELLICOR_VERSION_STRING, VELLICOR_HOMEPAGE})
    EXPECT_TRUE(text.contains(QString::fromLatin1(fact))) << fact;
  for (const char* claim : {"thank", "community", "everyone", "tested", "contributor", "people"})
    EXPECT_FALSE(text.contains(QString::fromLatin1(claim), Qt::CaseInsensitive)) << claim;
  EXPECT_TRUE(box.HomePage->text().contains(
      QStringLiteral("href=\"%1\"").arg(QString::fromLatin1(VELLICOR_HOMEPAGE))));
  EXPECT_GE(box.minimumWidth(), 378);
  EXPECT_GE(box.minimumHeight(), 393);
}

}  // namespace

namespace {

TEST_F(MainFormTest, EmptyClientAreaSaysHowToOpenAFileUntilAViewOpens) {
  auto form = MakeForm();
  form->FirstActivation({});
  ASSERT_NE(form->EmptyHint, nullptr);
  EXPECT_EQ(
      form->EmptyHint->text(),
      QStringLiteral("Open a Quv file or an HPI archive with File \u25B8 Open, or drop one here"));
  EXPECT_FALSE(form->EmptyHint->isHidden());
  form->OpenQuvFile({}, WriteSample("sample.quv"));
  EXPECT_TRUE(form->EmptyHint->isHidden());
  form->CloseAllViews();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  EXPECT_FALSE(form->EmptyHint->isHidden());
}

TEST_F(MainFormTest, ClosingTheMainWindowClosesEveryViewAndWritesTheSettings) {
  auto form = MakeForm();
  form->FirstActivation({});
  const QString sample = WriteSample("sample.quv");
  for (int i = 0; i < 3; ++i) form->OpenQuvFile({}, sample);
  QFile::remove(IniName);
  EXPECT_TRUE(form->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form->Views().isEmpty());
  EXPECT_TRUE(form->Terminating);
  EXPECT_FALSE(form->Activated);
  EXPECT_TRUE(QFile::exists(IniName));
}

}  // namespace

namespace {

TEST_F(MainFormTest, FilesPickedInsideAnArchiveOpenInViewsOfTheirOwn) {
  auto form = MakeForm();
  form->FirstActivation({});
  THpiBuilder builder;
  builder.AddFile("units/a.quv", MakeSampleQuv());
  builder.AddFile("units/b.quv", MakeSampleQuv());
  builder.AddFile("units/notes.txt", {1, 2, 3});
  const QString archive = Dir.filePath("pack.hpi");
  builder.WriteFile(archive.toStdString());

  QTimer::singleShot(50, [] {
    TSelectFileInHpi* picker = SelectFileInHpiDialog();
    ASSERT_TRUE(picker->isVisible());
    auto units = picker->DirView->findItems("units", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(units.size(), 1);
    picker->DirViewClick(units.front());
    ASSERT_EQ(picker->FileView->topLevelItemCount(), 2);  // the text file does not match
    for (int i = 0; i < 2; ++i) picker->FileView->topLevelItem(i)->setSelected(true);
    picker->OkButton->click();
  });
  form->Opener()->LoadFiles({archive});
  const QList<TQuvView*> views = form->Views();
  ASSERT_EQ(views.size(), 2);
  EXPECT_TRUE(views[0]->Collection() != nullptr);
  EXPECT_TRUE(views[0]->windowTitle().contains("a.quv")) << views[0]->windowTitle().toStdString();
  EXPECT_TRUE(views[1]->windowTitle().contains("b.quv"));
  EXPECT_EQ(views[0]->ArchiveSource(), archive);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(form->Opener()->QuvLoader()->ProgressBar->maximum(), 2);
}

}  // namespace

namespace {

// Lets the window system and the settings' settle time pass.
void Settle(int ms = 1000) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST_F(MainFormTest, WindowChangesAreWrittenOnceSettledAndAMaximizeKeepsTheNormalBounds) {
  WriteIni("[Settings]\n");
  auto form = MakeForm();
  form->show();
  form->FirstActivation({});
  form->setGeometry(100, 120, 640, 480);
  Settle();
  EXPECT_TRUE(IniLines().contains("Width=640"));
  EXPECT_TRUE(IniLines().contains("WindowState=0"));

  // A run of moves is one change: nothing is written while it goes on, the end once.
  ASSERT_TRUE(QFile::remove(IniName));
  for (int x = 101; x <= 110; ++x) form->move(x, 120);
  QApplication::processEvents();
  EXPECT_FALSE(QFile::exists(IniName));
  Settle();
  const int left = form->normalGeometry().left();
  EXPECT_TRUE(IniLines().contains(QStringLiteral("Left=%1").arg(left)));

  // The window system may grow the window before it reports the maximized state.
  form->setGeometry(0, 0, 1000, 700);
  form->setWindowState(Qt::WindowMaximized);
  Settle();
  EXPECT_TRUE(IniLines().contains("WindowState=2"));
  EXPECT_TRUE(IniLines().contains("Width=640"));
  EXPECT_FALSE(IniLines().contains("Width=1000"));
}

TEST_F(MainFormTest, FirstBytesDecideBetweenArchiveAndQuvWhereverAFileEnters) {
  THpiBuilder builder;
  builder.AddFile("units/a.quv", MakeSampleQuv());
  const QString archive = Dir.filePath("pack.hpi");
  builder.WriteFile(archive.toStdString());
  const QString disguised = Dir.filePath("archive.quv");  // an archive named like a sprite
  ASSERT_TRUE(QFile::copy(archive, disguised));
  const QString sprite = WriteSample("sprite.hpi");  // a sprite named like an archive
  const QString plain = WriteSample("plain.quv");

  auto form = MakeForm();
  QStringList picked;
  form->Opener()->QuvLoader()->PickFiles = [&](QString&, QStringList& results, const QString& name,
                                               bool) {
    picked << QFileInfo(name).fileName();
    results = {"units\\a.quv"};
    return true;
  };
  // Started elsewhere than in the program's folder.
  const QString started = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(Dir.path()));
  const QString cwd = QDir::currentPath();
  // The command line.
  form->FirstActivation({archive, sprite});
  EXPECT_EQ(picked, QStringList{"pack.hpi"});
  ASSERT_EQ(form->Views().size(), 2);  // the sprite at once, then the archive's pick
  EXPECT_TRUE(form->Views()[0]->ArchiveSource().isEmpty());
  EXPECT_TRUE(form->Views()[0]->Collection() != nullptr);
  EXPECT_EQ(form->Views()[1]->ArchiveSource(), archive);
  EXPECT_TRUE(form->Views()[1]->Collection() != nullptr);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(QDir::currentPath(), cwd);  // opening never moves the process's folder

  // The open dialog, whatever filter was chosen.
  GuiTestDialogs().OpenAnswers.push_back({{plain}, 3});  // "All Files"
  form->acOpenQuv->trigger();
  EXPECT_EQ(picked.size(), 1);
  ASSERT_EQ(form->Views().size(), 3);
  EXPECT_TRUE(form->Views()[2]->Collection() != nullptr);
  GuiTestDialogs().OpenAnswers.push_back({{disguised}, 1});  // "Quv Files"
  form->acOpenQuv->trigger();
  EXPECT_EQ(picked, (QStringList{"pack.hpi", "archive.quv"}));
  ASSERT_EQ(form->Views().size(), 4);
  EXPECT_EQ(form->Views()[3]->ArchiveSource(), disguised);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(QDir::currentPath(), cwd);
  QDir::setCurrent(started);
}

}  // namespace
