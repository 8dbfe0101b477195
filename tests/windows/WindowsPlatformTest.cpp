// The platform services, the runner and the file, text and time calls of the Windows build, on
// the system calls as Wine implements them.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "lang/Language.h"
#include "platform/windows/WindowsPlatform.h"
#include "platform/windows/WindowsProcessRunner.h"
#include "util/CodePage.h"
#include "util/FileIO.h"
#include "util/Locale.h"
#include "util/Utf.h"
#include "util/WindowsText.h"

namespace pgl {
namespace {

std::string WindowsPathOf(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

TEST(WindowsPlatform, EnvironmentSearchAndExistence) {
  WindowsPlatform platform;
  SetEnvironmentVariableW(L"PGL_TEXT", L"Zażółć");
  struct Expansion {
    const char* text;
    const char* expected;
  };
  const Expansion expansions[] = {
      {"%PGL_TEXT%\\x", "Zażółć\\x"},  // nothing lost to the ANSI code page
      {"%PGL_NO_SUCH_VARIABLE%", "%PGL_NO_SUCH_VARIABLE%"},
      {"100%", "100%"},
      {"", ""},
  };
  for (const auto& e : expansions)
    EXPECT_EQ(platform.ExpandEnvironmentStrings(e.text), e.expected) << e.text;

  const auto notepad = platform.SearchPath("notepad.exe");
  ASSERT_TRUE(notepad.has_value());
  EXPECT_TRUE(AsciiEqualNoCase(*notepad, "C:\\windows\\system32\\notepad.exe") ||
              AsciiEqualNoCase(*notepad, "C:\\windows\\notepad.exe"))
      << *notepad;
  EXPECT_FALSE(platform.SearchPath("pgl-no-such-program.exe").has_value());
  EXPECT_FALSE(platform.SearchPath("system32").has_value());  // a folder is not a program

  test::TempDir dir;
  test::WriteFile(dir / "Zażółć.exe", "MZ");
  struct Existence {
    std::string path;
    bool exists;
  };
  const Existence cases[] = {
      {WindowsPathOf(dir / "Zażółć.exe"), true},
      {WindowsPathOf(dir / "zażółć.EXE"), true},  // names are caseless
      {WindowsPathOf(dir.Path()), false},         // a folder
      {WindowsPathOf(dir.Path()) + "\\", false},
      {WindowsPathOf(dir / "missing.exe"), false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform.FileExists(c.path), c.exists) << c.path;
  EXPECT_EQ(platform.LocalPath(WindowsPathOf(dir / "Zażółć.exe")),
            WindowsPathOf(dir / "Zażółć.exe"));
  EXPECT_FALSE(platform.LocalPath(WindowsPathOf(dir / "missing.exe")).has_value());
}

TEST(WindowsRunner, WaitsForTheCopyAnUninstallerHandsOverTo) {
  test::TempDir dir;
  const std::string marker = WindowsPathOf(dir / "copy-done");
  WindowsProcessRunner runner;
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string program =
      Utf8Text(std::filesystem::path(self).parent_path().wstring()) + "\\" + PGL_RELAUNCHING;
  const RunOutcome r =
      runner.RunAndWait("\"" + program + "\" \"" + marker + "\"", [] { return false; });
  EXPECT_EQ(r.kind, RunOutcome::Kind::Finished) << r.message.English();
  EXPECT_EQ(r.exitCode, 5u);  // the started program's own code
  // The copy ran to its end before the wait ended.
  EXPECT_TRUE(std::filesystem::exists(dir / "copy-done"));
}

TEST(WindowsRunner, OutcomesOfStartsAndWaits) {
  WindowsProcessRunner runner;
  RunOutcome missing = runner.RunAndWait("C:\\nope\\missing.exe /x", [] { return false; });
  EXPECT_EQ(missing.kind, RunOutcome::Kind::StartFailed);
  EXPECT_EQ(missing.errorCode, 2u);
  const std::string& said = missing.message.English();
  EXPECT_EQ(said, SystemErrorText(2).substr(0, said.size()));
  EXPECT_FALSE(said.empty());
  EXPECT_NE(said.back(), '.');

  const RunOutcome exited = runner.RunAndWait("cmd.exe /c exit 7", [] { return false; });
  EXPECT_EQ(exited.kind, RunOutcome::Kind::Finished);
  EXPECT_EQ(exited.exitCode, 7u);

  int asked = 0;
  const RunOutcome stopped =
      runner.RunAndWait("cmd.exe /c ping -n 30 127.0.0.1 >NUL", [&] { return ++asked >= 3; });
  EXPECT_EQ(stopped.kind, RunOutcome::Kind::StoppedWaiting);
  EXPECT_TRUE(runner.CanRun(PeMachine::X64));
  EXPECT_TRUE(runner.CanRun(PeMachine::X86));
}

TEST(WindowsFiles, AtomicWritesAppendsAndReads) {
  test::TempDir dir;
  const std::string file = dir / "Zażółć.reg";
  std::string error, bytes;
  ASSERT_TRUE(WriteFileAtomic(file, "first", error)) << error;
  ASSERT_TRUE(WriteFileAtomic(file, "second\r\n", error)) << error;  // replaces
  ASSERT_TRUE(ReadWholeFile(file, bytes, error)) << error;
  EXPECT_EQ(bytes, "second\r\n");  // byte for byte: no text-mode line ends
  EXPECT_EQ(ReadFileStart(file, 3), "sec");
  ASSERT_TRUE(AppendToFile(file, "third", error)) << error;
  EXPECT_EQ(test::ReadFile(file), "second\r\nthird");
  // Nothing but the file is left beside it.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) entries += e.exists();
  EXPECT_EQ(entries, 1);

  struct Refusal {
    std::string path;
    const char* what;
  };
  std::filesystem::create_directory(dir / "folder");
  test::WriteFile(dir / "locked", "keep");
  SetFileAttributesW(WideText(dir / "locked").c_str(), FILE_ATTRIBUTE_READONLY);
  const Refusal refusals[] = {
      {dir / "folder", "it is a folder"},
      {dir / "locked", "read-only"},
      {dir / "no-such-folder/x", "Cannot create file"},
  };
  for (const auto& r : refusals) {
    error.clear();
    EXPECT_FALSE(WriteFileAtomic(r.path, "new", error)) << r.path;
    EXPECT_NE(error.find(r.what), std::string::npos) << error;
  }
  EXPECT_EQ(test::ReadFile(dir / "locked"), "keep");
  EXPECT_FALSE(ReadWholeFile(dir / "folder", bytes, error));
  EXPECT_FALSE(AppendToFile(dir / "folder", "x", error));
  SetFileAttributesW(WideText(dir / "locked").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsText, CodePagesCollationAndCase) {
  struct Encoding {
    const char* text;
    int codePage;
    bool exact;
    const char* bytes;
  };
  const Encoding encodings[] = {
      {"Zażółć", 1250, true, "Za\xbf\xf3\xb3\xe6"},
      {"Zażółć", 1252, false, ""},  // no "ż" in Western European: no best fit either
      {"Café", 1252, true, "Caf\xe9"},
      {"plain", 1252, true, "plain"},
      {"\xff", 1252, false, ""},  // broken UTF-8
  };
  for (const auto& e : encodings) {
    std::string out;
    EXPECT_EQ(EncodeToCodePage(e.text, e.codePage, out), e.exact) << e.text << e.codePage;
    if (e.exact) {
      EXPECT_EQ(out, e.bytes) << e.text;
    }
  }
  const TextCollator& collator = TextCollator::User();
  EXPECT_LT(collator.Compare("apple", "Banana", true), 0);
  EXPECT_EQ(collator.Compare("apple", "APPLE", true), 0);
  EXPECT_NE(collator.Compare("apple", "APPLE", false), 0);
  EXPECT_LT(collator.SortKey("apple", true), collator.SortKey("Banana", true));
  EXPECT_EQ(collator.SortKey("apple", true), collator.SortKey("APPLE", true));
  EXPECT_EQ(UpperCaseLocale("zażółć gęślą"), "ZAŻÓŁĆ GĘŚLĄ");
  EXPECT_EQ(LowerCaseUnit(u'Ż'), u'ż');
}

// On Windows the first start's language is the thread's locale.
TEST(WindowsText, FirstStartLanguageFollowsTheThreadLocale) {
  const LCID saved = GetThreadLocale();
  struct Case {
    LANGID language;
    bool polish;
  };
  const Case cases[] = {{MAKELANGID(LANG_POLISH, SUBLANG_DEFAULT), true},
                        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), false},
                        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(SetThreadLocale(MAKELCID(c.language, SORT_DEFAULT)));
    EXPECT_EQ(LanguageFromLocale(), LanguageOf(c.polish)) << c.language;
  }
  SetThreadLocale(saved);
}

// The tests run with TZ=Europe/Warsaw: one hour ahead of UTC in winter, two in summer.
TEST(WindowsTime, DatesKeepTheOffsetOfTheirOwnSeason) {
  TIME_ZONE_INFORMATION zone;
  GetTimeZoneInformation(&zone);
  if (zone.Bias != -60 || zone.DaylightBias != -60)
    GTEST_SKIP() << "needs Central European time (TZ=Europe/Warsaw), as CTest sets it";
  struct Case {
    int year, month, day, hour, minute;  // UTC
    int localDay, localHour;
  };
  const Case cases[] = {
      {2025, 7, 1, 22, 30, 2, 0},     // summer: +2 moves it to the next day
      {2025, 1, 15, 22, 30, 15, 23},  // winter: +1
      {2025, 12, 31, 23, 30, 1, 0},
  };
  for (const auto& c : cases) {
    SYSTEMTIME utc{};
    utc.wYear = static_cast<WORD>(c.year);
    utc.wMonth = static_cast<WORD>(c.month);
    utc.wDay = static_cast<WORD>(c.day);
    utc.wHour = static_cast<WORD>(c.hour);
    utc.wMinute = static_cast<WORD>(c.minute);
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
    std::tm local{};
    ASSERT_TRUE(FileTimeToLocalTime(
        (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime, local));
    EXPECT_EQ(local.tm_mday, c.localDay) << c.month;
    EXPECT_EQ(local.tm_hour, c.localHour) << c.month;
  }
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 10;
  when.tm_mday = 29;
  EXPECT_EQ(FormatShortDate(when), "11/29/2026");  // Wine's English short date
}

}  // namespace
}  // namespace pgl
