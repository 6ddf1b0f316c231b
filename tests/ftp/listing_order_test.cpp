// The listing's display order, checked against the literal quadratic
// exchange sort on many random listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "ftp/ftp_steps.hpp"
#include "ftp/listing_order.hpp"
#include "portable/text/letter_case.hpp"
#include "window/controls.hpp"
#include "window/shared_variables.hpp"

namespace qor {
namespace {

std::vector<std::size_t> literal_exchange_sort(const std::vector<std::string>& keys) {
  std::vector<std::size_t> at(keys.size());
  std::iota(at.begin(), at.end(), 0);
  for (std::size_t a = 0; a < at.size(); ++a)
    for (std::size_t b = 0; b < at.size(); ++b)
      if (compare_space_filled(keys[at[b]], keys[at[a]]) > 0) std::swap(at[a], at[b]);
  return at;
}

std::string random_name(std::mt19937& rng, const std::vector<std::string>& alphabet, int max_len) {
  std::string s;
  const int len = std::uniform_int_distribution<int>(1, max_len)(rng);
  for (int i = 0; i < len; ++i) s += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
  return s;
}

TEST(ExchangeSortOrder, IsTheQuadraticSortsPermutation) {
  std::mt19937 rng(20261207);
  // Tiny alphabets force many equal keys; the space, a control character
  // and a two-byte letter check the space-filled comparison.
  const std::vector<std::vector<std::string>> alphabets = {
      {"a", "b"}, {"a", "b", "c", " "}, {"a", "\x01", " ", "."}, {"x", "\xC3\xA4", "0"}};
  for (int round = 0; round < 4000; ++round) {
    const auto& alphabet = alphabets[round % alphabets.size()];
    std::vector<std::string> keys(std::uniform_int_distribution<std::size_t>(0, 30)(rng));
    for (auto& k : keys) k = random_name(rng, alphabet, 3);
    ASSERT_EQ(exchange_sort_order(keys), literal_exchange_sort(keys)) << "round " << round;
  }
  std::vector<std::string> many(1500);
  for (auto& k : many) k = random_name(rng, {"a", "b", "c"}, 2);
  EXPECT_EQ(exchange_sort_order(many), literal_exchange_sort(many));
}

TEST(ExchangeSortOrder, FillSpacesDecideAgainstLowCharacters) {
  EXPECT_LT(compare_space_filled("a\x01", "a"), 0);
  EXPECT_EQ(compare_space_filled("a", "a  "), 0);
  EXPECT_GT(compare_space_filled("ab", "a"), 0);
  EXPECT_LT(compare_space_filled(".", ".."), 0);
}

class ListingSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    shared_variables() = SharedVariables{};
    shared_variables().ftp.listing_list = &list;
    shared_variables().ftp.remote_listing.assign(1, WIN32_FIND_DATA{});
  }
  void TearDown() override { shared_variables() = SharedVariables{}; }

  void add(const std::string& name, std::uint32_t attributes, std::uint32_t tag = 0) {
    auto& fd = shared_variables().ftp.find_data;
    fd = WIN32_FIND_DATA{};
    fd.dwFileAttributes = attributes;
    fd.dwReserved0 = tag;
    fd.cFileName = name;
    add_listing_entry();
  }
  std::vector<WIN32_FIND_DATA>& listing() { return shared_variables().ftp.remote_listing; }

  ListBox list{"List4"};
};

TEST_F(ListingSteps, FoldersFirstExactDirectoryBitAndDotsBeforeLettersAndDigits) {
  add("Readme.TXT", 128);
  add("zz", 16);
  add("ReadOnlyDir", 17);
  add("0lib", 16);
  add("Data", 16);
  add("..", 16);
  add(".", 16);
  add("b.dll", 128);
  add("A.exe", 128);
  show_remote_listing();
  EXPECT_EQ(list.texts(),
            (std::vector<std::string>{".", "..", "0LIB", "DATA", "ZZ", "a.exe", "b.dll", "readme.txt", "readonlydir"}));
  ASSERT_EQ(listing().size(), 10u);
  EXPECT_EQ(listing()[8].cFileName, "ReadOnlyDir");  // stored as delivered
  EXPECT_TRUE(listing()[9].cFileName.empty());       // the blank slot stays last
}

TEST_F(ListingSteps, EntryNamesAreCutAtNulTrimmedAndMustFitTheField) {
  add(std::string("  spaced name  \0junk", 20), 128);
  add("   ", 128);
  add("", 128);
  add(std::string(259, 'k'), 128);
  add(std::string(260, 'x'), 128);
  ASSERT_EQ(listing().size(), 3u);
  EXPECT_EQ(listing()[0].cFileName, "spaced name");
  EXPECT_EQ(listing()[1].cFileName, std::string(259, 'k'));
}

TEST_F(ListingSteps, CaseOfLettersBeyondAscii) {
  add("\xC3\x84rger", 16);  // Ärger
  add("\xC3\x9C"
      "BER.TXT",
      128);                      // ÜBER.TXT
  add("\xC5\xA0koda.DLL", 128);  // Škoda.DLL
  show_remote_listing();
  EXPECT_EQ(list.texts(), (std::vector<std::string>{"\xC3\x84RGER",
                                                    "\xC3\xBC"
                                                    "ber.txt",
                                                    "\xC5\xA1koda.dll"}));
}

// The whole step against the quadratic exchange sort written out: split by
// attributes, exchange sort on lower-cased names, records copied back.
TEST_F(ListingSteps, ShowMatchesTheQuadraticSortOnRandomListings) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    SetUp();
    const std::size_t n = std::uniform_int_distribution<std::size_t>(0, 40)(rng);
    std::vector<std::pair<std::string, std::uint32_t>> entries;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t attributes = std::vector<std::uint32_t>{16, 17, 128}[rng() % 3];
      entries.emplace_back(random_name(rng, {"a", "A", "b", "B", "."}, 2), attributes);
      add(entries.back().first, attributes, static_cast<std::uint32_t>(i));
    }
    std::vector<std::size_t> folders, files;
    for (std::size_t i = 0; i < n; ++i) (entries[i].second == 16 ? folders : files).push_back(i);
    std::vector<std::uint32_t> expected_tags;
    std::vector<std::string> expected_items;
    for (auto* group : {&folders, &files}) {
      std::vector<std::string> keys;
      for (std::size_t i : *group) keys.push_back(to_lower_text(entries[i].first));
      for (std::size_t k : literal_exchange_sort(keys)) {
        const std::size_t i = (*group)[k];
        expected_tags.push_back(static_cast<std::uint32_t>(i));
        expected_items.push_back(group == &folders ? to_upper_text(entries[i].first) : keys[k]);
      }
    }
    show_remote_listing();
    ASSERT_EQ(list.texts(), expected_items) << "round " << round;
    for (std::size_t k = 0; k < n; ++k) ASSERT_EQ(listing()[k].dwReserved0, expected_tags[k]) << "round " << round;
  }
}

TEST_F(ListingSteps, MoreThan32767EntriesAreShownWhole) {
  const int n = 40000;
  for (int i = n; i-- > 0;) add("f" + std::to_string(100000 + i), 128);
  show_remote_listing();
  ASSERT_EQ(list.ListCount(), n);
  EXPECT_EQ(list.List(0), "f100000");
  EXPECT_EQ(list.List(n - 1), "f" + std::to_string(100000 + n - 1));
  const auto texts = list.texts();
  EXPECT_TRUE(std::is_sorted(texts.begin(), texts.end()));
}

}  // namespace
}  // namespace qor
