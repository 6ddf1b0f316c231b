// Feeds arbitrary bytes to the PE resource readers. The version reader must
// return the empty text or four numbers; the icon reader nothing or an .ico
// file whose directory is whole, whose pictures lie inside it one after the
// other, within its limits. Neither may read outside the input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.hpp"
#include "portable/pe/pe_icon.hpp"
#include "portable/pe/pe_version.hpp"

namespace {

using qor::fuzz::check;

std::uint32_t le(const std::vector<unsigned char>& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

void check_version(const std::string& version) {
  int dots = 0;
  for (char c : version) {
    if (c == '.')
      ++dots;
    else
      check(c >= '0' && c <= '9', "a version holds digits and dots only");
  }
  check(version.empty() || dots == 3, "a version has four numbers");
}

void check_icon(const std::vector<unsigned char>& ico) {
  if (ico.empty()) return;
  check(ico.size() >= 6 && le(ico, 0, 2) == 0 && le(ico, 2, 2) == 1, "an icon file starts with its header");
  const std::size_t count = le(ico, 4, 2);
  check(count >= 1 && count <= qor::kMaxIconPictures && ico.size() >= 6 + 16 * count,
        "an icon file holds one to the most pictures, each with its entry");
  std::size_t next = 6 + 16 * count;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t size = le(ico, 6 + 16 * i + 8, 4);
    check(le(ico, 6 + 16 * i + 12, 4) == next, "each picture follows the one before");
    check(size >= 1 && size <= qor::kMaxIconPictureBytes, "each picture is within the limit");
    next += size;
  }
  check(next == ico.size() && next <= 6 + 16 * count + qor::kMaxIconBytes, "the pictures fill the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check_version(qor::read_pe_file_version_from_bytes(std::span(data, size)));
  check_icon(qor::read_pe_icon_from_bytes(std::span(data, size)));
  return 0;
}
