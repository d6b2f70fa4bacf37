#pragma once
// The scratch folder of every test and benchmark: fresh under the system's temporary folder,
// removed with everything in it (folders a test made unreadable included).
#include <filesystem>
#include <string>
#include <vector>

class TTempDir {
 public:
  // tag names the folder ("vellicor-<tag>-XXXXXX"), to tell leftovers of a killed run apart.
  explicit TTempDir(const std::string& tag = "test");
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::string File(const std::string& name) const { return (FPath / name).string(); }
  std::string operator/(const std::string& name) const { return File(name); }
  // Writes bytes to name (folders made as needed); the file's path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  // File names in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  std::filesystem::path FPath;
};
