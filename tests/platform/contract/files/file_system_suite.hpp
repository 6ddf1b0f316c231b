// The fixture of the file-system suite: a program folder and a folder
// elsewhere, both temporary, and the file-system object bound to the first
// (given with the server's trailing "\"). Links made by a test go before the
// folders, so that removing those never walks through one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.hpp"
#include "tests/platform/contract/files/platform_files.hpp"
#include "tests/support/files.hpp"

namespace qor::test {

class FileSystemSuite : public ::testing::Test {
 protected:
  ~FileSystemSuite() override {
    for (const auto& at : links_) remove_link(at);
  }

  void link(const std::string& at, const std::string& target) {
    links_.push_back(at);
    const auto failed = make_link(at, target);
    ASSERT_FALSE(failed) << *failed;
  }

  // Writes `content` through a replacement of `path` and commits it.
  Result<Committed> place(const std::string& path, const std::string& content,
                          Placement placement = Placement::Replace) {
    auto target = files->replace_file(path);
    if (!target) return target.failure();
    if (Status written = (*target)->write(content.data(), content.size()); !written) return written.failure();
    return (*target)->commit(placement);
  }

  TempDir dir;
  TempDir elsewhere;
  std::unique_ptr<FileSystem> files = make_local_file_system(dir.path() + "\\");

 private:
  std::vector<std::string> links_;
};

// The FILETIME of a moment given in seconds since 1970.
inline FILETIME file_time_of(std::int64_t unix_seconds) {
  const auto ticks = static_cast<std::uint64_t>(unix_seconds + 11'644'473'600) * 10'000'000;
  return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

// True when `text` holds `part`; the text shows in the failure.
inline ::testing::AssertionResult holds(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << text << "\" does not hold \"" << part << "\"";
}

}  // namespace qor::test
