// What a managed system (a Wine prefix) costs on disk and what in it is the user's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pgl {

struct SaveFolder {
  std::string path;  // relative to the prefix: "drive_c/users/steamuser/Saved Games/Game"
  std::uint64_t bytes = 0;
};

struct PrefixUsage {
  // The disk the folder takes, as `du -s -B1` counts it: every file, folder and link once
  // (hard links once), links not followed.
  std::uint64_t sizeBytes = 0;
  // The saves: files below each profile's Documents, Saved Games and AppData (Roaming, Local,
  // LocalLow), less what Wine itself keeps there (the Microsoft folders, Temp). Wine links a
  // profile's Documents to the home's own folder: such links are not followed, and what they
  // lead to is not the prefix's.
  std::uint64_t savesBytes = 0;
  std::vector<SaveFolder> saveFolders;  // the top folders holding saves, by path
  // The newest change of the registry files and the saves, in seconds since 1970 (UTC); 0 when
  // none could be read.
  std::int64_t lastUsed = 0;
  // Folders that could not be read (their size is not counted).
  std::vector<std::string> unreadable;
  // Those of them that may hold saves: the saves are not known whole, and the prefix cannot go
  // with its saves kept.
  std::vector<std::string> savesUnread;
  // A Steam game's shader cache beside the prefix, as `du -s -B1` counts it; none without one.
  std::optional<std::uint64_t> shaderCacheBytes = {};
};

}  // namespace pgl
