#pragma once
// Making a file association real for the desktop: a desktop entry for the program, a MIME type
// for the extension, the program as that type's default handler, and the refresh of the
// desktop's caches.
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TDesktopApplication {
  std::string Id;          // file name of the entry without ".desktop", e.g. "vellicor"
  std::string Name;        // shown by the desktop, e.g. "Vellicor"
  std::string Executable;  // full path of the program
};

class IDesktopIntegration {
 public:
  virtual ~IDesktopIntegration() = default;
  // Writes the program's desktop entry, keeping the MIME types it already lists.
  virtual bool InstallApplication(const TDesktopApplication& application) = 0;
  virtual bool RemoveApplication(const std::string& applicationId) = 0;
  // Declares a MIME type for "*<extension>" and makes the program its default handler.
  virtual bool AssociateExtension(const std::string& applicationId, const std::string& extension,
                                  const std::string& description) = 0;
  virtual bool DissociateExtension(const std::string& applicationId,
                                   const std::string& extension) = 0;
  // Tells the desktop that associations changed (rebuilds its caches).
  virtual void NotifyAssociationsChanged() = 0;
  // The desktop entry ("<id>.desktop") that opens `mimeType` by default, as the desktop itself
  // answers; empty when none does, nothing when this desktop cannot tell.
  virtual std::optional<std::string> DefaultApplication(const std::string& mimeType) {
    return std::nullopt;
  }
};

// The freedesktop.org implementation below $XDG_DATA_HOME and $XDG_CONFIG_HOME (looked up at
// each call, so a changed environment is followed). Where the program is installed (its desktop
// entry and MIME package in $XDG_DATA_DIRS), those are used and no per-user copies are written.
class TXdgDesktopIntegration : public IDesktopIntegration {
 public:
  // Runs a program with arguments, waiting for it; false when it cannot be started. Missing
  // helper programs are skipped before this is called.
  using TRunCommand = std::function<bool(const std::vector<std::string>& argv)>;

  // Runs a program and gives its standard output; nothing when it cannot be started or fails.
  using TQueryCommand =
      std::function<std::optional<std::string>(const std::vector<std::string>& argv)>;

  TXdgDesktopIntegration();
  TRunCommand RunCommand;
  TQueryCommand QueryCommand;

  bool InstallApplication(const TDesktopApplication& application) override;
  bool RemoveApplication(const std::string& applicationId) override;
  bool AssociateExtension(const std::string& applicationId, const std::string& extension,
                          const std::string& description) override;
  bool DissociateExtension(const std::string& applicationId, const std::string& extension) override;
  void NotifyAssociationsChanged() override;
  // `xdg-mime query default`; without it, the user's mimeapps.list.
  std::optional<std::string> DefaultApplication(const std::string& mimeType) override;

  // The installed desktop entry or MIME package of the program in $XDG_DATA_DIRS, or empty.
  std::string InstalledDesktopEntry(const std::string& applicationId) const;
  std::string InstalledMimePackage(const std::string& applicationId) const;

  std::string DesktopFileName(const std::string& applicationId) const;
  std::string MimePackageFileName(const std::string& applicationId,
                                  const std::string& extension) const;
  std::string MimeAppsFileName() const;

 private:
  bool RunIfPresent(const std::vector<std::string>& argv);
};

// "application/x-quv" for ".QUV"; empty when the extension has characters a MIME type cannot.
std::string MimeTypeForExtension(const std::string& extension);
// A program path as one argument of a desktop entry's Exec key; empty when it cannot be one.
std::string DesktopExecArgument(const std::string& path);
// The full path of a program found in $PATH, or empty.
std::string FindProgramInPath(const std::string& program);
// Starts a program and waits for it; false when it could not start or did not exit with 0. Its
// standard output goes to `output` (the first 64 KiB) when given, else it is discarded.
bool RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);
// $XDG_DATA_DIRS, else /usr/local/share and /usr/share; relative entries are left out.
std::vector<std::string> DataDirs();
