// The archive picker on archives made by the builder, and the assertion dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "AssertDialogU.h"
#include "AssertU.h"
#include "ConsoleU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "LowLevelIO.h"
#include "QuvSamplesU.h"
#include "SelectU.h"

namespace {

std::vector<uint8_t> Bytes(size_t count) {
  return std::vector<uint8_t>(count, 0x5A);
}

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    THpiBuilder builder;
    builder.HeaderKey = 0x7D;
    builder.AddFile("units/b.quv", Bytes(300));
    builder.AddFile("units/a.quv", Bytes(1000));
    builder.AddFile("units/c.gaf", Bytes(20));
    builder.AddFile("units/d.quv", Bytes(9));
    builder.AddFile("top.quv", Bytes(50));
    builder.AddFile("deep/er/x.quv", Bytes(5));
    Archive = Dir.filePath("pack.hpi");
    builder.WriteFile(Archive.toStdString());
    Dialog = std::make_unique<TSelectFileInHpi>();
    Dialog->ArchiveName = Archive;
    Dialog->Filter = "*.quv";
  }

  QTreeWidgetItem* Node(const QString& caption) {
    auto found = Dialog->DirView->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
  }
  QStringList Column(int column) {
    QStringList texts;
    for (int i = 0; i < Dialog->FileView->topLevelItemCount(); ++i)
      texts << Dialog->FileView->topLevelItem(i)->text(column);
    return texts;
  }
  QTreeWidgetItem* Row(const QString& name) {
    auto found = Dialog->FileView->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
  }
  void OpenUnits() {
    ASSERT_TRUE(Dialog->FormActivate());
    EXPECT_EQ(Column(0), QStringList({"top.quv"}));  // the root, listed on opening
    ASSERT_NE(Node("units"), nullptr);
    Dialog->DirViewClick(Node("units"));
  }

  QTemporaryDir Dir;
  QString Archive;
  std::unique_ptr<TSelectFileInHpi> Dialog;
};

TEST_F(SelectTest, TreeIsFilledOneLevelAtATimeAndListShowsMatchingFiles) {
  ASSERT_TRUE(Dialog->FormActivate());
  QTreeWidgetItem* root = Dialog->DirView->topLevelItem(0);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->text(0), "pack.hpi");
  EXPECT_EQ(Dialog->windowTitle(), "Select file: pack.hpi");
  // Opened on the root, listed.
  EXPECT_EQ(Dialog->DirView->currentItem(), root);
  EXPECT_EQ(Column(0), QStringList({"top.quv"}));
  EXPECT_TRUE(Dialog->EmptyListLbl->isHidden());
  EXPECT_EQ(root->childCount(), 2);  // deep, units
  QTreeWidgetItem* deep = Node("deep");
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->childCount(), 0);
  Dialog->DirViewExpanding(deep);
  EXPECT_EQ(deep->childCount(), 1);
  Dialog->DirViewClick(root);
  EXPECT_EQ(Column(0), QStringList({"top.quv"}));
  Dialog->DirViewClick(Node("units"));
  EXPECT_EQ(Column(0), QStringList({"a.quv", "b.quv", "d.quv"}));
  EXPECT_EQ(Column(1),
            QStringList({QLocale().formattedDataSize(1000), QLocale().formattedDataSize(300),
                         QLocale().formattedDataSize(9)}));
  EXPECT_EQ(Dialog->FileView->topLevelItem(0)->toolTip(1),
            QStringLiteral("%1 bytes").arg(QLocale().toString(1000)));
  EXPECT_EQ(Column(2), QStringList({"QUV", "QUV", "QUV"}));
  // A folder with no matching file says so, with the filter.
  Dialog->DirViewClick(Node("deep"));
  EXPECT_TRUE(Column(0).isEmpty());
  EXPECT_FALSE(Dialog->EmptyListLbl->isHidden());
  EXPECT_EQ(Dialog->EmptyListLbl->text(), "No files match *.quv here");
}

TEST_F(SelectTest, MovingThroughTheTreeWithTheKeyboardListsEachFolder) {
  ASSERT_TRUE(Dialog->FormActivate());
  Dialog->show();
  QTreeWidgetItem* root = Dialog->DirView->topLevelItem(0);
  Dialog->DirView->setCurrentItem(root);
  Dialog->DirView->setFocus();
  EXPECT_EQ(Column(0), QStringList({"top.quv"}));  // the root, listed on opening
  QTest::keyClick(Dialog->DirView, Qt::Key_Down);  // root, deep, units
  EXPECT_EQ(Dialog->DirView->currentItem(), Node("deep"));
  EXPECT_EQ(Dialog->FileView->topLevelItemCount(), 0);
  QTest::keyClick(Dialog->DirView, Qt::Key_Down);
  EXPECT_EQ(Dialog->DirView->currentItem(), Node("units"));
  EXPECT_EQ(Column(0), QStringList({"a.quv", "b.quv", "d.quv"}));
  QTest::keyClick(Dialog->DirView, Qt::Key_Home);
  EXPECT_EQ(Column(0), QStringList({"top.quv"}));
  Dialog->hide();
}

TEST_F(SelectTest, SizeHeaderCyclesAscendingDescendingAndListingOrder) {
  OpenUnits();
  Dialog->FileViewColumnClick(1);
  // By the byte count (a 1000, b 300, d 9), not the shown text.
  EXPECT_EQ(Column(0), QStringList({"d.quv", "b.quv", "a.quv"}));
  Dialog->FileViewColumnClick(1);
  EXPECT_EQ(Column(0), QStringList({"a.quv", "b.quv", "d.quv"}));
  Dialog->FileViewColumnClick(1);
  EXPECT_EQ(Column(0), QStringList({"a.quv", "b.quv", "d.quv"}));
  EXPECT_EQ(Dialog->CurrentSortInfo()->SortColumn, 0);
  Dialog->FileViewColumnClick(1);  // ascending by size, then a click on "Type": descending
  Dialog->FileViewColumnClick(2);
  EXPECT_EQ(Dialog->CurrentSortInfo()->SortOrder, 2);
  EXPECT_EQ(Dialog->CurrentSortInfo()->SortColumn, 3);
}

TEST_F(SelectTest, SingleSelectionReplacesTheChosenFile) {
  Dialog->MultipleSelection = false;
  OpenUnits();
  EXPECT_FALSE(Dialog->OkButton->isEnabled());
  Row("a.quv")->setSelected(true);
  EXPECT_EQ(Dialog->Results, QStringList({"units\\a.quv"}));
  Dialog->FileView->clearSelection();
  Row("b.quv")->setSelected(true);
  EXPECT_EQ(Dialog->Results, QStringList({"units\\b.quv"}));
  EXPECT_TRUE(Dialog->OkButton->isEnabled());
}

TEST_F(SelectTest, MultipleSelectionAddsAndRemovesAndFilterChangeKeepsResults) {
  Dialog->MultipleSelection = true;
  OpenUnits();
  for (const char* name : {"a.quv", "b.quv", "d.quv"}) Row(name)->setSelected(true);
  EXPECT_EQ(Dialog->Results.size(), 3);
  Row("b.quv")->setSelected(false);
  EXPECT_EQ(Dialog->Results, QStringList({"units\\a.quv", "units\\d.quv"}));
  EXPECT_TRUE(Dialog->OkButton->isEnabled());

  Dialog->DirView->setCurrentItem(Node("units"));
  Dialog->SearchFilter->setText("*.gaf");
  Dialog->SearchFilterChange();
  EXPECT_EQ(Column(0), QStringList({"c.gaf"}));
  EXPECT_EQ(Dialog->Results, QStringList({"units\\a.quv", "units\\d.quv"}));
  Dialog->SearchFilter->setText("*.gaf; *.QUV");  // several masks, letter case ignored
  Dialog->SearchFilterChange();
  EXPECT_EQ(Column(0).size(), 4);
}

TEST_F(SelectTest, EntryOperationReturnsChosenPathsAndTheChangedFilter) {
  QString filter = "*.quv";
  QStringList results = {"stale"};
  QTimer::singleShot(50, [] {
    TSelectFileInHpi* dialog = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* picker = qobject_cast<TSelectFileInHpi*>(widget); picker && picker->isVisible())
        dialog = picker;
    ASSERT_NE(dialog, nullptr);
    dialog->SearchFilter->setText("*.quv;*.gaf");
    dialog->SearchFilterChange();
    dialog->DirViewClick(dialog->DirView->topLevelItem(0));
    ASSERT_EQ(dialog->FileView->topLevelItemCount(), 1);
    dialog->FileView->topLevelItem(0)->setSelected(true);
    dialog->OkButton->click();
  });
  EXPECT_TRUE(SelectFilesInHpi(filter, results, Archive, false));
  EXPECT_EQ(results, QStringList({"top.quv"}));
  EXPECT_EQ(filter, "*.quv;*.gaf");

  QTimer::singleShot(50, [] {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* picker = qobject_cast<TSelectFileInHpi*>(widget); picker && picker->isVisible())
        picker->CancelButton->click();
  });
  QString unchanged = "*.x";
  EXPECT_FALSE(SelectFilesInHpi(unchanged, results, Archive, false));
  EXPECT_EQ(unchanged, "*.x");
  EXPECT_EQ(results, QStringList({"top.quv"}));
}

TEST_F(SelectTest, PlainFileIsNotAnArchiveAndClosesThePicker) {
  const QString plain = Dir.filePath("plain.quv");
  QFile file(plain);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("QUV? no");
  file.close();
  Dialog->ArchiveName = plain;
  EXPECT_FALSE(Dialog->FormActivate());

  QString filter = "*.quv";
  QStringList results;
  EXPECT_FALSE(SelectFilesInHpi(filter, results, plain, true));  // returns without a click
  EXPECT_TRUE(results.isEmpty());
}

TEST(AssertDialog, IgnoreSuppressesFurtherReportsAndRetryContinues) {
  auto saved = Platform().AssertionHandler;
  InstallAssertDialog();
  AssertionsSuppressed() = false;
  GuiTestDialogs().MessageAnswers = {QMessageBox::Retry, QMessageBox::Ignore};
  VASSERT_MSG(false, "first");
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  const auto& report = GuiTestDialogs().Messages[0];
  EXPECT_EQ(report.Caption, "Assertion Failure");
  EXPECT_TRUE(report.Text.contains("\nAssertion Failed\nfirst\n\n\nPress Abort to break"));
  EXPECT_TRUE(report.Text.endsWith("to disable any further assertion failures.\n"));
  EXPECT_FALSE(AssertionsSuppressed());
  VASSERT_MSG(false, "second");
  EXPECT_TRUE(AssertionsSuppressed());
  VASSERT_MSG(false, "third");
  EXPECT_EQ(GuiTestDialogs().Messages.size(), 2u);
  AssertionsSuppressed() = false;
  Platform().AssertionHandler = saved;
}

}  // namespace

namespace {

TEST_F(SelectTest, ArchiveWhoseNameLooksLikeAMaskIsStillMounted) {
  const QString odd = Dir.filePath("pack[1].hpi");
  ASSERT_TRUE(QFile::copy(Archive, odd));
  Dialog->ArchiveName = odd;
  ASSERT_TRUE(Dialog->FormActivate());
  EXPECT_EQ(Dialog->DirView->topLevelItem(0)->text(0), "pack[1].hpi");
  EXPECT_EQ(Dialog->DirView->topLevelItem(0)->childCount(), 2);
}

// An archive with a real Quv file, a file that is none, a name climbing out of any folder and an
// entry whose data are broken.
class PickerExtrasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    TSampleFrame frame;
    frame.Width = 4;
    frame.Height = 2;
    frame.Pixels = {1, 2, 3, 4, 5, 6, 7, SampleTransparentIndex};
    Quv = BuildQuvFile({{"tank", {frame}}});
    Text.assign({'n', 'o', 't', 'e'});
    THpiBuilder builder;
    builder.HeaderKey = 0x33;
    builder.AddFile("units/tank.quv", Quv);
    builder.AddFile("units/sub/note.txt", Text);
    builder.AddFile("../evil.quv", Quv);
    THpiFileOptions zlib;
    zlib.Chunks = {THpiChunkKind::ZLib};
    builder.AddFile("units/broken.quv", std::vector<uint8_t>(5000, 7), zlib);
    THpiLayout layout;
    std::vector<uint8_t> bytes = builder.Build(&layout);
    // The broken file's chunk table points past the archive's end.
    const uint32_t start = layout.DataStarts.at("units/broken.quv");
    for (uint32_t i = start; i < start + 8 && i < bytes.size(); ++i) bytes[i] ^= 0xFF;
    Archive = Dir.filePath("extras.hpi");
    ASSERT_TRUE(WriteTestFile(Archive, bytes));
    Dialog = std::make_unique<TSelectFileInHpi>();
    Dialog->ArchiveName = Archive;
    Dialog->Filter = "*";
    Dialog->MultipleSelection = true;
    ASSERT_TRUE(Dialog->FormActivate());
  }

  QTreeWidgetItem* Node(const QString& caption) {
    auto found = Dialog->DirView->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
  }
  void Choose(const QString& name) {
    auto found = Dialog->FileView->findItems(name, Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << name.toStdString();
    Dialog->FileView->setCurrentItem(found.front());
    found.front()->setSelected(true);
  }
  QByteArray BytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static QByteArray Raw(const std::vector<uint8_t>& data) {
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
  }

  QTemporaryDir Dir;
  QString Archive;
  std::vector<uint8_t> Quv, Text;
  std::unique_ptr<TSelectFileInHpi> Dialog;
};

TEST_F(PickerExtrasTest, PreviewShowsTheFirstFrameOfAQuvFileOnly) {
  EXPECT_TRUE(Dialog->Preview->pixmap().isNull());
  Dialog->DirViewClick(Node("units"));
  Choose("tank.quv");
  const QImage shown = Dialog->Preview->pixmap().toImage();
  ASSERT_FALSE(shown.isNull());
  // Fitted by a whole factor: 4 x 2 pixels become 128 x 64 (offscreen has ratio 1).
  EXPECT_EQ(shown.size(), QSize(128, 64));
  EXPECT_EQ(shown.pixelColor(0, 0).rgb(), qRgb(Palette[1][0], Palette[1][1], Palette[1][2]));
  EXPECT_EQ(shown.pixelColor(127, 63).alpha(), 0);  // the transparent index

  Dialog->FileView->clearSelection();
  Choose("broken.quv");
  EXPECT_TRUE(Dialog->Preview->pixmap().isNull());
  EXPECT_TRUE(Dialog->Preview->text().startsWith("No preview: "));
  Dialog->DirViewClick(Node("sub"));
  EXPECT_TRUE(Dialog->Preview->pixmap().isNull());  // the list was emptied
  Choose("note.txt");
  EXPECT_TRUE(Dialog->Preview->pixmap().isNull());
  EXPECT_TRUE(Dialog->Preview->text().startsWith("No preview: "));
}

TEST_F(PickerExtrasTest, ExtractWritesChosenFilesOrTheFolderAndRefusesNamesLeavingIt) {
  const QString out = Dir.filePath("out");
  QDir().mkpath(out);
  Dialog->DirViewClick(Node("units"));
  Choose("tank.quv");
  GuiTestDialogs().FolderAnswers.push_back(out);
  EXPECT_EQ(Dialog->ExtractButtonClick(), 1);
  EXPECT_EQ(BytesOf(out + "/tank.quv"), Raw(Quv));
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_EQ(GuiTestDialogs().Messages.back().Icon, QMessageBox::Information);

  // Again: asked before replacing; Cancel leaves the file as it is.
  QFile::resize(out + "/tank.quv", 3);
  GuiTestDialogs().QuestionAnswers.push_back("Cancel");
  EXPECT_EQ(Dialog->ExtractTo(out), 0);
  EXPECT_EQ(GuiTestDialogs().Questions, QStringList{"Replace 1 existing file?"});
  EXPECT_EQ(BytesOf(out + "/tank.quv").size(), 3);

  // No file chosen: the listed folder with all below it; the broken entry is told, not fatal.
  Dialog->FileView->clearSelection();
  GuiTestDialogs().QuestionAnswers.push_back("Replace");
  EXPECT_EQ(Dialog->ExtractTo(out), 2);
  EXPECT_EQ(BytesOf(out + "/units/tank.quv"), Raw(Quv));
  EXPECT_EQ(BytesOf(out + "/units/sub/note.txt"), Raw(Text));
  EXPECT_FALSE(QFileInfo::exists(out + "/units/broken.quv"));
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 2u);
  EXPECT_EQ(GuiTestDialogs().Messages.back().Icon, QMessageBox::Warning);
  EXPECT_TRUE(GuiTestDialogs().Messages.back().Text.contains("units/broken.quv: "));

  // The root: "../evil.quv" would land beside the folder and is refused.
  const QString inner = Dir.filePath("inner");
  QDir().mkpath(inner);
  Dialog->DirViewClick(Dialog->DirView->topLevelItem(0));
  EXPECT_EQ(Dialog->ExtractTo(inner), 2);
  EXPECT_FALSE(QFileInfo::exists(Dir.filePath("evil.quv")));
  EXPECT_EQ(BytesOf(inner + "/units/tank.quv"), Raw(Quv));
  const QString told = GuiTestDialogs().Messages.back().Text;
  EXPECT_TRUE(told.contains("names would leave the folder:\n../evil.quv")) << told.toStdString();
  EXPECT_TRUE(told.startsWith("2 files written to "));
}

TEST(AssertDialog, AbortLogsAtLevelTenAndEndsTheProgramWithoutADebugger) {
  auto saved = Platform().AssertionHandler;
  auto savedBreak = AssertionBreakHandler;
  InstallAssertDialog();
  AssertionsSuppressed() = false;
  TConsole console;
  console.LevelMask = 0;
  console.Initialize();
  TConsole* previous = Console;
  Console = &console;
  int ended = 0;
  AssertionBreakHandler = [&] { ++ended; };
  std::vector<uint8_t> levels;
  console.OnLog = [&](const std::string&, uint8_t level) { levels.push_back(level); };
  GuiTestDialogs().MessageAnswers = {QMessageBox::Abort, QMessageBox::Retry};
  VASSERT_MSG(false, "broken");
  VASSERT(false);
  EXPECT_EQ(ended, DebuggerAttached() ? 0 : 1);
  ASSERT_EQ(levels.size(), 2u);
  EXPECT_EQ(levels[0], 10);
  EXPECT_EQ(levels[1], 7);
  Console = previous;
  console.Finalize();
  AssertionBreakHandler = savedBreak;
  Platform().AssertionHandler = saved;
}

}  // namespace
