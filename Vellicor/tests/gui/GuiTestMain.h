#pragma once
// The scripted dialogs every GUI test runs with (installed by the tests' main()).
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
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
  };
  ~TScriptedDialogs() override;

  QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& dir,
                               const QString& filter, int& filterIndex) override;
  QString GetSaveFileName(QWidget* parent, const QString& title, const QString& dir,
                          const QString& proposedName, const QString& filter) override;
  QString GetFolder(QWidget* parent, const QString& title, const QString& dir) override;
  QMessageBox::StandardButton Message(QWidget* parent, const QString& caption, const QString& text,
                                      QMessageBox::Icon icon,
                                      QMessageBox::StandardButtons buttons) override;
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
