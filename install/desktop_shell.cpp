#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include "shell.hpp"
#include "unique_fd.hpp"

namespace qor {
namespace {

bool write_all(int fd, const std::string& content) {
  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

class DesktopShell final : public Shell {
 public:
  std::string desktop_folder() override {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    while (folder.size() > 1 && folder.endsWith(u'/')) folder.chop(1);
    return folder.toStdString();
  }

  bool write_file(const std::string& path, const std::string& content, unsigned mode) override {
    std::string temp_name = path + ".XXXXXX";
    std::vector<char> name(temp_name.begin(), temp_name.end());
    name.push_back('\0');
    UniqueFd temp(::mkostemp(name.data(), O_CLOEXEC));
    if (temp.get() < 0) return false;
    temp_name = name.data();
    const bool written = write_all(temp.get(), content) && ::fchmod(temp.get(), static_cast<mode_t>(mode)) == 0 &&
                         ::fsync(temp.get()) == 0 && temp.close();
    if (!written || std::rename(temp_name.c_str(), path.c_str()) != 0) {
      ::unlink(temp_name.c_str());
      return false;
    }
    return true;
  }

  bool start_detached(const std::string& program, const std::string& working_folder) override {
    return QProcess::startDetached(QString::fromStdString(program), {}, QString::fromStdString(working_folder));
  }
};

}  // namespace

std::unique_ptr<Shell> make_desktop_shell() { return std::make_unique<DesktopShell>(); }

}  // namespace qor
