// Going through an answer's records and fields holds next to nothing
// beside the answer itself, however many pieces it splits into: a 64 MiB
// answer must not cost a gigabyte.
#include <gtest/gtest.h>

#include <string>

#include "server/answer_grammar.hpp"
#include "tests/support/allocation_meter.hpp"

namespace qor {
namespace {

using test::AllocationMeter;

std::string repeated(const std::string& piece, std::size_t size) {
  std::string out;
  out.reserve(size + piece.size());
  while (out.size() < size) out += piece;
  return out;
}

TEST(AnswerMemory, RecordsAndFieldsAreWalkedWithoutACopyOfEveryPiece) {
  constexpr std::size_t kSize = std::size_t{16} << 20;
  for (const std::string& answer : {std::string(kSize, '|'), repeated("a||", kSize),
                                    repeated("fn=a|ve=|pa=|ar=|st=10||", kSize), repeated("|x", kSize)}) {
    SCOPED_TRACE(answer.substr(0, 24));
    AllocationMeter::reset_peak();
    const std::size_t before = AllocationMeter::live();
    std::size_t records = 0, fields = 0, settings = 0;
    for (const std::string_view record : answer::record_list(answer)) {
      ++records;
      for (const std::string_view field : answer::record_fields(record)) fields += field.size() + 1;
    }
    for (const std::string_view field : answer::field_list(answer)) settings += field.size();
    EXPECT_LT(AllocationMeter::peak() - before, answer.size() / 8) << records << fields << settings;
  }
}

}  // namespace
}  // namespace qor
