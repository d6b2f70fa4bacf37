#pragma once
// Every user setting of the viewer, and how it is read from and written to "Vellicor.ini". The
// viewer's settings model holds the values and loads them once; it writes them after each
// change.
#include <string>
#include <variant>
#include <vector>

#include "ColorNamesU.h"
#include "IniFileU.h"

enum TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

struct TWindowBounds {
  int Top = 0;
  int Left = 0;
  int Width = 735;
  int Height = 494;
};

extern const char* const DefaultOpenFilter;

// The settings with a toggle command of their own (a menu item, a check box).
enum TToggle : int {
  tgAutoSelect1stImage,
  tgAnimated,
  tgViewSubFrames,
  tgAutoCentre,
  tgTransparent,
  tgPreLoad,
  tgAutoPad,
  tgAutoPadAll,
  tgExportFrameWhenExportFrameData,
  // The viewer's own, in the View section.
  tgFit,  // the default of new views: fit the image to the drawing area
  tgTabs,
  tgCheckerboard,
  tgCrosshair,
  tgFrameBounds,
  tgSubFrameOutline,
  tgOnionSkin,
  tgFrameStrip,
  tgToggleCount
};

// The values of every setting; a new object holds each one's default (AppSettingsTable).
struct TAppSettings {
  TAppSettings();

  // WindowPos
  TWindowBounds Bounds;
  int WindowState = wsNormal;
  int SeperatorWidth;
  int ImageNameWidth;
  int FrameWidth;
  int AnimatedWidth;
  // Settings
  bool Animated;
  int AnimationSpeed;
  bool AutoCentre;
  bool AutoSelect1stImage;
  bool ViewSubFrames;
  bool Transparent;
  TColor BackGroundColor;
  bool ExportFrameWhenExportFrameData;
  bool AutoPad;
  bool AutoPadAll;
  bool RememberExportSettings;
  int ExportImageBitDepth;
  int FrameDataExportType;
  std::string ArchiveSearchFilter;
  std::string Filter;
  int FilterIndex;
  bool PreLoad;
  int PreLoadCount;
  std::string SaveLastDir;
  std::string LoadLastDir;
  // HistoryList
  int MaxHistoryListSize;
  std::vector<std::string> HistoryList;  // most recent first
  // Export (the viewer's own section, after the others)
  std::string ExportFormat;  // an export format's name; the viewer reads unknown as BMP
  int ExportScale;
  int ExportDialogOption;  // the export dialog's option used last
  // View (the viewer's own section, after Export)
  int Zoom;  // one of ZoomSteps: the step new views open at
  bool Fit;
  bool Tabs;
  bool Checkerboard;
  bool Crosshair;
  bool FrameBounds;
  bool SubFrameOutline;
  bool OnionSkin;
  std::string PaletteFile;  // empty: the built-in palette
  int TransparentIndex;     // the index of empty pixels the user chose; -1: the palette's own
  bool FitNewViews;         // new views open fitted, whatever the last view chose
  bool FrameStrip;          // the views show the strip of frames under the picture
  // BatchExport (the batch export's choices, after View; written once they are not the default)
  std::string BatchExportFolder;
  std::string BatchExportFormat;  // an export format's name
  int BatchExportScale;
  int BatchExportPalette;  // 0 the viewer's palette, 1 the built-in one, 2 BatchExportPaletteFile
  std::string BatchExportPaletteFile;
  bool BatchExportSubFolders;
};

// How a setting is read and written beyond its plain value.
enum class TSettingRule {
  Plain,          // absent: the default
  WindowBounds,   // read only with a known WindowState, written only in the normal state
  WindowState,    // written as the state the writer is given
  Folder,         // absent: the folder the settings came in with; no trailing separators
  Colour,         // a colour name or number; unreadable: the default
  History,        // the entries' full paths, each followed by ";"
  UnlessDefault,  // written only while it is not the default; the key goes otherwise
};

using TSettingField =
    std::variant<int TAppSettings::*, bool TAppSettings::*, std::string TAppSettings::*,
                 std::vector<std::string> TAppSettings::*, int TWindowBounds::*>;
using TSettingDefault = std::variant<std::monostate, int, bool, const char*>;

// One setting: where it lies in the file, which field holds it, its default, what keeps it in
// range (when read and when written), and the toggle command it has, if any.
struct TSettingInfo {
  const char* Section;
  const char* Key;
  TSettingField Field;
  TSettingDefault Default;
  TSettingRule Rule = TSettingRule::Plain;
  int (*Normalize)(int) = nullptr;
  int Toggle = -1;  // a TToggle
};

// Every setting, in the order of the file.
const std::vector<TSettingInfo>& AppSettingsTable();
// The field of a toggle's setting.
bool TAppSettings::*ToggleField(TToggle toggle);

constexpr int MaxExportScale = 16;
// The view's zoom steps, smallest first; a step -n shows 1/n.
constexpr int ZoomSteps[] = {-8, -4, -3, -2, 1, 2, 3, 4, 6, 8, 12, 16};
// A zoom that is not one of the steps counts as 1.
int NormalizeZoom(int zoom);
// Scales outside 1..MaxExportScale count as 1.
int NormalizeExportScale(int scale);

// Export bit depths as stored: 1, 4, 8, 15, 16, 24 or 32; anything else counts as 24.
int NormalizeExportBitDepth(int bits);
// The settings dialog's bit-depth list: positions 0..6 are 1, 4, 8, 15, 16, 24, 32 bits; no
// selection (or a position outside the list) counts as 24 bits.
int ExportBitDepthFromListIndex(int index);
int ListIndexFromExportBitDepth(int bits);
// 0 offsets, 1 with size data, 2 with the image file name; anything else counts as 0.
int NormalizeFrameDataExportType(int type);

// The transparent index as stored: -1 (the palette's own) or a palette index.
int NormalizeTransparentIndex(int index);
// The export dialog's option as stored: never below 0.
int NormalizeExportDialogOption(int option);
// The batch export's palette choice as stored: 0, 1 or 2; anything else counts as 0.
int NormalizeBatchExportPalette(int choice);

// A folder with its trailing separators removed (the root folder stays "/").
std::string WithoutTrailingSeparator(const std::string& dir);

// The HistoryList value: each entry's full path (relative names expanded against the program's
// folder) followed by ";", most recent first.
std::string EncodeHistoryList(const std::vector<std::string>& mostRecentFirst,
                              const std::string& programDir);
// The stored pieces in order, each made relative to the program's folder when it lies inside
// it (other paths stay as they are).
std::vector<std::string> DecodeHistoryList(const std::string& value, const std::string& programDir);

// The file name a history entry opens: relative entries lie in the program's folder.
std::string HistoryEntryPath(const std::string& name, const std::string& programDir);

// The WindowState the file holds, or `fallback` without one (whatever its range).
int ReadWindowState(const TIniFile& ini, int fallback);

// Reads every key. `settings` comes in holding what absent keys keep: the window's bounds and
// state, and the current folder in SaveLastDir/LoadLastDir. A WindowState outside 0..2 leaves
// state and bounds as they came in.
void LoadAppSettings(const TIniFile& ini, TAppSettings& settings, const std::string& programDir);

// Writes every key in the file's order; the bounds only when `windowState` is normal (so the
// last normal bounds stay in the file). The caller then saves the file.
void SaveAppSettings(TIniFile& ini, const TAppSettings& settings, int windowState,
                     const std::string& programDir);

// The same on the file itself: loading a missing file gives the defaults; saving creates the
// file when needed and replaces it atomically (false, with the file unchanged, on failure).
void LoadAppSettingsFile(const std::string& fileName, TAppSettings& settings,
                         const std::string& programDir);
bool SaveAppSettingsFile(const std::string& fileName, const TAppSettings& settings, int windowState,
                         const std::string& programDir, std::string* error = nullptr);
