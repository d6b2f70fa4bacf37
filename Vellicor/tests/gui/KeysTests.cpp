// The keys of the main window and of the views: each answered by one command, Ctrl+W closing
// the active file in windows and in tabs, F1 opening the page of every key and mouse action,
// and a mnemonic for every menu of the menu bar.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <map>
#include <memory>

#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "KeysHelpU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SpriteCanvasU.h"

namespace {

// Where a command or shortcut answers its keys: the whole window, or a widget (with or without
// its children).
struct THolder {
  QString Name;
  QWidget* Scope;
  bool WithChildren;
  bool Shown = true;  // a hidden command's keys answer only once it shows
};

bool Overlap(const THolder& a, const THolder& b) {
  if (a.Scope == b.Scope) return true;
  if (a.WithChildren && a.Scope->isAncestorOf(b.Scope)) return true;
  return b.WithChildren && b.Scope->isAncestorOf(a.Scope);
}

THolder Holder(const QString& name, Qt::ShortcutContext context, QWidget* widget, QWidget* window) {
  if (context == Qt::WidgetShortcut) return {name, widget, false};
  if (context == Qt::WidgetWithChildrenShortcut) return {name, widget, true};
  return {name, window, true};
}

// Every key that a command or shortcut inside `window` answers to. An action answers only
// through the widgets it was added to; a menu's command answers in the window of the menu bar.
std::multimap<QString, THolder> KeysOf(QWidget* window) {
  std::multimap<QString, THolder> keys;
  for (QAction* action : window->findChildren<QAction*>()) {
    QWidget* widget = nullptr;
    for (QObject* object : action->associatedObjects())
      if (auto* w = qobject_cast<QWidget*>(object); w && !qobject_cast<QMenu*>(w)) widget = w;
    const bool inMenu = !action->associatedObjects().isEmpty();
    if (!widget && !inMenu) continue;  // in no widget: its keys answer nowhere
    THolder holder =
        Holder(action->text(), action->shortcutContext(), widget ? widget : window, window);
    holder.Shown = action->isVisible();
    for (const QKeySequence& key : action->shortcuts())
      keys.insert({key.toString(QKeySequence::NativeText), holder});
  }
  for (QShortcut* shortcut : window->findChildren<QShortcut*>()) {
    auto* widget = qobject_cast<QWidget*>(shortcut->parent());
    for (const QKeySequence& key : shortcut->keys())
      keys.insert({key.toString(QKeySequence::NativeText),
                   Holder(QStringLiteral("shortcut of ") + widget->metaObject()->className(),
                          shortcut->context(), widget, window)});
  }
  return keys;
}

// "Ctrl+W: &Close Quv and &Close; ..." for each key two holders answer at once.
std::string KeysHeldTwice(QWidget* window) {
  const auto keys = KeysOf(window);
  QStringList clashes;
  for (auto a = keys.begin(); a != keys.end(); ++a)
    for (auto b = std::next(a); b != keys.end() && b->first == a->first; ++b)
      if (Overlap(a->second, b->second))
        clashes << a->first + ": " + a->second.Name + " and " + b->second.Name;
  return clashes.join("; ").toStdString();
}

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    Sample = Dir.filePath("sample.quv");
    ASSERT_TRUE(WriteTestFile(Sample, MakeSampleQuv()));
    Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
    Main->resize(1000, 750);
    Main->show();
    QApplication::setActiveWindow(Main.get());
    Main->FirstActivation({});
    Main->Settings()->SetAnimationSpeed(100000000);
  }
  void TearDown() override {
    for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
    QApplication::processEvents();
    Main.reset();
  }
  // Ctrl+W pressed on the canvas of the active view: the views left.
  qsizetype CloseActiveByKey() {
    TQuvView* view = Main->ActiveView();
    EXPECT_NE(view, nullptr);
    if (!view) return -1;
    view->Canvas()->PaintBox()->setFocus();
    QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_W, Qt::ControlModifier);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Main->Views().size();
  }

  QTemporaryDir Dir;
  QString Sample;
  std::unique_ptr<TMainForm> Main;
};

TEST_F(KeysTest, EveryKeyHasOneOwnerInTheMainWindowAndInAView) {
  EXPECT_EQ(KeysHeldTwice(Main.get()), "");
  for (int i = 0; i < 3; ++i) Main->OpenQuvFile(QString(), Sample);
  EXPECT_EQ(KeysHeldTwice(Main.get()), "") << "windows";
  Main->acTabs->trigger();
  EXPECT_EQ(KeysHeldTwice(Main.get()), "") << "tabs";
  EXPECT_EQ(KeysHeldTwice(Main->Views().first()), "");
}

TEST_F(KeysTest, CtrlWClosesTheActiveFileInWindowsAndInTabs) {
  for (int i = 0; i < 3; ++i) Main->OpenQuvFile(QString(), Sample);
  EXPECT_EQ(CloseActiveByKey(), 2);
  Main->acTabs->trigger();
  EXPECT_EQ(CloseActiveByKey(), 1);
}

TEST_F(KeysTest, F1ShowsEveryKeyAndMouseActionAndAboutStaysInTheHelpMenu) {
  Main->OpenQuvFile(QString(), Sample);
  // Whatever modal box F1 might bring is closed again, so the test goes on to fail.
  const TAnswerModal<QDialog> closeModal([](QDialog* dialog) { dialog->reject(); });
  QTest::keyClick(Main.get(), Qt::Key_F1);
  auto* help = Main->findChild<TKeysHelp*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_FALSE(help->isModal());  // open beside the views while one tries the keys
  const QString page = help->Page->toPlainText();
  for (QWidget* window :
       {static_cast<QWidget*>(Main.get()), static_cast<QWidget*>(Main->Views().first())})
    for (const auto& [key, holder] : KeysOf(window))
      if (holder.Shown)
        EXPECT_TRUE(page.contains(key))
            << key.toStdString() << " (" << holder.Name.toStdString() << ")";
  for (const char* text : {"Play or pause", "Ctrl + wheel", "Middle button drag", "Right click",
                           "Keys and Mouse", "Open Quv", "Letters in the list"})
    EXPECT_TRUE(page.contains(text)) << text;

  QStringList helpItems;
  for (QAction* action : Main->Menus()->HelpMenu->actions())
    helpItems << (action->isSeparator() ? QStringLiteral("-") : action->text());
  EXPECT_EQ(helpItems, QStringList({"&Keys and Mouse", "-", "About"}));
  EXPECT_EQ(Main->acKeysHelp->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_TRUE(Main->acAbout->shortcuts().isEmpty());
}

TEST_F(KeysTest, EveryMenuOfTheMenuBarHasItsOwnMnemonic) {
  QString letters;
  for (QAction* menu : Main->menuBar()->actions()) {
    const QString text = menu->text();
    const qsizetype at = text.indexOf('&');
    ASSERT_TRUE(at >= 0 && at + 1 < text.size() && text[at + 1].isLetter()) << text.toStdString();
    const QChar letter = text[at + 1].toLower();
    EXPECT_FALSE(letters.contains(letter)) << text.toStdString();
    letters += letter;
  }
}

}  // namespace
