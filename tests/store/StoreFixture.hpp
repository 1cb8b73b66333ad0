#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "store/Store.hpp"
#include "support/TestSupport.hpp"

namespace lumetra::test {

// A store on a fresh file in a temporary folder, and shorthands for the times tests use.
class StoreFixture : public testing::Test {
 protected:
  std::string path() const { return (folder / "lumetra.sqlite").string(); }
  Store& store() {
    if (!store_) store_ = std::make_unique<Store>(path());
    return *store_;
  }
  // 2024-05-01 at the given local time.
  static Instant at(int hour, int minute, int second = 0) { return localTime(2024, 5, 1, hour, minute, second); }
  std::string dump() { return dumpTables(store().db()); }

  // Expects `action` to throw exactly `expected` and to leave every table as it was.
  template <class Action>
  void expectRefused(const StoreError& expected, Action action) {
    const std::string before = dump();
    try {
      action();
      ADD_FAILURE() << "not refused: " << expected.description();
    } catch (const StoreError& error) {
      EXPECT_EQ(error, expected) << error.description();
    }
    EXPECT_EQ(dump(), before);
  }

  TemporaryDirectory folder;
  std::unique_ptr<Store> store_;
};

}  // namespace lumetra::test
