#include "ExportPlanU.h"

#include <cstring>
#include <filesystem>

#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace {

void WriteWholeFileIn(const TOutputFolder& folder, const std::string& fileName, const void* data,
                      size_t size) {
  try {
    TAtomicFile file(folder, std::filesystem::path(fileName).filename().string());
    file.Write(data, size);
    file.Commit();
  } catch (const EDiskFileError& error) {
    const std::string reason = error.Code == 0 ? error.what() : std::strerror(error.Code);
    throw EInOutError(Format("Cannot create file \"%s\". %s", fileName.c_str(), reason.c_str()));
  }
}

TOutputFolder OpenFolderOf(const std::string& fileName) {
  try {
    return TOutputFolder::Open(std::filesystem::path(fileName).parent_path().string(), false);
  } catch (const EDiskFileError& error) {
    const std::string reason = error.Code == 0 ? error.what() : std::strerror(error.Code);
    throw EInOutError(Format("Cannot create file \"%s\". %s", fileName.c_str(), reason.c_str()));
  }
}

}  // namespace

void WriteWholeFile(const std::string& fileName, const void* data, size_t size) {
  WriteWholeFileIn(OpenFolderOf(fileName), fileName, data, size);
}

TExportPlan::TExportPlan(TMode mode) : FMode(mode) {}

TExportPlan::~TExportPlan() = default;

void TExportPlan::Add(std::string_view fileName) {
  std::string name(fileName);
  if (FSeen.insert(name).second) FFiles.push_back(std::move(name));
}

bool TExportPlan::NamesOnly(std::initializer_list<std::string_view> fileNames) {
  if (FMode != TMode::NamesOnly) return false;
  for (std::string_view name : fileNames) Add(name);
  return true;
}

void TExportPlan::WriteFile(const std::string& fileName, const void* data, size_t size) {
  if (NamesOnly({fileName})) return;
  const std::string folder = std::filesystem::path(fileName).parent_path().string();
  if (!FFolder || folder != FFolderPath) {
    FFolder.reset();
    FFolder = std::make_unique<TOutputFolder>(OpenFolderOf(fileName));
    FFolderPath = folder;
  }
  WriteWholeFileIn(*FFolder, fileName, data, size);
  Add(fileName);
}

std::vector<std::string> PlannedExportFiles(const std::function<void(TExportPlan&)>& routine) {
  TExportPlan plan(TExportPlan::TMode::NamesOnly);
  routine(plan);
  return plan.Files();
}

std::vector<std::string> ExistingFiles(const std::vector<std::string>& fileNames) {
  std::vector<std::string> existing;
  for (const std::string& name : fileNames) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(name), error)) existing.push_back(name);
  }
  return existing;
}
