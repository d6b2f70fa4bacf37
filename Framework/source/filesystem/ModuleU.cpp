#include "ModuleU.h"

#include <dlfcn.h>

#include <cerrno>

#include "ConsoleU.h"
#include "ExceptionsU.h"
#include "StringUtilsU.h"

TModule::TModule(const std::string& path) : FPath(NormalizePath(path, PathDelim)) {
  errno = 0;
  FHandle = ::dlopen(FPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle) {
    const int code = errno;
    const char* reason = ::dlerror();
    EAppError error("Win32 Error", Format("Code: %d.\n%s", code, reason ? reason : ""));
    ConsoleLog(LogLevel::Info,
               Format("Failed to load module \"%s\". %s.", FPath.c_str(), error.what()));
    throw error;
  }
  ConsoleLog(LogLevel::Info, Format("Module \"%s\" loaded.", FPath.c_str()));
}

TModule::~TModule() {
  if (FHandle) ::dlclose(FHandle);
  ConsoleLog(LogLevel::Info, Format("Module \"%s\" unloaded.", FPath.c_str()));
}

void* TModule::GetProcAddress(const std::string& name) {
  void* routine = ::dlsym(FHandle, name.c_str());
  ConsoleLog(LogLevel::Info, Format("From Module \"%s\", routine \"%s\" was retrieved.",
                                    FPath.c_str(), name.c_str()));
  return routine;
}

void* TModule::GetProcAddress(int32_t ordinal) {
  ConsoleLog(LogLevel::Info,
             Format("From Module \"%s\", routine %d was retrieved.", FPath.c_str(), ordinal));
  return nullptr;
}
