// Cost of the setup-file text transform and of a whole patchInf, against a
// plain copy of the same file. Run: build/native/bin/patch_bench
#include <benchmark/benchmark.h>

#include "customize/patch_inf.h"
#include "platform/files.h"
#include "test_support.h"

namespace {

// A setup file of about `size` bytes in CR LF lines, with the three texts to replace.
std::string setupFile(std::size_t size) {
  std::string text = "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n";
  while (text.size() < size) text += "Key=some value of a setup line, 1234567890\r\n";
  return text;
}

void BM_TextTransform(benchmark::State& state) {
  const std::string bytes = setupFile(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(patchSetupBytes(bytes, 0, u"TR0107", u"de-de", true, u"1A2B"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_PatchInf(benchmark::State& state) {
  testing_support::TempDir dir;
  const std::string bytes = setupFile(static_cast<std::size_t>(state.range(0)));
  const auto path = (dir / "kvsetup.cif").u16string();
  for (auto _ : state) {
    state.PauseTiming();
    testing_support::writeFile(dir / "kvsetup.cif", bytes);
    state.ResumeTiming();
    patchInf(path, 0, u"TR0107", u"de-de", true, u"1A2B");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_CopyFile(benchmark::State& state) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "kvsetup_o.cif",
                             setupFile(static_cast<std::size_t>(state.range(0))));
  const auto from = (dir / "kvsetup_o.cif").u16string();
  const auto to = (dir / "kvsetup.cif").u16string();
  for (auto _ : state) platform::copyFile(from, to);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

constexpr std::int64_t kSizes[] = {1 << 10, 1 << 20, 64 << 20};

void sizes(benchmark::internal::Benchmark* benchmark) {
  for (const auto size : kSizes) benchmark->Arg(size);
  benchmark->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_TextTransform)->Apply(sizes);
BENCHMARK(BM_PatchInf)->Apply(sizes);
BENCHMARK(BM_CopyFile)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
