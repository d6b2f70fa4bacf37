#pragma once
// Every user setting of the viewer in one object: typed getters and setters, a signal for each
// setting or group the windows react to, and "Vellicor.ini" read and written through the INI
// layer. A change is written at once, once per change; while `Updating` is set (settings being
// loaded, a file being opened, a dialog running) nothing is written and the toggle commands do
// nothing.
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

#include "AppSettingsU.h"
#include "BitmapU.h"
#include "ExportFormatU.h"
#include "HistoryListU.h"

class QAction;

// The caption and the "Short|Long" hint of a toggle's command.
QString ToggleCaption(TToggle toggle);
QString ToggleHint(TToggle toggle);

// The batch export's choices, in [BatchExport].
struct TBatchExportChoices {
  QString Folder;  // the output folder; empty before the first choice
  TExportFormat Format = efPng;
  int Scale = 1;    // 1..16, not for BMP
  int Palette = 0;  // 0 the viewer's palette, 1 the built-in one, 2 PaletteFile
  QString PaletteFile;
  bool SubFolders = true;  // folders' sub-folders too
  bool operator==(const TBatchExportChoices&) const = default;
};

struct TWindowPlacement {
  TWindowBounds Bounds;
  int State = wsNormal;
};

class TSettingsModel : public QObject {
  Q_OBJECT
 public:
  TSettingsModel(const QString& fileName, const QString& programFolder, QObject* parent = nullptr);
  ~TSettingsModel() override;

  QString FileName() const { return FFileName; }
  QString ProgramFolder() const { return FProgramFolder; }

  // Where the main window stands when the file is written (its bounds are written only while
  // its state is normal). Without it the placement last read is written back.
  std::function<TWindowPlacement()> Placement;

  // ---- Updating ----
  bool Updating() const { return FUpdating; }
  void SetUpdating(bool on) { FUpdating = on; }
  // Sets Updating for the life of a scope and puts the former value back.
  class TUpdate {
   public:
    explicit TUpdate(TSettingsModel& model) : FModel(model), FWas(model.FUpdating) {
      model.FUpdating = true;
    }
    ~TUpdate() { FModel.FUpdating = FWas; }
    TUpdate(const TUpdate&) = delete;
    TUpdate& operator=(const TUpdate&) = delete;

   private:
    TSettingsModel& FModel;
    bool FWas;
  };

  // Reads the file (missing keys take their defaults; the window's bounds, state and the
  // current folder stand in for the keys that default to them).
  void Load();
  // The WindowState the last Load found in the file (the current state when absent).
  int LoadedWindowState() const { return FLoadedWindowState; }
  TWindowBounds LoadedBounds() const { return FValues.Bounds; }
  // Writes the file unless Updating; `windowState` given: that state instead of the current.
  void Save(std::optional<int> windowState = std::nullopt);

  // ---- Toggles ----
  bool Toggle(TToggle toggle) const;
  // Stores the state; outside Updating it is written and the windows follow it.
  void SetToggle(TToggle toggle, bool on);
  // The user's toggle command: inverts the setting, or does nothing while Updating.
  void ToggleCommand(TToggle toggle);
  bool Animated() const { return Toggle(tgAnimated); }
  bool AutoCentre() const { return Toggle(tgAutoCentre); }
  bool AutoSelect1stImage() const { return Toggle(tgAutoSelect1stImage); }
  bool ViewSubFrames() const { return Toggle(tgViewSubFrames); }
  bool Transparent() const { return Toggle(tgTransparent); }
  bool PreLoad() const { return Toggle(tgPreLoad); }
  bool AutoPad() const { return Toggle(tgAutoPad); }
  bool AutoPadUsingSelectedFrames() const { return Toggle(tgAutoPadAll); }
  bool ExportFrameWhenExportFrameData() const { return Toggle(tgExportFrameWhenExportFrameData); }
  bool Fit() const { return Toggle(tgFit); }
  bool Tabs() const { return Toggle(tgTabs); }
  bool Checkerboard() const { return Toggle(tgCheckerboard); }
  bool Crosshair() const { return Toggle(tgCrosshair); }
  bool FrameBounds() const { return Toggle(tgFrameBounds); }
  bool SubFrameOutline() const { return Toggle(tgSubFrameOutline); }
  bool OnionSkin() const { return Toggle(tgOnionSkin); }
  bool FrameStrip() const { return Toggle(tgFrameStrip); }
  // Views preload frames while both animating and preloading are on.
  bool Preloading() const { return Animated() && PreLoad(); }

  // ---- Values ----
  int SeperatorWidth() const { return FValues.SeperatorWidth; }
  void SetSeperatorWidth(int width);
  // Columns 0 "Image Name", 1 "Animated", 2 "Frames".
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);
  int AnimationSpeed() const { return FValues.AnimationSpeed; }
  void SetAnimationSpeed(int speed);
  uint32_t BackGroundColor() const { return uint32_t(FValues.BackGroundColor); }
  void SetBackGroundColor(uint32_t colour);
  TPixelFormat ExportBitDepth() const;
  void SetExportBitDepth(TPixelFormat format);
  int FrameDataExportType() const { return FValues.FrameDataExportType; }
  void SetFrameDataExportType(int type);
  // The format of the view's exports and its scale (1..16, not for BMP).
  TExportFormat ExportFormat() const;
  void SetExportFormat(TExportFormat format);
  int ExportScale() const { return FValues.ExportScale; }
  void SetExportScale(int scale);
  bool RememberExportSettings() const { return FValues.RememberExportSettings; }
  void SetRememberExportSettings(bool on);
  QString ArchiveSearchFilter() const;
  void SetArchiveSearchFilter(const QString& filter);
  QString OpenFilter() const;  // the open dialog's filter ("Name|masks|...")
  void SetOpenFilter(const QString& filter);
  int OpenFilterIndex() const { return FValues.FilterIndex; }  // 1-based
  void SetOpenFilterIndex(int index);
  int PreLoadCount() const { return FValues.PreLoadCount; }
  void SetPreLoadCount(int count);
  QString SaveLastDir() const;
  void SetSaveLastDir(const QString& dir);
  QString LoadLastDir() const;
  void SetLoadLastDir(const QString& dir);

  // The export dialog's option used last (0-based; the dialog clamps it to its list).
  int ExportDialogOption() const { return FValues.ExportDialogOption; }
  void SetExportDialogOption(int option);
  // The zoom step new views open at (the step a view was last set to).
  int Zoom() const { return FValues.Zoom; }
  void SetZoom(int zoom);
  // New views open fitted, whatever step or fit the last view was set to.
  bool FitNewViews() const { return FValues.FitNewViews; }
  void SetFitNewViews(bool on);
  // The palette file new views use; empty for the built-in palette. The caller has read it
  // successfully before it is stored. Setting it alone gives back the palette's own index.
  QString PaletteFile() const;
  void SetPaletteFile(const QString& fileName);
  // The palette index of empty pixels that the user chose, or -1 for that of the palette in
  // use (0 with a palette file, that of the start palette otherwise).
  int TransparentIndex() const { return FValues.TransparentIndex; }
  void SetTransparentIndex(int index);
  // A palette file and its index at once, written once: paletteChanged when the file changed,
  // else transparentIndexChanged when the index did. True when anything changed.
  bool SetPalette(const QString& fileName, int transparentIndex);

  TBatchExportChoices BatchExport() const;
  // Stores all the choices at once, written once when any changed.
  void SetBatchExport(const TBatchExportChoices& choices);

  // ---- History ----
  int MaxHistoryListSize() const { return FValues.MaxHistoryListSize; }
  void SetMaxHistoryListSize(int limit);
  void AddToHistory(const QString& name);
  QStringList HistoryEntries() const;  // most recent first

 signals:
  void toggleChanged(TToggle toggle, bool on);
  void playbackChanged(bool preloading);  // animating or preloading switched
  void subFramesChanged(bool on);         // viewing sub-frames switched
  void displayChanged();                  // centring, transparency or background
  void exportOptionsChanged();            // any option the views' exports take
  void canvasAidsChanged();               // checkerboard, crosshair, bounds, outline, onion skin
  void tabsChanged(bool on);
  void paletteChanged(const QString& fileName);
  void transparentIndexChanged(int index);
  void animationSpeedChanged(int speed);
  void seperatorWidthChanged(int width);
  void columnWidthChanged(int column, int width);
  void historyInserted(const QString& name);
  void historyMovedToTop(int fromIndex);
  void historyOldestRemoved();

 private:
  template <typename T>
  bool Store(T& field, const T& value);
  void Apply(const TAppSettings& values);
  static TBatchExportChoices BatchExportOf(const TAppSettings& values);

  QString FFileName;
  QString FProgramFolder;
  TAppSettings FValues;
  THistoryList FHistory;
  bool FUpdating = false;
  int FLoadedWindowState = wsNormal;
};

// A "Short|Long" hint: the tool tip and the status-bar text.
void SetActionHint(QAction* action, const QString& hint);

// A checkable command bound to one toggle: it shows the setting and its trigger is the
// toggle command (undone while Updating).
QAction* MakeToggleAction(TSettingsModel* settings, TToggle toggle, QObject* parent);
