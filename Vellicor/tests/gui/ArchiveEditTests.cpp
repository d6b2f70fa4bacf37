// Changing an archive in the picker as its user does: keys on the file list, a name typed into
// the rename box, files dropped from the desktop, Ctrl+S; then the archive on disk read back by
// the tests' own HPI reader.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include "ArchiveEditActionsU.h"
#include "GuiTestMain.h"
#include "HpiBuilderU.h"
#include "HpiOutsideReader.h"
#include "SelectU.h"

namespace {

std::vector<uint8_t> Filled(size_t count, uint8_t seed) {
  std::vector<uint8_t> data(count);
  for (size_t i = 0; i < count; ++i) data[i] = uint8_t(seed + i * 7 + (i >> 5));
  return data;
}

class PickerEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    THpiBuilder builder;
    builder.HeaderKey = 0x51;
    THpiFileOptions zlib;
    zlib.CompressionFlag = 2;
    zlib.Chunks = {THpiChunkKind::ZLib};
    builder.AddFile("units/a.quv", Filled(3000, 1), zlib);
    builder.AddFile("units/b.quv", Filled(200, 2));
    builder.AddFile("units/c.quv", Filled(90000, 3));
    builder.AddFile("top.txt", Filled(40, 4));
    Archive = Dir.filePath("pack.hpi");
    builder.WriteFile(Archive.toStdString());
    Before = Read();
    Dialog = std::make_unique<TSelectFileInHpi>();
    Dialog->ArchiveName = Archive;
    Dialog->Filter = "*";
    Dialog->MultipleSelection = true;
    Dialog->show();
    ASSERT_TRUE(Dialog->FormActivate());
    Dialog->DirViewClick(Node("units"));
  }
  void TearDown() override {
    if (Dialog->EditActions->Modified()) GuiTestDialogs().QuestionAnswers.push_back("Discard");
    Dialog->close();
  }

  hpitest::TOutsideArchive Read() {
    QFile file(Archive);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    return hpitest::TOutsideReader(std::vector<uint8_t>(bytes.begin(), bytes.end())).Read();
  }
  QTreeWidgetItem* Node(const QString& caption) {
    auto found = Dialog->DirView->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
  }
  QTreeWidgetItem* Row(const QString& name) {
    auto found = Dialog->FileView->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
  }
  QStringList Names() {
    QStringList names;
    for (int i = 0; i < Dialog->FileView->topLevelItemCount(); ++i)
      names << Dialog->FileView->topLevelItem(i)->text(0);
    names.sort();
    return names;
  }
  void Click(const QString& name) {
    QTreeWidgetItem* row = Row(name);
    ASSERT_NE(row, nullptr) << name.toStdString();
    Dialog->FileView->scrollToItem(row);
    QTest::mouseClick(Dialog->FileView->viewport(), Qt::LeftButton, {},
                      Dialog->FileView->visualItemRect(row).center());
  }
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QApplication::setActiveWindow(Dialog.get());
    Dialog->FileView->setFocus();
    QTest::keyClick(Dialog->FileView, Qt::Key(key), modifiers);
    QApplication::processEvents();
  }
  void DropFile(const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QWidget* target = Dialog->FileView->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
  }
  static std::vector<uint8_t> Content(const hpitest::TOutsideArchive& archive,
                                      const std::string& path) {
    auto found = archive.Files.find(path);
    return found == archive.Files.end() ? std::vector<uint8_t>{} : found->second.Content;
  }

  QTemporaryDir Dir;
  QString Archive;
  hpitest::TOutsideArchive Before;
  std::unique_ptr<TSelectFileInHpi> Dialog;
};

TEST_F(PickerEditTest, DelAndF2MarkTheListAndCtrlSWritesThemKeepingOtherEntriesStored) {
  EXPECT_EQ(Dialog->windowTitle(), "Select file: pack.hpi");
  Click("b.quv");
  Press(Qt::Key_Delete);
  ASSERT_NE(Row("b.quv"), nullptr);  // shown struck out until saved
  EXPECT_TRUE(Row("b.quv")->font(0).strikeOut());
  EXPECT_EQ(Row("b.quv")->toolTip(0), "Deleted, not saved yet");
  EXPECT_EQ(Dialog->windowTitle(), "Select file: pack.hpi*");

  Click("a.quv");
  TAnswerModal<QInputDialog> answer([](QInputDialog* dialog) {
    QWidget* edit = dialog->findChild<QLineEdit*>();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, "renamed.quv");
    QTest::keyClick(edit, Qt::Key_Return);
  });
  Press(Qt::Key_F2);
  EXPECT_TRUE(answer.Answered());
  EXPECT_EQ(Names(), (QStringList{"b.quv", "c.quv", "renamed.quv"}));
  EXPECT_TRUE(Row("renamed.quv")->font(0).bold());
  EXPECT_EQ(Row("renamed.quv")->toolTip(0), "Renamed from units/a.quv, not saved yet");
  EXPECT_FALSE(Row("c.quv")->font(0).bold());
  // Nothing is written before the save.
  EXPECT_EQ(Read().Files.size(), Before.Files.size());

  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Dialog->windowTitle(), "Select file: pack.hpi");
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  const hpitest::TOutsideArchive after = Read();
  std::vector<std::string> paths;
  for (const auto& [path, file] : after.Files) paths.push_back(path);
  EXPECT_EQ(paths, (std::vector<std::string>{"top.txt", "units/c.quv", "units/renamed.quv"}));
  EXPECT_EQ(after.HeaderKey, Before.HeaderKey);
  // The renamed file and the untouched ones keep their stored blocks byte for byte.
  EXPECT_EQ(after.Files.at("units/renamed.quv").Block, Before.Files.at("units/a.quv").Block);
  EXPECT_EQ(after.Files.at("units/renamed.quv").FirstChunk, "zlib");
  EXPECT_EQ(after.Files.at("units/c.quv").Block, Before.Files.at("units/c.quv").Block);
  EXPECT_EQ(after.Files.at("top.txt").Block, Before.Files.at("top.txt").Block);
  // The list now shows the saved archive, whose files can be picked again.
  EXPECT_EQ(Names(), (QStringList{"c.quv", "renamed.quv"}));
  EXPECT_FALSE(Row("renamed.quv")->font(0).bold());
  Click("renamed.quv");
  EXPECT_EQ(Dialog->Results, QStringList{"units\\renamed.quv"});
}

TEST_F(PickerEditTest, ADroppedFileIsAddedToTheListedFolderInTheChosenCompression) {
  const QString dropped = Dir.filePath("new.bin");
  const std::vector<uint8_t> content = Filled(70000, 9);
  {
    QFile file(dropped);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(content.data()), qint64(content.size()));
  }
  // Stored as zlib chunks, chosen from the tool bar's drop-down with the keyboard.
  QToolButton* chooser = nullptr;
  for (auto* button : Dialog->EditBar->findChildren<QToolButton*>())
    if (button->text().startsWith("Compression")) chooser = button;
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(chooser->text(), "Compression: LZ77");
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&poll] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    poll.stop();
    for (QAction* kind : menu->actions())
      if (kind->text() == "zlib") menu->setActiveAction(kind);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  poll.start(10);
  QTest::mouseClick(chooser, Qt::LeftButton);
  EXPECT_EQ(chooser->text(), "Compression: zlib");
  DropFile(dropped);
  ASSERT_NE(Row("new.bin"), nullptr);
  EXPECT_TRUE(Row("new.bin")->font(0).bold());
  EXPECT_EQ(Row("new.bin")->toolTip(0), "Added, not saved yet");
  EXPECT_EQ(Dialog->windowTitle(), "Select file: pack.hpi*");

  Press(Qt::Key_S, Qt::ControlModifier);
  const hpitest::TOutsideArchive after = Read();
  EXPECT_EQ(Content(after, "units/new.bin"), content);
  EXPECT_EQ(after.Files.at("units/new.bin").Flag, 2);
  EXPECT_EQ(after.Files.at("units/new.bin").FirstChunk, "zlib");
  EXPECT_EQ(after.Files.size(), Before.Files.size() + 1);
}

TEST_F(PickerEditTest, ClosingWithUnsavedChangesAsksAndCancelKeepsThePickerOpen) {
  Click("c.quv");
  Press(Qt::Key_Delete);
  GuiTestDialogs().QuestionAnswers.push_back("Cancel");
  Dialog->close();
  EXPECT_EQ(GuiTestDialogs().Questions, QStringList{"Save changes to pack.hpi?"});
  EXPECT_TRUE(Dialog->isVisible());
  GuiTestDialogs().QuestionAnswers.push_back("Save");
  Dialog->close();
  EXPECT_FALSE(Dialog->isVisible());
  EXPECT_EQ(Read().Files.count("units/c.quv"), 0u);
  EXPECT_EQ(Read().Files.size(), Before.Files.size() - 1);
}

}  // namespace
