// Measures the FTP client on loopback against the curl command-line tool:
// one large file, many small files over one connection, and the listing
// of a large folder ordered and shown; how a listing without end is
// refused, and what a file broken off midway costs on the wire. Prints the
// figures; asserts nothing.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ftp/ftp_steps.hpp"
#include "platform/file_system.hpp"
#include "platform/ftp_transfer.hpp"
#include "tests/support/server_process.hpp"
#include "window/QOR_sync_FRM.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using qor::test::ServerProcess;
using Clock = std::chrono::steady_clock;

const std::string kUser = "bench";
const std::string kPassword = "bench";
int rounds = 3;  // per measurement; the median is reported

class QuietHost : public qor::FormHost {
 public:
  qor::MsgResult MsgBox(const std::string& text, qor::MsgButtons, const std::string&) override {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    return qor::MsgResult::OK;
  }
  void DoEvents() override {}
  void Unload() override {}
  bool closed() const override { return false; }
};

double seconds(const std::function<void()>& f) {
  const auto t0 = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long max_rss_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

bool run(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void write_pattern_file(const std::string& path, std::size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  std::vector<char> block(1 << 20);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 2654435761u) >> 13);
  for (std::size_t left = bytes; left > 0;) {
    const std::size_t n = std::min(left, block.size());
    // n is at least 1 here: the loop runs only while something is left.
    // cppcheck-suppress invalidFunctionArg
    out.write(block.data(), static_cast<std::streamsize>(n));
    left -= n;
  }
}

std::unique_ptr<ServerProcess> serve(const std::string& root, const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv{qor::test::python(),
                                qor::test::tools_dir() + "/ftp_server.py",
                                "--root",
                                root,
                                "--user",
                                kUser,
                                "--password",
                                kPassword};
  argv.insert(argv.end(), options.begin(), options.end());
  return std::make_unique<ServerProcess>(std::move(argv));
}

std::string curl_url(const ServerProcess& server, const std::string& name) {
  return "ftp://" + kUser + ":" + kPassword + "@" + server.address("ftp") + "/" + name;
}

void bench_big(const std::string& work, const std::string& out, std::size_t megabytes) {
  const std::string root = work + "/big-root";
  fs::create_directories(root);
  fs::create_directories(out);
  const std::size_t bytes = megabytes << 20;
  write_pattern_file(root + "/big.bin", bytes);
  auto server = serve(root);
  auto internet = qor::transfer::open("bench");
  auto connection = qor::transfer::connect(*internet, server->address("ftp"), kUser, kPassword);
  if (!connection) {
    std::printf("big file: no connection (%s)\n", connection.failure().reason.c_str());
    return;
  }
  const auto disk = qor::make_local_file_system(out);
  std::vector<double> ours, flush, theirs;
  const long rss_before = max_rss_kb();
  const auto client_round = [&] {
    double flush_s = 0;
    ours.push_back(seconds([&] {
      auto target = disk->replace_file(out + "/big.bin");
      const bool ok = target && qor::transfer::get_file(connection->get(), "big.bin", **target);
      if (!ok ||
          (flush_s = seconds([&] { (void)(*target)->commit(qor::Placement::Replace); }), !fs::exists(out + "/big.bin")))
        std::printf("  our download failed\n");
    }));
    flush.push_back(flush_s);
  };
  const auto curl_round = [&] {
    theirs.push_back(seconds([&] {
      if (!run({"curl", "-s", "-S", "-o", out + "/big-curl.bin", curl_url(*server, "big.bin")}))
        std::printf("  curl failed\n");
    }));
  };
  for (int round = 0; round < rounds; ++round) {
    // Alternating who goes first evens out the other's leftover writeback.
    if (round % 2 == 0) {
      client_round();
      curl_round();
    } else {
      curl_round();
      client_round();
    }
    std::printf("  round %d: client %.3f s (final flush %.3f s), curl %.3f s\n", round + 1, ours.back(), flush.back(),
                theirs.back());
    fs::remove(out + "/big.bin");
    fs::remove(out + "/big-curl.bin");
  }
  const double mb = static_cast<double>(bytes) / (1 << 20);
  std::printf("big file (%zu MB) into %s, median of %d:\n", megabytes, out.c_str(), rounds);
  std::printf("  client  %.3f s  %.0f MB/s (final flush and rename %.3f s)\n", median(ours), mb / median(ours),
              median(flush));
  std::printf("  curl    %.3f s  %.0f MB/s\n", median(theirs), mb / median(theirs));
  std::printf("  throughput ratio client/curl %.3f (target >= 0.95)\n", median(theirs) / median(ours));
  std::printf("  peak memory growth during the downloads: %ld KB\n", max_rss_kb() - rss_before);
  fs::remove_all(root);
}

void bench_small(const std::string& work, int count) {
  const std::string root = work + "/small-root";
  const std::string out = work + "/small-out";
  fs::create_directories(root);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file%05d.dat", i);
    names.emplace_back(name);
    std::ofstream(root + '/' + name) << std::string(4096, static_cast<char>('a' + i % 26));
  }
  auto server = serve(root);
  const std::string config = work + "/curl-small.cfg";
  {
    std::ofstream cfg(config);
    for (const auto& n : names)
      cfg << "url = \"" << curl_url(*server, n) << "\"\noutput = \"" << out << "/" << n << "\"\n";
  }
  std::vector<double> ours, theirs;
  for (int round = 0; round < rounds; ++round) {
    fs::remove_all(out);
    fs::create_directories(out);
    ours.push_back(seconds([&] {
      auto internet = qor::transfer::open("bench");
      auto connection = qor::transfer::connect(*internet, server->address("ftp"), kUser, kPassword);
      const auto disk = qor::make_local_file_system(out);
      int failed = 0;
      for (const auto& n : names) {
        auto target = disk->replace_file((fs::path(out) / n).string());
        failed += !(target && connection && qor::transfer::get_file(connection->get(), n, **target) &&
                    (*target)->commit(qor::Placement::Replace));
      }
      if (failed) std::printf("  %d of our downloads failed\n", failed);
    }));
    std::printf("  round %d: client %.3f s\n", round + 1, ours.back());
    fs::remove_all(out);
    fs::create_directories(out);
    theirs.push_back(seconds([&] {
      if (!run({"curl", "-s", "-S", "-K", config})) std::printf("  curl failed\n");
    }));
  }
  std::printf("%d small files (4 KB) over one connection, login included, median of %d:\n", count, rounds);
  std::printf("  client  %.3f s\n", median(ours));
  std::printf("  curl    %.3f s\n", median(theirs));
  std::printf("  time ratio client/curl %.3f (target <= 1.2)\n", median(ours) / median(theirs));
  fs::remove_all(root);
  fs::remove_all(out);
}

void bench_listing(const std::string& work, int count) {
  const std::string root = work + "/listing-root";
  fs::create_directories(root);
  for (int i = 0; i < count; ++i) {
    char name[48];
    // Mixed case, shuffled order, some folders: the sort has real work.
    std::snprintf(name, sizeof name, "%c%s%05d.Dat", 'A' + (i * 7) % 26, (i % 3) ? "file" : "FILE", (i * 7919) % count);
    if (i % 50 == 0)
      fs::create_directory(root + "/" + name);
    else
      std::ofstream(root + "/" + name).put('x');
  }
  auto server = serve(root);
  QuietHost host;
  qor::QOR_sync_FRM form({&host, nullptr, work});
  auto& shared = qor::shared_variables();
  shared.ftp.listing_list = &form.List4;
  shared.mod.ftp_server = server->address("ftp");
  shared.mod.ftp_user = kUser;
  shared.mod.ftp_password = kPassword;
  std::vector<double> whole, show, curl_list;
  const long rss_before = max_rss_kb();
  for (int round = 0; round < rounds; ++round) {
    curl_list.push_back(seconds([&] {
      if (!run({"curl", "-s", "-S", "-o", "/dev/null", curl_url(*server, "")})) std::printf("  curl failed\n");
    }));
    whole.push_back(seconds([&] { qor::connect_ftp(host, {}); }));
    // Again on the same records, reversed so that the order step has work.
    std::reverse(shared.ftp.remote_listing.begin(), shared.ftp.remote_listing.end() - 1);
    show.push_back(seconds([&] { qor::show_remote_listing(); }));
  }
  std::printf("listing of %d entries, median of %d:\n", form.List4.ListCount(), rounds);
  std::printf("  connect, login, LIST, parse, order and show  %.3f s\n", median(whole));
  std::printf("  order and show alone                         %.3f s (target < 0.5)\n", median(show));
  std::printf("  curl tool: connect, login, LIST alone        %.3f s\n", median(curl_list));
  std::printf("  peak memory growth over %d listings: %ld KB\n", rounds, max_rss_kb() - rss_before);
  shared = qor::SharedVariables{};
  fs::remove_all(root);
}

// A server whose listing never ends: how long until the client refuses it
// under the program's limits, and what the listing costs in memory.
void bench_endless_listing(const std::string& work) {
  const std::string root = work + "/endless-root";
  fs::create_directories(root);
  auto server = serve(root, {"--endless-listing"});
  auto internet = qor::transfer::open("bench");
  auto connection = qor::transfer::connect(*internet, server->address("ftp"), kUser, kPassword);
  if (!connection) {
    std::printf("endless listing: no connection (%s)\n", connection.failure().reason.c_str());
    return;
  }
  const long rss_before = max_rss_kb();
  qor::WIN32_FIND_DATA data;
  std::string outcome;
  const double took = seconds([&] {
    const auto find = qor::transfer::find_first(connection->get(), data);
    outcome = find ? std::string("listed whole, which it must not be") : find.failure().reason;
  });
  std::printf("endless listing under the program's limits:\n");
  std::printf("  refused after %.3f s: %s\n", took, outcome.c_str());
  std::printf("  peak memory growth: %ld KB\n", max_rss_kb() - rss_before);
  fs::remove_all(root);
}

// A file the server breaks off once, at `at_mb`: the bytes the server sent
// after the break (its "SENT" lines), against the rest of the file.
// A download that fails at the break is fetched again, as the next run
// would.
void bench_broken(const std::string& work, std::size_t megabytes, std::size_t at_mb) {
  const std::string root = work + "/broken-root";
  const std::string out = work + "/broken-out";
  fs::create_directories(root);
  fs::create_directories(out);
  const std::size_t bytes = megabytes << 20;
  const std::size_t at = at_mb << 20;
  write_pattern_file(root + "/big.bin", bytes);
  auto server = serve(root, {"--abort-after", std::to_string(at), "--breaks", "1"});
  auto internet = qor::transfer::open("bench");
  auto connection = qor::transfer::connect(*internet, server->address("ftp"), kUser, kPassword);
  if (!connection) {
    std::printf("broken file: no connection (%s)\n", connection.failure().reason.c_str());
    return;
  }
  const auto disk = qor::make_local_file_system(out);
  std::string outcome;
  // A client that gave the file up gets it in its next run: fetched again.
  const double took = seconds([&] {
    for (int run = 1; run <= 2; ++run) {
      auto target = disk->replace_file(out + "/big.bin");
      if (!target) {
        outcome += target.failure().reason;
        return;
      }
      const qor::Status arrived = qor::transfer::get_file(connection->get(), "big.bin", **target);
      if (arrived) {
        outcome += (*target)->commit(qor::Placement::Replace) ? "whole" : "not put in place";
        return;
      }
      outcome += "failed (" + arrived.failure().reason + "), fetched again: ";
    }
  });
  server->count_log("SENT ", 2, std::chrono::seconds(2));
  std::vector<std::uint64_t> sent;
  for (const std::string& line : server->log())
    if (line.starts_with("SENT ")) sent.push_back(std::stoull(line.substr(5)));
  std::uint64_t after_break = 0;
  for (std::size_t i = 1; i < sent.size(); ++i) after_break += sent[i];
  const double mib = 1 << 20;
  std::printf("%zu MB file broken off once at %zu MB:\n", megabytes, at_mb);
  std::printf("  %s in %.3f s, %zu transfers\n", outcome.c_str(), took, sent.size());
  std::printf("  on the wire after the break %.3f MB (the rest of the file: %.3f MB)\n",
              static_cast<double>(after_break) / mib, static_cast<double>(bytes - at) / mib);
  fs::remove_all(root);
  fs::remove_all(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t big_mb = 500;
  int small = 1000;
  int entries = 30000;
  int endless = 1;
  std::size_t broken_mb = 100;
  std::size_t broken_at_mb = 60;
  std::string big_out = "/tmp/qor-ftp-bench/out";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--big-mb")) big_mb = std::stoul(argv[i + 1]);
    if (!std::strcmp(argv[i], "--small")) small = std::stoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--entries")) entries = std::stoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--endless")) endless = std::stoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--broken-mb")) broken_mb = std::stoul(argv[i + 1]);
    if (!std::strcmp(argv[i], "--broken-at-mb")) broken_at_mb = std::stoul(argv[i + 1]);
    // Where the big file is written, e.g. /dev/shm to leave the disk out.
    if (!std::strcmp(argv[i], "--big-out")) big_out = argv[i + 1];
    if (!std::strcmp(argv[i], "--rounds")) rounds = std::max(1, std::stoi(argv[i + 1]));
  }
  // Figures appear as they are taken, even when a run is cut short.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string work = "/tmp/qor-ftp-bench";
  fs::remove_all(work);
  fs::create_directories(work);
  // First: the peak memory it reports is the process's own so far.
  if (endless > 0) bench_endless_listing(work);
  if (entries > 0) bench_listing(work, entries);
  if (small > 0) bench_small(work, small);
  if (big_mb > 0) bench_big(work, big_out, big_mb);
  if (broken_mb > 0 && broken_at_mb < broken_mb) bench_broken(work, broken_mb, broken_at_mb);
  fs::remove_all(work);
  return 0;
}
