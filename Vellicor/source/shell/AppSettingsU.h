#pragma once
// Every user setting of the viewer, and how it is read from and written to "Vellicor.ini". The
// viewer's settings model holds the values and loads them once; it writes them after each
// change.
#include <string>
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

struct TAppSettings {
  // WindowPos
  TWindowBounds Bounds;
  int WindowState = wsNormal;
  int SeperatorWidth = -1;
  int ImageNameWidth = -1;
  int FrameWidth = -1;
  int AnimatedWidth = -1;
  // Settings
  bool Animated = true;
  int AnimationSpeed = 67;
  bool AutoCentre = false;
  bool AutoSelect1stImage = true;
  bool ViewSubFrames = false;
  bool Transparent = true;
  TColor BackGroundColor = clWhite;
  bool ExportFrameWhenExportFrameData = false;
  bool AutoPad = true;
  bool AutoPadAll = false;
  bool RememberExportSettings = false;
  int ExportImageBitDepth = 24;
  int FrameDataExportType = 0;
  std::string ArchiveSearchFilter = "*.quv";
  std::string Filter = DefaultOpenFilter;
  int FilterIndex = 1;
  bool PreLoad = true;
  int PreLoadCount = 5;
  std::string SaveLastDir;
  std::string LoadLastDir;
  // HistoryList
  int MaxHistoryListSize = 5;
  std::vector<std::string> HistoryList;  // most recent first
  // Export (the viewer's own section, after the others)
  std::string ExportFormat = "bmp";  // an export format's name; the viewer reads unknown as BMP
  int ExportScale = 1;
  int ExportDialogOption = 0;  // the export dialog's option used last
  // View (the viewer's own section, after Export)
  int Zoom = 1;  // one of ZoomSteps: the step new views open at
  bool Fit = false;
  bool Tabs = false;
  bool Checkerboard = false;
  bool Crosshair = false;
  bool FrameBounds = false;
  bool SubFrameOutline = false;
  bool OnionSkin = false;
  std::string PaletteFile;  // empty: the built-in palette
};

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
