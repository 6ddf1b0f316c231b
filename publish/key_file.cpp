#include "publish/key_file.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "portable/release/release_key.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#endif

namespace qor::publish {
namespace {

namespace fs = std::filesystem;

fs::path path_of(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// A key file is one short text; anything far larger is not one.
constexpr std::uintmax_t kKeyFileCap = std::uintmax_t{64} * 1024;

#ifdef _WIN32
int open_new(const fs::path& path) {
  return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int write_some(int fd, const char* data, std::size_t size) { return _write(fd, data, static_cast<unsigned>(size)); }
bool finish(int fd) { return _commit(fd) == 0 && _close(fd) == 0; }
#else
int open_new(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }
int write_some(int fd, const char* data, std::size_t size) { return static_cast<int>(::write(fd, data, size)); }
bool finish(int fd) {
  // The umask may only take bits away; the key is its owner's alone either way.
  const bool ok = ::fchmod(fd, 0600) == 0 && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}
#endif

}  // namespace

Status write_new_key_file(const std::string& path, const std::string& text) {
  const fs::path target = path_of(path);
  std::error_code ec;
  if (fs::symlink_status(target, ec).type() != fs::file_type::not_found && !ec)
    return Failure{path + " is there already: a key file is never replaced"};
  const int fd = open_new(target);
  if (fd < 0) {
    if (fs::exists(target, ec)) return Failure{path + " is there already: a key file is never replaced"};
    return Failure{"cannot make " + path};
  }
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    const int wrote = write_some(fd, text.data() + done, text.size() - done);
    ok = wrote > 0;
    if (ok) done += static_cast<std::size_t>(wrote);
  }
  ok = finish(fd) && ok;
  if (!ok) {
    fs::remove(target, ec);
    return Failure{"cannot write " + path};
  }
  return {};
}

Result<crypto::KeyPair> read_key_file(const std::string& path) {
  const fs::path file = path_of(path);
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) return Failure{"cannot read the key file " + path + ": " + ec.message()};
  if (size > kKeyFileCap)
    return Failure{"the key file " + path + " is no release key (" + std::to_string(size) + " bytes)"};
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) return Failure{"cannot read the key file " + path};
  auto key = release::read_private_key_file_text(text.str());
  if (!key) return Failure{"the key file " + path + " holds no release key: " + key.failure().reason};
  return *key;
}

}  // namespace qor::publish
