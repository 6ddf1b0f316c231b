// Ten megabytes of garbage as the answer to a query: random bytes (NUL and
// invalid UTF-8 among them), and separator-dense garbage full of keys with
// names that try to leave the program folder. The client takes what it can,
// acts on nothing outside its folder, and returns in bounded time.
#include <cstdint>

#include "tests/faults/fault_test.hpp"

namespace qor::faults {
namespace {

constexpr std::size_t kSize = std::size_t{10} << 20;

struct Rng {
  std::uint64_t state;
  std::uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state >> 33);
  }
};

std::string random_bytes(std::uint64_t seed) {
  Rng rng{seed};
  std::string out(kSize, '\0');
  for (auto& c : out) c = static_cast<char>(rng.next());
  return out;
}

std::string dense_garbage(std::uint64_t seed) {
  static const std::vector<std::string> tokens = {
      "||",
      "||",
      "||",
      "|",
      "|",
      "|",
      "fn=../",
      "fn=/etc/",
      "fn=..\\",
      "fn=a/b",
      "pa=..",
      "pa=/tmp",
      "pa=../../",
      "pa=\\..\\",
      "pa=Bilder",
      "pa=",
      "st=10",
      "st=99999",
      "st=-1",
      "ar=dll",
      "ar=exe",
      "ve=",
      "ve=2026-12-01 08:00:00",
      " ",
      "  ",
      "\r\n",
      std::string(1, '\0'),
      "\xff",
      "\xc3\x28",
      "=",
      "..",
      "/",
      "\\",
      "mainprogram=../../x",
      "updaprogram=",
      "lab6_0",
      "col_head",
      "99999999999999",
      "us=",
      "pa=x",
      "fo=",
  };
  Rng rng{seed};
  std::string out;
  out.reserve(kSize + 64);
  while (out.size() < kSize) {
    const std::uint32_t pick = rng.next();
    if (pick % 4 == 0) {
      for (std::uint32_t n = 1 + pick % 7; n > 0; --n) out += static_cast<char>(rng.next());
    } else if (pick % 50000 == 1) {
      out += "|fn=x" + std::to_string(pick % 1000) + ".dll";  // a rare name that is harmless
    } else {
      out += tokens[(pick >> 8) % tokens.size()];
    }
  }
  return out;
}

// A server name in the garbage would send the client to some other host;
// every test talks to the loopback only.
std::string without_server_key(std::string text) {
  for (auto at = text.find("se="); at != std::string::npos; at = text.find("se=", at)) text[at + 1] = 'E';
  return text;
}

struct Garbage {
  std::string query;
  bool dense;
};

void PrintTo(const Garbage& f, std::ostream* os) { *os << f.query << (f.dense ? " dense" : " random"); }

class GarbageAnswer : public FaultTest, public ::testing::WithParamInterface<Garbage> {};

TEST_P(GarbageAnswer, IsSurvivedInsideTheProgramFolderInBoundedTime) {
  const auto& [query, dense] = GetParam();
  test::TempDir answers;
  const std::string path = answers / "garbage";
  test::write_file(path, without_server_key(dense ? dense_garbage(7) : random_bytes(7)));
  start({"--answer", query + "=" + path});
  click_through();
  for (const auto& text : run->message_texts()) {
    EXPECT_TRUE(text == kTransferFailed || text.starts_with(kTransferFailed + " / Transfer failed:") ||
                text == kConnectFailed || text.starts_with("Ordner konnte nicht"))
        << text.substr(0, 200);
  }
  EXPECT_EQ(file(kUserDatabase), "the user's bookings");
  expect_sound_end(std::chrono::seconds(30));
}

std::vector<Garbage> garbage_cases() {
  std::vector<Garbage> out;
  for (const char* query : {"caption", "sw_update", "new", "install", "update"})
    for (const bool dense : {false, true})
      // Dense garbage names some twenty thousand folders; creating them all is
      // what the server asked for, and only slow.
      if (!(dense && std::string(query) == "new")) out.push_back({query, dense});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Queries, GarbageAnswer, ::testing::ValuesIn(garbage_cases()),
                         [](const auto& info) { return info.param.query + (info.param.dense ? "_dense" : "_random"); });

// Records the run cannot place. One without "fn=" at the top of the update
// list: the version check reads it with the file name and folder left over
// from the install list, and the download run fetches exactly that. One
// whose file name names no file: listed, and refused with the message. Two
// whose folder (one its own, one carried over) leaves the program folder:
// never listed. One whose folder is a file of the user's: the file stays as
// it was.
TEST_F(FaultTest, DueRecordsThatCannotBePlacedAreReportedNotSkipped) {
  test::TempDir answers;
  const std::string path = answers / "update";
  test::write_file(path,
                   "mainprogram=QOR_main.exe||id=3|ve=9|ar=db3||id=4|fn=../../escape.dll|pa=|ar=dll"
                   "||id=5|fn=x.dll|pa=../..|ar=dll||id=6|fn=/tmp/abs.dll|ar=dll"
                   // A file of the user's where the server puts a folder.
                   "||id=7|fn=after.dll|pa=readme.txt|ar=dll");
  start({"--answer", "update=" + path});
  click_through(true);
  EXPECT_EQ(run->form->List3.texts(), (Texts{"kunden.db3", "../../escape.dll", "after.dll"}));
  EXPECT_EQ(run->message_texts(), (Texts{kTransferFailed, kTransferFailed}));
  EXPECT_EQ(file("readme.txt"), "notes");
  // The names that would land outside the sandbox.
  EXPECT_FALSE(fs::exists("/tmp/abs.dll"));
  EXPECT_EQ(sandbox.strays(), Texts{});
  EXPECT_EQ(file("Daten/kunden.db3"), published("kunden.db3"));
  expect_sound_end();
}

}  // namespace
}  // namespace qor::faults
