#include "AppSettingsU.h"

#include <algorithm>
#include <filesystem>

const char* const DefaultOpenFilter =
    "Quv Files|*.quv|Hpi Files(Can contain quvs)|*.hpi;*.ufo;*.gp3;*.gpf;*.ccx|All Files|*.*";

namespace {

constexpr int KBitDepths[] = {1, 4, 8, 15, 16, 24, 32};

const char* const KWindowPos = "WindowPos";
const char* const KSettings = "Settings";
const char* const KHistoryList = "HistoryList";
const char* const KExport = "Export";
const char* const KView = "View";

std::filesystem::path Normal(const std::string& path) {
  return std::filesystem::path(path).lexically_normal();
}

}  // namespace

int NormalizeExportBitDepth(int bits) {
  for (int each : KBitDepths)
    if (each == bits) return bits;
  return 24;
}

int ExportBitDepthFromListIndex(int index) {
  return index >= 0 && index < static_cast<int>(std::size(KBitDepths)) ? KBitDepths[index] : 24;
}

int ListIndexFromExportBitDepth(int bits) {
  bits = NormalizeExportBitDepth(bits);
  for (size_t i = 0; i < std::size(KBitDepths); ++i)
    if (KBitDepths[i] == bits) return static_cast<int>(i);
  return 5;
}

int NormalizeZoom(int zoom) {
  for (int step : ZoomSteps)
    if (step == zoom) return zoom;
  return 1;
}

int NormalizeExportScale(int scale) {
  return scale >= 1 && scale <= MaxExportScale ? scale : 1;
}

int NormalizeFrameDataExportType(int type) {
  return type >= 0 && type <= 2 ? type : 0;
}

std::string WithoutTrailingSeparator(const std::string& dir) {
  std::string result = dir;
  while (result.size() > 1 && (result.back() == '/' || result.back() == '\\')) result.pop_back();
  return result;
}

std::string HistoryEntryPath(const std::string& name, const std::string& programDir) {
  std::filesystem::path path(name);
  if (path.is_relative()) path = std::filesystem::path(programDir) / path;
  return path.lexically_normal().string();
}

std::string EncodeHistoryList(const std::vector<std::string>& mostRecentFirst,
                              const std::string& programDir) {
  std::string value;
  for (const std::string& name : mostRecentFirst) value += HistoryEntryPath(name, programDir) + ';';
  return value;
}

std::vector<std::string> DecodeHistoryList(const std::string& value,
                                           const std::string& programDir) {
  std::vector<std::string> pieces;
  const std::filesystem::path base = Normal(programDir);
  size_t start = 0;
  while (start < value.size()) {
    size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string piece = value.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    std::filesystem::path path(piece);
    if (path.is_absolute()) {
      std::filesystem::path relative = Normal(piece).lexically_relative(base);
      // Only names below the program's folder are shortened; others stay full paths.
      if (!relative.empty() && *relative.begin() != ".." && relative != ".")
        piece = relative.string();
    }
    pieces.push_back(piece);
  }
  return pieces;
}

void LoadAppSettings(const TIniFile& ini, TAppSettings& s, const std::string& programDir) {
  int state = ini.ReadInteger(KWindowPos, "WindowState", s.WindowState);
  if (state >= wsNormal && state <= wsMaximized) {
    s.WindowState = state;
    s.Bounds.Width = ini.ReadInteger(KWindowPos, "Width", s.Bounds.Width);
    s.Bounds.Height = ini.ReadInteger(KWindowPos, "Height", s.Bounds.Height);
    s.Bounds.Top = ini.ReadInteger(KWindowPos, "Top", s.Bounds.Top);
    s.Bounds.Left = ini.ReadInteger(KWindowPos, "Left", s.Bounds.Left);
  }
  s.SeperatorWidth = ini.ReadInteger(KWindowPos, "SeperatorWidth", -1);
  s.ImageNameWidth = ini.ReadInteger(KWindowPos, "ImageNameWidth", -1);
  s.FrameWidth = ini.ReadInteger(KWindowPos, "FrameWidth", -1);
  s.AnimatedWidth = ini.ReadInteger(KWindowPos, "AnimatedWidth", -1);

  s.Animated = ini.ReadBool(KSettings, "Animated", true);
  s.AnimationSpeed = ini.ReadInteger(KSettings, "AnimationSpeed", 67);
  s.AutoCentre = ini.ReadBool(KSettings, "AutoCentre", false);
  s.AutoSelect1stImage = ini.ReadBool(KSettings, "AutoSelect1stImage", true);
  s.ViewSubFrames = ini.ReadBool(KSettings, "ViewSubFrames", false);
  s.Transparent = ini.ReadBool(KSettings, "Transparent", true);
  // An unreadable colour falls back to the default instead of failing the whole start.
  if (!TryStringToColor(ini.ReadString(KSettings, "BackGroundColor", "clWhite"), s.BackGroundColor))
    s.BackGroundColor = clWhite;
  s.ExportFrameWhenExportFrameData =
      ini.ReadBool(KSettings, "ExportFrameWhenExportFrameData", false);
  s.AutoPad = ini.ReadBool(KSettings, "AutoPad", true);
  s.AutoPadAll = ini.ReadBool(KSettings, "AutoPadAll", false);
  s.RememberExportSettings = ini.ReadBool(KSettings, "RememberExportSettings", false);
  s.ExportImageBitDepth =
      NormalizeExportBitDepth(ini.ReadInteger(KSettings, "ExportImageBitDepth", 24));
  s.FrameDataExportType =
      NormalizeFrameDataExportType(ini.ReadInteger(KSettings, "FrameDataExportType", 0));
  s.ArchiveSearchFilter = ini.ReadString(KSettings, "ArchiveSearchFilter", "*.quv");
  s.Filter = ini.ReadString(KSettings, "Filter", DefaultOpenFilter);
  s.FilterIndex = ini.ReadInteger(KSettings, "FilterIndex", 1);
  s.PreLoad = ini.ReadBool(KSettings, "PreLoad", true);
  s.PreLoadCount = ini.ReadInteger(KSettings, "PreLoadCount", 5);
  s.SaveLastDir = WithoutTrailingSeparator(ini.ReadString(KSettings, "SaveLastDir", s.SaveLastDir));
  s.LoadLastDir = WithoutTrailingSeparator(ini.ReadString(KSettings, "LoadLastDir", s.LoadLastDir));

  s.MaxHistoryListSize = ini.ReadInteger(KHistoryList, "MaxHistoryListSize", 5);
  s.HistoryList = DecodeHistoryList(ini.ReadString(KHistoryList, "HistoryList", ""), programDir);

  s.ExportFormat = ini.ReadString(KExport, "Format", "bmp");
  s.ExportScale = NormalizeExportScale(ini.ReadInteger(KExport, "Scale", 1));
  s.ExportDialogOption = std::max(0, ini.ReadInteger(KExport, "DialogOption", 0));

  s.Zoom = NormalizeZoom(ini.ReadInteger(KView, "Zoom", 1));
  s.Fit = ini.ReadBool(KView, "Fit", false);
  s.Tabs = ini.ReadBool(KView, "Tabs", false);
  s.Checkerboard = ini.ReadBool(KView, "Checkerboard", false);
  s.Crosshair = ini.ReadBool(KView, "Crosshair", false);
  s.FrameBounds = ini.ReadBool(KView, "FrameBounds", false);
  s.SubFrameOutline = ini.ReadBool(KView, "SubFrameOutline", false);
  s.OnionSkin = ini.ReadBool(KView, "OnionSkin", false);
  s.PaletteFile = ini.ReadString(KView, "Palette", "");
}

void SaveAppSettings(TIniFile& ini, const TAppSettings& s, int windowState,
                     const std::string& programDir) {
  if (windowState == wsNormal) {
    ini.WriteInteger(KWindowPos, "Top", s.Bounds.Top);
    ini.WriteInteger(KWindowPos, "Left", s.Bounds.Left);
    ini.WriteInteger(KWindowPos, "Width", s.Bounds.Width);
    ini.WriteInteger(KWindowPos, "Height", s.Bounds.Height);
  }
  ini.WriteInteger(KWindowPos, "WindowState", windowState);
  ini.WriteInteger(KWindowPos, "SeperatorWidth", s.SeperatorWidth);
  ini.WriteInteger(KWindowPos, "ImageNameWidth", s.ImageNameWidth);
  ini.WriteInteger(KWindowPos, "FrameWidth", s.FrameWidth);
  ini.WriteInteger(KWindowPos, "AnimatedWidth", s.AnimatedWidth);

  ini.WriteBool(KSettings, "Animated", s.Animated);
  ini.WriteInteger(KSettings, "AnimationSpeed", s.AnimationSpeed);
  ini.WriteBool(KSettings, "AutoCentre", s.AutoCentre);
  ini.WriteBool(KSettings, "AutoSelect1stImage", s.AutoSelect1stImage);
  ini.WriteBool(KSettings, "ViewSubFrames", s.ViewSubFrames);
  ini.WriteBool(KSettings, "Transparent", s.Transparent);
  ini.WriteString(KSettings, "BackGroundColor", ColorToString(s.BackGroundColor));
  ini.WriteBool(KSettings, "ExportFrameWhenExportFrameData", s.ExportFrameWhenExportFrameData);
  ini.WriteBool(KSettings, "AutoPad", s.AutoPad);
  ini.WriteBool(KSettings, "AutoPadAll", s.AutoPadAll);
  ini.WriteBool(KSettings, "RememberExportSettings", s.RememberExportSettings);
  ini.WriteInteger(KSettings, "ExportImageBitDepth",
                   NormalizeExportBitDepth(s.ExportImageBitDepth));
  ini.WriteInteger(KSettings, "FrameDataExportType",
                   NormalizeFrameDataExportType(s.FrameDataExportType));
  ini.WriteString(KSettings, "ArchiveSearchFilter", s.ArchiveSearchFilter);
  ini.WriteString(KSettings, "Filter", s.Filter);
  ini.WriteInteger(KSettings, "FilterIndex", s.FilterIndex);
  ini.WriteBool(KSettings, "PreLoad", s.PreLoad);
  ini.WriteInteger(KSettings, "PreLoadCount", s.PreLoadCount);
  ini.WriteString(KSettings, "SaveLastDir", WithoutTrailingSeparator(s.SaveLastDir));
  ini.WriteString(KSettings, "LoadLastDir", WithoutTrailingSeparator(s.LoadLastDir));

  ini.WriteInteger(KHistoryList, "MaxHistoryListSize", s.MaxHistoryListSize);
  ini.WriteString(KHistoryList, "HistoryList", EncodeHistoryList(s.HistoryList, programDir));

  ini.WriteString(KExport, "Format", s.ExportFormat);
  ini.WriteInteger(KExport, "Scale", NormalizeExportScale(s.ExportScale));
  ini.WriteInteger(KExport, "DialogOption", s.ExportDialogOption);

  ini.WriteInteger(KView, "Zoom", NormalizeZoom(s.Zoom));
  ini.WriteBool(KView, "Fit", s.Fit);
  ini.WriteBool(KView, "Tabs", s.Tabs);
  ini.WriteBool(KView, "Checkerboard", s.Checkerboard);
  ini.WriteBool(KView, "Crosshair", s.Crosshair);
  ini.WriteBool(KView, "FrameBounds", s.FrameBounds);
  ini.WriteBool(KView, "SubFrameOutline", s.SubFrameOutline);
  ini.WriteBool(KView, "OnionSkin", s.OnionSkin);
  ini.WriteString(KView, "Palette", s.PaletteFile);
}

void LoadAppSettingsFile(const std::string& fileName, TAppSettings& settings,
                         const std::string& programDir) {
  LoadAppSettings(TIniFile(fileName), settings, programDir);
}

bool SaveAppSettingsFile(const std::string& fileName, const TAppSettings& settings, int windowState,
                         const std::string& programDir, std::string* error) {
  TIniFile ini(fileName);  // keeps what the file holds beyond these keys
  SaveAppSettings(ini, settings, windowState, programDir);
  bool saved = ini.UpdateFile();
  if (!saved && error) *error = ini.LastError();
  return saved;
}
