#pragma once
// "About Vellicor": product name and version from the program's version information, what the
// program is and uses with the licences, and the link to its home, opened in the desktop's browser.
#include <QDialog>
#include <QPixmap>

class QLabel;
class QTextBrowser;

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProductName;
  QLabel* Version;
  QLabel* HomePage;
  QTextBrowser* Comments;
};

// The program's picture (about box, window icons).
QPixmap ProgramPicture();
// The box's text: what the program does, its version and licence, the libraries it uses.
QString AboutAcknowledgements();
