#pragma once
// The main window's commands, each with its caption, keys and hint. The units that own the jobs
// (opening files, palettes, window arrangement) connect what each command does.
#include <QAction>

#include "SettingsModelU.h"

class QWidget;

class TMainActions {
 public:
  QAction *acOpenQuv = nullptr, *WindowClose1 = nullptr, *WindowCloseAll1 = nullptr,
          *acQuit = nullptr, *acAbout = nullptr, *acSettings = nullptr,
          *acAutoSelect1stImage = nullptr, *acAnimate = nullptr, *acViewSubFrames = nullptr,
          *acAutoCentre = nullptr, *acTransparent = nullptr, *acPreLoad = nullptr,
          *acAutoPad = nullptr, *acAutoPadUsingSelectedFrames = nullptr,
          *acExportFrameWhenExportFrameData = nullptr;
  // The viewer's own commands: tabs, palettes, selecting every image of the list.
  QAction *acTabs = nullptr, *acLoadPalette = nullptr, *acBuiltInPalette = nullptr,
          *acTransparentIndex = nullptr, *acSelectAll = nullptr;
  QAction *acNewQuv = nullptr, *acSave = nullptr, *acSaveAs = nullptr;
  // File ▸ Open Game Folder…: a folder in a game browser.
  QAction* acOpenGameFolder = nullptr;
  // The active view's edit mode (Edit ▸ Edit Hot Spots); each view keeps its own.
  QAction* acEditHotSpots = nullptr;
  // The commands that work on the active view's file: enabled while there is one.
  QList<QAction*> ViewFileActions() const { return {acSave, acSaveAs, acEditHotSpots}; }
  QAction* acKeysHelp = nullptr;  // Help ▸ Keys and Mouse (F1)
  QAction *WindowCascade1 = nullptr, *WindowTileHorizontal1 = nullptr,
          *WindowTileVertical1 = nullptr, *WindowArrangeAll1 = nullptr,
          *WindowMinimizeAll1 = nullptr, *WindowMaximizeAll1 = nullptr;
  // The command of every toggle the main window offers (none for tgFit: each view has its own
  // "Fit"); the named toggle commands above are among them.
  QAction* ToggleActions[tgToggleCount] = {};

  // The commands that arrange child windows, which tabs leave nothing to do.
  QList<QAction*> ArrangeActions() const;

 protected:
  void CreateActions(QWidget* owner, TSettingsModel* settings);

 private:
  void CreateFileActions(QWidget* owner);
  void CreateToggleActions(QWidget* owner, TSettingsModel* settings);
  void CreatePaletteActions(QWidget* owner);
  void CreateWindowActions(QWidget* owner);
};
