// The settings dialog: defaults before the settings file exists, applying in order, clearing the
// history at once, and the file association on and off (in memory, and in a temporary home).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <optional>

#include "ColorPickerButtonU.h"
#include "GuiTestMain.h"
#include "MainU.h"
#include "SettingsU.h"
#include "VellicorVersion.h"

namespace {

// Counts what the desktop is told; changes nothing.
class TRecordingDesktop : public IDesktopIntegration {
 public:
  bool InstallApplication(const TDesktopApplication&) override {
    ++Installs;
    return true;
  }
  bool RemoveApplication(const std::string&) override {
    ++Removals;
    return true;
  }
  bool AssociateExtension(const std::string&, const std::string&, const std::string&) override {
    return true;
  }
  bool DissociateExtension(const std::string&, const std::string&) override {
    ++Dissociations;
    Default = "";
    return true;
  }
  void NotifyAssociationsChanged() override {}
  std::optional<std::string> DefaultApplication(const std::string&) override { return Default; }
  int Installs = 0, Removals = 0, Dissociations = 0;
  std::optional<std::string> Default;  // nothing: this desktop cannot tell
};

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    GuiTestDialogs().Reset();
    Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
  }
  void TearDown() override {
    Dialog.reset();
    Main.reset();
    GuiTestDialogs().Reset();
  }

  TSettingsDialog& Show() {
    if (!Dialog)
      Dialog = std::make_unique<TSettingsDialog>(Main->Settings(), Main.get(), &Registry, &Desktop);
    Dialog->show();
    QApplication::processEvents();
    return *Dialog;
  }

  void WriteSettingsFile() { Main->Settings()->Save(); }

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Main;
  TMemoryRegistry Registry;
  TRecordingDesktop Desktop;
  std::unique_ptr<TSettingsDialog> Dialog;
};

TEST_F(SettingsDialogTest, ShowsDefaultsBeforeTheSettingsFileExistsAndCurrentValuesAfter) {
  Main->Settings()->SetMaxHistoryListSize(9);
  Main->Settings()->SetBackGroundColor(0x00123456);
  Main->Settings()->SetArchiveSearchFilter("*.hpi");
  Main->Settings()->SetPreLoadCount(12);
  Main->Settings()->SetExportBitDepth(pf8bit);
  Main->Settings()->SetFrameDataExportType(2);
  QFile::remove(Main->SettingsFileName());
  TSettingsDialog& d = Show();
  EXPECT_EQ(d.windowTitle(), "Settings");
  EXPECT_EQ(d.MaxHistoryListSize->value(), 5);
  EXPECT_EQ(d.ColorPickerButton1->Color(), 0x00FFFFFFu);
  EXPECT_EQ(d.ArchiveSearchFilter->text(), "*.quv");
  EXPECT_EQ(d.PreLoadFrameCount->value(), 5);
  EXPECT_EQ(d.ImageBitDepth->currentText(), "24 bit");
  EXPECT_EQ(d.FrameDataExportType->currentText(), "Offsets");
  EXPECT_FALSE(d.RegQuvs->isChecked());
  EXPECT_FALSE(d.FirstStartLbl->isHidden());
  EXPECT_TRUE(d.FirstStartLbl->text().contains("first start"));
  d.CancelBtn->click();

  WriteSettingsFile();
  ASSERT_TRUE(QFileInfo::exists(Main->SettingsFileName()));
  Show();
  EXPECT_TRUE(d.FirstStartLbl->isHidden());
  EXPECT_FALSE(d.ResetBtn->toolTip().isEmpty());
  EXPECT_GE(d.width(), 320);
  EXPECT_GE(d.height(), 408);
  EXPECT_GE(d.height(), d.sizeHint().height());  // nothing squeezed
  EXPECT_EQ(d.MaxHistoryListSize->value(), 9);
  EXPECT_EQ(d.ColorPickerButton1->Color(), 0x00123456u);
  EXPECT_EQ(d.ArchiveSearchFilter->text(), "*.hpi");
  EXPECT_EQ(d.PreLoadFrameCount->value(), 12);
  EXPECT_EQ(d.ImageBitDepth->currentText(), "8 Bit");
  EXPECT_EQ(d.FrameDataExportType->currentIndex(), 2);
}

TEST_F(SettingsDialogTest, OkAppliesEveryControlAndSaves) {
  WriteSettingsFile();
  TSettingsDialog& d = Show();
  d.MaxHistoryListSize->setValue(7);
  d.ColorPickerButton1->SetColor(0x000000FF);
  d.ArchiveSearchFilter->setText("*.quv;*.gaf");
  d.PreLoadFrameCount->setValue(3);
  d.ImageBitDepth->setCurrentIndex(6);
  d.FrameDataExportType->setCurrentIndex(1);
  d.OKBtn->click();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(Main->Settings()->MaxHistoryListSize(), 7);
  EXPECT_EQ(Main->Settings()->BackGroundColor(), 0x000000FFu);
  EXPECT_EQ(Main->Settings()->ArchiveSearchFilter(), "*.quv;*.gaf");
  EXPECT_EQ(Main->Settings()->PreLoadCount(), 3);
  EXPECT_EQ(Main->Settings()->ExportBitDepth(), pf32bit);
  EXPECT_EQ(Main->Settings()->FrameDataExportType(), 1);
  QFile ini(Main->SettingsFileName());
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("*.quv;*.gaf"));
}

TEST_F(SettingsDialogTest, ClearHistoryThenCancelLeavesHistoryEmptyAndLimitUnchanged) {
  WriteSettingsFile();
  Main->Settings()->SetMaxHistoryListSize(4);
  Main->Settings()->AddToHistory(Dir.filePath("a.quv"));
  Main->Settings()->AddToHistory(Dir.filePath("b.quv"));
  ASSERT_EQ(Main->Settings()->HistoryEntries().size(), 2);
  TSettingsDialog& d = Show();
  d.ClearHistory->click();
  EXPECT_TRUE(Main->Settings()->HistoryEntries().isEmpty());
  EXPECT_TRUE(Main->Menus()->HistoryMenuItems().isEmpty());
  d.CancelBtn->click();
  EXPECT_TRUE(Main->Settings()->HistoryEntries().isEmpty());
  EXPECT_EQ(Main->Settings()->MaxHistoryListSize(), 4);
}

TEST_F(SettingsDialogTest, CheckBoxFollowsAndDrivesTheExportFramesCommand) {
  TSettingsDialog& d = Show();
  EXPECT_EQ(d.CheckBox1->isChecked(), Main->acExportFrameWhenExportFrameData->isChecked());
  const bool before = d.CheckBox1->isChecked();
  d.CheckBox1->click();
  EXPECT_EQ(Main->acExportFrameWhenExportFrameData->isChecked(), !before);
  Main->acExportFrameWhenExportFrameData->trigger();
  EXPECT_EQ(d.CheckBox1->isChecked(), before);
}

TEST_F(SettingsDialogTest, RegisteringWritesTheTypeAndOkWhileRegisteredRewritesIt) {
  WriteSettingsFile();
  TSettingsDialog& d = Show();
  EXPECT_FALSE(d.RegQuvs->isChecked());
  d.RegQuvs->setChecked(true);
  d.OKBtn->click();
  EXPECT_TRUE(IsFileTypeRegistered(Registry));
  const std::string command = "Software\\Classes\\QuvFile\\Shell\\Open\\ddeexec";
  EXPECT_EQ(Registry.ReadString(TRegistryRoot::CurrentUser, command, ""), "[Open(%1)]");
  EXPECT_EQ(Registry.ReadString(TRegistryRoot::CurrentUser, command + "\\Topic", ""),
            "VellicorSeries");
  EXPECT_EQ(Registry.ReadString(TRegistryRoot::CurrentUser, "Software\\Classes\\.QUV", ""),
            "QuvFile");
  const std::string first = Registry.Dump();

  // A stale command is replaced: the association is removed and written anew.
  Registry.WriteString(TRegistryRoot::CurrentUser,
                       "Software\\Classes\\QuvFile\\Shell\\Open\\Command", "", "old");
  Show();
  EXPECT_TRUE(d.RegQuvs->isChecked());
  d.OKBtn->click();
  EXPECT_EQ(Registry.Dump(), first);
  EXPECT_EQ(Desktop.Removals, 1);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(SettingsDialogTest, CheckBoxShowsWhatTheDesktopSaysOpensQuvFiles) {
  WriteSettingsFile();
  Desktop.Default = std::string(VELLICOR_APP_ID) + ".desktop";  // chosen outside this program
  TSettingsDialog& d = Show();
  EXPECT_TRUE(d.RegQuvs->isChecked());
  // Unticking makes the desktop forget the program, though it never registered the type.
  d.RegQuvs->setChecked(false);
  d.OKBtn->click();
  EXPECT_EQ(Desktop.Dissociations, 1);
  EXPECT_FALSE(Show().RegQuvs->isChecked());

  // Registered here, but the user chose another program on the desktop since.
  d.RegQuvs->setChecked(true);
  d.OKBtn->click();
  ASSERT_TRUE(IsFileTypeRegistered(Registry));
  Desktop.Default = "other.desktop";
  EXPECT_FALSE(Show().RegQuvs->isChecked());
}

TEST_F(SettingsDialogTest, ResetToDefaultsThenOkTurnsTheAssociationOff) {
  WriteSettingsFile();
  TSettingsDialog& d = Show();
  d.RegQuvs->setChecked(true);
  d.OKBtn->click();
  ASSERT_TRUE(IsFileTypeRegistered(Registry));
  Show();
  d.DefaultBtn->click();
  EXPECT_FALSE(d.RegQuvs->isChecked());
  EXPECT_TRUE(IsFileTypeRegistered(Registry));  // nothing applied before OK
  d.OKBtn->click();
  EXPECT_FALSE(IsFileTypeRegistered(Registry));
  EXPECT_FALSE(Registry.KeyExists(TRegistryRoot::CurrentUser, "Software\\Classes\\.QUV"));
}

TEST_F(SettingsDialogTest, OkWithTheBoxOffLeavesAnotherProgramsTypeAlone) {
  WriteSettingsFile();
  const std::string ext = "Software\\Classes\\.QUV", other = "Software\\Classes\\OtherQuv";
  ASSERT_TRUE(Registry.OpenKey(TRegistryRoot::CurrentUser, ext, true));
  Registry.WriteString(TRegistryRoot::CurrentUser, ext, "", "OtherQuv");
  ASSERT_TRUE(Registry.OpenKey(TRegistryRoot::CurrentUser, other + "\\DefaultIcon", true));
  Show().OKBtn->click();
  EXPECT_TRUE(Registry.KeyExists(TRegistryRoot::CurrentUser, other + "\\DefaultIcon"));
  EXPECT_EQ(Registry.ReadString(TRegistryRoot::CurrentUser, ext, ""), "OtherQuv");
}

TEST_F(SettingsDialogTest, FailedRegistrationIsReportedAndOtherSettingsStillApply) {
  WriteSettingsFile();
  TSettingsDialog& d = Show();
  d.RegQuvs->setChecked(true);
  d.PreLoadFrameCount->setValue(8);
  // KeyName empty: the registration fails.
  d.FileAssociate = std::make_unique<TFileAssociate>(Registry, &Desktop);
  d.OKBtn->click();
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_EQ(GuiTestDialogs().Messages[0].Caption, "Error registering Quv file type");
  EXPECT_EQ(GuiTestDialogs().Messages[0].Text, "Unable to register quv file extention");
  EXPECT_EQ(GuiTestDialogs().Messages[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(Main->Settings()->PreLoadCount(), 8);
}

// The real store and desktop below a temporary home: register, then remove, leaving nothing.
TEST_F(SettingsDialogTest, AssociationRoundTripInATemporaryHome) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QByteArray saved[] = {qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME"),
                              qgetenv("XDG_DATA_DIRS")};
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
  // No installed copy of the program: the entry is written to the user's folder.
  qputenv("XDG_DATA_DIRS", (home.path() + "/system").toUtf8());
  WriteSettingsFile();
  const QString entry =
      home.path() + "/data/applications/" + QStringLiteral(VELLICOR_APP_ID) + ".desktop";
  {
    TSettingsDialog real(Main->Settings(), Main.get());
    real.show();
    QApplication::processEvents();
    EXPECT_FALSE(real.RegQuvs->isChecked());
    real.RegQuvs->setChecked(true);
    real.OKBtn->click();
    EXPECT_TRUE(GuiTestDialogs().Messages.empty());
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/config/vellicor/registry.ini"));
    EXPECT_TRUE(QFileInfo::exists(entry));
    real.show();  // read back from the file
    QApplication::processEvents();
    EXPECT_TRUE(real.RegQuvs->isChecked());
    real.RegQuvs->setChecked(false);
    real.OKBtn->click();
    real.show();
    QApplication::processEvents();
    EXPECT_FALSE(real.RegQuvs->isChecked());
    real.CancelBtn->click();
  }
  EXPECT_FALSE(QFileInfo::exists(entry));
  const char* names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"};
  for (int i = 0; i < 4; ++i) {
    if (saved[i].isNull())
      qunsetenv(names[i]);
    else
      qputenv(names[i], saved[i]);
  }
}

TEST_F(SettingsDialogTest, SettingsCommandShowsOneKeptDialogModally) {
  QTemporaryDir config;
  const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QList<QWidget*> shown;
  for (int i = 0; i < 2; ++i) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<TSettingsDialog*>(QApplication::activeModalWidget());
      shown << dialog;
      if (dialog) dialog->CancelBtn->click();
    });
    Main->acSettings->trigger();
  }
  ASSERT_EQ(shown.size(), 2);
  EXPECT_NE(shown[0], nullptr);
  EXPECT_EQ(shown[0], shown[1]);
  if (saved.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST_F(SettingsDialogTest, ColorPickerOffersNamedSystemAndCustomColours) {
  TColorPickerButton button;
  uint32_t signalled = 0;
  QObject::connect(&button, &TColorPickerButton::ColorChanged,
                   [&](uint32_t colour) { signalled = colour; });
  button.Menu()->aboutToShow();
  QStringList texts;
  for (QAction* action : button.Menu()->actions()) texts << action->text();
  EXPECT_TRUE(texts.contains("Predefined colors"));
  EXPECT_TRUE(texts.contains("MoneyGreen"));
  EXPECT_TRUE(texts.contains("Select color"));
  for (QAction* action : button.Menu()->actions())
    if (action->text() == "Red") action->trigger();
  EXPECT_EQ(button.Color(), 0x000000FFu);
  EXPECT_EQ(signalled, 0x000000FFu);
  button.AskColor = [](QWidget*, const QColor&) { return QColor(0x12, 0x34, 0x56); };
  for (QAction* action : button.Menu()->actions())
    if (action->text() == "Select color") action->trigger();
  EXPECT_EQ(button.Color(), 0x00563412u);
  button.AskColor = [](QWidget*, const QColor&) { return QColor(); };  // cancelled
  for (QAction* action : button.Menu()->actions())
    if (action->text() == "Select color") action->trigger();
  EXPECT_EQ(button.Color(), 0x00563412u);
}

}  // namespace
