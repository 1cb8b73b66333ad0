// Unicode rules where a byte-wise or ASCII shortcut would be wrong.
#include "platform/UnicodeText.hpp"

#include <gtest/gtest.h>

namespace lumetra {
namespace {

// Given texts that differ only in case, expect full case folding to equate them, which lowering
// alone does not (ß, final sigma, the Kelvin sign).
TEST(UnicodeTextTest, FullCaseFolding) {
  const std::pair<const char*, const char*> same[] = {
      {"Straße", "STRASSE"}, {"ΟΔΟΣ", "οδος"}, {"οδος", "οδοσ"}, {"\u212A", "k"}, {"Émile", "éMILE"}};
  for (const auto& [a, b] : same) {
    EXPECT_EQ(UnicodeText::caseFolded(a), UnicodeText::caseFolded(b)) << a << " / " << b;
  }
  EXPECT_NE(UnicodeText::caseFolded("e\u0301"), UnicodeText::caseFolded("é"));  // folding doesn't normalise
  EXPECT_EQ(UnicodeText::canonicalComposition("e\u0301"), "é");
  EXPECT_EQ(UnicodeText::asciiLowercased("ÉCOLE Garden"), "École garden");
}

// Given combining marks, emoji sequences and regional indicators, expect one count per
// user-perceived character, and the columns a terminal gives each.
TEST(UnicodeTextTest, GraphemesAndTrimming) {
  const std::pair<const char*, std::size_t> counts[] = {
      {"", 0}, {"abc", 3}, {"e\u0301", 1}, {"日本語", 3}, {"👩‍💻", 1}, {"🇩🇪🇫🇷", 2}, {"\r\n", 1}};
  for (const auto& [text, count] : counts) EXPECT_EQ(UnicodeText::graphemeCount(text), count) << text;
  // Columns: wide and fullwidth clusters take two, combining marks and narrow forms none extra.
  const std::pair<const char*, std::size_t> widths[] = {
      {"abc", 3}, {"e\u0301", 1}, {"日本語", 6}, {"ＡＢ", 4}, {"ｶﾅ", 2}, {"Café", 4}};
  for (const auto& [text, width] : widths) EXPECT_EQ(UnicodeText::displayWidth(text), width) << text;
  EXPECT_EQ(UnicodeText::trimmingWhiteSpace("\u00A0\u2003 x y\u3000\n"), "x y");
  EXPECT_TRUE(UnicodeText::isFormat(U'\u200B'));
  EXPECT_FALSE(UnicodeText::isValidUTF8("\xC3\x28"));
  EXPECT_FALSE(UnicodeText::isValidUTF8("\xED\xA0\x80"));  // an encoded surrogate
}

}  // namespace
}  // namespace lumetra
