// Values keep their name, type and data through every way they are stored, copied and moved:
// shared names with data held in place or apart, names of their own, and replacement.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "registry/RegTree.h"

namespace pgl {
namespace {

TEST(RegTree, ValuesKeepNameTypeAndDataHoweverStored) {
  const std::string nine("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);
  const struct {
    std::u16string name;
    std::uint32_t type;
    std::string data;
  } cases[] = {
      {u"", kRegSz, TextToRegData(u"default")},
      {u"EstimatedSize", kRegDword, DwordToRegData(42)},       // shared name, data in place
      {u"NoRemove", kRegQword, std::string(8, '\xff')},        // the most data kept in place
      {u"NoRepair", kRegBinary, nine},                         // one byte more: apart
      {u"displayname", kRegSz, TextToRegData(u"other case")},  // not the shared spelling
      {u"Zażółć", kRegBinary, std::string("\0\0", 2)},
      {u"Empty", kRegNone, ""},
      {std::u16string(300, u'n'), kRegMultiSz, std::string(5000, 'd')},
  };
  RegKey key(u"K", nullptr);
  for (const auto& c : cases) key.SetValue(c.name, c.type, c.data);
  key.ShrinkValues();

  std::vector<RegValue> copies(key.Values().begin(), key.Values().end());
  std::vector<RegValue> moved;
  for (auto& v : std::vector<RegValue>(copies)) moved.push_back(std::move(v));
  RegValue assigned;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name.begin(), c.name.end()).substr(0, 20));
    const RegValue* v = key.FindValue(c.name);
    ASSERT_NE(v, nullptr);
    assigned = *v;
    for (const RegValue* got : {v, static_cast<const RegValue*>(&assigned)}) {
      EXPECT_EQ(got->Name(), c.name);
      EXPECT_EQ(got->type, c.type);
      EXPECT_EQ(got->Bytes(), c.data);
    }
  }
  ASSERT_EQ(moved.size(), std::size(cases));
  for (std::size_t i = 0; i < moved.size(); ++i) {
    EXPECT_EQ(moved[i].Name(), key.Values()[i].Name());
    EXPECT_EQ(moved[i].Bytes(), key.Values()[i].Bytes());
  }

  // A value set again under another spelling keeps its first one and takes the new data,
  // whether the data moves from apart to in place or the other way.
  key.SetValue(u"ESTIMATEDSIZE", kRegBinary, nine);
  key.SetValue(u"NOREPAIR", kRegDword, DwordToRegData(7));
  EXPECT_EQ(key.FindValue(u"estimatedsize")->Name(), u"EstimatedSize");
  EXPECT_EQ(key.FindValue(u"estimatedsize")->Bytes(), nine);
  EXPECT_EQ(key.FindValue(u"norepair")->Name(), u"NoRepair");
  EXPECT_EQ(key.FindValue(u"norepair")->Bytes(), DwordToRegData(7));

  RegValue text(u"Contact", kRegSz, TextToRegData(u"x"));
  text.SetData(TextToRegData(u"a longer text than fits in place"));
  EXPECT_EQ(text.TextUtf8(), "a longer text than fits in place");
  text = std::move(assigned);
  const RegValue& same = text;
  text = same;  // assigning a value to itself keeps it
  EXPECT_EQ(text.Name(), cases[std::size(cases) - 1].name);
}

// Data kept packed (texts a byte a unit, no zeros at the end) gives back every byte it was
// given, as bytes, text and UTF-8, from the heap or an arena, copied or moved.
TEST(RegTree, PackedDataGivesBackEveryByte) {
  std::string record(552, '\0');  // a usage record: a head, a short program file, zeros
  record.replace(0, 4, std::string("\x28\x02\x00\x00", 4));
  record.replace(28, 6, std::string("C\0:\0\\\0", 6));
  const struct {
    std::uint32_t type;
    std::string data;
    std::string utf8;  // TextUtf8()
    std::u16string text;
  } cases[] = {
      {kRegSz, TextToRegData(u"C:\\Program Files\\App\\uninstall.exe"),
       "C:\\Program Files\\App\\uninstall.exe", u"C:\\Program Files\\App\\uninstall.exe"},
      {kRegSz, TextToRegData(u"Caf\u00e9 \u00ff edition"), "Caf\u00e9 \u00ff edition",
       u"Caf\u00e9 \u00ff edition"},
      // A unit above 255 keeps the text as UTF-16; the zeros at its end still go.
      {kRegSz, TextToRegData(u"Za\u017c\u00f3\u0142\u0107 ...."), "Za\u017c\u00f3\u0142\u0107 ....",
       u"Za\u017c\u00f3\u0142\u0107 ...."},
      {kRegSz, TextToRegData(u"\u0100abcdefgh") + std::string(12, '\0'), "\u0100abcdefgh",
       u"\u0100abcdefgh"},
      {kRegMultiSz, std::string("o\0n\0e\0\0\0t\0w\0o\0\0\0\0\0", 18), "one", u"one"},
      // A text without its terminator, and one of an odd size, keep their exact bytes.
      {kRegSz, std::string("u\0n\0t\0e\0r\0m\0", 12), "unterm", u"unterm"},
      {kRegSz, std::string("o\0d\0d\0s\0i\0z\0e", 13), "oddsiz", u"oddsiz"},
      {kRegBinary, record, "", u""},
      {kRegBinary, std::string(100, '\0'), "", u""},
      {kRegBinary, std::string("\x01\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00", 12), "", u""},
      {kRegBinary, std::string(40, '\xff') + std::string(30, '\0'), "", u""},
  };
  RegArena arena;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8 + " " + std::to_string(c.data.size()));
    const RegValue own(u"DisplayName", c.type, c.data);
    const RegValue inArena(u"A name of its own", c.type, c.data, &arena);
    RegValue copy(own);
    RegValue moved(std::move(copy));
    for (const RegValue* v : {&own, &inArena, static_cast<const RegValue*>(&moved)}) {
      EXPECT_EQ(v->Bytes(), c.data);
      EXPECT_EQ(v->DataSize(), c.data.size());
      EXPECT_TRUE(v->DataEquals(c.data));
      EXPECT_FALSE(v->DataEquals(c.data + '\0'));
      std::string scratch = "left over";
      EXPECT_EQ(v->Data(scratch), c.data);
      if (c.type == kRegBinary) continue;
      EXPECT_EQ(v->TextUtf8(), c.utf8);
      EXPECT_EQ(v->Text(), c.text);
    }
    EXPECT_EQ(inArena.Name(), u"A name of its own");
  }
}

}  // namespace
}  // namespace pgl
