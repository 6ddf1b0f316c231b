// The answer grammar and the text rules beneath it, case by case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "server/answer_grammar.hpp"
#include "server/answer_text.hpp"
#include "server/caption_colour.hpp"
#include "server/package_name.hpp"

namespace qor {
namespace {

using Pieces = std::vector<std::string>;

Pieces strings(const answer::PieceRange& range) { return Pieces(range.begin(), range.end()); }

TEST(AnswerGrammar, SplitScansLeftToRightWithoutOverlap) {
  struct Case {
    std::string text, separator;
    Pieces pieces;
  };
  const Case cases[] = {
      {"", "||", {}},
      {"abc", "||", {"abc"}},
      {"a||||b", "||", {"a", "", "b"}},
      {"a|||b", "||", {"a", "|b"}},
      {"||a||||b||", "||", {"", "a", "", "b", ""}},
      {"a|", "|", {"a", ""}},
      {"|", "|", {"", ""}},
      {"A||a", "||", {"A", "a"}},
      {"a|b", "", {"a|b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("text: " + c.text);
    EXPECT_EQ(strings(answer::split(c.text, c.separator)), c.pieces);
  }
}

TEST(AnswerGrammar, BlankPiecesAreSkippedAndOthersKeptUntrimmed) {
  struct Case {
    std::string answer;
    Pieces records;
  };
  const Case cases[] = {
      {"||a||||b||", {"a", "b"}},       {"  ||a", {"a"}}, {"\n", {"\n"}}, {"\t", {"\t"}},
      {" a ||b\r\n", {" a ", "b\r\n"}}, {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("answer: " + c.answer);
    EXPECT_EQ(strings(answer::record_list(c.answer)), c.records);
  }
  EXPECT_EQ(strings(answer::field_list("se=a||  |fo=/b|pa=\n")), (Pieces{"se=a", "fo=/b", "pa=\n"}));
  EXPECT_EQ(strings(answer::record_fields("k||v")), (Pieces{"k", "", "v"}));
}

TEST(AnswerGrammar, KeysMatchOnlyExactlyAtTheStart) {
  using answer::keyed_value;
  EXPECT_EQ(keyed_value("fn=", "fn="), "");
  EXPECT_EQ(keyed_value("fn=a=b", "fn="), "a=b");
  EXPECT_FALSE(keyed_value(" fn=a", "fn="));
  EXPECT_FALSE(keyed_value("FN=a", "fn="));
  EXPECT_FALSE(keyed_value("fn", "fn="));
  EXPECT_EQ(keyed_value("mainprogram=a|fn=b", "mainprogram="), "a|fn=b");
  EXPECT_FALSE(keyed_value("MAINPROGRAM=a", "mainprogram="));

  using answer::whole_field_value;
  EXPECT_EQ(whole_field_value("lab6_0|Text A|extra", "lab6_0"), "Text A");
  EXPECT_EQ(whole_field_value("lab6_1|", "lab6_1"), "");
  EXPECT_EQ(whole_field_value("lab6_1||x", "lab6_1"), "");
  EXPECT_FALSE(whole_field_value("lab6_1", "lab6_1"));
  EXPECT_FALSE(whole_field_value("", ""));
  EXPECT_FALSE(whole_field_value(" lab6_0|x", "lab6_0"));
  EXPECT_FALSE(whole_field_value("lab6_00|x", "lab6_0"));
}

TEST(AnswerGrammar, LongAnswersAreTakenWhole) {
  // Beyond any 16-bit count of records or fields.
  const int n = 100000;
  std::string records, fields;
  for (int i = 0; i < n; ++i) {
    records += "r" + std::to_string(i) + "||";
    fields += "f" + std::to_string(i) + "|";
  }
  const Pieces list = strings(answer::record_list(records));
  ASSERT_EQ(list.size(), static_cast<std::size_t>(n));
  EXPECT_EQ(list.back(), "r99999");
  const Pieces field_pieces = strings(answer::record_fields(fields));
  ASSERT_EQ(field_pieces.size(), static_cast<std::size_t>(n + 1));
  EXPECT_EQ(field_pieces[n - 1], "f99999");
}

TEST(CaptionColour, OnlyDecimalIntegersThatFitALong) {
  struct Case {
    std::string text;
    std::optional<std::int32_t> value;
  };
  const Case cases[] = {{"255", 255},
                        {"+16", 16},
                        {"-1", -1},
                        {"-2147483648", INT32_MIN},
                        {"2147483648", std::nullopt},
                        {"", std::nullopt},
                        {"-", std::nullopt},
                        {"+-1", std::nullopt},
                        {"0xFF", std::nullopt},
                        {" 255", 255},
                        {"255\r\n", 255},
                        {"\t-7 \v\f", -7},
                        {"1 2", std::nullopt},
                        {" \r\n", std::nullopt},
                        {"12.5", std::nullopt}};
  for (const Case& c : cases) {
    SCOPED_TRACE("colour: '" + c.text + "'");
    EXPECT_EQ(parse_colour(c.text), c.value);
  }
}

TEST(AnswerText, Utf8StaysAndEverythingElseIsWindows1252) {
  struct Case {
    std::string body, text;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC"},  // already UTF-8
      {"Gr\xFC\xDF"
       "e \x80",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC"},  // Windows-1252
      {"\x84\x93\x94\x96\x99", "\xE2\x80\x9E\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\x93\xE2\x84\xA2"},
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},  // unassigned bytes
      {"\xEF\xBB\xBFok", "ok"},                                              // byte-order mark
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                      // overlong "/" is not UTF-8
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                      // surrogate is not UTF-8
      {"ab\xC3", "ab\xC3\x83"},                                              // cut sequence
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("body: " + c.body);
    EXPECT_EQ(answer_text(c.body), c.text);
  }
}

TEST(PackageName, NamesThatLeaveTheProgramFolderAreRefused) {
  for (const std::string name : {"Bilder", " abc", "a/b", "a\\b", "a..b", "..a", "./x", "x/.", "ab:c", "1:x"}) {
    EXPECT_EQ(path_below_program_folder(name), local_path(name)) << name;
  }
  for (const std::string& name : std::vector<std::string>{"..", "../x", "..\\x", "a/../../x", "a\\..", "C:x",
                                                          "c:", "\\C:\\x", "a/..", std::string("a\0/../x", 7)}) {
    EXPECT_FALSE(stays_inside_program_folder(name)) << name;
  }
}

// The servers' platform joins the folder and "\Bilder" into a path inside it.
TEST(PackageName, LeadingSeparatorsAreDropped) {
  for (const auto& [name, below] : std::vector<std::pair<std::string, std::string>>{
           {"\\Bilder", "Bilder"}, {"/etc", "etc"}, {"\\\\srv\\share", "srv/share"}, {"\\", ""}, {"/\\a\\b", "a/b"}}) {
    EXPECT_EQ(path_below_program_folder(name), below) << name;
  }
}

}  // namespace
}  // namespace qor
