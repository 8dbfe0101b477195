// What uninstallers leave behind: a record of what ties a program to its system, made before its
// uninstaller runs, and the search for what is still there afterwards, each item with its reason
// and how sure it is. Nothing here deletes: RemoveLeftovers does, on the items the user chose.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "inventory/UCollection.h"
#include "lang/Language.h"
#include "leftovers/DesktopEntries.h"
#include "platform/ManagedSystem.h"
#include "platform/Platform.h"
#include "registry/RegistryStore.h"
#include "util/FileIO.h"

namespace pgl {

// Sure: inside the recorded install folder, or pointing into it. Likely: named exactly after
// the program's publisher and product. Uncertain: named after one of them.
enum class Confidence { Sure, Likely, Uncertain };
enum class LeftoverKind { Folder, File, RegistryKey, RegistryValue, DesktopFile, Icon, MenuFile };

struct Leftover {
  LeftoverKind kind = LeftoverKind::File;
  Confidence confidence = Confidence::Sure;
  std::string path;  // a file or folder
  RootKey root = 0;  // a registry key or value: its root, key and value name
  std::string key, value;
  LocalText reason;
  std::uint64_t size = 0;  // bytes, of a file or folder with everything in it
  FileId id;               // a file or folder: which one it was when found
  bool IsRegistry() const {
    return kind == LeftoverKind::RegistryKey || kind == LeftoverKind::RegistryValue;
  }
  // The path, or the key as "HKLM\..." with the value's name after a colon.
  std::string Text() const;
};

// A registry key or value that names a path inside the program's folder.
struct RegPointer {
  RootKey root = 0;
  std::string key, value;  // value: empty for the default value
  bool wholeKey = false;   // the key is the program's own (an App Paths key, a ProgID)
  LocalText why;
};

// What tied a program to its prefix just before its uninstaller ran.
struct Evidence {
  std::string prefix, entryKey, displayName, publisher, recorded;
  std::string installFolderWindows, installFolder;  // empty when no folder of its own was found
  std::vector<std::string> files;                   // below the folder, at most 10,000
  std::vector<std::string> shortcuts;               // .lnk files pointing into the folder
  std::vector<std::string> shortcutsWindows;        // the same as Windows paths
  std::vector<RegPointer> registry;
  std::vector<std::string> desktopFiles;  // Linux .desktop files Wine made for the program
};

// What the search may look at: the prefix, its registry, the user's desktop folders, and the
// programs listed now (whose files and keys are never offered).
struct LeftoverScope {
  RegistryStore* registry = nullptr;
  const Platform* platform = nullptr;
  std::string prefixDir;
  XdgFolders xdg;
  std::vector<TUninstallInfo> listed;
  int codePage = 1252;  // of the shortcuts' ANSI texts
};

// The scope of a system's prefix and its programs listed in `collection`.
LeftoverScope MakeLeftoverScope(ManagedSystem& system, const TUninstallCollection& collection);
// Where the records and the registry exports are kept: "leftovers" in the program's folder.
std::string LeftoversFolder();

Evidence CollectEvidence(const LeftoverScope& scope, const TUninstallInfo& entry);
// Whether the program with the entry key (as RegistryKeyOf gives it) is still installed: its
// Uninstall key is there. Its leftovers are then only what it would leave, never removed.
bool StillInstalled(const LeftoverScope& scope, const std::string& entryKey);
// What of the record is still there, then what is named after the program. The program's own
// entry in `scope.listed` is left out of the comparisons by its key.
std::vector<Leftover> FindLeftovers(const LeftoverScope& scope, const Evidence& evidence);

// The records as one JSON text, and back (false for a text that is not such a record).
std::string EvidenceToJson(const std::vector<Evidence>& records);
bool EvidenceFromJson(const std::string& text, std::vector<Evidence>& records);
// Writes the records of one run to a new file in `folder` (made when missing); false with the
// reason. The newest record of the entry (by prefix and key) among the folder's files.
bool SaveEvidence(const std::string& folder, const std::vector<Evidence>& records,
                  std::string& error);
std::optional<Evidence> LatestEvidence(const std::string& folder, const std::string& prefix,
                                       const std::string& entryKey);

// Whether `bytes` are, unchanged, a registry export RemoveLeftovers wrote into `folder`.
bool IsOurLeftoversExport(const std::string& folder, std::string_view bytes);

struct LeftoverFailure {
  std::string item, reason;
};
// Removes the items: registry items are first written to `exportFile` (a registry script that
// `restore` and regedit import), then deleted in one save per registry file; files and folders
// go to the trash. Answers what could not be removed, and why.
std::vector<LeftoverFailure> RemoveLeftovers(const LeftoverScope& scope,
                                             const std::vector<Leftover>& items,
                                             const std::string& exportFile, Language lang);

// Wine's menu entries, desktop shortcuts, file types and icons of prefixes whose folder no
// longer exists (a deleted bottle or game), with those prefixes' paths in `gonePrefixes`.
// With `only`, those of the prefixes it names alone (as their entries spell them).
std::vector<Leftover> OrphanedDesktopEntries(const XdgFolders& xdg,
                                             std::vector<std::string>& gonePrefixes,
                                             const std::vector<std::string>& only = {});

// The item as people read it: a file of the prefix's drive C: as its Windows path, one in the
// home with "~", a registry item as Text() gives it.
std::string DisplayText(const LeftoverScope& scope, const Leftover& item);

std::string ConfidenceName(Confidence confidence);  // "sure", "likely", "uncertain"
// Why an item is offered as the program's.
enum class LeftoverWhy {
  InstallFolder,
  HeldOnlyInstallFolder,
  Shortcut,
  StartMenuFolder,
  WineMenuEntry,
  SettingsLikeFolder,
  SettingsLikePair,
  HeldOnlySettings,
  NamedAfterPublisher,
  NamedAfterProduct,
  AppPaths,
  StartedWithWindows,
  FileTypeItOpens,
  SharedTypeCommand,
  ExtensionGiven,
  SharedFile,
  AssociationType,
  MenuFile,
  MenuFolder,
  MenuIcon,
  GonePrefixEntry,
  Count
};
LocalText WhyText(LeftoverWhy why, std::initializer_list<LocalText> args = {});

std::string ConfidenceText(Confidence confidence, Language lang);
std::string KindName(LeftoverKind kind);  // "folder", "file", "registry_key", ...
std::string KindText(LeftoverKind kind, Language lang);

}  // namespace pgl
