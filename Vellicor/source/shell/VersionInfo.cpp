#include "VersionInfo.h"

#include <cstdio>
#include <filesystem>

#include "ProgramPathsU.h"
#include "VellicorVersion.h"

namespace {

const char* const KKeys[VersionStringCount] = {
    "CompanyName",    "FileDescription", "FileVersion",      "InternalName",
    "LegalCopyright", "LegalTrademarks", "OriginalFilename", "ProductName",
    "ProductVersion", "Comments",        "BuildFlags"};

const char* const KDisplayNames[VersionStringCount] = {
    "Company Name",    "File Description", "File Version",      "Internal Name",
    "Legal Copyright", "Legal Trademarks", "Original Filename", "Product Name",
    "Product Version", "Comments",         "Build Flags"};

struct TFlagName {
  TFileFlag Flag;
  const char* Name;
};
const TFlagName KFlagNames[] = {{ffDebug, "Debug"},     {ffInfoInferred, "Info Inferred"},
                                {ffPatched, "Patched"}, {ffPreRelease, "Pre-Release"},
                                {ffPrivate, "Private"}, {ffSpecial, "Special"}};

TVersionData MakeProgramData() {
  TVersionData data;
  TVersionNumberInformation version{VELLICOR_VERSION_MAJOR, VELLICOR_VERSION_MINOR,
                                    VELLICOR_VERSION_PATCH, VELLICOR_VERSION_BUILD};
  data.Fixed.FileVersion = version;
  data.Fixed.ProductVersion = version;
  data.Fixed.FileFlags = VELLICOR_DEBUG_BUILD ? uint32_t{ffDebug} : 0u;
  data.Translations = {{0x0409, 0x04E4}};
  data.Strings[1] = "Viewer for Quv sprite files and HPI archives";
  data.Strings[2] = VELLICOR_VERSION_STRING;
  data.Strings[3] = "vellicor";
  data.Strings[6] = "vellicor";
  data.Strings[7] = "Vellicor";
  data.Strings[8] = VELLICOR_VERSION_STRING;
  data.Strings[10] = VELLICOR_DEBUG_BUILD ? "Debug" : "Release";
  return data;
}

}  // namespace

std::string TVersionNumberInformation::ToString() const {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", Major, Minor, Release, Build);
  return text;
}

const TVersionData& ProgramVersionData() {
  static const TVersionData data = MakeProgramData();
  return data;
}

TVersionInfoResource::TVersionInfoResource(TVersionData data) {
  Assign(std::move(data));
}

void TVersionInfoResource::Assign(TVersionData data) {
  FData = std::move(data);
  FHasData = true;
  FTranslations.clear();
  for (auto [language, codePage] : FData.Translations) {
    char text[16];
    std::snprintf(text, sizeof text, "%.4X%.4X", language, codePage);
    FTranslations.push_back(text);
  }
}

void TVersionInfoResource::Load(const std::string& fileName) {
  FFileName = fileName;
  std::error_code ec;
  if (std::filesystem::equivalent(fileName, ProgramFilePath(), ec)) {
    Assign(ProgramVersionData());
  } else {
    FData = TVersionData();
    FHasData = false;
    FTranslations.clear();
  }
}

std::string TVersionInfoResource::Translation() const {
  if (TranslationIndex >= 0 && TranslationIndex < static_cast<int>(FTranslations.size()))
    return FTranslations[static_cast<size_t>(TranslationIndex)];
  return "040904E4";
}

std::string TVersionInfoResource::GetString(int index) const {
  if (!FHasData || index < 0 || index >= VersionStringCount) return {};
  // The one string table is held under the first translation.
  const std::string held = FTranslations.empty() ? "040904E4" : FTranslations.front();
  return Translation() == held ? FData.Strings[index] : std::string();
}

std::string TVersionInfoResource::FileFlagsText() const {
  std::string text;
  for (const TFlagName& flag : KFlagNames)
    if (FData.Fixed.FileFlags & flag.Flag)
      text += (text.empty() ? "" : ", ") + std::string(flag.Name);
  return text;
}

std::string TVersionInfoResource::VersionCaption() const {
  return "Version : " + FData.Fixed.FileVersion.ToString();
}

std::string TVersionInfoResource::KeyName(int index) {
  return index >= 0 && index < VersionStringCount ? KKeys[index] : "";
}

std::string TVersionInfoResource::DisplayName(int index) {
  return index >= 0 && index < VersionStringCount ? KDisplayNames[index] : "";
}
