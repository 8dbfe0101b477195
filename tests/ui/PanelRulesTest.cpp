// What the information panel may open and shows, and the icon file it saves.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <chrono>
#include <thread>

#include "TestSupport.h"
#include "platform/IconReader.h"
#include "platform/wine/WineDesktop.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "ui/main/MainTexts.h"
#include "ui/main/PanelRules.h"

namespace pgl {
namespace {

TEST(PanelRules, OnlyWebAddressesAreOpened) {
  struct Case {
    const char* text;
    const char* opened;  // nullptr: never handed to the desktop
  };
  const Case cases[] = {
      {"https://example.com/a?b=1&c=2", "https://example.com/a?b=1&c=2"},
      {"  HTTP://Example.com  ", "HTTP://Example.com"},
      {"ftp://files.example.com/x.zip", "ftp://files.example.com/x.zip"},
      {"www.example.com", "http://www.example.com"},
      {"WWW.example.com/help", "http://WWW.example.com/help"},
      {"", nullptr},
      {"   ", nullptr},
      {"https://", nullptr},
      {"www.", nullptr},
      {"C:\\Program Files\\App\\app.exe", nullptr},
      {"file:///etc/passwd", nullptr},
      {"javascript:alert(1)", nullptr},
      {"/usr/bin/xterm", nullptr},
      {"mailto:someone@example.com", nullptr},
      {"https://example.com/a b", nullptr},       // a blank inside: not one address
      {"https://example.com/\n--flag", nullptr},  // nor a line break
      {"-https://example.com", nullptr},
      {"support@example.com", nullptr},
  };
  for (const Case& c : cases) {
    const auto opened = WebAddressToOpen(c.text);
    if (c.opened) {
      ASSERT_TRUE(opened.has_value()) << c.text;
      EXPECT_EQ(*opened, c.opened);
    } else {
      EXPECT_FALSE(opened.has_value()) << c.text << " -> " << opened.value_or("");
    }
  }
}

TEST(PanelRules, FolderOfTheProgramFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Program Files\\App\\app.exe", "C:\\Program Files\\App"},
      {"  C:\\App\\app.exe  ", "C:\\App"},
      {"C:\\app.exe", "C:\\"},
      {"app.exe", ""},
      {"", ""},
      {R"(\\server\share\x.exe)", R"(\\server\share)"},
  };
  for (const auto& [text, folder] : cases) EXPECT_EQ(FolderOfFile(text), folder) << text;
}

TEST(PanelRules, KeysAreShownOnlyWhileTheyExist) {
  MemoryRegistry registry;
  TUninstallInfo info;
  info.KeyName = "App";
  info.View = UninstallView::Machine32;
  const std::string uninstall =
      "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
  EXPECT_EQ(ExistingEntryKeys(registry, info).uninstallKey, "");
  ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, uninstall, "DisplayName", "App"));
  EntryKeyTexts keys = ExistingEntryKeys(registry, info);
  EXPECT_EQ(keys.uninstallKey, "HKEY_LOCAL_MACHINE\\" + uninstall);
  EXPECT_EQ(keys.arpCacheKey, "");
  info.View = UninstallView::User;
  ASSERT_TRUE(RegWriteString(registry, kHkeyCurrentUser,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\App "
                             "Management\\ARPCache\\App",
                             "Changed", "0"));
  keys = ExistingEntryKeys(registry, info);
  EXPECT_EQ(keys.uninstallKey, "");
  EXPECT_EQ(keys.arpCacheKey,
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App "
            "Management\\ARPCache\\App");
}

TEST(PanelRules, StatusTextsInBothLanguages) {
  EXPECT_EQ(StatusText(0, 57, Language::English), "Visible : 57");
  EXPECT_EQ(StatusText(3, 2, Language::Polish), "Nieprawidłowe : 2");
  EXPECT_EQ(StatusText(4, 0, Language::English), "System components : 0");
  EXPECT_EQ(StatusText(5, 9, Language::English), "");  // the sixth panel stays empty
  EXPECT_EQ(ExeFileHint(Language::English),
            "Right click = Copy to Clipboard\r\nCtrl + Left click = Explore directory");
}

TEST(IconFile, EncodedIconReadsBackPixelForPixel) {
  std::vector<std::uint32_t> argb(32 * 32);
  for (std::size_t i = 0; i < argb.size(); ++i)
    argb[i] = i % 5 == 0 ? 0u : 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
  const std::string ico = EncodeIco32(32, 32, argb);
  IconReader reader(ico);
  ASSERT_EQ(reader.GroupCount(), 1u);
  const auto image = reader.Extract(0, false);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->height, 32);
  EXPECT_EQ(image->bitCount, 32);
  // The first pixel of the stored bottom row is the image's bottom-left pixel.
  const std::size_t pixels = 6 + 16 + 40;
  const std::uint32_t bottomLeft = argb[31 * 32];
  EXPECT_EQ(static_cast<unsigned char>(ico[pixels]), bottomLeft & 0xff);
  EXPECT_EQ(static_cast<unsigned char>(ico[pixels + 3]), bottomLeft >> 24);
  // Transparent pixels are in the mask: the top-left one is bit 7 of the last mask row.
  const std::size_t mask = pixels + 32 * 32 * 4;
  EXPECT_EQ(static_cast<unsigned char>(ico[mask + 31 * 4]) & 0x80, 0x80);
  EXPECT_EQ(EncodeIco32(0, 32, argb), "");
  EXPECT_EQ(EncodeIco32(32, 32, std::vector<std::uint32_t>(10)), "");
}

}  // namespace
}  // namespace pgl
