// The one main() of the GUI tests: a QApplication for every test, and a scripted TDialogs so
// that no test ever waits on a modal box. Tests queue answers on GuiTestDialogs().
#include "GuiTestMain.h"

#include <gtest/gtest.h>

#include <QFile>

#include "ApplicationU.h"

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
