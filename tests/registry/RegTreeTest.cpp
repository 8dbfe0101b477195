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
      EXPECT_EQ(got->Data(), c.data);
    }
  }
  ASSERT_EQ(moved.size(), std::size(cases));
  for (std::size_t i = 0; i < moved.size(); ++i) {
    EXPECT_EQ(moved[i].Name(), key.Values()[i].Name());
    EXPECT_EQ(moved[i].Data(), key.Values()[i].Data());
  }

  // A value set again under another spelling keeps its first one and takes the new data,
  // whether the data moves from apart to in place or the other way.
  key.SetValue(u"ESTIMATEDSIZE", kRegBinary, nine);
  key.SetValue(u"NOREPAIR", kRegDword, DwordToRegData(7));
  EXPECT_EQ(key.FindValue(u"estimatedsize")->Name(), u"EstimatedSize");
  EXPECT_EQ(key.FindValue(u"estimatedsize")->Data(), nine);
  EXPECT_EQ(key.FindValue(u"norepair")->Name(), u"NoRepair");
  EXPECT_EQ(key.FindValue(u"norepair")->Data(), DwordToRegData(7));

  RegValue text(u"Contact", kRegSz, TextToRegData(u"x"));
  text.SetData(TextToRegData(u"a longer text than fits in place"));
  EXPECT_EQ(text.TextUtf8(), "a longer text than fits in place");
  text = std::move(assigned);
  const RegValue& same = text;
  text = same;  // assigning a value to itself keeps it
  EXPECT_EQ(text.Name(), cases[std::size(cases) - 1].name);
}

}  // namespace
}  // namespace pgl
