#pragma once
// "About Vellicor": product name and version from the program's version information, the
// acknowledgements, and links that open in the desktop's browser.
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
// The acknowledgements shown in the box.
QString AboutAcknowledgements();
