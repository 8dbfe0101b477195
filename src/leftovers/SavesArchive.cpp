#include "leftovers/SavesArchive.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/SaveFolders.h"
#include "util/FileIO.h"

namespace pgl {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::uint64_t kMaxOctalSize = 077777777777ull;  // what 11 octal digits hold

struct Member {
  std::string path;    // in the archive
  std::string source;  // on disk
  std::uint64_t size = 0;
  std::int64_t mtime = 0;
  std::uint64_t hash = 0;  // of the content, as written
};

std::uint64_t Fnv(std::uint64_t hash, const char* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(data[i]);
    hash *= 0x100000001b3ull;
  }
  return hash;
}
constexpr std::uint64_t kFnvStart = 0xcbf29ce484222325ull;

void Octal(char* field, std::size_t width, std::uint64_t value) {
  // width - 1 digits, the most significant first, and a NUL.
  for (std::size_t i = width - 1; i-- > 0;) {
    field[i] = static_cast<char>('0' + (value & 7));
    value >>= 3;
  }
  field[width - 1] = '\0';
}

// A ustar header; the checksum is filled in last.
std::array<char, kBlock> Header(const std::string& name, std::uint64_t size, std::int64_t mtime,
                                char type) {
  std::array<char, kBlock> h{};
  std::memcpy(h.data(), name.data(), std::min<std::size_t>(name.size(), 100));
  Octal(&h[100], 8, type == '5' ? 0755 : 0644);
  Octal(&h[108], 8, 0);
  Octal(&h[116], 8, 0);
  Octal(&h[124], 12, std::min(size, kMaxOctalSize));
  Octal(&h[136], 12, static_cast<std::uint64_t>(std::max<std::int64_t>(mtime, 0)));
  h[156] = type;
  std::memcpy(&h[257], "ustar", 6);
  std::memcpy(&h[263], "00", 2);
  std::memset(&h[148], ' ', 8);
  unsigned sum = 0;
  for (const char c : h) sum += static_cast<unsigned char>(c);
  Octal(&h[148], 7, sum);  // six digits, a NUL and a blank
  h[155] = ' ';
  return h;
}

bool ChecksumHolds(const std::array<char, kBlock>& h) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < kBlock; ++i)
    sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(h[i]);
  return std::strtoul(std::string(&h[148], 8).c_str(), nullptr, 8) == sum;
}

// "<length> key=value\n", the length counting itself.
std::string PaxRecord(const std::string& key, const std::string& value) {
  const std::size_t body = key.size() + value.size() + 3;  // " ", "=", "\n"
  std::size_t length = body + 1;
  while (std::to_string(length).size() + body != length) ++length;
  return std::to_string(length) + " " + key + "=" + value + "\n";
}

bool NeedsPax(const Member& m) {
  return m.path.size() >= 100 || m.size > kMaxOctalSize ||
         std::any_of(m.path.begin(), m.path.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string Padding(std::uint64_t size) {
  return std::string(static_cast<std::size_t>((kBlock - size % kBlock) % kBlock), '\0');
}

std::int64_t UnixSeconds(const fs::file_time_type& time) {
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// The regular files below the save folders, each once, in order of their paths.
bool CollectFiles(const std::string& prefixDir, const std::vector<std::string>& saveFolders,
                  const std::string& top, std::vector<Member>& members, std::string& error) {
  for (const std::string& folder : saveFolders) {
    std::error_code ec;
    const fs::path start = fs::path(prefixDir) / folder;
    if (fs::symlink_status(start, ec).type() != fs::file_type::directory) continue;
    fs::recursive_directory_iterator it(start, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const fs::file_status status = it->symlink_status(ec);
      if (ec || status.type() != fs::file_type::regular) continue;
      const std::string relative =
          fs::path(it->path()).lexically_relative(prefixDir).generic_string();
      // Only what counts as a save: not Wine's own folders beside the saves.
      if (SaveFolderOf(relative).empty()) continue;
      Member m;
      m.path = top + "/" + relative;
      m.source = it->path().string();
      m.size = it->file_size(ec);
      if (ec) break;
      m.mtime = UnixSeconds(it->last_write_time(ec));
      if (ec) break;
      members.push_back(std::move(m));
    }
    if (ec) {
      error = "cannot read " + start.string() + ": " + ec.message();
      return false;
    }
  }
  std::sort(members.begin(), members.end(),
            [](const Member& a, const Member& b) { return a.path < b.path; });
  members.erase(std::unique(members.begin(), members.end(),
                            [](const Member& a, const Member& b) { return a.path == b.path; }),
                members.end());
  return true;
}

// Writes the members into the open file, noting each content's hash as it goes.
bool WriteMembers(int fd, std::vector<Member>& members, std::string& error) {
  std::vector<char> buffer(1 << 20);
  for (Member& m : members) {
    if (NeedsPax(m)) {
      std::string records = PaxRecord("path", m.path);
      if (m.size > kMaxOctalSize) records += PaxRecord("size", std::to_string(m.size));
      const auto pax = Header("PaxHeader", records.size(), m.mtime, 'x');
      if (!WriteAll(fd, {pax.data(), pax.size()}) || !WriteAll(fd, records) ||
          !WriteAll(fd, Padding(records.size())))
        return false;
    }
    const auto header = Header(m.path, m.size, m.mtime, '0');
    if (!WriteAll(fd, {header.data(), header.size()})) return false;
    std::ifstream in(m.source, std::ios::binary);
    std::uint64_t left = m.size;
    m.hash = kFnvStart;
    while (in && left > 0) {
      in.read(buffer.data(),
              static_cast<std::streamsize>(std::min<std::uint64_t>(left, buffer.size())));
      const auto got = static_cast<std::size_t>(in.gcount());
      if (got == 0) break;
      m.hash = Fnv(m.hash, buffer.data(), got);
      if (!WriteAll(fd, {buffer.data(), got})) return false;
      left -= got;
    }
    // A file that shrank or grew while it was read is not the save it was.
    if (left != 0 || (in.peek() != std::char_traits<char>::eof())) {
      error = m.source + " changed while it was being archived";
      errno = EIO;
      return false;
    }
    if (!WriteAll(fd, Padding(m.size))) return false;
  }
  const std::string end(2 * kBlock, '\0');
  return WriteAll(fd, end);
}

// Reads the archive back and compares it with what was written.
bool Verify(const std::string& file, const std::vector<Member>& members, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  std::array<char, kBlock> h{};
  std::vector<char> buffer(1 << 20);
  const auto fail = [&](const std::string& why) {
    error = "the archive " + file + " does not read back as written: " + why;
    return false;
  };
  for (const Member& m : members) {
    std::string path;
    std::uint64_t size = 0;
    for (;;) {
      if (!in.read(h.data(), kBlock)) return fail("it ends before " + m.path);
      if (!ChecksumHolds(h)) return fail("a header's checksum is wrong");
      size = std::strtoull(std::string(&h[124], 12).c_str(), nullptr, 8);
      if (h[156] != 'x') break;
      std::string records(size, '\0');
      if (!in.read(records.data(), static_cast<std::streamsize>(size)))
        return fail("a pax header is cut");
      in.ignore(static_cast<std::streamsize>(Padding(size).size()));
      for (std::size_t at = 0; at < records.size();) {
        const std::size_t space = records.find(' ', at);
        if (space == std::string::npos) return fail("a pax record is broken");
        const std::size_t length = std::strtoull(records.c_str() + at, nullptr, 10);
        if (length == 0 || at + length > records.size()) return fail("a pax record is broken");
        const std::string record = records.substr(space + 1, at + length - space - 2);
        if (record.starts_with("path=")) path = record.substr(5);
        at += length;
      }
    }
    if (path.empty()) path.assign(&h[0], strnlen(&h[0], 100));
    if (path != m.path || size != std::min(m.size, kMaxOctalSize))
      return fail("found " + path + " where " + m.path + " was written");
    std::uint64_t left = m.size, hash = kFnvStart;
    while (left > 0) {
      const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
      if (!in.read(buffer.data(), static_cast<std::streamsize>(piece)))
        return fail(m.path + " is cut");
      hash = Fnv(hash, buffer.data(), piece);
      left -= piece;
    }
    if (hash != m.hash) return fail(m.path + " differs");
    in.ignore(static_cast<std::streamsize>(Padding(m.size).size()));
  }
  for (int i = 0; i < 2; ++i)
    if (!in.read(h.data(), kBlock) || std::any_of(h.begin(), h.end(), [](char c) { return c; }))
      return fail("its end is missing");
  return true;
}

std::string Stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H-%M-%S", &local);
  return text;
}

}  // namespace

std::string ArchiveName(const std::string& name) {
  std::string out;
  for (const char c : name)
    out += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '_' : c;
  if (out.empty() || out == "." || out == "..") return "prefix";
  return out;
}

bool WriteSavesArchive(const std::string& prefixDir, const std::vector<std::string>& saveFolders,
                       const std::string& name, const std::string& intoDir, SavesArchive& archive,
                       std::string& error) {
  const std::string top = ArchiveName(name);
  std::vector<Member> members;
  if (!CollectFiles(prefixDir, saveFolders, top, members, error)) return false;
  std::error_code ec;
  fs::create_directories(intoDir, ec);
  if (ec) {
    error = "cannot make " + intoDir + ": " + ec.message();
    return false;
  }
  // A new file: an archive of the same second is never replaced.
  const std::string base = intoDir + "/" + top + " saves " + Stamp();
  std::string file = base + ".tar";
  for (int n = 2; fs::symlink_status(file, ec).type() != fs::file_type::not_found; ++n)
    file = base + " (" + std::to_string(n) + ").tar";
  std::string why;
  if (!WriteFileAtomicWith(
          file, [&](int fd) { return WriteMembers(fd, members, why); }, error)) {
    if (!why.empty()) error = why;
    return false;
  }
  if (!Verify(file, members, error)) {
    fs::remove(file, ec);
    return false;
  }
  archive.file = file;
  archive.files = members.size();
  archive.bytes = 0;
  for (const Member& m : members) archive.bytes += m.size;
  return true;
}

}  // namespace pgl
