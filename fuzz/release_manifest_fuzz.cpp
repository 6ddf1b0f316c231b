// The release manifest a keyed client reads after its signature holds. The
// reader must never crash on any bytes, and a text it accepts must be the
// writer's own: written back, it is the same text (so one manifest has one
// text and one signature), and that text reads to the same manifest.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.hpp"
#include "portable/release/release_manifest.hpp"

namespace {

using qor::fuzz::check;
using qor::release::ReleaseManifest;

bool same(const ReleaseManifest& a, const ReleaseManifest& b) {
  if (a.sequence != b.sequence || a.date != b.date || a.main_program != b.main_program ||
      a.new_folders != b.new_folders || a.install_records != b.install_records ||
      a.update_records != b.update_records || a.files.size() != b.files.size())
    return false;
  for (std::size_t i = 0; i < a.files.size(); ++i) {
    if (a.files[i].name != b.files[i].name || a.files[i].size != b.files[i].size ||
        a.files[i].sha256 != b.files[i].sha256)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto read = qor::release::read_manifest(text);
  if (!read) {
    check(!read.failure().reason.empty(), "a refusal gives its reason");
    return 0;
  }
  for (const auto& file : read->files) check(read->file(file.name) == &file, "each file is found by its name");
  const std::string written = qor::release::write_manifest(*read);
  check(written == text, "an accepted text is the one the writer writes");
  const auto again = qor::release::read_manifest(written);
  check(static_cast<bool>(again), "the written text reads");
  check(same(*again, *read), "the written text reads to the same manifest");
  return 0;
}
