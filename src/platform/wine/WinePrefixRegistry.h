// The registry of a Wine prefix: system.reg is HKEY_LOCAL_MACHINE, user.reg is
// HKEY_CURRENT_USER. Files are read once; every committed change is saved at once.
//
// Safety rules: a file is written only when it was read without a problem and writing the
// read tree gives back the very bytes that were read; never while a wineserver runs for the
// prefix (it would overwrite us at its next save, and we it); and a file that changed on disk
// since it was read is reloaded before the change, so no change of Wine's is lost.
#pragma once

#include <sys/types.h>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"
#include "registry/WineRegFile.h"
#include "util/FileIO.h"

namespace pgl {

class WinePrefixRegistry : public RegistryStore {
 public:
  // Seams for tests; the defaults use the real file system and server check.
  struct Seams {
    // Unset: the file is written by the registry itself, a megabyte at a time as it is made.
    FileWriter write;
    std::function<bool(const std::string& path)> canWrite;
    std::function<bool(const std::string& prefixDir)> serverRunning;
  };

  // Whole: the files are read into whole trees. WhatListsNeed: only the keys the program list
  // reads (the Uninstall places, their usage records, the environment's keys) are decoded; the
  // first write to a file (or ReadEverything) reads it whole before it changes anything.
  // WhatListsNeedAtOnce: the same, with the two files read at the same time where both are
  // large (sooner, for the memory of a second reader: about 2 MB at 25,000 programs).
  enum class Read { Whole, WhatListsNeed, WhatListsNeedAtOnce };

  explicit WinePrefixRegistry(std::string prefixDir, Read read = Read::Whole);
  WinePrefixRegistry(std::string prefixDir, Seams seams, Read read = Read::Whole);

  RegKey* Hive(RootKey root) override;
  bool BeginWrite(RootKey root) override;
  bool Commit(RootKey root) override;
  std::uint64_t Generation() const override { return generation_; }
  const std::string& LastError() const override { return error_.English(); }
  std::string LocalizedError(Language lang) const override { return error_.In(lang); }
  // A prefix is 64-bit unless its system.reg says "#arch=win32".
  bool Is64BitSystem() const override { return system_.hive.arch != "win32"; }
  std::string WhyUnchangeable(Language lang) const override;
  bool Refresh() override;
  void ReadEverything() override;
  void HoldCommits() override { holding_ = true; }
  bool CommitHeld() override;
  void KeyAdded(RootKey root, const RegKey& key) override;
  void ValueSet(RootKey root, const RegKey& key, const RegValue& value) override;
  void KeyRemoved(RootKey root, const RegKey& parent, std::u16string_view name) override;

  const std::string& PrefixDir() const { return prefixDir_; }
  // Problems met while reading the files, one message per file; empty when all is well.
  std::vector<std::string> LoadProblems() const;
  // Why system.reg gives no registry at all (missing, unreadable, empty, not Wine's format
  // or another version of it); empty when it could be read.
  std::string SystemFileUnusable() const;

 private:
  // One try of BeginWrite.
  bool TryBeginWrite(RootKey root);
  struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    long long mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
  };
  // A change made to a tree since it was last saved, kept so that it can be made again on the
  // file as another writer (Wine, or another Purgelet) saved it meanwhile.
  struct Change {
    enum class Kind { KeyAdded, ValueSet, KeyRemoved } kind;
    std::vector<std::u16string> path;  // the key added or written, or the removed key's parent
    std::uint64_t modified = 0;        // that key's time after the change
    std::uint64_t parentModified = 0;  // KeyAdded: the parent's time after it
    RegValue value;                    // ValueSet
    std::u16string name;               // KeyRemoved
  };
  struct HiveFile {
    std::string path;
    bool present = false;
    WineHive hive;
    WineParseResult parse;
    std::string readError;
    bool whole = true;      // every key was read, not only those a list needs
    bool verified = false;  // writing the tree as read gives back the file's bytes
    std::string head;       // the file's first line, for messages
    // Of the bytes on disk as we last verified or wrote them. The bytes themselves are not
    // kept: a file of tens of megabytes would be held twice.
    std::optional<std::uint64_t> hash;
    bool pendingCommit = false;   // a change held back by HoldCommits
    std::vector<Change> changes;  // made since the last save
    FileStamp stamp;
  };

  HiveFile* FileFor(RootKey root);
  void Load(HiveFile& file);
  void LoadBoth(bool atOnce);
  bool Refuse(const HiveFile& file, const LocalText& why);
  void ClearError();
  bool Save(HiveFile& file);
  // Reads the file as another writer saved it and makes the unsaved changes again on it.
  // False, with the reason in `why`, when the file cannot be taken as it now is.
  bool Rebase(HiveFile& file, LocalText& why);
  static void Replay(RegKey& root, const std::vector<Change>& changes);
  bool ServerRunning() const { return seams_.serverRunning(prefixDir_); }
  enum class Verdict { Same, Different, Changed, Unreadable };
  // Whether writing the tree gives the file's bytes (and their hash), without holding either.
  static Verdict CompareWithFile(const HiveFile& file, std::uint64_t& hash);
  static bool StampOf(const std::string& path, FileStamp& stamp);

  std::string prefixDir_;
  Seams seams_;
  HiveFile system_, user_;
  std::atomic<std::uint64_t> generation_ = 1;
  bool holding_ = false;
  // The last check found the file replaced by another writer after it was looked at.
  bool changedMeanwhile_ = false;
  bool streamSaves_ = false;
  LocalText error_;
};

}  // namespace pgl
