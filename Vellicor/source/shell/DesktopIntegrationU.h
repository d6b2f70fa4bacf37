#pragma once
// Making a file association real for the desktop: a desktop entry for the program, a MIME type
// for the extension, the program as that type's default handler, and the refresh of the
// desktop's caches.
#include <functional>
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
};

// The freedesktop.org implementation below $XDG_DATA_HOME and $XDG_CONFIG_HOME (looked up at
// each call, so a changed environment is followed).
class TXdgDesktopIntegration : public IDesktopIntegration {
 public:
  // Runs a program with arguments, waiting for it; false when it cannot be started. Missing
  // helper programs are skipped before this is called.
  using TRunCommand = std::function<bool(const std::vector<std::string>& argv)>;

  TXdgDesktopIntegration();
  TRunCommand RunCommand;

  bool InstallApplication(const TDesktopApplication& application) override;
  bool RemoveApplication(const std::string& applicationId) override;
  bool AssociateExtension(const std::string& applicationId, const std::string& extension,
                          const std::string& description) override;
  bool DissociateExtension(const std::string& applicationId, const std::string& extension) override;
  void NotifyAssociationsChanged() override;

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
// Starts a program with its output discarded and waits for it; false when it could not start
// or did not exit normally.
bool RunProgram(const std::vector<std::string>& argv);
