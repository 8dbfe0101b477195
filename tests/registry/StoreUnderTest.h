// The registry stores that the accessor's suite runs against: each filled from Wine registry
// text, so that one suite checks every store the same way.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "registry/RegistryStore.h"

namespace pgl::test {

class StoreUnderTest {
 public:
  virtual ~StoreUnderTest() = default;
  virtual RegistryStore& Store() = 0;
  // Adds the keys of Wine registry text (the lines after a file's header) below the root.
  virtual bool Load(RootKey root, std::string_view text) = 0;
  // Makes every root refuse writes; false where this store cannot be made to.
  virtual bool RefuseWrites() = 0;
};

struct StoreKind {
  std::string name;
  std::function<std::unique_ptr<StoreUnderTest>()> make;
};

// Test names show the store's name.
inline void PrintTo(const StoreKind& kind, std::ostream* out) {
  *out << kind.name;
}

// The store held in memory, on every platform.
StoreKind MemoryStoreKind();

// The accessor's and helpers' suite; each platform's tests instantiate it for their stores.
class RegistryTest : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override;
  RegistryStore& Store() { return made_->Store(); }
  std::unique_ptr<StoreUnderTest> made_;
};

}  // namespace pgl::test
