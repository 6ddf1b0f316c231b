#include "publish/release_scan.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "publish/release_names.hpp"

namespace qor::publish {
namespace {

namespace fs = std::filesystem;

std::string utf8_of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path path_of(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : "/") + part;
  return out;
}

void scan_folder(const fs::path& folder, std::vector<std::string>& parts, Release& release, Findings& findings) {
  const std::string here = parts.empty() ? release.root : joined(parts);
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  std::vector<fs::directory_entry> entries;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) entries.push_back(*it);
  if (ec) {
    findings.error(here, "the folder cannot be read: " + ec.message());
    return;
  }
  std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
    return utf8_of(a.path().filename()) < utf8_of(b.path().filename());
  });
  for (const fs::directory_entry& entry : entries) {
    const std::string name = utf8_of(entry.path().filename());
    parts.push_back(name);
    const std::string relative = joined(parts);
    parts.pop_back();
    const fs::file_status status = entry.symlink_status(ec);
    if (ec) {
      findings.error(relative, "cannot be read: " + ec.message());
      continue;
    }
    if (const auto refusal = refused_name(name)) {
      findings.error(relative, *refusal);
      continue;
    }
    if (fs::is_symlink(status)) {
      // The client follows no link below its folder; what it would fetch
      // must be the file itself.
      findings.error(relative, "a link: put the file or folder itself into the release");
    } else if (fs::is_directory(status)) {
      parts.push_back(name);
      release.folders.push_back(relative);
      scan_folder(entry.path(), parts, release, findings);
      parts.pop_back();
    } else if (fs::is_regular_file(status)) {
      release.files.push_back(ReleaseFile{parts, name});
    } else {
      findings.error(relative, "neither a file nor a folder");
    }
  }
}

}  // namespace

std::string ReleaseFile::relative() const {
  std::vector<std::string> all = folders;
  all.push_back(name);
  return joined(all);
}

Release scan_release(const std::string& root, Findings& findings) {
  Release release;
  release.root = root;
  std::error_code ec;
  const fs::path top = path_of(root);
  if (!fs::is_directory(top, ec)) {
    findings.error(root, ec ? "the release folder cannot be read: " + ec.message() : "no release folder there");
    return release;
  }
  std::vector<std::string> parts;
  scan_folder(top, parts, release, findings);
  return release;
}

}  // namespace qor::publish
