#include "store/Database.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

class DatabaseTest : public testing::Test {
 protected:
  test::TemporaryDirectory folder;
  Database db{(folder / "test.sqlite").string()};
};

TEST_F(DatabaseTest, ConnectionSettings) {
  EXPECT_EQ(db.query("PRAGMA journal_mode").front().optionalText("journal_mode"), "wal");
  EXPECT_EQ(db.query("PRAGMA synchronous").front().integer("synchronous"), 2);  // FULL
  EXPECT_EQ(db.query("PRAGMA foreign_keys").front().integer("foreign_keys"), 1);
}

TEST_F(DatabaseTest, ErrorTexts) {
  test::TemporaryDirectory other;
  EXPECT_EQ(test::thrownText<DatabaseError>([&] { Database missing((other / "no/such/x.sqlite").string()); }),
            "Could not open database: unable to open database file");
  EXPECT_EQ(test::thrownText<DatabaseError>([&] { (void)db.query("SELEKT 1"); }),
            "Could not prepare statement (near \"SELEKT\": syntax error): SELEKT 1");
  db.exec("CREATE TABLE t (a TEXT UNIQUE, b INTEGER NOT NULL DEFAULT 0 CHECK (b >= 0))");
  (void)db.query("INSERT INTO t (a) VALUES (?)", {"x"});
  EXPECT_EQ(test::thrown<DatabaseError>([&] {
              (void)db.query("INSERT INTO t (a, b) VALUES (?, ?)", {"y", -1});
            })->kind(),
            DatabaseError::Case::constraint);
  EXPECT_EQ(test::thrownText<DatabaseError>([&] { db.exec("INSERT INTO t (a) VALUES ('x')"); }),
            "Database error: UNIQUE constraint failed: t.a");
}

TEST_F(DatabaseTest, RowConversions) {
  const auto rows = db.query(
      "SELECT 42 AS i, 2.9 AS d, -2.9 AS nd, '42' AS t, '+42' AS pt, '42a' AS bad, '' AS empty, ' 42' AS spaced, "
      "NULL AS n, 7 AS seven, '1.5e3' AS sci, x'00' AS blob, 600.0 AS whole, 0.1 AS tenth, 1 AS dup, 2 AS dup");
  ASSERT_EQ(rows.size(), 1u);
  const Row& row = rows.front();
  using IntCases = std::initializer_list<std::pair<const char*, std::int64_t>>;
  for (const auto& [column, value] : IntCases{{"i", 42},
                                              {"d", 2},
                                              {"nd", -2},
                                              {"t", 42},
                                              {"pt", 42},
                                              {"bad", 0},
                                              {"empty", 0},
                                              {"spaced", 0},
                                              {"n", 0},
                                              {"missing", 0},
                                              {"dup", 2}}) {
    EXPECT_EQ(row.integer(column), value) << column;
  }
  using DoubleCases = std::initializer_list<std::pair<const char*, std::optional<double>>>;
  for (const auto& [column, value] : DoubleCases{{"seven", 7.0},
                                                 {"d", 2.9},
                                                 {"sci", 1500.0},
                                                 {"t", 42.0},
                                                 {"n", std::nullopt},
                                                 {"missing", std::nullopt},
                                                 {"bad", std::nullopt},
                                                 {"spaced", std::nullopt},
                                                 {"empty", std::nullopt},
                                                 {"blob", std::nullopt}}) {
    EXPECT_EQ(row.optionalDouble(column), value) << column;
  }
  using TextCases = std::initializer_list<std::pair<const char*, std::optional<std::string>>>;
  for (const auto& [column, value] : TextCases{{"t", "42"},
                                               {"i", "42"},
                                               {"whole", "600.0"},
                                               {"tenth", "0.1"},
                                               {"n", std::nullopt},
                                               {"missing", std::nullopt}}) {
    EXPECT_EQ(row.optionalText(column), value) << column;
  }
  EXPECT_TRUE(db.query("SELECT 1 WHERE 0").empty());
}

}  // namespace
}  // namespace lumetra
