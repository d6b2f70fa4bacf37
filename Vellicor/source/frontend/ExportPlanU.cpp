#include "ExportPlanU.h"

#include <cstring>
#include <filesystem>

#include "SafeFileU.h"
#include "StringUtilsU.h"

void WriteWholeFile(const std::string& fileName, const void* data, size_t size) {
  const std::filesystem::path target(fileName);
  try {
    TAtomicFile file(TOutputFolder::Open(target.parent_path().string(), false),
                     target.filename().string());
    file.Write(data, size);
    file.Commit();
  } catch (const EDiskFileError& error) {
    const std::string reason = error.Code == 0 ? error.what() : std::strerror(error.Code);
    throw EInOutError(Format("Cannot create file \"%s\". %s", fileName.c_str(), reason.c_str()));
  }
}

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
  WriteWholeFile(fileName, data, size);
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
