#pragma once
// Help ▸ Keys and Mouse: one short page of every key and mouse action. The main window's
// commands are read as they stand, so a key given to a command shows here too; the keys that
// work inside an image view and the mouse are told as they are.
#include <QDialog>
#include <QList>
#include <QString>

class QAction;
class QTextBrowser;

class TKeysHelp : public QDialog {
  Q_OBJECT
 public:
  explicit TKeysHelp(QWidget* parent = nullptr);
  // Fills the page anew from these commands (and those of their sub-menus).
  void ShowPage(const QList<QAction*>& commands);

  QTextBrowser* Page;
};

// The page as HTML: the shown commands that have keys, then the view's keys, then the mouse.
QString KeysHelpPage(const QList<QAction*>& commands);
