// How long the answer grammar takes on long answers; the time per record
// should stay flat from 1,000 to 1,000,000 records.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "server/answer_grammar.hpp"
#include "server/answer_text.hpp"
#include "server/server_steps.hpp"
#include "tests/support/allocation_meter.hpp"
#include "window/QOR_sync_FRM.hpp"

namespace {

std::string install_answer(std::int64_t records) {
  std::string answer;
  for (std::int64_t i = 0; i < records; ++i) {
    answer +=
        "id=" + std::to_string(i) + "|fn=file" + std::to_string(i) + ".dll|ve=1.2.3.4|pa=Sub|ar=dll|ja=2026|st=0||";
  }
  return answer;
}

void BM_RecordsAndFields(benchmark::State& state) {
  const std::string answer = install_answer(state.range(0));
  for (auto _ : state) {
    std::size_t fields = 0;
    for (const auto record : qor::answer::record_list(answer))
      for (const auto field : qor::answer::record_fields(record)) fields += field.size() + 1;
    benchmark::DoNotOptimize(fields);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(answer.size()));
}
BENCHMARK(BM_RecordsAndFields)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

// The most held beside a 64 MiB answer while its records and fields are
// walked: an answer of separators only, and one of one-letter records.
void BM_WalkPeakMemory(benchmark::State& state) {
  const std::size_t size = std::size_t{64} << 20;
  std::string answer;
  answer.reserve(size + 3);
  while (answer.size() < size) answer += state.range(0) == 0 ? "||" : "a||";
  std::size_t peak = 0;
  for (auto _ : state) {
    qor::test::AllocationMeter::reset_peak();
    const std::size_t before = qor::test::AllocationMeter::live();
    std::size_t fields = 0;
    for (const auto record : qor::answer::record_list(answer))
      for (const auto field : qor::answer::record_fields(record)) fields += field.size() + 1;
    benchmark::DoNotOptimize(fields);
    peak = std::max(peak, qor::test::AllocationMeter::peak() - before);
  }
  state.counters["answer_MiB"] = static_cast<double>(answer.size()) / (1 << 20);
  state.counters["peak_beside_MiB"] = static_cast<double>(peak) / (1 << 20);
}
BENCHMARK(BM_WalkPeakMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_AnswerTextWindows1252(benchmark::State& state) {
  std::string body = install_answer(state.range(0));
  body += "\xFC";  // one byte that is not UTF-8 makes the whole body Windows-1252
  for (auto _ : state) benchmark::DoNotOptimize(qor::answer_text(body));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_AnswerTextWindows1252)->Arg(100000)->Unit(benchmark::kMillisecond);

class NoHost : public qor::FormHost {
 public:
  qor::MsgResult MsgBox(const std::string&, qor::MsgButtons, const std::string&) override { return qor::MsgResult::OK; }
  void DoEvents() override {}
  void Unload() override {}
  bool closed() const override { return false; }
};

void BM_ParsePackageRecords(benchmark::State& state) {
  NoHost host;
  qor::QOR_sync_FRM form({&host, nullptr, "/tmp"});
  const std::string answer = install_answer(state.range(0));
  for (const auto record : qor::answer::record_list(answer)) form.List1.AddItem(std::string(record));
  std::int64_t checks = 0;
  form.steps.check_package_due = [&] { ++checks; };
  for (auto _ : state) qor::parse_package_records(form);
  benchmark::DoNotOptimize(checks);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParsePackageRecords)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
