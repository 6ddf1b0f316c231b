#include "tests/support/recording_host.hpp"

namespace qor::test {

MsgResult RecordingHost::MsgBox(const std::string& text, MsgButtons buttons, const std::string& caption) {
  messages.push_back({text, buttons, caption});
  if (on_message) on_message();
  if (answers.empty()) return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
  const MsgResult answer = answers.front();
  answers.pop_front();
  return answer;
}

void RecordingHost::DoEvents() {
  ++yields;
  if (on_yield) on_yield();
}

std::vector<std::string> RecordingHost::texts() const {
  std::vector<std::string> out;
  out.reserve(messages.size());
  for (const Message& m : messages) out.push_back(m.text);
  return out;
}

}  // namespace qor::test
