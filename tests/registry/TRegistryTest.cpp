#include <gtest/gtest.h>

#include <functional>

#include "StoreUnderTest.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"

namespace pgl {

namespace test {

namespace {

class MemoryStore : public StoreUnderTest {
 public:
  RegistryStore& Store() override { return store_; }
  bool Load(RootKey root, std::string_view text) override {
    return store_.LoadWineText(root, text);
  }
  bool RefuseWrites() override {
    store_.SetWritable(kHkeyLocalMachine, false);
    store_.SetWritable(kHkeyCurrentUser, false);
    return true;
  }

 private:
  MemoryRegistry store_;
};

}  // namespace

StoreKind MemoryStoreKind() {
  return {"Memory", [] { return std::make_unique<MemoryStore>(); }};
}

}  // namespace test

void test::RegistryTest::SetUp() {
  made_ = GetParam().make();
  ASSERT_TRUE(made_->Load(kHkeyLocalMachine,
                          "\n[Soft\\\\App] 1\n"
                          "@=\"def\"\n"
                          "\"Dw\"=dword:00000029\n"
                          "\"Expand\"=str(2):\"%SystemRoot%\\\\x\"\n"
                          "\"Multi\"=str(7):\"a\\0b\\0\"\n"
                          "\"Bin\"=hex:01,02,03\n"
                          "\"Text\"=\"Hello\"\n"
                          "\"Zero\"=\"ab\\0cd\"\n"
                          "\"EmptyText\"=hex(1):\n"
                          "\n[Soft\\\\App\\\\Sub\\\\Deep] 1\n"
                          "\n[Soft\\\\Other] 1\n"));
}

using test::RegistryTest;

INSTANTIATE_TEST_SUITE_P(Memory, RegistryTest, ::testing::Values(test::MemoryStoreKind()),
                         [](const auto& info) { return info.param.name; });

namespace {

TEST_P(RegistryTest, ReadsAnswerAsWindowsDoes) {
  TRegistry reg(Store());
  reg.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFT\\app"));
  EXPECT_EQ(reg.CurrentPath(), "SOFT\\app");  // as passed
  EXPECT_EQ(reg.ReadString(""), "def");
  EXPECT_EQ(reg.ReadString("text"), "Hello");
  EXPECT_EQ(reg.ReadString("Zero"), "ab");                 // up to the first zero
  EXPECT_EQ(reg.ReadString("Expand"), "%SystemRoot%\\x");  // never expanded
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_EQ(reg.ReadString("EmptyText"), "");
  EXPECT_EQ(reg.ReadInteger("DW"), 41);

  struct TypeCase {
    const char* name;
    TRegDataType type;
    int size;
  };
  const TypeCase types[] = {
      {"Text", TRegDataType::rdString, 6},   {"Expand", TRegDataType::rdExpandString, 15},
      {"Dw", TRegDataType::rdInteger, 4},    {"Bin", TRegDataType::rdBinary, 3},
      {"Multi", TRegDataType::rdUnknown, 5}, {"Missing", TRegDataType::rdUnknown, -1},
  };
  for (const auto& c : types) {
    EXPECT_EQ(reg.GetDataType(c.name), c.type) << c.name;
    EXPECT_EQ(reg.GetDataSize(c.name), c.size) << c.name;
  }
  unsigned char buffer[8] = {};
  EXPECT_EQ(reg.ReadBinaryData("Bin", buffer, sizeof buffer), 3);
  EXPECT_EQ(buffer[2], 3);
  EXPECT_EQ(reg.ReadBinaryData("Multi", buffer, sizeof buffer), 5);  // 8-bit text, as sized
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), std::string("a\0b\0\0", 5));
  EXPECT_EQ(reg.ReadBinaryData("Missing", buffer, sizeof buffer), 0);

  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"", "Bin", "Dw", "EmptyText", "Expand", "Multi",
                                             "Text", "Zero"}));
}

TEST_P(RegistryTest, WrongTypesAndMissingValuesRaise) {
  TRegistry reg(Store());
  reg.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Soft\\App"));
  unsigned char small[2];
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  };
  const Case cases[] = {
      {"string of a dword", [&] { reg.ReadString("Dw"); }, "Invalid data type for 'Dw'"},
      {"string of binary", [&] { reg.ReadString("Bin"); }, "Invalid data type for 'Bin'"},
      {"integer of text", [&] { reg.ReadInteger("Text"); }, "Invalid data type for 'Text'"},
      {"integer missing", [&] { reg.ReadInteger("None"); }, "Failed to get data for 'None'"},
      {"binary of text", [&] { reg.ReadBinaryData("Text", small, 2); },
       "Invalid data type for 'Text'"},
      {"binary too large", [&] { reg.ReadBinaryData("Bin", small, 2); },
       "Invalid data type for 'Bin'"},
      {"write on read-only open", [&] { reg.WriteString("x", "y"); }, "Failed to set data for 'x'"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << ": nothing raised";
    } catch (const ERegistryException& e) {
      EXPECT_STREQ(e.what(), c.message) << c.what;
    }
  }
}

TEST_P(RegistryTest, NoOpenKeyActsOnNothing) {
  TRegistry reg(Store());
  reg.SetRootKey(kHkeyLocalMachine);
  EXPECT_FALSE(reg.OpenKeyReadOnly("Soft\\Nothing"));
  EXPECT_FALSE(reg.ValueExists("Text"));
  EXPECT_EQ(reg.GetDataSize("Text"), -1);
  std::vector<std::string> names{"stale"};
  reg.GetKeyNames(names);
  EXPECT_TRUE(names.empty());
  reg.SetRootKey(kHkeyUsers);  // a root this store does not have
  EXPECT_FALSE(reg.OpenKey("Soft", true));
  EXPECT_FALSE(reg.KeyExists("Soft"));
}

TEST_P(RegistryTest, WritesCreateKeysAndKeepTheFirstSpelling) {
  TRegistry reg(Store());
  reg.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKey("Soft\\New\\Deeper", true));
  reg.WriteString("Name", "x");
  reg.WriteString("NAME", "y");  // same value
  reg.WriteInteger("N", -1);
  std::vector<std::string> names;
  reg.GetValueNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"N", "Name"}));
  EXPECT_EQ(reg.ReadString("name"), "y");
  EXPECT_EQ(reg.ReadInteger("n"), -1);
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKeyReadOnly("Soft"));
  reg.GetKeyNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"App", "New", "Other"}));
  EXPECT_FALSE(reg.OpenKey("Soft\\Absent", false));
}

TEST_P(RegistryTest, ReadOnlyRootRefusesFullAccess) {
  if (!made_->RefuseWrites()) GTEST_SKIP() << "this store cannot be made to refuse writes";
  TRegistry reg(Store());
  reg.SetRootKey(kHkeyLocalMachine);
  EXPECT_FALSE(reg.OpenKey("Soft\\App", false));
  EXPECT_TRUE(reg.OpenKeyReadOnly("Soft\\App"));
  EXPECT_FALSE(RegEnsureKey(Store(), kHkeyLocalMachine, "Soft\\Brand\\New"));
  EXPECT_FALSE(RegKeyExists(Store(), kHkeyLocalMachine, "Soft\\Brand"));
  EXPECT_FALSE(RegWriteString(Store(), kHkeyLocalMachine, "Soft\\App", "Text", "changed"));
  EXPECT_FALSE(RegRemoveKey(Store(), kHkeyLocalMachine, "Soft\\App"));
  EXPECT_TRUE(RegKeyExists(Store(), kHkeyLocalMachine, "Soft\\App\\Sub\\Deep"));
}

TEST_P(RegistryTest, Helpers) {
  const RootKey lm = kHkeyLocalMachine;
  // Incrementing: missing, existing DWORD, wrap-around, a text value stays.
  EXPECT_TRUE(RegIncInteger(Store(), lm, "Soft\\App", "Counter", 5));
  EXPECT_TRUE(RegIncInteger(Store(), lm, "Soft\\App", "Dw", 1));
  EXPECT_TRUE(RegWriteInteger(Store(), lm, "Soft\\App", "Max", 2147483647));
  EXPECT_TRUE(RegIncInteger(Store(), lm, "Soft\\App", "Max", 1));
  EXPECT_FALSE(RegIncInteger(Store(), lm, "Soft\\App", "Text", 1));
  TRegistry reg(Store());
  reg.SetRootKey(lm);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Soft\\App"));
  EXPECT_EQ(reg.ReadInteger("Counter"), 5);
  EXPECT_EQ(reg.ReadInteger("Dw"), 42);
  EXPECT_EQ(reg.ReadInteger("Max"), -2147483647 - 1);
  EXPECT_EQ(reg.ReadString("Text"), "Hello");
  reg.CloseKey();

  EXPECT_TRUE(RegWriteString(Store(), lm, "Soft\\App", "", "new default"));
  EXPECT_TRUE(RegValueExists(Store(), lm, "Soft\\App", ""));
  EXPECT_FALSE(RegValueExists(Store(), lm, "Soft\\Ghost", "x"));
  EXPECT_FALSE(RegKeyExists(Store(), lm, "Soft\\Ghost"));  // not created by the test above
  EXPECT_TRUE(RegEnsureKey(Store(), lm, "Soft\\Made\\Here"));
  EXPECT_TRUE(RegKeyExists(Store(), lm, "soft\\made\\here"));

  EXPECT_TRUE(RegRemoveKey(Store(), lm, "Soft\\App"));
  EXPECT_FALSE(RegKeyExists(Store(), lm, "Soft\\App\\Sub\\Deep"));
  EXPECT_FALSE(RegKeyExists(Store(), lm, "Soft\\App"));
  EXPECT_FALSE(RegRemoveKey(Store(), lm, "Soft\\App"));
}

TEST_P(RegistryTest, SubKeyTreeListsEachKeysChildrenAsABlock) {
  ASSERT_TRUE(made_->Load(kHkeyLocalMachine,
                          "\n[K\\\\A\\\\A1\\\\X] 1\n\n[K\\\\A\\\\A2] 1\n\n[K\\\\B\\\\B1] 1\n"
                          "\n[L] 1\n"));
  std::vector<std::string> result{"untouched"};
  RegGetSubKeyTree(Store(), kHkeyLocalMachine, "Missing", result);
  EXPECT_EQ(result, std::vector<std::string>{"untouched"});
  RegGetSubKeyTree(Store(), kHkeyLocalMachine, "L", result);
  EXPECT_TRUE(result.empty());
  RegGetSubKeyTree(Store(), kHkeyLocalMachine, "K", result);
  EXPECT_EQ(result, (std::vector<std::string>{"K\\A", "K\\B", "K\\A\\A1", "K\\A\\A2", "K\\A\\A1\\X",
                                              "K\\B\\B1"}));
}

}  // namespace
}  // namespace pgl
