#pragma once
// Registers a file type and an extension for the program, in the registry layout the desktop
// shell reads (an open command, an icon, the single-instance execute request), and makes the
// association real for the desktop as well. A type that owned the extension before is taken
// over with its former icon and command kept in "OldAssociation", and given back on removal.
#include <string>

#include "DesktopIntegrationU.h"
#include "RegistryU.h"

class TFileAssociate {
 public:
  // `desktop` may be null: then only the registry is written.
  explicit TFileAssociate(IRegistry& registry, IDesktopIntegration* desktop = nullptr);

  std::string KeyName;                   // the file-type key, e.g. "QuvFile"
  std::string OpenWith;                  // the program; the running one by default
  std::string ShellCmd = "Open";         // the verb key
  std::string Shell = "&Open";           // the verb's menu caption
  std::string TypeName;                  // the type's description
  bool ShowInNew = false;                // offer the type in the shell's New menu
  bool QuickView = false;                // write the quick-view key
  bool UseDDE = false;                   // write the execute-request keys
  bool Global = false;                   // machine-wide classes instead of the user's
  std::string DDEMessage;                // "[Open(%1)]" when empty at registration
  std::string DDEApplication;            // OpenWith's name without folder and extension
  std::string DDEApplicationNotRunning;  // written as "IfExec"
  std::string DDETopic;                  // "Server" when empty at registration
  std::string DesktopName = "Vellicor";  // the desktop entry's name
  std::string DesktopId;                 // the desktop entry's id; the installed program's

  // Writes the KeyName keys; false when KeyName is empty or a key cannot be written.
  bool RegisterFileType();
  // Writes or takes over the extension's keys; false when a key cannot be written.
  bool RegisterExtension(const std::string& extension);
  // Removes the extension's keys, or gives a taken-over type its former values back.
  void UnregisterExtension(const std::string& extension);
  // Removes the KeyName keys.
  void UnregisterFileType();

  // The text from the first "." after the first character, else the text with a leading ".":
  // "QUV", ".QUV" and "x.QUV" all give ".QUV".
  static std::string NormalizeExtension(const std::string& extension);

 private:
  TRegistryRoot Root() const;
  std::string Prefix() const;
  std::string IconValue() const;
  std::string CommandValue() const;
  bool SetDefault(const std::string& key, const std::string& value);
  bool WriteQuickView(const std::string& typeKey);
  bool TakeOver(const std::string& key, const std::string& newValue);
  void GiveBack(const std::string& key);
  bool WriteNewType(const std::string& typeKey);
  void AssociationChanged();

  IRegistry& FRegistry;
  IDesktopIntegration* FDesktop;
};

// The per-user key "Software\Classes\QUVFile" exists.
bool IsFileTypeRegistered(const IRegistry& registry);
