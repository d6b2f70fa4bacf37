#include "MainActionsU.h"

#include <QIcon>
#include <QKeySequence>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QWidget>

namespace {

// Draws the small tool-bar pictures of the window arrangements.
QIcon ArrangementIcon(int kind) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QPen(QColor(40, 60, 110), 1));
  auto window = [&](const QRect& r) {
    painter.fillRect(r, QColor(250, 250, 250));
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 3), QColor(60, 100, 180));
    painter.drawRect(r);
  };
  switch (kind) {
    case 0:  // cascade
      window(QRect(2, 2, 13, 11));
      window(QRect(5, 6, 13, 11));
      window(QRect(8, 10, 13, 11));
      break;
    case 1:  // tile horizontally: one above the other
      window(QRect(2, 2, 19, 9));
      window(QRect(2, 13, 19, 9));
      break;
    default:  // tile vertically: side by side
      window(QRect(2, 2, 9, 19));
      window(QRect(13, 2, 9, 19));
      break;
  }
  return QIcon(pixmap);
}

// A frame's outline with the crosshair of its hot spot, for the tool bar.
QIcon HotSpotIcon() {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QPen(QColor(40, 60, 110), 1, Qt::DashLine));
  painter.drawRect(QRect(4, 4, 15, 15));
  painter.setPen(QPen(QColor(220, 0, 220), 2));
  painter.drawLine(12, 1, 12, 23);
  painter.drawLine(1, 12, 23, 12);
  return QIcon(pixmap);
}

// The desktop's keys for the command, led by the one every Linux desktop uses (some
// platform themes bind none, or another first).
void SetDesktopKeys(QAction* action, QKeySequence::StandardKey key, const QString& usual) {
  QList<QKeySequence> keys = QKeySequence::keyBindings(key);
  const QKeySequence first(usual);
  keys.removeAll(first);
  keys.prepend(first);
  action->setShortcuts(keys);
}

}  // namespace

void TMainActions::CreateActions(QWidget* owner, TSettingsModel* settings) {
  CreateFileActions(owner);
  CreateToggleActions(owner, settings);
  CreatePaletteActions(owner);
  CreateWindowActions(owner);
}

QList<QAction*> TMainActions::ArrangeActions() const {
  return {WindowCascade1,    WindowTileHorizontal1, WindowTileVertical1,
          WindowArrangeAll1, WindowMinimizeAll1,    WindowMaximizeAll1};
}

void TMainActions::CreateFileActions(QWidget* owner) {
  acNewQuv = new QAction(QStringLiteral("&New Quv"), owner);
  acNewQuv->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
  acNewQuv->setVisible(false);
  acSave = new QAction(owner->style()->standardIcon(QStyle::SP_DialogSaveButton),
                       QStringLiteral("&Save"), owner);
  acSave->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
  SetActionHint(acSave, QStringLiteral("Save|Writes the changed file"));
  acSaveAs = new QAction(QStringLiteral("Save &As..."), owner);
  acSaveAs->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
  SetActionHint(acSaveAs, QStringLiteral("Save As|Writes the file under another name"));
  acEditHotSpots = new QAction(HotSpotIcon(), QStringLiteral("Edit &Hot Spots"), owner);
  acEditHotSpots->setCheckable(true);
  acEditHotSpots->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
  SetActionHint(acEditHotSpots,
                QStringLiteral("Edit Hot Spots|Drag the frame or press the arrow keys (Shift: "
                               "8 pixels) to move it over its hot spot"));
  for (QAction* action : {acSave, acSaveAs, acEditHotSpots}) action->setEnabled(false);

  acOpenQuv = new QAction(owner->style()->standardIcon(QStyle::SP_DialogOpenButton),
                          QStringLiteral("&Open Quv"), owner);
  acOpenQuv->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
  SetActionHint(acOpenQuv, QStringLiteral("Open|Open a file"));

  acOpenGameFolder = new QAction(QStringLiteral("Open &Game Folder\u2026"), owner);
  acOpenGameFolder->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+O")));
  SetActionHint(acOpenGameFolder,
                QStringLiteral("Open Game Folder|Shows a folder with its archives as the game sees "
                               "it: which file comes from where"));

  WindowClose1 = new QAction(QStringLiteral("&Close Quv"), owner);
  // The desktop's keys: Ctrl+W closes the file, Ctrl+Q quits.
  SetDesktopKeys(WindowClose1, QKeySequence::Close, QStringLiteral("Ctrl+W"));
  SetActionHint(WindowClose1, QStringLiteral("Close|Close current file"));
  WindowCloseAll1 = new QAction(QStringLiteral("C&lose All Quvs"), owner);
  WindowCloseAll1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+W")));
  SetActionHint(WindowCloseAll1, QStringLiteral("Close All|Closes all open quv files"));
  acQuit = new QAction(QStringLiteral("E&xit"), owner);
  SetDesktopKeys(acQuit, QKeySequence::Quit, QStringLiteral("Ctrl+Q"));

  acAbout = new QAction(QStringLiteral("About"), owner);
  acKeysHelp = new QAction(QStringLiteral("&Keys and Mouse"), owner);
  SetDesktopKeys(acKeysHelp, QKeySequence::HelpContents, QStringLiteral("F1"));
  SetActionHint(acKeysHelp, QStringLiteral("Keys and Mouse|Lists every key and mouse action"));
  acSelectAll = new QAction(QStringLiteral("Select &All Images"), owner);
  SetDesktopKeys(acSelectAll, QKeySequence::SelectAll, QStringLiteral("Ctrl+A"));
  SetActionHint(acSelectAll, QStringLiteral("Select All|Selects every image of the list"));
}

// The toggles are the settings model's: what each does beyond storing its state, the views do
// on the model's signals.
void TMainActions::CreateToggleActions(QWidget* owner, TSettingsModel* settings) {
  acSettings = new QAction(QStringLiteral("Settings..."), owner);
  SetActionHint(acSettings, QStringLiteral("Opens the settings dialog"));
  for (const TSettingInfo& setting : AppSettingsTable())
    if (setting.Toggle >= 0 && setting.Toggle != tgFit)
      ToggleActions[setting.Toggle] = MakeToggleAction(settings, TToggle(setting.Toggle), owner);
  acAutoSelect1stImage = ToggleActions[tgAutoSelect1stImage];
  acAnimate = ToggleActions[tgAnimated];
  acViewSubFrames = ToggleActions[tgViewSubFrames];
  acAutoCentre = ToggleActions[tgAutoCentre];
  acTransparent = ToggleActions[tgTransparent];
  acPreLoad = ToggleActions[tgPreLoad];
  acAutoPad = ToggleActions[tgAutoPad];
  acAutoPadUsingSelectedFrames = ToggleActions[tgAutoPadAll];
  acExportFrameWhenExportFrameData = ToggleActions[tgExportFrameWhenExportFrameData];
  acTabs = ToggleActions[tgTabs];
}

void TMainActions::CreatePaletteActions(QWidget* owner) {
  acLoadPalette = new QAction(QStringLiteral("Load Palette\u2026"), owner);
  SetActionHint(acLoadPalette,
                QStringLiteral("Load Palette|Shows the images in the colours of a palette file"));
  acBuiltInPalette = new QAction(QStringLiteral("Use Built-in Palette"), owner);
  SetActionHint(
      acBuiltInPalette,
      QStringLiteral("Built-in Palette|Goes back to the palette the program started with"));
  acTransparentIndex = new QAction(QStringLiteral("Transparent Index\u2026"), owner);
  SetActionHint(acTransparentIndex,
                QStringLiteral("Transparent Index|Chooses the palette index of empty pixels"));
}

void TMainActions::CreateWindowActions(QWidget* owner) {
  WindowCascade1 = new QAction(ArrangementIcon(0), QStringLiteral("&Cascade"), owner);
  WindowTileHorizontal1 =
      new QAction(ArrangementIcon(1), QStringLiteral("Tile &Horizontally"), owner);
  WindowTileVertical1 = new QAction(ArrangementIcon(2), QStringLiteral("Tile &Vertically"), owner);
  WindowArrangeAll1 = new QAction(QStringLiteral("&Arrange All"), owner);
  WindowMinimizeAll1 = new QAction(QStringLiteral("&Minimize All"), owner);
  WindowMaximizeAll1 = new QAction(QStringLiteral("Ma&ximize All"), owner);
  for (QAction* action : {WindowCascade1, WindowTileHorizontal1, WindowTileVertical1})
    action->setToolTip(QString(action->text()).remove('&'));
}
