#include "AppSettingsU.h"

#include <algorithm>
#include <array>
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
const char* const KBatchExport = "BatchExport";
// Read before the rest: it decides whether the stored bounds are read.
const char* const KWindowState = "WindowState";

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

int NormalizeTransparentIndex(int index) {
  return std::clamp(index, -1, 255);
}

int NormalizeExportDialogOption(int option) {
  return std::max(0, option);
}

int NormalizeBatchExportPalette(int choice) {
  return choice >= 0 && choice <= 2 ? choice : 0;
}

// Long: the table itself, one setting a row.
const std::vector<TSettingInfo>& AppSettingsTable() {
  using R = TSettingRule;
  using S = TAppSettings;
  static const std::vector<TSettingInfo> table = {
      {KWindowPos, "Top", &TWindowBounds::Top, {}, R::WindowBounds},
      {KWindowPos, "Left", &TWindowBounds::Left, {}, R::WindowBounds},
      {KWindowPos, "Width", &TWindowBounds::Width, {}, R::WindowBounds},
      {KWindowPos, "Height", &TWindowBounds::Height, {}, R::WindowBounds},
      {KWindowPos, KWindowState, &S::WindowState, {}, R::WindowState},
      {KWindowPos, "SeperatorWidth", &S::SeperatorWidth, -1},
      {KWindowPos, "ImageNameWidth", &S::ImageNameWidth, -1},
      {KWindowPos, "FrameWidth", &S::FrameWidth, -1},
      {KWindowPos, "AnimatedWidth", &S::AnimatedWidth, -1},

      {KSettings, "Animated", &S::Animated, true, R::Plain, nullptr, tgAnimated},
      {KSettings, "AnimationSpeed", &S::AnimationSpeed, 67},
      {KSettings, "AutoCentre", &S::AutoCentre, false, R::Plain, nullptr, tgAutoCentre},
      {KSettings, "AutoSelect1stImage", &S::AutoSelect1stImage, true, R::Plain, nullptr,
       tgAutoSelect1stImage},
      {KSettings, "ViewSubFrames", &S::ViewSubFrames, false, R::Plain, nullptr, tgViewSubFrames},
      {KSettings, "Transparent", &S::Transparent, true, R::Plain, nullptr, tgTransparent},
      {KSettings, "BackGroundColor", &S::BackGroundColor, int(clWhite), R::Colour},
      {KSettings, "ExportFrameWhenExportFrameData", &S::ExportFrameWhenExportFrameData, false,
       R::Plain, nullptr, tgExportFrameWhenExportFrameData},
      {KSettings, "AutoPad", &S::AutoPad, true, R::Plain, nullptr, tgAutoPad},
      {KSettings, "AutoPadAll", &S::AutoPadAll, false, R::Plain, nullptr, tgAutoPadAll},
      {KSettings, "RememberExportSettings", &S::RememberExportSettings, false},
      {KSettings, "ExportImageBitDepth", &S::ExportImageBitDepth, 24, R::Plain,
       NormalizeExportBitDepth},
      {KSettings, "FrameDataExportType", &S::FrameDataExportType, 0, R::Plain,
       NormalizeFrameDataExportType},
      {KSettings, "ArchiveSearchFilter", &S::ArchiveSearchFilter, "*.quv"},
      {KSettings, "Filter", &S::Filter, DefaultOpenFilter},
      {KSettings, "FilterIndex", &S::FilterIndex, 1},
      {KSettings, "PreLoad", &S::PreLoad, true, R::Plain, nullptr, tgPreLoad},
      {KSettings, "PreLoadCount", &S::PreLoadCount, 5},
      {KSettings, "SaveLastDir", &S::SaveLastDir, {}, R::Folder},
      {KSettings, "LoadLastDir", &S::LoadLastDir, {}, R::Folder},

      {KHistoryList, "MaxHistoryListSize", &S::MaxHistoryListSize, 5},
      {KHistoryList, "HistoryList", &S::HistoryList, {}, R::History},

      {KExport, "Format", &S::ExportFormat, "bmp"},
      {KExport, "Scale", &S::ExportScale, 1, R::Plain, NormalizeExportScale},
      {KExport, "DialogOption", &S::ExportDialogOption, 0, R::Plain, NormalizeExportDialogOption},

      {KView, "Zoom", &S::Zoom, 1, R::Plain, NormalizeZoom},
      {KView, "Fit", &S::Fit, false, R::Plain, nullptr, tgFit},
      {KView, "Tabs", &S::Tabs, false, R::Plain, nullptr, tgTabs},
      {KView, "Checkerboard", &S::Checkerboard, false, R::Plain, nullptr, tgCheckerboard},
      {KView, "Crosshair", &S::Crosshair, false, R::Plain, nullptr, tgCrosshair},
      {KView, "FrameBounds", &S::FrameBounds, false, R::Plain, nullptr, tgFrameBounds},
      {KView, "SubFrameOutline", &S::SubFrameOutline, false, R::Plain, nullptr, tgSubFrameOutline},
      {KView, "OnionSkin", &S::OnionSkin, false, R::Plain, nullptr, tgOnionSkin},
      {KView, "Palette", &S::PaletteFile, ""},
      // Beside the palette file; absent: the palette's own index.
      {KView, "TransparentIndex", &S::TransparentIndex, -1, R::UnlessDefault,
       NormalizeTransparentIndex},
      {KView, "FitNewViews", &S::FitNewViews, false, R::UnlessDefault},
      {KView, "FrameStrip", &S::FrameStrip, true, R::UnlessDefault, nullptr, tgFrameStrip},
      {KBatchExport, "Folder", &S::BatchExportFolder, "", R::UnlessDefault},
      {KBatchExport, "Format", &S::BatchExportFormat, "png", R::UnlessDefault},
      {KBatchExport, "Scale", &S::BatchExportScale, 1, R::UnlessDefault, NormalizeExportScale},
      {KBatchExport, "Palette", &S::BatchExportPalette, 0, R::UnlessDefault,
       NormalizeBatchExportPalette},
      {KBatchExport, "PaletteFile", &S::BatchExportPaletteFile, "", R::UnlessDefault},
      {KBatchExport, "SubFolders", &S::BatchExportSubFolders, true, R::UnlessDefault},
  };
  return table;
}

bool TAppSettings::*ToggleField(TToggle toggle) {
  static const auto fields = [] {
    std::array<bool TAppSettings::*, tgToggleCount> found{};
    for (const TSettingInfo& info : AppSettingsTable())
      if (info.Toggle >= 0) found[size_t(info.Toggle)] = std::get<bool TAppSettings::*>(info.Field);
    return found;
  }();
  return fields[size_t(toggle)];
}

TAppSettings::TAppSettings() {
  for (const TSettingInfo& info : AppSettingsTable()) {
    if (const auto* field = std::get_if<int TAppSettings::*>(&info.Field)) {
      if (const int* value = std::get_if<int>(&info.Default)) this->*(*field) = *value;
    } else if (const auto* flag = std::get_if<bool TAppSettings::*>(&info.Field)) {
      this->*(*flag) = std::get<bool>(info.Default);
    } else if (const auto* text = std::get_if<std::string TAppSettings::*>(&info.Field)) {
      if (const auto* value = std::get_if<const char*>(&info.Default)) this->*(*text) = *value;
    }
  }
}

namespace {

int Normalized(const TSettingInfo& info, int value) {
  return info.Normalize ? info.Normalize(value) : value;
}

// One key into its field; `s` holds what an absent key of a kept value keeps.
void ReadSetting(const TIniFile& ini, const TSettingInfo& info, TAppSettings& s,
                 const std::string& programDir) {
  const TSettingDefault& fallback = info.Default;
  if (const auto* bound = std::get_if<int TWindowBounds::*>(&info.Field)) {
    s.Bounds.*(*bound) = ini.ReadInteger(info.Section, info.Key, s.Bounds.*(*bound));
  } else if (const auto* field = std::get_if<int TAppSettings::*>(&info.Field)) {
    int& value = s.*(*field);
    if (info.Rule == TSettingRule::Colour) {
      // An unreadable colour falls back to the default instead of failing the whole start.
      const TColor standard = std::get<int>(fallback);
      if (!TryStringToColor(ini.ReadString(info.Section, info.Key, ColorToString(standard)), value))
        value = standard;
    } else if (info.Rule != TSettingRule::WindowState) {
      value = Normalized(info, ini.ReadInteger(info.Section, info.Key, std::get<int>(fallback)));
    }
  } else if (const auto* flag = std::get_if<bool TAppSettings::*>(&info.Field)) {
    s.*(*flag) = ini.ReadBool(info.Section, info.Key, std::get<bool>(fallback));
  } else if (const auto* text = std::get_if<std::string TAppSettings::*>(&info.Field)) {
    std::string& value = s.*(*text);
    if (info.Rule == TSettingRule::Folder)
      value = WithoutTrailingSeparator(ini.ReadString(info.Section, info.Key, value));
    else
      value = ini.ReadString(info.Section, info.Key, std::get<const char*>(fallback));
  } else if (const auto* list =
                 std::get_if<std::vector<std::string> TAppSettings::*>(&info.Field)) {
    s.*(*list) = DecodeHistoryList(ini.ReadString(info.Section, info.Key, ""), programDir);
  }
}

// One field into its key.
void WriteSetting(TIniFile& ini, const TSettingInfo& info, const TAppSettings& s, int windowState,
                  const std::string& programDir) {
  if (const auto* bound = std::get_if<int TWindowBounds::*>(&info.Field)) {
    ini.WriteInteger(info.Section, info.Key, s.Bounds.*(*bound));
  } else if (const auto* field = std::get_if<int TAppSettings::*>(&info.Field)) {
    const int value = Normalized(info, s.*(*field));
    if (info.Rule == TSettingRule::WindowState)
      ini.WriteInteger(info.Section, info.Key, windowState);
    else if (info.Rule == TSettingRule::Colour)
      ini.WriteString(info.Section, info.Key, ColorToString(value));
    else if (info.Rule == TSettingRule::UnlessDefault && value == std::get<int>(info.Default))
      ini.DeleteKey(info.Section, info.Key);
    else
      ini.WriteInteger(info.Section, info.Key, value);
  } else if (const auto* flag = std::get_if<bool TAppSettings::*>(&info.Field)) {
    if (info.Rule == TSettingRule::UnlessDefault && s.*(*flag) == std::get<bool>(info.Default))
      ini.DeleteKey(info.Section, info.Key);
    else
      ini.WriteBool(info.Section, info.Key, s.*(*flag));
  } else if (const auto* text = std::get_if<std::string TAppSettings::*>(&info.Field)) {
    const std::string& value = s.*(*text);
    if (info.Rule == TSettingRule::UnlessDefault && value == std::get<const char*>(info.Default))
      ini.DeleteKey(info.Section, info.Key);
    else
      ini.WriteString(info.Section, info.Key,
                      info.Rule == TSettingRule::Folder ? WithoutTrailingSeparator(value) : value);
  } else if (const auto* list =
                 std::get_if<std::vector<std::string> TAppSettings::*>(&info.Field)) {
    ini.WriteString(info.Section, info.Key, EncodeHistoryList(s.*(*list), programDir));
  }
}

}  // namespace

int ReadWindowState(const TIniFile& ini, int fallback) {
  return ini.ReadInteger(KWindowPos, KWindowState, fallback);
}

void LoadAppSettings(const TIniFile& ini, TAppSettings& s, const std::string& programDir) {
  const int state = ReadWindowState(ini, s.WindowState);
  const bool knownState = state >= wsNormal && state <= wsMaximized;
  if (knownState) s.WindowState = state;
  for (const TSettingInfo& info : AppSettingsTable())
    if (info.Rule != TSettingRule::WindowBounds || knownState)
      ReadSetting(ini, info, s, programDir);
}

void SaveAppSettings(TIniFile& ini, const TAppSettings& s, int windowState,
                     const std::string& programDir) {
  for (const TSettingInfo& info : AppSettingsTable())
    if (info.Rule != TSettingRule::WindowBounds || windowState == wsNormal)
      WriteSetting(ini, info, s, windowState, programDir);
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
