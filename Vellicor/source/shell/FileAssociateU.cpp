#include "FileAssociateU.h"

#include <filesystem>

#include "ProgramPathsU.h"
#include "VellicorVersion.h"

namespace {

const char* const KOldAssociation = "OldAssociation";

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

// A key name that names a key below the classes root, not the root itself: an empty or
// all-separator name would make the deletes below remove every file type.
bool NamesAKey(const std::string& name) {
  return name.find_first_not_of('\\') != std::string::npos;
}

}  // namespace

TFileAssociate::TFileAssociate(IRegistry& registry, IDesktopIntegration* desktop)
    : OpenWith(ProgramFilePath()),
      DesktopId(VELLICOR_APP_ID),
      FRegistry(registry),
      FDesktop(desktop) {}

std::string TFileAssociate::NormalizeExtension(const std::string& extension) {
  size_t dot = extension.size() > 1 ? extension.find('.', 1) : std::string::npos;
  if (dot != std::string::npos) return extension.substr(dot);
  return extension.starts_with(".") ? extension : "." + extension;
}

TRegistryRoot TFileAssociate::Root() const {
  return Global ? TRegistryRoot::ClassesRoot : TRegistryRoot::CurrentUser;
}

std::string TFileAssociate::Prefix() const {
  return Global ? "" : "Software\\Classes\\";
}

std::string TFileAssociate::IconValue() const {
  return "\"" + OpenWith + "\",0";
}

std::string TFileAssociate::CommandValue() const {
  return "\"" + OpenWith + "\" \"%1\"";
}

bool TFileAssociate::SetDefault(const std::string& key, const std::string& value) {
  return FRegistry.OpenKey(Root(), Prefix() + key, true) &&
         FRegistry.WriteString(Root(), Prefix() + key, "", value);
}

bool TFileAssociate::WriteQuickView(const std::string& typeKey) {
  if (QuickView) return SetDefault(typeKey + "\\QuickView", "*");
  FRegistry.DeleteKey(Root(), Prefix() + typeKey + "\\QuickView");
  return true;
}

// Replaces a taken-over key's default value, keeping the former one in "OldAssociation". A
// key that already holds our value keeps the former value it has (registering twice must not
// lose the original association).
bool TFileAssociate::TakeOver(const std::string& key, const std::string& newValue) {
  const std::string path = Prefix() + key;
  if (!FRegistry.OpenKey(Root(), path, false)) return false;
  std::string old = FRegistry.ReadString(Root(), path, "").value_or("");
  if (old != newValue && !FRegistry.WriteString(Root(), path, KOldAssociation, old)) return false;
  return FRegistry.WriteString(Root(), path, "", newValue);
}

void TFileAssociate::GiveBack(const std::string& key) {
  const std::string path = Prefix() + key;
  std::optional<std::string> old = FRegistry.ReadString(Root(), path, KOldAssociation);
  if (!old) return;
  FRegistry.WriteString(Root(), path, "", *old);
  FRegistry.DeleteValue(Root(), path, KOldAssociation);
}

bool TFileAssociate::WriteNewType(const std::string& typeKey) {
  const std::string verb = typeKey + "\\Shell\\" + ShellCmd;
  return SetDefault(typeKey, TypeName) && SetDefault(typeKey + "\\DefaultIcon", IconValue()) &&
         SetDefault(verb, Shell) && SetDefault(verb + "\\Command", CommandValue()) &&
         (!QuickView || WriteQuickView(typeKey));
}

void TFileAssociate::AssociationChanged() {
  if (FDesktop) FDesktop->NotifyAssociationsChanged();
}

bool TFileAssociate::RegisterFileType() {
  if (!NamesAKey(KeyName) || !NamesAKey(ShellCmd)) return false;
  if (UseDDE) {
    if (DDEMessage.empty()) DDEMessage = "[Open(%1)]";
    if (DDEApplication.empty()) DDEApplication = std::filesystem::path(OpenWith).stem().string();
    if (DDETopic.empty()) DDETopic = "Server";
  }
  const std::string verb = KeyName + "\\Shell\\" + ShellCmd;
  bool ok = SetDefault(KeyName, TypeName) && SetDefault(KeyName + "\\DefaultIcon", IconValue()) &&
            SetDefault(verb + "\\Command", CommandValue());
  if (ok && UseDDE) {
    const std::string ddeexec = verb + "\\ddeexec";
    ok = SetDefault(ddeexec, DDEMessage) && SetDefault(ddeexec + "\\Application", DDEApplication) &&
         SetDefault(ddeexec + "\\IfExec", DDEApplicationNotRunning) &&
         SetDefault(ddeexec + "\\Topic", DDETopic);
  }
  ok = ok && WriteQuickView(KeyName);
  if (ok && FDesktop) ok = FDesktop->InstallApplication({DesktopId, DesktopName, OpenWith});
  AssociationChanged();
  return FRegistry.Flush() && ok;
}

bool TFileAssociate::RegisterExtension(const std::string& extension) {
  const std::string ext = NormalizeExtension(extension);
  if (!NamesAKey(KeyName) || !NamesAKey(ShellCmd) || ext == ".") return false;
  const std::string extKey = Prefix() + ext;
  bool ok;
  std::string type = FRegistry.ReadString(Root(), extKey, "").value_or("");
  if (!FRegistry.KeyExists(Root(), extKey) || !NamesAKey(type)) {
    // A new extension, or one whose key names no type at all.
    ok = SetDefault(ext, KeyName) && WriteNewType(KeyName);
  } else if (SameText(type, KeyName) || !FRegistry.KeyExists(Root(), Prefix() + type)) {
    ok = WriteNewType(type);  // our own type, or a named type that is missing
  } else {
    const std::string verb = type + "\\Shell\\" + ShellCmd;
    std::string typeName = FRegistry.ReadString(Root(), Prefix() + type, "").value_or("");
    ok = (!typeName.empty() || SetDefault(type, TypeName)) &&
         TakeOver(type + "\\DefaultIcon", IconValue()) && SetDefault(verb, Shell) &&
         FRegistry.OpenKey(Root(), Prefix() + verb + "\\Command", true) &&
         TakeOver(verb + "\\Command", CommandValue()) && WriteQuickView(type);
  }
  if (ok && ShowInNew)
    ok = FRegistry.OpenKey(Root(), extKey + "\\ShellNew", true) &&
         FRegistry.WriteString(Root(), extKey + "\\ShellNew", "NullFile", "");
  if (ok && FDesktop) {
    std::string description = TypeName.empty() ? ext.substr(1) + " file" : TypeName;
    ok = FDesktop->AssociateExtension(DesktopId, ext, description);
  }
  AssociationChanged();
  return FRegistry.Flush() && ok;
}

void TFileAssociate::UnregisterExtension(const std::string& extension) {
  const std::string ext = NormalizeExtension(extension);
  if (ext == ".") return;
  const std::string extKey = Prefix() + ext;
  if (FRegistry.KeyExists(Root(), extKey)) {
    std::string type = FRegistry.ReadString(Root(), extKey, "").value_or("");
    if (NamesAKey(type) && FRegistry.KeyExists(Root(), Prefix() + type)) {
      const std::string icon = type + "\\DefaultIcon";
      const std::string command = type + "\\Shell\\" + ShellCmd + "\\Command";
      // A type that holds former values was someone else's: it gets them back and stays.
      if (FRegistry.ValueExists(Root(), Prefix() + icon, KOldAssociation) ||
          FRegistry.ValueExists(Root(), Prefix() + command, KOldAssociation)) {
        GiveBack(icon);
        GiveBack(command);
      } else {
        FRegistry.DeleteKey(Root(), Prefix() + icon);
        FRegistry.DeleteKey(Root(), Prefix() + command);
        FRegistry.DeleteKey(Root(), Prefix() + type + "\\QuickView");
        FRegistry.DeleteKey(Root(), Prefix() + type);
        FRegistry.DeleteKey(Root(), extKey + "\\ShellNew");
        FRegistry.DeleteKey(Root(), extKey);
      }
    } else {
      FRegistry.WriteString(Root(), extKey, "", "");
      FRegistry.DeleteKey(Root(), extKey + "\\ShellNew");
      FRegistry.DeleteKey(Root(), extKey);
    }
  }
  if (FDesktop) FDesktop->DissociateExtension(DesktopId, ext);
  AssociationChanged();
  FRegistry.Flush();
}

void TFileAssociate::UnregisterFileType() {
  if (NamesAKey(KeyName)) {
    for (const char* sub : {"\\Shell", "\\QuickView", "\\DefaultIcon"})
      FRegistry.DeleteKey(Root(), Prefix() + KeyName + sub);
    FRegistry.DeleteKey(Root(), Prefix() + KeyName);
  }
  if (FDesktop) FDesktop->RemoveApplication(DesktopId);
  AssociationChanged();
  FRegistry.Flush();
}

bool IsFileTypeRegistered(const IRegistry& registry) {
  return registry.KeyExists(TRegistryRoot::CurrentUser, "Software\\Classes\\QUVFile");
}
