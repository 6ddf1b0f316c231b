#include "window/unattended/run_log.hpp"

#include <chrono>
#include <ctime>
#include <filesystem>

namespace qor {
namespace {

// The local time, as an administrator compares it with the machine's clock.
std::string local_time_now() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

std::string one_log_line(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' || text[i] == '\r') {
      out += " / ";
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      out += escaped;
    } else {
      out += text[i];
    }
  }
  return out;
}

RunLog::RunLog(std::FILE* console, const std::string& log_path) : console_(console), log_path_(log_path) {
  // The path is UTF-8 on every platform; the wide-character API needs it read so.
  if (!log_path_.empty())
    log_.open(std::filesystem::path(std::u8string(log_path_.begin(), log_path_.end())), std::ios::app);
}

void RunLog::line(const std::string& text) {
  const std::string written = one_log_line(text);
  if (console_ != nullptr) {
    std::fputs((written + "\n").c_str(), console_);
    std::fflush(console_);
  }
  if (log_.is_open()) {
    log_ << local_time_now() << ' ' << written << '\n';
    log_.flush();
  }
}

}  // namespace qor
