#pragma once
// The scripted dialogs every GUI test runs with (installed by the tests' main()), and the frame
// of the tests that open files in views.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DesktopIntegrationU.h"
#include "DialogsU.h"

class TScriptedDialogs : public TDialogs {
 public:
  struct TMessage {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
  };
  ~TScriptedDialogs() override;

  QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& dir,
                               const QString& filter, int& filterIndex) override;
  QString GetSaveFileName(QWidget* parent, const QString& title, const QString& dir,
                          const QString& proposedName, const QString& filter) override;
  QString GetFolder(QWidget* parent, const QString& title, const QString& dir) override;
  QMessageBox::StandardButton Message(
      QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
      QMessageBox::StandardButtons buttons,
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) override;
  int Question(QWidget* parent, const QString& caption, const QString& text, const QString& details,
               const QStringList& buttons) override;
  void Reset();

  // Answers, consumed front first. Open answers: (names, filter index or 0 to keep it).
  std::deque<std::pair<QStringList, int>> OpenAnswers;
  std::deque<QString> SaveAnswers;
  std::deque<QString> FolderAnswers;
  std::deque<QMessageBox::StandardButton> MessageAnswers;
  std::deque<QString> QuestionAnswers;  // button texts; unscripted: the last button
  // What was asked.
  std::vector<TMessage> Messages;
  QStringList Questions;  // their texts
  QStringList Asked;
  QString LastDir, LastFilter, LastProposedName;
};

TScriptedDialogs& GuiTestDialogs();

// Writes bytes to a new file at path; false when it cannot be written.
bool WriteTestFile(const QString& path, const std::vector<uint8_t>& bytes);

// The colour of a palette entry in the palette the frames are drawn in.
QColor PaletteColour(uint8_t index);

// A desktop that accepts everything and names no default program.
class TQuietDesktop : public IDesktopIntegration {
 public:
  bool InstallApplication(const TDesktopApplication&) override { return true; }
  bool RemoveApplication(const std::string&) override { return true; }
  bool AssociateExtension(const std::string&, const std::string&, const std::string&) override {
    return true;
  }
  bool DissociateExtension(const std::string&, const std::string&) override { return true; }
  void NotifyAssociationsChanged() override {}
  std::optional<std::string> DefaultApplication(const std::string&) override { return {}; }
};

class TMainForm;
class TQuvView;

// A temporary folder, the palette the samples are drawn in, and a main window whose settings file
// lies in that folder and whose views animate only when a test steps them; every view is closed
// before the main window goes.
class TViewTest : public ::testing::Test {
 protected:
  void SetUp() override;     // the folder and the palette: no main window yet
  void TearDown() override;  // StopMain
  // The main window at `size`, shown and made the active window.
  void StartMain(QSize size = QSize(1000, 750));
  void StopMain();
  // A file of these bytes in the folder (its folders made first); its path.
  QString Write(const QString& name, const std::vector<uint8_t>& bytes);
  // The file opened in a view of its own, as the main window opens it, once the view has shown.
  TQuvView* Open(const QString& path, const QString& source = QString());
  // The same, with the view's drawing area exactly `room`.
  TQuvView* OpenInRoom(const QString& path, QSize room);

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Main;
};

// Acts on the next modal dialog of type T once it shows, as its user would (keys, clicks):
// for the program's own dialogs, which no scripted answer reaches. Polls while it lives.
template <class T>
class TAnswerModal {
 public:
  explicit TAnswerModal(std::function<void(T* dialog)> answer) : FAnswer(std::move(answer)) {
    QObject::connect(&FPoll, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
      if (!dialog || FAnswered) return;
      FAnswered = true;
      FPoll.stop();
      FAnswer(dialog);
    });
    FPoll.start(10);
  }
  bool Answered() const { return FAnswered; }

 private:
  std::function<void(T* dialog)> FAnswer;
  QTimer FPoll;
  bool FAnswered = false;
};
