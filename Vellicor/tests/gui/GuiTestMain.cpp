// The one main() of the GUI tests: a QApplication for every test, and a scripted TDialogs so
// that no test ever waits on a modal box. Tests queue answers on GuiTestDialogs().
#include "GuiTestMain.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "ApplicationU.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"

TScriptedDialogs::~TScriptedDialogs() = default;

QStringList TScriptedDialogs::GetOpenFileNames(QWidget*, const QString& title, const QString& dir,
                                               const QString& filter, int& filterIndex) {
  Asked << QStringLiteral("open:") + title;
  LastDir = dir;
  LastFilter = filter;
  if (OpenAnswers.empty()) return {};
  auto answer = OpenAnswers.front();
  OpenAnswers.pop_front();
  if (answer.second > 0) filterIndex = answer.second;
  return answer.first;
}

QString TScriptedDialogs::GetSaveFileName(QWidget*, const QString& title, const QString& dir,
                                          const QString& proposedName, const QString& filter) {
  Asked << QStringLiteral("save:") + title;
  LastDir = dir;
  LastProposedName = proposedName;
  LastFilter = filter;
  if (SaveAnswers.empty()) return {};
  QString answer = SaveAnswers.front();
  SaveAnswers.pop_front();
  return answer;
}

QString TScriptedDialogs::GetFolder(QWidget*, const QString& title, const QString& dir) {
  Asked << QStringLiteral("folder:") + title;
  LastDir = dir;
  if (FolderAnswers.empty()) return {};
  QString answer = FolderAnswers.front();
  FolderAnswers.pop_front();
  return answer;
}

QMessageBox::StandardButton TScriptedDialogs::Message(QWidget*, const QString& caption,
                                                      const QString& text, QMessageBox::Icon icon,
                                                      QMessageBox::StandardButtons buttons,
                                                      QMessageBox::StandardButton defaultButton) {
  Messages.push_back({caption, text, icon, buttons, defaultButton});
  if (!MessageAnswers.empty()) {
    auto answer = MessageAnswers.front();
    MessageAnswers.pop_front();
    return answer;
  }
  // Unscripted: the least harmful answer the box offers.
  for (auto button : {QMessageBox::Ok, QMessageBox::No, QMessageBox::Retry, QMessageBox::Cancel})
    if (buttons.testFlag(button)) return button;
  return QMessageBox::NoButton;
}

int TScriptedDialogs::Question(QWidget*, const QString&, const QString& text, const QString&,
                               const QStringList& buttons) {
  Questions << text;
  if (QuestionAnswers.empty()) return int(buttons.size()) - 1;
  const QString answer = QuestionAnswers.front();
  QuestionAnswers.pop_front();
  return int(buttons.indexOf(answer));
}

void TScriptedDialogs::Reset() {
  *this = TScriptedDialogs();
}

bool WriteTestFile(const QString& path, const std::vector<uint8_t>& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) &&
         file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) ==
             qint64(bytes.size());
}

QColor PaletteColour(uint8_t index) {
  return QColor(Palette[index][0], Palette[index][1], Palette[index][2]);
}

void TViewTest::SetUp() {
  ASSERT_TRUE(Dir.isValid());
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
}

void TViewTest::TearDown() {
  StopMain();
}

void TViewTest::StartMain(QSize size) {
  Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
  Main->Settings()->SetAnimationSpeed(100000000);  // steps only through keys and TimerTimer
  Main->resize(size);
  Main->show();
  QApplication::setActiveWindow(Main.get());
}

void TViewTest::StopMain() {
  if (!Main) return;
  for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
  QApplication::processEvents();
  Main.reset();
}

QString TViewTest::Write(const QString& name, const std::vector<uint8_t>& bytes) {
  const QString path = Dir.filePath(name);
  QFileInfo(path).dir().mkpath(QStringLiteral("."));
  EXPECT_TRUE(WriteTestFile(path, bytes));
  return path;
}

TQuvView* TViewTest::Open(const QString& path, const QString& source) {
  TQuvView* view = Main->OpenQuvFile(source, path);
  QApplication::processEvents();
  return view;
}

TQuvView* TViewTest::OpenInRoom(const QString& path, QSize room) {
  TQuvView* view = Main->OpenQuvFile(QString(), path);
  view->Canvas()->setFixedSize(room);
  QApplication::processEvents();
  return view;
}

TScriptedDialogs& GuiTestDialogs() {
  static TScriptedDialogs dialogs;
  return dialogs;
}

namespace {
// Every test starts with an empty script.
class TResetDialogs : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { GuiTestDialogs().Reset(); }
};
}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  SetDialogs(&GuiTestDialogs());
  ::testing::UnitTest::GetInstance()->listeners().Append(new TResetDialogs);
  const int result = RUN_ALL_TESTS();
  SetDialogs(nullptr);
  return result;
}
