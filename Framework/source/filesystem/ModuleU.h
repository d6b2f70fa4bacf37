#pragma once
// A code library loaded by path through the dynamic loader, logging what it does.
#include <cstdint>
#include <string>

class TModule {
 public:
  // Loads the library; on failure logs "Failed to load module "%s". %s." and raises EAppError
  // ("Win32 Error", "Code: %d.\n%s"). On success logs "Module "%s" loaded." at level 1.
  explicit TModule(const std::string& path);
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;
  ~TModule();  // logs "Module "%s" unloaded."

  void* GetProcAddress(const std::string& name);
  void* GetProcAddress(int32_t ordinal);  // the dynamic loader has no ordinals: always null
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
  void* FHandle = nullptr;
};
