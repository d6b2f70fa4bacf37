#include "KeysHelpU.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <utility>

namespace {

using TRows = QList<std::pair<QString, QString>>;  // keys, what they do

// The keys of an image view: they work wherever the focus is inside the view, except in a text
// field, which keeps its own.
const TRows ViewKeys = {
    {QStringLiteral("Space"), QStringLiteral("Play or pause")},
    {QStringLiteral("Left or , (comma)"), QStringLiteral("Previous frame, and pause")},
    {QStringLiteral("Right or . (period)"), QStringLiteral("Next frame, and pause")},
    {QStringLiteral("Home, End"), QStringLiteral("First frame, last frame, and pause")},
    {QStringLiteral("Up, Down"), QStringLiteral("Previous or next image of the list")},
    {QStringLiteral("Ctrl++ or Ctrl+="), QStringLiteral("Zoom in")},
    {QStringLiteral("Ctrl+-"), QStringLiteral("Zoom out")},
    {QStringLiteral("Ctrl+0"), QStringLiteral("Actual size")},
    {QStringLiteral("Ctrl+9"), QStringLiteral("Fit the image to the drawing area")},
    {QStringLiteral("Ctrl+C"), QStringLiteral("Copy frame")},
    {QStringLiteral("Arrows on the image, editing hot spots"),
     QStringLiteral("Move the frame a pixel over its hot spot (with Shift: 8 pixels)")},
    {QStringLiteral("Ctrl+Tab or Ctrl+F6"), QStringLiteral("Next window")},
    {QStringLiteral("Ctrl+Shift+Tab or Ctrl+Shift+F6"), QStringLiteral("Previous window")},
    {QStringLiteral("Letters in the list"), QStringLiteral("Jump to the image of that name")},
};

const TRows MouseActions = {
    {QStringLiteral("Ctrl + wheel"), QStringLiteral("Zoom around the pointer")},
    {QStringLiteral("Middle button drag, or Space held and left drag"),
     QStringLiteral("Move the zoomed image")},
    {QStringLiteral("Left drag, editing hot spots"),
     QStringLiteral("Move the frame over its hot spot")},
    {QStringLiteral("Pointer over the image"),
     QStringLiteral("The pixel's place, palette index and colour in the status bar")},
    {QStringLiteral("Right click"), QStringLiteral("The exports, edits and settings of the list, "
                                                   "the image or the panels")},
    {QStringLiteral("Click a column heading"), QStringLiteral("Sort the list by it")},
    {QStringLiteral("Buttons under the frame counts"),
     QStringLiteral("Previous frame, play or pause, next frame")},
    {QStringLiteral("Drop files or folders on the window"),
     QStringLiteral("Open their Quv files and archives")},
    {QStringLiteral("Drop PNG or BMP files on the image"),
     QStringLiteral("Insert them as frames after the one shown")},
};

// Each shown command, and each of its sub-menu, that has a key.
void AddCommandRows(const QList<QAction*>& commands, TRows& rows) {
  for (const QAction* action : commands) {
    if (!action->isVisible()) continue;
    if (action->menu()) AddCommandRows(action->menu()->actions(), rows);
    if (action->isSeparator() || action->shortcuts().isEmpty()) continue;
    QStringList keys;
    for (const QKeySequence& key : action->shortcuts())
      keys << key.toString(QKeySequence::NativeText).toHtmlEscaped();
    QString caption = action->text();
    caption.remove('&');
    if (caption.endsWith(QLatin1String("..."))) caption.chop(3);
    rows.append({keys.join(QStringLiteral(" or ")), caption.toHtmlEscaped()});
  }
}

QString Section(const QString& title, const TRows& rows) {
  QString html =
      QStringLiteral("<h3>%1</h3><table cellspacing=\"0\" cellpadding=\"3\">").arg(title);
  for (const auto& [keys, does] : rows)
    html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(keys, does);
  return html + QStringLiteral("</table>");
}

}  // namespace

QString KeysHelpPage(const QList<QAction*>& commands) {
  TRows rows;
  AddCommandRows(commands, rows);
  return Section(QStringLiteral("Commands"), rows) +
         Section(QStringLiteral("In an image view"), ViewKeys) +
         QStringLiteral(
             "<p>A text field, such as the image filter or the speed, keeps its own "
             "keys.</p>") +
         Section(QStringLiteral("Mouse"), MouseActions);
}

TKeysHelp::TKeysHelp(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Keys and Mouse"));
  resize(460, 560);
  auto* layout = new QVBoxLayout(this);
  Page = new QTextBrowser(this);
  Page->setOpenLinks(false);
  layout->addWidget(Page, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void TKeysHelp::ShowPage(const QList<QAction*>& commands) {
  Page->setHtml(KeysHelpPage(commands));
  show();
  raise();
  activateWindow();
}
