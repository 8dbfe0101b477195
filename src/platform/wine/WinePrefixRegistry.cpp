#include "platform/wine/WinePrefixRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <future>
#include <initializer_list>
#include <limits>
#include <optional>
#include <system_error>

#include "platform/wine/ListedKeys.h"
#include "platform/wine/WineServer.h"
#include "util/Utf.h"

namespace pgl {

namespace {

enum class Msg {
  RootMissing,
  ServerRunning,
  FileMissing,
  NotRegistryFile,
  NotFullyRead,
  NotReadAgain,
  ChangedMeanwhile,
  NotWineForm,
  NoPermission,
  OtherPurgeletBusy,
  WineStartedMeanwhile,
  WineStartedDuringSave,
  NoLongerExists,
  UnreadableForm,
  ForeignForm,
  KeptChanging,
  CannotChange,
  NotSaved,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::RootMissing,
     {"This registry root is not available in a Wine prefix.",
      "Tego klucza głównego rejestru nie ma w prefiksie Wine."}},
    {Msg::ServerRunning,
     {"Wine is running in this prefix. Close its programs (or wait with \"wineserver -w\") "
      "and try again.",
      "w tym prefiksie działa Wine. Zamknij jego programy (albo poczekaj: \"wineserver -w\") "
      "i spróbuj ponownie."}},
    {Msg::FileMissing, {"the file does not exist.", "plik nie istnieje."}},
    {Msg::NotRegistryFile, {"it is not a Wine registry file.", "to nie jest plik rejestru Wine."}},
    {Msg::NotFullyRead,
     {"it could not be fully read (%1).", "nie dało się go przeczytać w całości (%1)."}},
    {Msg::NotReadAgain, {"it could not be read again.", "nie dało się go ponownie przeczytać."}},
    {Msg::ChangedMeanwhile,
     {"another program changed it meanwhile; try again.",
      "w międzyczasie zmienił go inny program; spróbuj ponownie."}},
    {Msg::NotWineForm,
     {"it is not in the form Wine writes, so it is left as it is.",
      "nie ma postaci, w jakiej zapisuje go Wine, więc zostaje bez zmian."}},
    {Msg::NoPermission,
     {"you have no permission to write it.", "nie masz uprawnień do jego zapisu."}},
    {Msg::OtherPurgeletBusy,
     {"another Purgelet kept this prefix's registry busy for over a minute; nothing was saved.",
      "inny Purgelet zajmował rejestr tego prefiksu przez ponad minutę; nic nie zapisano."}},
    {Msg::WineStartedMeanwhile,
     {"Wine started in this prefix meanwhile; nothing was saved.",
      "w międzyczasie w tym prefiksie uruchomiło się Wine; nic nie zapisano."}},
    {Msg::WineStartedDuringSave,
     {"Wine started in this prefix during the save and may undo it when it exits. Close the "
      "prefix's programs and try again.",
      "podczas zapisu w tym prefiksie uruchomiło się Wine i może cofnąć zmianę, gdy się "
      "zakończy. Zamknij programy prefiksu i spróbuj ponownie."}},
    {Msg::NoLongerExists,
     {"it no longer exists; nothing was saved.", "już nie istnieje; nic nie zapisano."}},
    {Msg::UnreadableForm,
     {"another program saved it in a form that cannot be fully read; nothing was saved.",
      "inny program zapisał go w postaci, której nie da się przeczytać w całości; nic nie "
      "zapisano."}},
    {Msg::ForeignForm,
     {"another program saved it in a form Wine does not write; nothing was saved.",
      "inny program zapisał go w postaci, w jakiej Wine nie zapisuje; nic nie zapisano."}},
    {Msg::KeptChanging,
     {"another program kept changing it; nothing was saved.",
      "inny program wciąż go zmieniał; nic nie zapisano."}},
    {Msg::CannotChange,
     {"The registry file \"%1\" cannot be changed: %2",
      "Pliku rejestru \"%1\" nie można teraz zmienić: %2"}},
    {Msg::NotSaved,
     {"The registry file \"%1\" could not be saved: %2", "Nie zapisano pliku rejestru \"%1\": %2"}},
};
static_assert(IsMessageTable(kMessages));

LocalText Said(Msg id, std::initializer_list<LocalText> args = {}) {
  return FillEach(kMessages[static_cast<std::size_t>(id)].text, args);
}

}  // namespace

namespace {

constexpr std::uint64_t kFnvStart = 14695981039346656037ull;

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t h = kFnvStart) {
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

// Reads exactly `size` bytes (fewer only at the end of the file).
std::size_t ReadFull(int fd, char* into, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, into + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::vector<std::u16string> PathOf(const RegKey& key) {
  std::vector<std::u16string> path;
  for (const RegKey* k = &key; k->Parent(); k = k->Parent()) path.push_back(k->Name());
  return {path.rbegin(), path.rend()};
}

bool DefaultCanWrite(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  return ::access(path.c_str(), W_OK) == 0 && ::access(dir.c_str(), W_OK) == 0;
}

}  // namespace

namespace {

// Registry files are refused past this size, and their first line is kept up to this length.
constexpr std::size_t kMaxRegistryFileBytes = std::size_t{1} << 31;
constexpr std::size_t kHeadBytes = 80;
// From this size on the user's file is read at the same time as the machine's (measured on two
// cores: 2,500 programs, a 2 MB user file beside a 6 MB machine one, listed 2.5 ms sooner of 30).
constexpr std::uint64_t kLoadTogetherFrom = 1u << 20;

}  // namespace

WinePrefixRegistry::WinePrefixRegistry(std::string prefixDir, Read read)
    : WinePrefixRegistry(std::move(prefixDir), Seams{}, read) {}

WinePrefixRegistry::WinePrefixRegistry(std::string prefixDir, Seams seams, Read read)
    : prefixDir_(std::move(prefixDir)), seams_(std::move(seams)) {
  if (!seams_.write) {
    seams_.write = WriteFileAtomic;
    streamSaves_ = true;  // our own writer takes the file in pieces
  }
  if (!seams_.canWrite) seams_.canWrite = DefaultCanWrite;
  if (!seams_.serverRunning) seams_.serverRunning = IsWineServerRunning;
  system_.path = prefixDir_ + "/system.reg";
  user_.path = prefixDir_ + "/user.reg";
  system_.whole = user_.whole = read == Read::Whole;
  LoadBoth(read == Read::WhatListsNeedAtOnce);
}

void WinePrefixRegistry::LoadBoth(bool atOnce) {
  // Where both files are large (many programs), the user's is read on a thread of its own
  // meanwhile: each has its own tree and state. Where no thread can be had, one after the other.
  FileStamp user;
  std::future<void> loadingUser;
  if (atOnce && StampOf(user_.path, user) &&
      static_cast<std::uint64_t>(user.size) >= kLoadTogetherFrom) {
    try {
      loadingUser = std::async(std::launch::async, [this] { Load(user_); });
    } catch (const std::system_error&) {
    }
  }
  Load(system_);
  if (loadingUser.valid())
    loadingUser.get();  // its failure is raised here, as it would have been unthreaded
  else
    Load(user_);
}

bool WinePrefixRegistry::StampOf(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  stamp = {st.st_dev, st.st_ino, st.st_size,
           static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
  return true;
}

void WinePrefixRegistry::Load(HiveFile& file) {
  file.present = false;
  file.verified = false;
  file.readError.clear();
  file.hive = WineHive{};
  file.parse = WineParseResult{};
  file.pendingCommit = false;
  file.changes.clear();
  file.head.clear();
  FileStamp before;
  if (!StampOf(file.path, before)) return;
  static const BlockFilter machineKeys = MachineKeyListed, userKeys = UserKeyListed;
  const BlockFilter* keep = file.whole ? nullptr : &file == &system_ ? &machineKeys : &userKeys;
  // The file is read as it arrives, in pieces that are parsed meanwhile: it is never held
  // whole. Its first line is kept to tell what it is.
  std::string head;
  std::optional<WineParseResult> parse;
  const bool read =
      ReadFileInPieces(file.path, file.readError, kMaxRegistryFileBytes,
                       [&](std::uint64_t size, const FileSource& source) {
                         const ByteSource noted = [&](char* into, std::size_t n) {
                           const std::ptrdiff_t got = source(into, n);
                           if (got > 0 && head.size() < kHeadBytes)
                             head.append(into, std::min<std::size_t>(static_cast<std::size_t>(got),
                                                                     kHeadBytes - head.size()));
                           return got;
                         };
                         parse = ParseWineRegistryStream(noted, size, file.hive, keep);
                       });
  if (!read) {
    file.hive = WineHive{};
    return;
  }
  if (!parse) {
    // A piece met a problem: the file is read again by one reader, so that the problems and
    // their lines are told as they stand in the file.
    std::string bytes;
    if (!ReadWholeFile(file.path, bytes, file.readError, kMaxRegistryFileBytes)) return;
    parse = ParseWineRegistry(bytes, file.hive, keep, std::numeric_limits<std::size_t>::max());
    head = bytes.substr(0, kHeadBytes);
  }
  file.present = true;
  file.stamp = before;
  file.hash.reset();  // computed when first needed: most runs never write
  file.parse = std::move(*parse);
  file.head = head.substr(0, head.find('\n'));
  ++generation_;  // atomic: the two files may be read at once
}

WinePrefixRegistry::HiveFile* WinePrefixRegistry::FileFor(RootKey root) {
  if (root == kHkeyLocalMachine) return &system_;
  if (root == kHkeyCurrentUser) return &user_;
  return nullptr;
}

RegKey* WinePrefixRegistry::Hive(RootKey root) {
  HiveFile* file = FileFor(root);
  return file && file->present ? file->hive.root.get() : nullptr;
}

bool WinePrefixRegistry::Refuse(const HiveFile& file, const LocalText& why) {
  error_ = Said(Msg::CannotChange, {file.path, why});
  return false;
}

void WinePrefixRegistry::ClearError() {
  error_ = {};
}

WinePrefixRegistry::Verdict WinePrefixRegistry::CompareWithFile(const HiveFile& file,
                                                                std::uint64_t& hash) {
  const int fd = ::open(file.path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Verdict::Unreadable;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Verdict::Unreadable;
  }
  const FileStamp opened{
      st.st_dev, st.st_ino, st.st_size,
      static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
  bool same = opened == file.stamp;
  const bool changed = !same;
  hash = kFnvStart;
  std::string buffer;
  WriteWineRegistryChunks(file.hive, [&](std::string_view chunk) {
    if (!same) return;
    buffer.resize(chunk.size());
    same = ReadFull(fd, buffer.data(), chunk.size()) == chunk.size() &&
           std::memcmp(buffer.data(), chunk.data(), chunk.size()) == 0;
    hash = Fnv1a(chunk, hash);
  });
  char extra;
  if (same && ReadFull(fd, &extra, 1) != 0) same = false;
  ::close(fd);
  if (changed) return Verdict::Changed;
  return same ? Verdict::Same : Verdict::Different;
}

void WinePrefixRegistry::ReadEverything() {
  for (HiveFile* file : {&system_, &user_})
    if (!file->whole) {
      file->whole = true;
      Load(*file);
    }
}

bool WinePrefixRegistry::BeginWrite(RootKey root) {
  // Another writer of ours may replace the file between our look at it and our check of it:
  // it is read again and checked again, as a user told to try again would.
  for (int attempt = 0; attempt < 10; ++attempt) {
    changedMeanwhile_ = false;
    if (TryBeginWrite(root)) return true;
    if (!changedMeanwhile_) return false;
  }
  return false;
}

bool WinePrefixRegistry::TryBeginWrite(RootKey root) {
  HiveFile* file = FileFor(root);
  if (file && !file->whole) {
    // A write needs the whole tree: every other key is written back as it is.
    file->whole = true;
    Load(*file);
  }
  if (!file) {
    error_ = Said(Msg::RootMissing);
    return false;
  }
  if (seams_.serverRunning(prefixDir_)) return Refuse(*file, Said(Msg::ServerRunning));
  FileStamp now;
  if (!StampOf(file->path, now)) return Refuse(*file, Said(Msg::FileMissing));
  if (!(now == file->stamp)) {
    // Changed since we read it: take Wine's version, unless it is only touched. Changes held
    // back for one save are made again on it.
    std::string bytes, readError;
    if (!ReadWholeFile(file->path, bytes, readError)) return Refuse(*file, LocalText(readError));
    if (file->hash && Fnv1a(bytes) == *file->hash) {
      file->stamp = now;
    } else if (file->pendingCommit) {
      bytes = {};
      LocalText why;
      if (!Rebase(*file, why)) return Refuse(*file, why);
    } else {
      bytes = {};
      Load(*file);
    }
    if (!file->present) return Refuse(*file, LocalText(file->readError));
  }
  if (!file->parse.isRegistryFile) return Refuse(*file, Said(Msg::NotRegistryFile));
  if (!file->parse.problems.empty())
    return Refuse(*file, Said(Msg::NotFullyRead, {file->parse.problems.front()}));
  if (!file->verified) {
    // The tree must write back the very bytes on disk, or saving it would change more than
    // the caller asked for. Both are compared piece by piece: neither is held whole.
    std::uint64_t hash = 0;
    const Verdict verdict = CompareWithFile(*file, hash);
    if (verdict == Verdict::Unreadable) return Refuse(*file, Said(Msg::NotReadAgain));
    if (verdict == Verdict::Changed) {
      changedMeanwhile_ = !file->pendingCommit;
      Load(*file);
      return Refuse(*file, Said(Msg::ChangedMeanwhile));
    }
    if (verdict == Verdict::Different) return Refuse(*file, Said(Msg::NotWineForm));
    file->verified = true;
    file->hash = hash;
  }
  if (!seams_.canWrite(file->path)) return Refuse(*file, Said(Msg::NoPermission));
  ClearError();
  return true;
}

bool WinePrefixRegistry::Commit(RootKey root) {
  HiveFile* file = FileFor(root);
  if (!file || !file->present) return false;
  if (holding_) {
    file->pendingCommit = true;
    ClearError();
    return true;
  }
  return Save(*file);
}

bool WinePrefixRegistry::CommitHeld() {
  holding_ = false;
  bool ok = true;
  LocalText firstError;
  for (HiveFile* file : {&system_, &user_}) {
    if (!file->pendingCommit) continue;
    file->pendingCommit = false;
    if (!Save(*file) && ok) {
      ok = false;
      firstError = error_;
    }
  }
  if (!ok) {
    error_ = firstError;
  }
  return ok;
}

bool WinePrefixRegistry::Save(HiveFile& fileRef) {
  HiveFile* file = &fileRef;
  // The file's text is written as it is made, a megabyte at a time (its hash on the way),
  // where the writer allows: a registry of tens of megabytes is then never held twice.
  std::string bytes;
  std::uint64_t hash = kFnvStart;
  const auto write = [&](const std::string& path, std::string& writeError) {
    if (!streamSaves_) {
      bytes = WriteWineRegistry(file->hive);
      hash = Fnv1a(bytes);
      return seams_.write(path, bytes, writeError);
    }
    return WriteFileAtomicWith(
        path,
        [&](int fd) {
          bool good = true;
          WriteWineRegistryChunks(file->hive, [&](std::string_view chunk) {
            if (!good) return;
            good = WriteAll(fd, chunk);
            hash = Fnv1a(chunk, hash);
          });
          return good;
        },
        writeError);
  };
  LocalText writeError;
  FileStamp now;
  bool ok = false;
  {
    // From the last check to the rename no wineserver may start (it would load the old file
    // and write it back later), and no other writer of ours may save: they take turns.
    const WineSaveLock lock(prefixDir_);
    if (!lock.TurnTaken()) {
      writeError = Said(Msg::OtherPurgeletBusy);
    } else if (!lock.ServerFree() || ServerRunning()) {
      writeError = Said(Msg::WineStartedMeanwhile);
    } else if ((!StampOf(file->path, now) || !(now == file->stamp)) && !Rebase(*file, writeError)) {
      // Another writer saved first and its file cannot be taken: writeError says why.
    } else {
      std::string systemError;
      ok = write(file->path, systemError);
      if (!ok) writeError = LocalText(systemError);
      // A server started where its lock could not be held (a folder that did not exist yet)
      // may have read the old file: then the save is not one to count on.
      if (ok && ServerRunning()) {
        ok = false;
        writeError = Said(Msg::WineStartedDuringSave);
      }
    }
  }
  if (!ok) {
    // The tree holds a change that is not on disk: go back to what is on disk.
    Load(*file);
    error_ = Said(Msg::NotSaved, {file->path, writeError});
    return false;
  }
  file->hash = hash;
  file->changes.clear();
  StampOf(file->path, file->stamp);
  ClearError();
  return true;
}

bool WinePrefixRegistry::Rebase(HiveFile& file, LocalText& why) {
  std::vector<Change> changes = std::move(file.changes);
  const bool pending = file.pendingCommit;
  Load(file);
  if (!file.present) {
    why = file.readError.empty() ? Said(Msg::NoLongerExists) : LocalText(file.readError);
    return false;
  }
  if (!file.parse.isRegistryFile || !file.parse.problems.empty()) {
    why = Said(Msg::UnreadableForm);
    return false;
  }
  std::uint64_t hash = 0;
  const Verdict verdict = CompareWithFile(file, hash);
  if (verdict != Verdict::Same) {
    why = verdict == Verdict::Different ? Said(Msg::ForeignForm) : Said(Msg::KeptChanging);
    return false;
  }
  file.verified = true;
  file.hash = hash;
  Replay(*file.hive.root, changes);
  file.changes = std::move(changes);
  file.pendingCommit = pending;
  return true;
}

void WinePrefixRegistry::Replay(RegKey& root, const std::vector<Change>& changes) {
  for (const Change& change : changes) {
    RegKey* key = &root;
    const bool removal = change.kind == Change::Kind::KeyRemoved;
    bool found = true;
    for (const auto& part : change.path) {
      RegKey* next = key->FindSubKey(part);
      if (!next && removal) {
        found = false;
        break;
      }
      if (!next) {
        next = &key->EnsureSubKey(part);
        next->modified = change.modified;
      }
      key = next;
    }
    switch (change.kind) {
      case Change::Kind::KeyAdded:
        key->modified = change.modified;
        if (key->Parent()) key->Parent()->modified = change.parentModified;
        break;
      case Change::Kind::ValueSet:
        key->SetValue(change.value.Name(), change.value.type, change.value.Bytes());
        key->modified = change.modified;
        break;
      case Change::Kind::KeyRemoved:
        if (!found) break;  // the parent is gone: so is the key
        if (key->RemoveSubKey(change.name)) key->modified = change.modified;
        break;
    }
  }
}

void WinePrefixRegistry::KeyAdded(RootKey root, const RegKey& key) {
  if (HiveFile* file = FileFor(root))
    file->changes.push_back({Change::Kind::KeyAdded,
                             PathOf(key),
                             key.modified,
                             key.Parent() ? key.Parent()->modified : 0,
                             {},
                             {}});
}

void WinePrefixRegistry::ValueSet(RootKey root, const RegKey& key, const RegValue& value) {
  if (HiveFile* file = FileFor(root))
    file->changes.push_back({Change::Kind::ValueSet, PathOf(key), key.modified, 0, value, {}});
}

void WinePrefixRegistry::KeyRemoved(RootKey root, const RegKey& parent, std::u16string_view name) {
  if (HiveFile* file = FileFor(root))
    file->changes.push_back(
        {Change::Kind::KeyRemoved, PathOf(parent), parent.modified, 0, {}, std::u16string(name)});
}

bool WinePrefixRegistry::Refresh() {
  bool reloaded = false;
  for (HiveFile* file : {&system_, &user_}) {
    FileStamp now;
    const bool exists = StampOf(file->path, now);
    if (exists == file->present && (!exists || now == file->stamp)) continue;
    Load(*file);
    reloaded = true;
  }
  if (reloaded) ++generation_;
  return reloaded;
}

std::string WinePrefixRegistry::SystemFileUnusable() const {
  const HiveFile& f = system_;
  if (!f.readError.empty()) return f.readError;
  if (!f.present) return "\"" + f.path + "\" does not exist.";
  if (f.parse.isRegistryFile) return {};
  if (f.stamp.size == 0) return "\"" + f.path + "\" is empty: the prefix has no registry.";
  if (f.head.starts_with("WINE REGISTRY Version "))
    return "\"" + f.path + "\" is a Wine registry file of a version Purgelet cannot read (\"" +
           f.head.substr(0, 40) + "\").";
  return "\"" + f.path + "\" is not a Wine registry file.";
}

static std::string SkippedLinesNote(const std::string& path,
                                    const std::vector<std::string>& problems) {
  // Each problem reads "line N: what"; the reader keeps at most 20.
  std::string lines;
  for (std::size_t i = 0; i < problems.size() && i < 3; ++i) lines += (i ? "; " : "") + problems[i];
  if (problems.size() > 3) lines += "; ...";
  const std::string count = problems.size() == 1    ? "a line"
                            : problems.size() >= 20 ? "20 or more lines"
                                                    : std::to_string(problems.size()) + " lines";
  return "\"" + path + "\": Purgelet could not read " + count + " (" + lines + "), skipped " +
         (problems.size() == 1 ? "it" : "them") +
         " as Wine does and read the rest; the file is not changed.";
}

std::string WinePrefixRegistry::WhyUnchangeable(Language lang) const {
  return ServerRunning() ? Said(Msg::ServerRunning).In(lang) : std::string();
}

std::vector<std::string> WinePrefixRegistry::LoadProblems() const {
  std::vector<std::string> out;
  for (const HiveFile* f : {&system_, &user_}) {
    if (!f->readError.empty()) {
      out.push_back(f->readError);
    } else if (f->present && !f->parse.isRegistryFile) {
      out.push_back("\"" + f->path + "\" is not a Wine registry file; it is not used.");
    } else if (f->present && !f->parse.problems.empty()) {
      out.push_back(SkippedLinesNote(f->path, f->parse.problems));
    }
  }
  return out;
}

}  // namespace pgl
