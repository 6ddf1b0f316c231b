// The record of an unattended run: one line per step and per file, on the
// console (standard output, where the program has one) and, when asked for,
// appended to a log file with the time of each line.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>

namespace qor {

class RunLog {
 public:
  // `console` may be null (no console); `log_path` empty for no log file.
  RunLog(std::FILE* console, const std::string& log_path);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // False when a log file was asked for and cannot be written.
  bool ready() const { return log_path_.empty() || log_.good(); }
  // Writes one line; line breaks and other control characters in `text`
  // (texts of the server, messages of two lines) do not break it.
  void line(const std::string& text);

 private:
  std::FILE* console_;
  std::string log_path_;
  std::ofstream log_;
};

// `text` as one line: CR LF and LF become " / ", other control characters
// are written as \xNN.
std::string one_log_line(const std::string& text);

}  // namespace qor
