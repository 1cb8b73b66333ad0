// A database that lost most of its rows gives its pages back, at most once a day.
#include <gtest/gtest.h>

#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

class StoreSpaceTest : public test::StoreFixture {};

TEST_F(StoreSpaceTest, FreePagesGoBackOnceADay) {
  (void)store().createProject("Garden", at(7, 0));
  store().db().exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) INSERT INTO sessions "
                    "(project_id, start_at, end_at, last_active_at, end_reason, description) SELECT 1, 1.6e9 + i * 4000, "
                    "1.6e9 + i * 4000 + 600, 1.6e9 + i * 4000 + 600, 'added', 'weeding the beds' FROM n");
  const auto pages = [&] { return store().db().query("PRAGMA page_count").front().integer("page_count"); };
  EXPECT_FALSE(store().reclaimSpace(at(9, 0)));  // nothing free yet
  store().db().exec("DELETE FROM sessions");
  const auto before = pages();
  EXPECT_TRUE(store().reclaimSpace(at(9, 0)));
  EXPECT_LT(pages() * 4, before);
  store().db().exec("DELETE FROM projects");
  EXPECT_FALSE(store().reclaimSpace(at(12, 0)));  // the same day
}

}  // namespace
}  // namespace lumetra
