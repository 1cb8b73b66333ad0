// Projects, settings and the text rules every writer applies.
#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

using test::StoreFixture;
using Field = StoreError::Field;

class StoreProjectsTest : public StoreFixture {};

TEST(StoreTextRulesTest, StartsLikeFormula) {
  const std::vector<std::pair<std::string, bool>> cases{
      {"=SUM(A1)", true}, {" +1", true},   {"@home", true},    {"\uFEFF-x", true}, {"\u200B-x", true},
      {"\t\n=x", true},   {"", false},     {"   ", false},     {"a=b", false},     {"\u2013 dash", false},
      {"\uFEFF", false},  {"Plan", false}, {"\u00A0@x", true},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Store::startsLikeFormula(text), expected) << text;
}

TEST(StoreTextRulesTest, Descriptions) {
  EXPECT_EQ(Store::normalizedDescription(std::nullopt), std::nullopt);
  EXPECT_EQ(Store::normalizedDescription("   "), std::nullopt);
  EXPECT_EQ(Store::normalizedDescription(" \n word \u2028"), "word");
  EXPECT_EQ(Store::validDescription(""), std::nullopt);
  EXPECT_EQ(Store::validDescription(" Plan "), "Plan");
  EXPECT_EQ(Store::validDescription("  =x  ", {std::nullopt, "=x"}), "=x");
  EXPECT_EQ(test::thrown<StoreError>([&] { (void)Store::validDescription("=x", {"= x"}); }),
            StoreError::leadingFormulaCharacter(Field::description));
}

TEST(StoreTextRulesTest, MergedDescription) {
  EXPECT_EQ(Store::mergedDescription("Design", "  design "), "Design; design");
  EXPECT_EQ(Store::mergedDescription("Design", "Design"), "Design");
  EXPECT_EQ(Store::mergedDescription("", "Review"), "Review");
  EXPECT_EQ(Store::mergedDescription("Review", std::nullopt), "Review");
  EXPECT_EQ(Store::mergedDescription(" ", std::nullopt), std::nullopt);
}

TEST_F(StoreProjectsTest, CreateTrimsAndRefuses) {
  EXPECT_EQ(store().createProject("  Garden \n", at(9, 0)), (Project{1, "Garden", false, at(9, 0)}));
  store().setArchived(1, true);
  expectRefused(StoreError::duplicateName("GARDEN"), [&] { store().createProject(" GARDEN ", at(9, 0)); });
  expectRefused(StoreError::duplicateName("Garden"), [&] { store().createProject("Garden", at(9, 0)); });
  expectRefused(StoreError(StoreError::Case::emptyName), [&] { store().createProject(" \t ", at(9, 0)); });
  expectRefused(StoreError::leadingFormulaCharacter(Field::projectName),
                [&] { store().createProject(" @home", at(9, 0)); });
}

TEST_F(StoreProjectsTest, NamesFoldOnlyASCIICase) {
  (void)store().createProject("Éclair", at(9, 0));
  EXPECT_NO_THROW((void)store().createProject("éclair", at(9, 0)));
  expectRefused(StoreError::duplicateName("éCLAIR"), [&] { store().createProject("éCLAIR", at(9, 0)); });
}

TEST_F(StoreProjectsTest, Rename) {
  const auto garden = store().createProject("Garden", at(9, 0));
  (void)store().createProject("Writing", at(9, 0));
  store().renameProject(garden.id, "  garden ");
  EXPECT_EQ(store().project(garden.id)->name, "garden");
  expectRefused(StoreError::duplicateName("WRITING"), [&] { store().renameProject(garden.id, "WRITING"); });
  expectRefused(StoreError(StoreError::Case::emptyName), [&] { store().renameProject(garden.id, ""); });
  expectRefused(StoreError::leadingFormulaCharacter(Field::projectName),
                [&] { store().renameProject(garden.id, "=x"); });
  // A name from before the formula rule may be kept, but not given anew.
  store().db().query("UPDATE projects SET name = '@old' WHERE id = ?", {garden.id});
  EXPECT_NO_THROW(store().renameProject(garden.id, " @old"));
  expectRefused(StoreError::leadingFormulaCharacter(Field::projectName),
                [&] { store().renameProject(garden.id, "@older"); });
  expectRefused(StoreError::leadingFormulaCharacter(Field::projectName),
                [&] { store().createProject("@old2", at(9, 0)); });
  EXPECT_NO_THROW(store().renameProject(999, "Nobody"));
}

TEST_F(StoreProjectsTest, ListingAndArchiving) {
  for (const char* name : {"beta", "Alpha", "gamma"}) (void)store().createProject(name, at(9, 0));
  store().setArchived(1, true);
  const auto names = [&](bool all) {
    std::vector<std::string> out;
    for (const auto& p : store().projects(all)) out.push_back(p.name + (p.archived ? "*" : ""));
    return out;
  };
  EXPECT_EQ(names(false), (std::vector<std::string>{"Alpha", "gamma"}));
  EXPECT_EQ(names(true), (std::vector<std::string>{"Alpha", "beta*", "gamma"}));
  EXPECT_EQ(store().project(42), std::nullopt);
}

TEST_F(StoreProjectsTest, IdleTimeoutSetting) {
  EXPECT_EQ(store().idleTimeout(), 600);
  store().setIdleTimeout(300);
  EXPECT_EQ(store().setting("idle_timeout"), "300.0");
  EXPECT_EQ(store().idleTimeout(), 300);
  store().setIdleTimeout(90.5);
  EXPECT_EQ(store().idleTimeout(), 90.5);
  for (const char* stored : {"abc", "0", "-5", " 300", ""}) {
    store().setSetting("idle_timeout", stored);
    EXPECT_EQ(store().idleTimeout(), 600) << stored;
  }
  EXPECT_EQ(store().setting("missing"), std::nullopt);
}

}  // namespace
}  // namespace lumetra
