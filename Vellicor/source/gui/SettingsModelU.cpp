#include "SettingsModelU.h"

#include <algorithm>

#include <QAction>
#include <QDir>

#include "ConsoleU.h"
#include "IniFileU.h"
#include "QtStringU.h"

namespace {

// The words of each toggle's command; its setting is the settings table's.
struct TToggleInfo {
  const char* Caption;
  const char* Hint;
};

// In the order of TToggle.
const TToggleInfo Toggles[tgToggleCount] = {
    {"Auto Select 1st Image", "Auto selects the 1st image  when a quv is loaded"},
    {"Animate Image", "Animate images if there is more than 1 frame"},
    {"View Subframes", "Toggles viewing the individual subframes"},
    {"Auto Centre",
     "Forces the image to occur in the centre(may cause image to animate incorrectly)"},
    {"Transparent", "Toggles image transparency"},
    {"Pre-load Image", "Preloads several frames ahead of the current frame"},
    {"AutoPad exported frames", "Causes exported frames to all have the same "},
    {"Generate autopad data from selected frames",
     "Generates autopad data from selected frames, instead of from all the frames"},
    {"Export Frame when Exporting Frame Data", ""},
    {"Fit", "Zoom to fit|Shows the image at the largest zoom at which every frame fits"},
    {"Tabs", "Show views as tabs|Shows the open files as tabs instead of windows"},
    {"Checkerboard",
     "Checkerboard behind transparent pixels|Draws a checkerboard instead of the background colour "
     "where pixels are transparent"},
    {"Hot-spot Crosshair", "Hot-spot crosshair|Marks the image's hot spot with a crosshair"},
    {"Frame Bounds", "Frame bounds|Outlines the frame's rectangle"},
    {"Sub-frame Outline",
     "Sub-frame outline|In sub-frame mode, outlines the sub-frame inside its frame"},
    {"Onion Skin", "Onion skin|Draws the previous frame faintly under the current one"},
    {"Frame Strip", "Frame strip|Shows every frame of the image in a strip under the picture"},
};

}  // namespace

QString ToggleCaption(TToggle toggle) {
  return QString::fromUtf8(Toggles[toggle].Caption);
}

QString ToggleHint(TToggle toggle) {
  return QString::fromUtf8(Toggles[toggle].Hint);
}

TSettingsModel::TSettingsModel(const QString& fileName, const QString& programFolder,
                               QObject* parent)
    : QObject(parent), FFileName(fileName), FProgramFolder(programFolder) {
  FValues.MaxHistoryListSize = FHistory.MaxSize();
  FHistory.OnInsertedAtTop = [this](const std::string& name) {
    emit historyInserted(FromStd(name));
  };
  FHistory.OnMovedToTop = [this](size_t from) { emit historyMovedToTop(int(from)); };
  FHistory.OnRemovedOldest = [this](const std::string&) { emit historyOldestRemoved(); };
}

TSettingsModel::~TSettingsModel() {
  FHistory.OnInsertedAtTop = nullptr;
  FHistory.OnMovedToTop = nullptr;
  FHistory.OnRemovedOldest = nullptr;
}

template <typename T>
bool TSettingsModel::Store(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  Save();
  return true;
}

// ---- File ----

void TSettingsModel::Load() {
  TUpdate update(*this);
  TAppSettings values;
  const TWindowPlacement current = Placement ? Placement() : TWindowPlacement{};
  values.Bounds = current.Bounds;
  values.WindowState = current.State;
  values.SaveLastDir = values.LoadLastDir = ToStd(QDir::currentPath());
  const TIniFile ini(ToStd(FFileName));
  FLoadedWindowState = ReadWindowState(ini, current.State);
  LoadAppSettings(ini, values, ToStd(FProgramFolder));
  FValues.Bounds = values.Bounds;
  FValues.WindowState = values.WindowState;
  Apply(values);
}

// Each value through its setter, so that every window hears of what changed.
void TSettingsModel::Apply(const TAppSettings& values) {
  FValues.SeperatorWidth = values.SeperatorWidth;
  for (int column = 0; column < 3; ++column) {
    const int widths[3] = {values.ImageNameWidth, values.AnimatedWidth, values.FrameWidth};
    SetColumnWidth(column, widths[column]);
  }
  for (int toggle = 0; toggle < tgToggleCount; ++toggle)
    SetToggle(TToggle(toggle), values.*ToggleField(TToggle(toggle)));
  SetAnimationSpeed(values.AnimationSpeed);
  SetBackGroundColor(uint32_t(values.BackGroundColor));
  SetRememberExportSettings(values.RememberExportSettings);
  TPixelFormat format = pf24bit;
  PixelFormatFromBits(values.ExportImageBitDepth, format);
  SetExportBitDepth(format);
  SetFrameDataExportType(values.FrameDataExportType);
  TExportFormat exportFormat = efBmp;
  ExportFormatFromName(values.ExportFormat, exportFormat);
  SetExportFormat(exportFormat);
  SetExportScale(values.ExportScale);
  SetExportDialogOption(values.ExportDialogOption);
  SetZoom(values.Zoom);
  FValues.PaletteFile = values.PaletteFile;
  FValues.TransparentIndex = values.TransparentIndex;
  FValues.FitNewViews = values.FitNewViews;
  FValues.ArchiveSearchFilter = values.ArchiveSearchFilter;
  FValues.Filter = values.Filter;
  FValues.FilterIndex = values.FilterIndex;
  FValues.PreLoadCount = values.PreLoadCount;
  FValues.SaveLastDir = values.SaveLastDir;
  FValues.LoadLastDir = values.LoadLastDir;
  SetBatchExport(BatchExportOf(values));
  SetMaxHistoryListSize(values.MaxHistoryListSize);
  for (auto name = values.HistoryList.rbegin(); name != values.HistoryList.rend(); ++name)
    AddToHistory(FromStd(*name));
}

void TSettingsModel::Save(std::optional<int> windowState) {
  if (FUpdating) return;
  TAppSettings values = FValues;
  if (Placement) {
    const TWindowPlacement placement = Placement();
    values.Bounds = placement.Bounds;
    values.WindowState = placement.State;
  }
  if (windowState) values.WindowState = *windowState;
  values.HistoryList = FHistory.Items();
  TIniFile ini(ToStd(FFileName));
  SaveAppSettings(ini, values, values.WindowState, ToStd(FProgramFolder));
  if (!ini.UpdateFile() && Console)
    Console->Log(LogLevel::Warning, "Could not write the settings file: " + ini.LastError());
}

// ---- Toggles ----

bool TSettingsModel::Toggle(TToggle toggle) const {
  return FValues.*ToggleField(toggle);
}

void TSettingsModel::SetToggle(TToggle toggle, bool on) {
  bool& field = FValues.*ToggleField(toggle);
  if (field == on) return;
  field = on;
  emit toggleChanged(toggle, on);
  // What a toggle command does beyond storing the state, it does only outside Updating.
  if (FUpdating) return;
  Save();
  switch (toggle) {
    case tgAnimated:
    case tgPreLoad:
      emit playbackChanged(Preloading());
      break;
    case tgViewSubFrames:
      emit subFramesChanged(on);
      break;
    case tgAutoCentre:
    case tgTransparent:
      emit displayChanged();
      break;
    case tgAutoPad:
    case tgAutoPadAll:
    case tgExportFrameWhenExportFrameData:
      emit exportOptionsChanged();
      break;
    case tgCheckerboard:
    case tgCrosshair:
    case tgFrameBounds:
    case tgSubFrameOutline:
    case tgOnionSkin:
      emit canvasAidsChanged();
      break;
    case tgTabs:
      emit tabsChanged(on);
      break;
    default:
      break;
  }
}

void TSettingsModel::ToggleCommand(TToggle toggle) {
  if (FUpdating) return;
  SetToggle(toggle, !Toggle(toggle));
}

// ---- Values ----

void TSettingsModel::SetSeperatorWidth(int width) {
  if (Store(FValues.SeperatorWidth, width)) emit seperatorWidthChanged(width);
}

int TSettingsModel::ColumnWidth(int column) const {
  switch (column) {
    case 0:
      return FValues.ImageNameWidth;
    case 1:
      return FValues.AnimatedWidth;
    case 2:
      return FValues.FrameWidth;
    default:
      return -1;
  }
}

void TSettingsModel::SetColumnWidth(int column, int width) {
  int* fields[3] = {&FValues.ImageNameWidth, &FValues.AnimatedWidth, &FValues.FrameWidth};
  if (column < 0 || column > 2) return;
  if (Store(*fields[column], width)) emit columnWidthChanged(column, width);
}

void TSettingsModel::SetAnimationSpeed(int speed) {
  if (Store(FValues.AnimationSpeed, speed)) emit animationSpeedChanged(speed);
}

void TSettingsModel::SetBackGroundColor(uint32_t colour) {
  if (Store(FValues.BackGroundColor, TColor(colour))) emit displayChanged();
}

TPixelFormat TSettingsModel::ExportBitDepth() const {
  TPixelFormat format = pf24bit;
  PixelFormatFromBits(FValues.ExportImageBitDepth, format);
  return format;
}

void TSettingsModel::SetExportBitDepth(TPixelFormat format) {
  if (Store(FValues.ExportImageBitDepth, NormalizeExportBitDepth(PixelFormatBits(format))))
    emit exportOptionsChanged();
}

void TSettingsModel::SetFrameDataExportType(int type) {
  if (Store(FValues.FrameDataExportType, NormalizeFrameDataExportType(type)))
    emit exportOptionsChanged();
}

void TSettingsModel::SetExportDialogOption(int option) {
  Store(FValues.ExportDialogOption, std::max(0, option));
}

void TSettingsModel::SetZoom(int zoom) {
  Store(FValues.Zoom, NormalizeZoom(zoom));
}

void TSettingsModel::SetFitNewViews(bool on) {
  Store(FValues.FitNewViews, on);
}

QString TSettingsModel::PaletteFile() const {
  return FromStd(FValues.PaletteFile);
}

void TSettingsModel::SetPaletteFile(const QString& fileName) {
  SetPalette(fileName, -1);
}

void TSettingsModel::SetTransparentIndex(int index) {
  SetPalette(PaletteFile(), index);
}

bool TSettingsModel::SetPalette(const QString& fileName, int transparentIndex) {
  transparentIndex = NormalizeTransparentIndex(transparentIndex);
  const std::string name = ToStd(fileName);
  const bool newFile = name != FValues.PaletteFile;
  if (!newFile && transparentIndex == FValues.TransparentIndex) return false;
  FValues.PaletteFile = name;
  FValues.TransparentIndex = transparentIndex;
  Save();
  if (newFile)
    emit paletteChanged(fileName);
  else
    emit transparentIndexChanged(transparentIndex);
  return true;
}

TExportFormat TSettingsModel::ExportFormat() const {
  TExportFormat format = efBmp;
  ExportFormatFromName(FValues.ExportFormat, format);
  return format;
}

void TSettingsModel::SetExportFormat(TExportFormat format) {
  if (Store(FValues.ExportFormat, std::string(ExportFormatName(format))))
    emit exportOptionsChanged();
}

void TSettingsModel::SetExportScale(int scale) {
  if (Store(FValues.ExportScale, NormalizeExportScale(scale))) emit exportOptionsChanged();
}

void TSettingsModel::SetRememberExportSettings(bool on) {
  Store(FValues.RememberExportSettings, on);
}

QString TSettingsModel::ArchiveSearchFilter() const {
  return FromStd(FValues.ArchiveSearchFilter);
}

void TSettingsModel::SetArchiveSearchFilter(const QString& filter) {
  Store(FValues.ArchiveSearchFilter, ToStd(filter));
}

QString TSettingsModel::OpenFilter() const {
  return FromStd(FValues.Filter);
}

void TSettingsModel::SetOpenFilter(const QString& filter) {
  Store(FValues.Filter, ToStd(filter));
}

void TSettingsModel::SetOpenFilterIndex(int index) {
  Store(FValues.FilterIndex, index);
}

void TSettingsModel::SetPreLoadCount(int count) {
  Store(FValues.PreLoadCount, count);
}

TBatchExportChoices TSettingsModel::BatchExportOf(const TAppSettings& values) {
  TBatchExportChoices choices;
  choices.Folder = FromStd(values.BatchExportFolder);
  choices.Format = efPng;
  ExportFormatFromName(values.BatchExportFormat, choices.Format);
  choices.Scale = NormalizeExportScale(values.BatchExportScale);
  choices.Palette = NormalizeBatchExportPalette(values.BatchExportPalette);
  choices.PaletteFile = FromStd(values.BatchExportPaletteFile);
  choices.SubFolders = values.BatchExportSubFolders;
  return choices;
}

TBatchExportChoices TSettingsModel::BatchExport() const {
  return BatchExportOf(FValues);
}

void TSettingsModel::SetBatchExport(const TBatchExportChoices& choices) {
  TAppSettings values = FValues;
  values.BatchExportFolder = WithoutTrailingSeparator(ToStd(choices.Folder));
  values.BatchExportFormat = ExportFormatName(choices.Format);
  values.BatchExportScale = NormalizeExportScale(choices.Scale);
  values.BatchExportPalette = NormalizeBatchExportPalette(choices.Palette);
  values.BatchExportPaletteFile = ToStd(choices.PaletteFile);
  values.BatchExportSubFolders = choices.SubFolders;
  if (BatchExportOf(values) == BatchExportOf(FValues)) return;
  FValues = values;
  Save();
}

QString TSettingsModel::SaveLastDir() const {
  return FromStd(FValues.SaveLastDir);
}

void TSettingsModel::SetSaveLastDir(const QString& dir) {
  Store(FValues.SaveLastDir, WithoutTrailingSeparator(ToStd(dir)));
}

QString TSettingsModel::LoadLastDir() const {
  return FromStd(FValues.LoadLastDir);
}

void TSettingsModel::SetLoadLastDir(const QString& dir) {
  Store(FValues.LoadLastDir, WithoutTrailingSeparator(ToStd(dir)));
}

// ---- History ----

void TSettingsModel::SetMaxHistoryListSize(int limit) {
  if (limit < 0) limit = 0;
  FHistory.SetMaxSize(limit);
  FValues.MaxHistoryListSize = limit;
  Save();
}

void TSettingsModel::AddToHistory(const QString& name) {
  if (FHistory.Add(ToStd(name))) Save();
}

QStringList TSettingsModel::HistoryEntries() const {
  QStringList names;
  for (const std::string& name : FHistory.Items()) names << FromStd(name);
  return names;
}

// ---- Commands ----

void SetActionHint(QAction* action, const QString& hint) {
  const qsizetype bar = hint.indexOf('|');
  action->setToolTip(bar >= 0 ? hint.left(bar) : hint);
  action->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
}

QAction* MakeToggleAction(TSettingsModel* settings, TToggle toggle, QObject* parent) {
  auto* action = new QAction(ToggleCaption(toggle), parent);
  action->setCheckable(true);
  action->setChecked(settings->Toggle(toggle));
  SetActionHint(action, ToggleHint(toggle));
  // The action shows the setting; setting its state by hand sets the setting.
  QObject::connect(action, &QAction::toggled, settings,
                   [settings, toggle](bool on) { settings->SetToggle(toggle, on); });
  QObject::connect(settings, &TSettingsModel::toggleChanged, action,
                   [action, toggle](TToggle changed, bool on) {
                     if (changed == toggle && action->isChecked() != on) action->setChecked(on);
                   });
  // A trigger has inverted the state already: while Updating the command does nothing, so the
  // state goes back.
  QObject::connect(action, &QAction::triggered, settings, [settings, action](bool checked) {
    if (settings->Updating()) action->setChecked(!checked);
  });
  return action;
}
