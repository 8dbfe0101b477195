// Feeds arbitrary bytes to the Wine registry file reader. Whatever it reads as fully
// understood must come back from the writer as the same keys and values: the writer's output
// is understood by the reader, and holds the same tree. Whatever it reads, a registry script
// exported from it holds only lines the export meant to write: headers, value lines and
// byte-list continuations, never a line that its data chose. The reader of the keys a list
// needs keeps every line where it was, reads what it would read of the blanked text, and finds
// the first problem a full read finds. Read in pieces by several threads, the file reads as one
// thread reads it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "registry/RegExport.h"
#include "registry/WineRegFile.h"
#include "util/Utf.h"

namespace {

// Recent: a time of reading, given to a key whose header has none.
bool Recent(std::uint64_t fileTime) {
  return fileTime + 36000000000ull > pgl::FileTimeNow();
}

// With `times`, the keys' times too.
bool SameTree(const pgl::RegKey& a, const pgl::RegKey& b, bool times = false) {
  if (times && a.modified != b.modified && !(Recent(a.modified) && Recent(b.modified)))
    return false;
  if (a.Name() != b.Name() || a.ClassName() != b.ClassName() || a.isLink != b.isLink ||
      a.SubKeys().size() != b.SubKeys().size() || a.Values().size() != b.Values().size())
    return false;
  for (std::size_t i = 0; i < a.Values().size(); ++i) {
    const auto& x = a.Values()[i];
    const auto& y = b.Values()[i];
    if (x.Name() != y.Name() || x.type != y.type || x.Bytes() != y.Bytes()) return false;
  }
  for (std::size_t i = 0; i < a.SubKeys().size(); ++i)
    if (!SameTree(*a.SubKeys()[i], *b.SubKeys()[i], times)) return false;
  return true;
}

// Every line of the script, decoded, is one the export writes itself.
void CheckScriptLines(const pgl::RegExportResult& script) {
  std::string text = script.bytes;
  if (script.form == pgl::RegScriptForm::Unicode) {
    if (text.size() < 2 || text.size() % 2 != 0) std::abort();
    text = pgl::Utf16ToUtf8(pgl::Utf16LeUnits(std::string_view(text).substr(2)));
  }
  std::size_t at = 0, number = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) std::abort();  // every line ends with CR LF
    const std::string_view line = std::string_view(text).substr(at, end - at);
    const bool ok = number == 0 || line.empty() || line.starts_with("[HKEY_LOCAL_MACHINE\\K") ||
                    line.starts_with("\"") || line.starts_with("@=") || line.starts_with("  ");
    if (!ok || line.find('\n') != std::string_view::npos ||
        line.find('\r') != std::string_view::npos)
      std::abort();
    at = end + 2;
    ++number;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  pgl::WineHive hive;
  const auto result = pgl::ParseWineRegistry(bytes, hive);
  const std::string written = pgl::WriteWineRegistry(hive);
  if (result.Understood()) {
    pgl::WineHive again;
    if (!pgl::ParseWineRegistry(written, again).Understood()) std::abort();
    if (!SameTree(*hive.root, *again.root)) std::abort();
  }
  // The list's read: keeping every key gives the text back; keeping some keeps every line
  // where it was.
  if (pgl::WineRegistryBlocks(bytes, [](std::string_view) { return true; }) != bytes) std::abort();
  const pgl::BlockFilter even = [](std::string_view path) { return path.size() % 2 == 0; };
  const std::string some = pgl::WineRegistryBlocks(bytes, even);
  if (std::count(some.begin(), some.end(), '\n') != std::count(bytes.begin(), bytes.end(), '\n'))
    std::abort();
  // Passing blocks over while reading gives what reading the blanked text gives.
  pgl::WineHive skipped, blanked;
  const auto skippedResult = pgl::ParseWineRegistry(bytes, skipped, even);
  const auto blankedResult = pgl::ParseWineRegistry(some, blanked);
  if (skippedResult.problems != blankedResult.problems ||
      skippedResult.isRegistryFile != blankedResult.isRegistryFile ||
      !SameTree(*skipped.root, *blanked.root))
    std::abort();
  // The list passes over only blocks a full read finds nothing wrong in, so the first problem
  // of a full read is the list's first too. (A value listed twice in two blocks of one key is
  // the exception: telling it would take keeping every name.)
  if (!result.problems.empty() && result.problems[0].find("listed twice") == std::string::npos &&
      (skippedResult.problems.empty() || skippedResult.problems[0] != result.problems[0]))
    std::abort();
  // Read in pieces (cut at key blocks near the middle), the file reads as one reader reads it.
  // Keys without a time in their header get the time of reading, which differs by run.
  for (const pgl::BlockFilter* filter : {static_cast<const pgl::BlockFilter*>(nullptr), &even}) {
    pgl::WineHive one, pieces;
    const auto a = pgl::ParseWineRegistry(bytes, one, filter, std::size_t(-1));
    const auto b = pgl::ParseWineRegistry(bytes, pieces, filter, 0);
    if (a.problems != b.problems || a.isRegistryFile != b.isRegistryFile ||
        one.relativeTo != pieces.relativeTo || one.arch != pieces.arch ||
        !SameTree(*one.root, *pieces.root, true))
      std::abort();
    // Read as a file arrives, in short reads and small pieces; where that gives up, the caller
    // reads the text whole with one reader.
    std::size_t at = 0;
    const std::size_t readSize = 1 + (size ? data[0] % 61 : 0);
    const pgl::ByteSource source = [&](char* into, std::size_t wanted) -> std::ptrdiff_t {
      const std::size_t n = std::min({wanted, readSize, bytes.size() - at});
      std::memcpy(into, bytes.data() + at, n);
      at += n;
      return static_cast<std::ptrdiff_t>(n);
    };
    pgl::WineHive streamed;
    auto c = pgl::ParseWineRegistryStream(source, bytes.size(), streamed, filter, 16 + size / 5);
    if (!c) c = pgl::ParseWineRegistry(bytes, streamed, filter, std::size_t(-1));
    if (a.problems != c->problems || a.isRegistryFile != c->isRegistryFile ||
        one.relativeTo != streamed.relativeTo || one.arch != streamed.arch ||
        !SameTree(*one.root, *streamed.root, true))
      std::abort();
  }
  // The tree exported as a backup: its root's keys under "K".
  pgl::MemoryRegistry store;
  if (pgl::RegKey* machine = store.Hive(pgl::kHkeyLocalMachine)) {
    pgl::RegKey& k = machine->EnsureSubKey(u"K");
    std::vector<const pgl::RegKey*> stack{hive.root.get()};
    std::vector<pgl::RegKey*> copies{&k};
    while (!stack.empty()) {
      const pgl::RegKey* from = stack.back();
      pgl::RegKey* to = copies.back();
      stack.pop_back();
      copies.pop_back();
      for (const auto& v : from->Values()) to->SetValue(v.Name(), v.type, v.Bytes());
      for (const auto& sub : from->SubKeys()) {
        stack.push_back(sub.get());
        copies.push_back(&to->EnsureSubKey(sub->Name()));
      }
    }
    for (int codePage : {1252, 1250})
      CheckScriptLines(pgl::BuildRegistryExport(store, pgl::kHkeyLocalMachine, "K", codePage));
  }
  return 0;
}
