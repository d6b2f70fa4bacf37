#pragma once
// Every modal question the windows ask goes through Dialogs(), so that tests can install a
// scripted answerer and no test ever waits on a box nobody can click. The views' animation
// stands still while one of these boxes runs.
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

class TDialogs {
 public:
  virtual ~TDialogs();
  // `filter` uses the "Name|*.a;*.b|Other|*.*" form; `filterIndex` is 1-based in and out.
  // Empty list = cancelled.
  virtual QStringList GetOpenFileNames(QWidget* parent, const QString& title, const QString& dir,
                                       const QString& filter, int& filterIndex);
  virtual QString GetSaveFileName(QWidget* parent, const QString& title, const QString& dir,
                                  const QString& proposedName, const QString& filter);
  virtual QString GetFolder(QWidget* parent, const QString& title, const QString& dir);
  // `defaultButton` is the one Enter and Escape press (NoButton: the platform's choice).
  virtual QMessageBox::StandardButton Message(
      QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
      QMessageBox::StandardButtons buttons,
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
  // A question with buttons of its own texts, the first the default and the last the answer to
  // Escape or the close box; the position of the chosen one. `details` is a smaller second text
  // (none when empty).
  virtual int Question(QWidget* parent, const QString& caption, const QString& text,
                       const QString& details, const QStringList& buttons);
};

TDialogs& Dialogs();
// True when nothing would be replaced or the user answers "Replace" to "Replace N existing
// files?"; `details` says which.
bool ConfirmReplace(QWidget* parent, size_t existing, const QString& details);
void SetDialogs(TDialogs* dialogs);  // nullptr restores the real dialogs

// "Quv Files|*.quv|All Files|*.*" -> "Quv Files (*.quv);;All Files (*.*)".
QStringList QtFilterList(const QString& filter);
QString QtFilter(const QString& filter);
