// Icons from PE files built here with the Windows cross tool chain's resource compiler, and
// from .ico files; and malformed files that must give no icon without reading out of bounds.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "platform/IconReader.h"

namespace pgl {
namespace {

// A DIB icon image (header, palette, pixels, mask) of the given size and depth.
std::string Dib(int size, int bits) {
  std::string out(40, '\0');
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<std::uint32_t>(size));
  put32(8, static_cast<std::uint32_t>(size * 2));
  out[12] = 1;
  out[14] = static_cast<char>(bits);
  if (bits <= 8) out.append(4u << bits, '\0');
  const int row = ((size * bits + 31) / 32) * 4, mask = ((size + 31) / 32) * 4;
  out.append(static_cast<std::size_t>(row * size), static_cast<char>(bits));
  out.append(static_cast<std::size_t>(mask * size), '\0');
  return out;
}

std::string Png() {
  return std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, 'p');
}

struct Image {
  int size, bits;
  std::string data;
};

std::string Ico(const std::vector<Image>& images) {
  std::string out;
  const auto put16 = [&](std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
  };
  const auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16(0);
  put16(1);
  put16(static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (const auto& i : images) {
    out += static_cast<char>(i.size % 256);
    out += static_cast<char>(i.size % 256);
    out += static_cast<char>(i.bits < 8 ? 1 << i.bits : 0);
    out += '\0';
    put16(1);
    put16(static_cast<std::uint32_t>(i.bits));
    put32(static_cast<std::uint32_t>(i.data.size()));
    put32(offset);
    offset += static_cast<std::uint32_t>(i.data.size());
  }
  for (const auto& i : images) out += i.data;
  return out;
}

class IconFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new test::TempDir;
    const std::string d = dir->Path();
    test::WriteFile(
        *dir / "main.ico",
        Ico({{16, 8, Dib(16, 8)}, {32, 32, Dib(32, 32)}, {48, 32, Dib(48, 32)}, {256, 32, Png()}}));
    test::WriteFile(*dir / "depth.ico",
                    Ico({{16, 4, Dib(16, 4)}, {32, 4, Dib(32, 4)}, {32, 8, Dib(32, 8)}}));
    test::WriteFile(*dir / "png.ico", Ico({{256, 32, Png()}}));
    test::WriteFile(*dir / "app.rc",
                    "MAINICON ICON \"main.ico\"\n101 ICON \"depth.ico\"\n"
                    "5 ICON \"png.ico\"\n");
    test::WriteFile(*dir / "main.c", "int main(void) { return 0; }\n");
    const std::string cd = "cd '" + d + "' && ";
    ASSERT_EQ(std::system((cd + "x86_64-w64-mingw32-windres app.rc -O coff -o app64.o && "
                                "x86_64-w64-mingw32-gcc -o app64.exe main.c app64.o")
                              .c_str()),
              0);
    ASSERT_EQ(std::system((cd + "x86_64-w64-mingw32-windres -F pe-i386 app.rc -O coff -o "
                                "app32.o && ld -m i386pe --dll -e 0 -o app32.dll app32.o")
                              .c_str()),
              0);
  }
  static void TearDownTestSuite() { delete dir; }
  static test::TempDir* dir;
};
test::TempDir* IconFiles::dir = nullptr;

TEST_F(IconFiles, PeFilesOfBothKinds) {
  struct Case {
    const char* file;
    PeMachine machine;
    bool is64;
  };
  for (const Case& c :
       {Case{"app64.exe", PeMachine::X64, true}, Case{"app32.dll", PeMachine::X86, false}}) {
    const std::string bytes = test::ReadFile(*dir / c.file);
    const auto info = ReadPeInfo(bytes);
    ASSERT_TRUE(info) << c.file;
    EXPECT_EQ(info->machine, c.machine) << c.file;
    EXPECT_EQ(info->is64Bit, c.is64) << c.file;

    const IconReader reader(bytes);
    ASSERT_EQ(reader.GroupCount(), 3u) << c.file;
    EXPECT_TRUE(reader.Groups()[0].named);  // named groups come first in the directory
    EXPECT_EQ(reader.Groups()[1].id, 5u);
    EXPECT_EQ(reader.Groups()[2].id, 101u);

    struct Pick {
      int index;
      bool small;
      int size, bits;
      bool png;
    };
    const Pick picks[] = {
        {0, false, 32, 32, false},  // MAINICON: exact size
        {0, true, 16, 8, false},
        {-101, false, 32, 8, false},  // two 32x32 images: the deeper one
        {-101, true, 16, 4, false},
        {1, false, 256, 32, true},  // the only image, a PNG
        {-5, true, 256, 32, true},
    };
    for (const Pick& p : picks) {
      const auto image = reader.Extract(p.index, p.small);
      ASSERT_TRUE(image) << c.file << " " << p.index;
      EXPECT_EQ(image->width, p.size) << c.file << " " << p.index << " " << p.small;
      EXPECT_EQ(image->bitCount, p.bits) << c.file << " " << p.index << " " << p.small;
      EXPECT_EQ(image->png, p.png) << c.file << " " << p.index;
      // The image is handed over as a one-image .ico file that reads back the same.
      const auto again = IconReader(image->ico).Extract(0, p.small);
      ASSERT_TRUE(again);
      EXPECT_EQ(again->ico, image->ico);
    }
    EXPECT_FALSE(reader.Extract(3, false));
    EXPECT_FALSE(reader.Extract(-7, false));
    // Saving a group gives an .ico with all its images.
    const auto group = reader.GroupAsIco(0);
    ASSERT_TRUE(group);
    EXPECT_EQ(*group, test::ReadFile(*dir / "main.ico"));
  }
}

TEST_F(IconFiles, IcoFiles) {
  const IconReader reader(test::ReadFile(*dir / "main.ico"));
  EXPECT_FALSE(reader.IsPe());
  ASSERT_EQ(reader.GroupCount(), 1u);
  EXPECT_EQ(reader.Extract(0, false)->width, 32);
  EXPECT_EQ(reader.Extract(0, true)->width, 16);
  EXPECT_FALSE(reader.Extract(1, false));
}

TEST_F(IconFiles, MalformedFilesGiveNoIcon) {
  const std::string exe = test::ReadFile(*dir / "app64.exe");
  const std::string ico = test::ReadFile(*dir / "main.ico");
  // Every cut of the files, and bytes changed all over them: no crash, no read out of bounds
  // (the sanitizer build checks), and answers only from what is there.
  for (const std::string* file : {&exe, &ico}) {
    for (std::size_t n = 0; n < file->size(); n += (n < 2048 ? 1 : 509)) {
      const IconReader reader(file->substr(0, n));
      for (int i = -101; i < 4; i += 13) (void)reader.Extract(i, false);
      (void)ReadPeInfo(std::string_view(*file).substr(0, n));
    }
    std::string changed = *file;
    std::uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
      seed = seed * 1103515245u + 12345u;
      changed[seed % changed.size()] = static_cast<char>(seed >> 24);
      const IconReader reader(changed);
      (void)reader.Extract(0, true);
      (void)reader.GroupAsIco(-101);
    }
  }
  EXPECT_FALSE(ReadPeInfo("MZ"));
  EXPECT_FALSE(ReadPeInfo(ico));
  EXPECT_FALSE(IconReader("").Extract(0, false));
  EXPECT_FALSE(IconReader(std::string(6, '\0')).Extract(0, false));
}

}  // namespace
}  // namespace pgl
