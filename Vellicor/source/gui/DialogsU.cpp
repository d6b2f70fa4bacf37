#include "DialogsU.h"

#include <QFileDialog>
#include <QPushButton>

#include "AnimationPauseU.h"

TDialogs::~TDialogs() = default;

QStringList QtFilterList(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString masks = parts[i + 1];
    masks.replace(';', ' ');
    result << QStringLiteral("%1 (%2)").arg(parts[i], masks);
  }
  if (parts.size() % 2 == 1 && !parts.back().isEmpty()) result << parts.back();
  return result;
}

QString QtFilter(const QString& filter) {
  return QtFilterList(filter).join(QStringLiteral(";;"));
}

QStringList TDialogs::GetOpenFileNames(QWidget* parent, const QString& title, const QString& dir,
                                       const QString& filter, int& filterIndex) {
  const TAnimationPause pause;
  QFileDialog dialog(parent, title, dir);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::ReadOnly, false);
  const QStringList filters = QtFilterList(filter);
  dialog.setNameFilters(filters);
  if (filterIndex >= 1 && filterIndex <= filters.size())
    dialog.selectNameFilter(filters[filterIndex - 1]);
  if (dialog.exec() != QDialog::Accepted) return {};
  const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
  if (chosen >= 0) filterIndex = int(chosen) + 1;
  return dialog.selectedFiles();
}

QString TDialogs::GetSaveFileName(QWidget* parent, const QString& title, const QString& dir,
                                  const QString& proposedName, const QString& filter) {
  const TAnimationPause pause;
  QString start = dir;
  if (!proposedName.isEmpty()) start = dir.isEmpty() ? proposedName : dir + '/' + proposedName;
  QFileDialog dialog(parent, title, start, QtFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A bare name gets the extension of the first filter ("Text file|*.txt" -> ".txt").
  const QStringList parts = filter.split('|');
  if (parts.size() >= 2) {
    const QString mask = parts[1].section(';', 0, 0).trimmed();
    if (mask.startsWith(QLatin1String("*.")) && mask.indexOf('*', 2) < 0 && !mask.contains('?'))
      dialog.setDefaultSuffix(mask.mid(2));
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

QString TDialogs::GetFolder(QWidget* parent, const QString& title, const QString& dir) {
  const TAnimationPause pause;
  return QFileDialog::getExistingDirectory(parent, title, dir);
}

QMessageBox::StandardButton TDialogs::Message(QWidget* parent, const QString& caption,
                                              const QString& text, QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) {
  const TAnimationPause pause;
  QMessageBox box(icon, caption, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton) {
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(box.button(defaultButton));
  }
  return QMessageBox::StandardButton(box.exec());
}

int TDialogs::Question(QWidget* parent, const QString& caption, const QString& text,
                       const QString& details, const QStringList& buttons) {
  const TAnimationPause pause;
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
  if (!details.isEmpty()) box.setInformativeText(details);
  QList<QAbstractButton*> shown;
  for (qsizetype i = 0; i < buttons.size(); ++i)
    shown << box.addButton(buttons[i], i + 1 == buttons.size() && i > 0 ? QMessageBox::RejectRole
                                                                        : QMessageBox::AcceptRole);
  if (shown.isEmpty()) return -1;
  box.setDefaultButton(qobject_cast<QPushButton*>(shown.front()));
  box.setEscapeButton(shown.back());
  box.exec();
  return int(shown.indexOf(box.clickedButton()));
}

namespace {
TDialogs DefaultDialogs;
TDialogs* CurrentDialogs = &DefaultDialogs;
}  // namespace

TDialogs& Dialogs() {
  return *CurrentDialogs;
}

void SetDialogs(TDialogs* dialogs) {
  CurrentDialogs = dialogs ? dialogs : &DefaultDialogs;
}

bool ConfirmReplace(QWidget* parent, size_t existing, const QString& details) {
  if (existing == 0) return true;
  const QString text = existing == 1 ? QStringLiteral("Replace 1 existing file?")
                                     : QStringLiteral("Replace %1 existing files?").arg(existing);
  return Dialogs().Question(parent, QStringLiteral("Replace files"), text, details,
                            {QStringLiteral("Replace"), QStringLiteral("Cancel")}) == 0;
}
