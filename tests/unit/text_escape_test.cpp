// Names in the result files: the TSV escapes and the UTF-8 check that the
// JSON and the page rely on.
#include <gtest/gtest.h>

#include <string>

#include "results/svg_writer.h"
#include "results/text_escape.h"

namespace {

std::size_t length_of(const std::string& s) {
  return utf8_length(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

TEST(TextEscape, Utf8LengthRefusesWhatIsNotACharacter) {
  EXPECT_EQ(length_of("A"), 1u);
  EXPECT_EQ(length_of("\xC3\xA9"), 2u);          // e-acute
  EXPECT_EQ(length_of("\xE2\x82\xAC"), 3u);      // euro sign
  EXPECT_EQ(length_of("\xF0\x9F\x98\x80"), 4u);  // an emoji
  EXPECT_EQ(length_of("\xE9"), 0u);              // Latin-1 e-acute
  EXPECT_EQ(length_of("\xC3"), 0u);              // cut short
  EXPECT_EQ(length_of("\xC0\xAF"), 0u);          // overlong '/'
  EXPECT_EQ(length_of("\xE0\x80\xAF"), 0u);      // overlong, three bytes
  EXPECT_EQ(length_of("\xED\xA0\x80"), 0u);      // a surrogate
  EXPECT_EQ(length_of("\xF4\x90\x80\x80"), 0u);  // past U+10FFFF
  EXPECT_EQ(length_of("\xBF"), 0u);              // a continuation byte alone
}

TEST(TextEscape, TsvFieldsHoldNoSeparator) {
  EXPECT_EQ(tsv_field("plain name"), "plain name");
  EXPECT_EQ(tsv_field("a\tb\nc\rd\\e\x01" "f\x7f"), "a\\tb\\nc\\rd\\\\e\\x01f\\x7F");
  EXPECT_EQ(tsv_field("caf\xC3\xA9"), "caf\xC3\xA9");
}

// A MEME motif name is one blank-separated word.
TEST(TextEscape, BlankFreeFieldsAreOneWord) {
  EXPECT_EQ(blank_free_field("G.{1,2}[ST]"), "G.{1,2}[ST]");
  EXPECT_EQ(blank_free_field("a b\tc\x1b[2J\\"), "a\\x20b\\tc\\x1B[2J\\\\");
}

TEST(TextEscape, JsonKeepsUtf8AndEscapesTheRest) {
  EXPECT_EQ(json_string("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
  EXPECT_EQ(json_string("lat\xE9"), "\"lat\\u00e9\"");
  EXPECT_EQ(json_string("q\"b\\t\x01"), "\"q\\\"b\\\\t\\u0001\"");
}

TEST(TextEscape, PageReplacesInvalidUtf8) {
  EXPECT_EQ(markup_escape("<caf\xC3\xA9 lat\xE9>"), "&lt;caf\xC3\xA9 lat\xEF\xBF\xBD&gt;");
}

}  // namespace
