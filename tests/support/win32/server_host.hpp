// The test server host a Windows test program reaches over 127.0.0.1
// (tools/wine_test_servers.py, its address in QOR_TEST_SERVERS): it starts
// the servers of tools/ on the Linux side and does the few things a Windows
// program cannot do there itself.
#pragma once

#include <string>

namespace qor::test {

// Winsock started for the object's lifetime (the system counts the users).
class WinsockUse {
 public:
  WinsockUse();
  WinsockUse(const WinsockUse&) = delete;
  WinsockUse& operator=(const WinsockUse&) = delete;
  ~WinsockUse();
};

// A connection to the host (a SOCKET); throws when there is none.
unsigned long long connect_to_server_host();

// One request line (tab-separated words) and the host's one-line answer.
std::string ask_server_host(const std::string& request);

}  // namespace qor::test
