#pragma once
// A hierarchical key/value store in the manner of the desktop registry that the file
// association is written for: keys named by backslash paths below two roots, each key holding
// named string values and an unnamed default value (name ""). Key and value names compare
// without regard to ASCII case and keep the spelling they were created with.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TRegistryRoot {
  CurrentUser,  // the per-user root; file types live below "Software\Classes\"
  ClassesRoot,  // the machine-wide file types
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  virtual bool KeyExists(TRegistryRoot root, std::string_view path) const = 0;
  // Opens the key, creating it and any missing parents when `canCreate`; false when it does not
  // exist (and may not be created) or cannot be created.
  virtual bool OpenKey(TRegistryRoot root, std::string_view path, bool canCreate) = 0;
  // Deletes the key with all its sub-keys; false when there was no such key.
  virtual bool DeleteKey(TRegistryRoot root, std::string_view path) = 0;
  virtual std::vector<std::string> SubKeys(TRegistryRoot root, std::string_view path) const = 0;

  virtual bool ValueExists(TRegistryRoot root, std::string_view path,
                           std::string_view name) const = 0;
  // The value, or nothing when the key or the value is absent.
  virtual std::optional<std::string> ReadString(TRegistryRoot root, std::string_view path,
                                                std::string_view name) const = 0;
  // Writes into an existing key; false when the key does not exist.
  virtual bool WriteString(TRegistryRoot root, std::string_view path, std::string_view name,
                           std::string_view value) = 0;
  virtual bool DeleteValue(TRegistryRoot root, std::string_view path, std::string_view name) = 0;

  // Makes the changes so far durable; false when they could not be stored.
  virtual bool Flush() = 0;
};

// Held in memory only: for tests, and the base of the file-backed store.
class TMemoryRegistry : public IRegistry {
 public:
  TMemoryRegistry();
  ~TMemoryRegistry() override;

  bool KeyExists(TRegistryRoot root, std::string_view path) const override;
  bool OpenKey(TRegistryRoot root, std::string_view path, bool canCreate) override;
  bool DeleteKey(TRegistryRoot root, std::string_view path) override;
  std::vector<std::string> SubKeys(TRegistryRoot root, std::string_view path) const override;
  bool ValueExists(TRegistryRoot root, std::string_view path, std::string_view name) const override;
  std::optional<std::string> ReadString(TRegistryRoot root, std::string_view path,
                                        std::string_view name) const override;
  bool WriteString(TRegistryRoot root, std::string_view path, std::string_view name,
                   std::string_view value) override;
  bool DeleteValue(TRegistryRoot root, std::string_view path, std::string_view name) override;
  bool Flush() override { return true; }

  // Every key as a "<root>\path" line followed by its values; parents before children.
  std::string Dump() const;

 protected:
  struct TKey;
  TKey* Find(TRegistryRoot root, std::string_view path) const;
  TKey* Create(TRegistryRoot root, std::string_view path);
  void Clear();
  template <typename F>
  void ForEachKey(F&& visit) const;  // (root, path, key), parents before children

  bool FChanged = false;  // since the last Flush

 private:
  std::unique_ptr<TKey> FCurrentUser;
  std::unique_ptr<TKey> FClassesRoot;
};

// Kept in an INI-style file (a section per key, "@" for the default value), loaded when
// created and written atomically by Flush and when destroyed.
class TFileRegistry : public TMemoryRegistry {
 public:
  explicit TFileRegistry(std::string fileName);
  ~TFileRegistry() override;
  bool Flush() override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
};

// The file-backed store's place: VellicorConfigDir()/registry.ini.
std::string DefaultRegistryFileName();

// Root names in the file: "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT".
const char* RegistryRootName(TRegistryRoot root);
