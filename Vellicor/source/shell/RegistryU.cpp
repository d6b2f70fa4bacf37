#include "RegistryU.h"

#include <algorithm>
#include <functional>
#include <map>

#include "IniFileU.h"
#include "ProgramPathsU.h"
#include "StringUtilsU.h"

namespace {

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return result;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

constexpr std::string_view KDefaultValueName = "@";  // how the file names the default value
// Keys nest at most this deep, as in the desktop registry; it also bounds the recursion of
// walking and freeing the tree whatever a damaged file holds.
constexpr size_t KMaxKeyDepth = 512;

}  // namespace

// Children and values are held by lower-case name (so they enumerate in name order, as the
// desktop registry does) and keep the spelling they were created with.
struct TMemoryRegistry::TKey {
  std::string Name;
  std::map<std::string, std::pair<std::string, std::string>> Values;
  std::map<std::string, std::unique_ptr<TKey>> Children;

  TKey* Child(std::string_view name) const {
    auto found = Children.find(Lower(name));
    return found == Children.end() ? nullptr : found->second.get();
  }
  std::pair<std::string, std::string>* Value(std::string_view name) {
    auto found = Values.find(Lower(name));
    return found == Values.end() ? nullptr : &found->second;
  }
};

const char* RegistryRootName(TRegistryRoot root) {
  return root == TRegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT";
}

TMemoryRegistry::TMemoryRegistry()
    : FCurrentUser(std::make_unique<TKey>()), FClassesRoot(std::make_unique<TKey>()) {}

TMemoryRegistry::~TMemoryRegistry() = default;

void TMemoryRegistry::Clear() {
  FCurrentUser = std::make_unique<TKey>();
  FClassesRoot = std::make_unique<TKey>();
}

TMemoryRegistry::TKey* TMemoryRegistry::Find(TRegistryRoot root, std::string_view path) const {
  TKey* key = root == TRegistryRoot::CurrentUser ? FCurrentUser.get() : FClassesRoot.get();
  for (const std::string& part : SplitString(path, '\\', TEmptyParts::Skip)) {
    key = key->Child(part);
    if (!key) return nullptr;
  }
  return key;
}

TMemoryRegistry::TKey* TMemoryRegistry::Create(TRegistryRoot root, std::string_view path) {
  TKey* key = root == TRegistryRoot::CurrentUser ? FCurrentUser.get() : FClassesRoot.get();
  const std::vector<std::string> parts = SplitString(path, '\\', TEmptyParts::Skip);
  if (parts.size() > KMaxKeyDepth) return nullptr;
  for (const std::string& part : parts) {
    TKey* child = key->Child(part);
    if (!child) {
      auto& slot = key->Children[Lower(part)];
      slot = std::make_unique<TKey>();
      child = slot.get();
      child->Name = std::string(part);
      FChanged = true;
    }
    key = child;
  }
  return key;
}

bool TMemoryRegistry::KeyExists(TRegistryRoot root, std::string_view path) const {
  return Find(root, path) != nullptr;
}

bool TMemoryRegistry::OpenKey(TRegistryRoot root, std::string_view path, bool canCreate) {
  return canCreate ? Create(root, path) != nullptr : Find(root, path) != nullptr;
}

bool TMemoryRegistry::DeleteKey(TRegistryRoot root, std::string_view path) {
  std::vector<std::string> parts = SplitString(path, '\\', TEmptyParts::Skip);
  if (parts.empty()) return false;  // a root is never deleted
  const std::string last = std::move(parts.back());
  parts.pop_back();
  TKey* parent = root == TRegistryRoot::CurrentUser ? FCurrentUser.get() : FClassesRoot.get();
  for (const std::string& part : parts) {
    parent = parent->Child(part);
    if (!parent) return false;
  }
  if (parent->Children.erase(Lower(last)) == 0) return false;
  FChanged = true;
  return true;
}

std::vector<std::string> TMemoryRegistry::SubKeys(TRegistryRoot root, std::string_view path) const {
  std::vector<std::string> names;
  if (const TKey* key = Find(root, path))
    for (const auto& [lower, child] : key->Children) names.push_back(child->Name);
  return names;
}

bool TMemoryRegistry::ValueExists(TRegistryRoot root, std::string_view path,
                                  std::string_view name) const {
  TKey* key = Find(root, path);
  return key && key->Value(name);
}

std::optional<std::string> TMemoryRegistry::ReadString(TRegistryRoot root, std::string_view path,
                                                       std::string_view name) const {
  TKey* key = Find(root, path);
  if (!key) return std::nullopt;
  auto* value = key->Value(name);
  if (!value) return std::nullopt;
  return value->second;
}

bool TMemoryRegistry::WriteString(TRegistryRoot root, std::string_view path, std::string_view name,
                                  std::string_view value) {
  TKey* key = Find(root, path);
  if (!key) return false;
  if (auto* existing = key->Value(name))
    existing->second = std::string(value);
  else
    key->Values.emplace(Lower(name), std::pair(std::string(name), std::string(value)));
  FChanged = true;
  return true;
}

bool TMemoryRegistry::DeleteValue(TRegistryRoot root, std::string_view path,
                                  std::string_view name) {
  TKey* key = Find(root, path);
  if (!key) return false;
  if (key->Values.erase(Lower(name)) == 0) return false;
  FChanged = true;
  return true;
}

template <typename F>
void TMemoryRegistry::ForEachKey(F&& visit) const {
  std::function<void(TRegistryRoot, const std::string&, const TKey&)> walk =
      [&](TRegistryRoot root, const std::string& path, const TKey& key) {
        for (const auto& [lower, child] : key.Children) {
          std::string childPath = path.empty() ? child->Name : path + '\\' + child->Name;
          visit(root, childPath, *child);
          walk(root, childPath, *child);
        }
      };
  walk(TRegistryRoot::CurrentUser, "", *FCurrentUser);
  walk(TRegistryRoot::ClassesRoot, "", *FClassesRoot);
}

std::string TMemoryRegistry::Dump() const {
  std::string text;
  ForEachKey([&](TRegistryRoot root, const std::string& path, const TKey& key) {
    text += std::string(RegistryRootName(root)) + '\\' + path + '\n';
    for (const auto& [lower, named] : key.Values)
      text +=
          "  " + (named.first.empty() ? std::string("@") : named.first) + "=" + named.second + '\n';
  });
  return text;
}

TFileRegistry::TFileRegistry(std::string fileName) : FFileName(std::move(fileName)) {
  TIniFile file(FFileName);
  for (const std::string& section : file.ReadSections()) {
    size_t separator = section.find('\\');
    std::string_view rootName = std::string_view(section).substr(0, separator);
    TRegistryRoot root;
    if (SameName(rootName, RegistryRootName(TRegistryRoot::CurrentUser)))
      root = TRegistryRoot::CurrentUser;
    else if (SameName(rootName, RegistryRootName(TRegistryRoot::ClassesRoot)))
      root = TRegistryRoot::ClassesRoot;
    else
      continue;  // not ours
    std::string path = separator == std::string::npos ? "" : section.substr(separator + 1);
    if (!Create(root, path)) continue;
    for (const std::string& name : file.ReadSection(section))
      WriteString(root, path, name == KDefaultValueName ? "" : name,
                  file.ReadString(section, name, ""));
  }
  FChanged = false;
}

TFileRegistry::~TFileRegistry() {
  Flush();
}

bool TFileRegistry::Flush() {
  if (!FChanged) return true;
  TIniFile file(FFileName);
  file.SetText("");
  ForEachKey([&](TRegistryRoot root, const std::string& path, const TKey& key) {
    std::string section = std::string(RegistryRootName(root)) + '\\' + path;
    file.AddSection(section);
    for (const auto& [lower, named] : key.Values)
      file.WriteString(section, named.first.empty() ? std::string(KDefaultValueName) : named.first,
                       named.second);
  });
  if (!file.UpdateFile()) return false;
  FChanged = false;
  return true;
}

std::string DefaultRegistryFileName() {
  return VellicorConfigDir() + "/registry.ini";
}
