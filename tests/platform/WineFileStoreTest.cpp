// The accessor's suite against a Wine prefix's registry files.
#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "../registry/StoreUnderTest.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/WineRegFile.h"

namespace pgl::test {
namespace {

class WineFileStore : public StoreUnderTest {
 public:
  RegistryStore& Store() override {
    if (!store_) {
      // The files in the very form Wine writes, which is the only form the store writes back.
      WriteFile(dir_ / "system.reg",
                Canonical(kHeader + std::string("\\\\Machine\n\n#arch=win64\n") + machine_));
      WriteFile(dir_ / "user.reg",
                Canonical(kHeader + std::string("\\\\User\\\\S-1-5-21-0-0-0-1000\n") + user_));
      WinePrefixRegistry::Seams seams;
      seams.serverRunning = [this](const std::string&) { return refuse_; };
      store_ = std::make_unique<WinePrefixRegistry>(dir_.Path(), seams);
    }
    return *store_;
  }
  bool Load(RootKey root, std::string_view text) override {
    store_.reset();  // the files are written again with the added keys
    (root == kHkeyLocalMachine ? machine_ : user_) += text;
    return true;
  }
  // Wine running in the prefix: its files may not be written.
  bool RefuseWrites() override {
    refuse_ = true;
    return true;
  }

 private:
  static std::string Canonical(const std::string& text) {
    WineHive hive;
    EXPECT_TRUE(ParseWineRegistry(text, hive).Understood()) << text;
    return WriteWineRegistry(hive);
  }
  static constexpr const char* kHeader = "WINE REGISTRY Version 2\n;; All keys relative to ";
  TempDir dir_;
  std::string machine_, user_;
  bool refuse_ = false;
  std::unique_ptr<WinePrefixRegistry> store_;
};

INSTANTIATE_TEST_SUITE_P(WineFiles, RegistryTest,
                         ::testing::Values(StoreKind{
                             "WineFiles", [] { return std::make_unique<WineFileStore>(); }}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace pgl::test
