#include "AboutU.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include "AssertU.h"
#include "VellicorVersion.h"
#include "VersionInfo.h"

namespace {

// The caption of the link to the project's home, which holds the source and the bug tracker.
const char* const HomePageCaption = "Source code and bug tracker";

QString HomePageUrl() {
  return QString::fromLatin1(VELLICOR_HOMEPAGE);
}

}  // namespace

// The program's picture: a sprite-like tile in the viewer's colours.
QPixmap ProgramPicture() {
  QPixmap pixmap(48, 48);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(60, 100, 180));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(2, 2, 44, 44, 8, 8);
  painter.setBrush(QColor(250, 210, 60));
  painter.drawEllipse(12, 10, 24, 24);
  painter.setBrush(QColor(40, 40, 40));
  painter.drawRect(10, 36, 28, 4);
  return pixmap;
}

QString AboutAcknowledgements() {
  return QStringLiteral(
             "Vellicor shows the palette-indexed, multi-frame sprites of Quv files and the files "
             "kept inside compressed HPI archives, and exports them as pictures and frame-data "
             "text.\n\n"
             "Version %1. Vellicor is free software under the MIT licence.\n\n"
             "It uses these libraries:\n"
             "- Qt %2 (LGPL 3)\n"
             "- zlib %3 (zlib licence)\n"
             "- libpng %4 (libpng licence)\n"
             "- giflib %5.%6.%7 (MIT licence)\n\n"
             "Source code and bug tracker: %8")
      .arg(QString::fromLatin1(VELLICOR_VERSION_STRING), QString::fromLatin1(qVersion()),
           QString::fromLatin1(zlibVersion()), QString::fromLatin1(PNG_LIBPNG_VER_STRING))
      .arg(GIFLIB_MAJOR)
      .arg(GIFLIB_MINOR)
      .arg(GIFLIB_RELEASE)
      .arg(HomePageUrl());
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Vellicor"));
  // The classic size as the least; the box grows with the font.
  setMinimumSize(378, 393);
  auto* layout = new QVBoxLayout(this);

  TVersionInfoResource info;
  info.Load(ProgramFilePath());
  const QString product = QString::fromStdString(info.GetString(7));
  const QString version = QString::fromStdString(info.FixedInfo().FileVersion.ToString());

  auto* top = new QHBoxLayout();
  auto* picture = new QPushButton(this);
  picture->setFlat(true);
  picture->setIcon(ProgramPicture());
  picture->setIconSize(QSize(48, 48));
  picture->setCursor(Qt::PointingHandCursor);
  picture->setToolTip(HomePageUrl());
  connect(picture, &QPushButton::clicked, this,
          [] { QDesktopServices::openUrl(QUrl(HomePageUrl())); });
  top->addWidget(picture);
  auto* names = new QVBoxLayout();
  ProductName = new QLabel(product.isEmpty() ? QStringLiteral("Vellicor") : product, this);
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.4);
  ProductName->setFont(bold);
  names->addWidget(ProductName);
  Version = new QLabel(QStringLiteral("Version : %1").arg(version), this);
  names->addWidget(Version);
  top->addLayout(names, 1);
  layout->addLayout(top);

  Comments = new QTextBrowser(this);
  Comments->setPlainText(AboutAcknowledgements());
  layout->addWidget(Comments, 1);

  HomePage =
      new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                     .arg(HomePageUrl().toHtmlEscaped(), QString::fromLatin1(HomePageCaption)),
                 this);
  HomePage->setToolTip(HomePageUrl());
  HomePage->setTextFormat(Qt::RichText);
  HomePage->setTextInteractionFlags(Qt::TextBrowserInteraction);
  // Links go to the desktop's browser through the one call tests can observe.
  HomePage->setOpenExternalLinks(false);
  connect(HomePage, &QLabel::linkActivated, this,
          [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  layout->addWidget(HomePage);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}
