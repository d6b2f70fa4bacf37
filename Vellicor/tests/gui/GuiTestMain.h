#pragma once
// The scripted dialogs every GUI test runs with (installed by the tests' main()).
#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

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
