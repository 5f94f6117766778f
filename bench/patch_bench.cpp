// What a run costs against the I/O it cannot avoid. On a package whose setup
// file has a given size: the whole tool started by a launcher stub (with the
// peak resident size of the tool), a durable copy of the same file (cp, then
// sync of the copy), patchInf
// alone, the pure text transform and the variant copy; and, as the floor of
// any run, a null process started by the same stub.
// Run: build/native/bin/patch_bench [--benchmark_filter=Run]
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "customize/patch_inf.h"
#include "platform/files.h"
#include "platform_copy.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// A setup file of about `size` bytes in CR LF lines, with the three texts to replace.
std::string setupFile(std::size_t size) {
  std::string text = "[Setup]\r\nInf=INSTALL.INF\r\nBar=B8DF\r\nMarket=en-us\r\n";
  text.reserve(size + 64);
  while (text.size() < size) text += "Key=some value of a setup line, 1234567890\r\n";
  return text;
}

// A package folder of an "O" package whose .cif variant has `size` bytes,
// with the launcher stub under a launcher's name.
struct Package {
  testing_support::TempDir dir;
  fs::path launcher = dir / "TRKVpack_v2_TR0107_x";

  explicit Package(std::size_t size) {
    testing_support::writeFile(dir / "config.xml",
                               "<config><binary code=\"TR0107\"><package_type>O</package_type>"
                               "<quil_bar_pc>1A2B</quil_bar_pc><market_type>de-de</market_type>"
                               "</binary></config>\r\n");
    // Written in pieces: a fork carries this process's resident size into
    // the peak that the child reports.
    std::ofstream variant(dir / "kvsetup_o.cif", std::ios::binary);
    const std::string piece = setupFile(64 << 10);
    for (std::size_t written = 0; written < size; written += piece.size()) {
      variant.write(piece.data(),
                    static_cast<std::streamsize>(std::min(piece.size(), size - written)));
    }
    testing_support::writeFile(dir / "kvsetup.cif", "old live file\r\n");
    fs::copy_file(testing_support::builtProgram("launcher_stub"), launcher);
  }
};

// Runs `argv` in `dir` and returns its resource usage, which includes the
// descendants it waited for; nullopt unless it exited with status 0.
std::optional<rusage> runMeasured(const std::vector<std::string>& argv, const fs::path& dir) {
  std::vector<char*> pointers;
  for (const auto& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return usage;
}

// Times `argv` started in `dir`, and reports the largest peak resident size.
void timeProcess(benchmark::State& state, const std::vector<std::string>& argv,
                 const fs::path& dir) {
  long peakKb = 0;
  for (auto _ : state) {
    const auto usage = runMeasured(argv, dir);
    if (!usage) {
      state.SkipWithError("the program failed");
      return;
    }
    peakKb = std::max(peakKb, usage->ru_maxrss);
  }
  state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_ToolRun(benchmark::State& state) {
  const Package package(static_cast<std::size_t>(state.range(0)));
  timeProcess(state,
              {package.launcher.string(), testing_support::builtProgram("pkgcustomize").string()},
              package.dir.path());
  // Only the start of the file: reading it whole would raise this process's
  // resident size, which the next fork passes on.
  std::string start(64, '\0');
  std::ifstream(package.dir / "kvsetup.cif", std::ios::binary).read(start.data(), 64);
  if (start.find("INSTALL_TR0107.INF") == std::string::npos) {
    state.SkipWithError("the tool did not patch the live file");
  }
}

// A durable copy: cp, then the copy flushed to disk, as the tool flushes its own.
void BM_CpSync(benchmark::State& state) {
  const Package package(static_cast<std::size_t>(state.range(0)));
  timeProcess(state, {"/bin/sh", "-c", "cp kvsetup_o.cif kvsetup.cif && sync kvsetup.cif"},
              package.dir.path());
}

void BM_NullRun(benchmark::State& state) {
  const Package package(0);
  timeProcess(state, {package.launcher.string(), "/bin/true"}, package.dir.path());
}

const PatchRequest kRequest{.setupPath = u"kvsetup.cif",
                            .packageCode = u"TR0107",
                            .market = u"de-de",
                            .substituteValues = true,
                            .barPc = u"1A2B"};

void BM_PatchInf(benchmark::State& state) {
  testing_support::TempDir dir;
  const std::string bytes = setupFile(static_cast<std::size_t>(state.range(0)));
  const testing_support::ScopedCurrentDir inside(dir.path());
  for (auto _ : state) {
    state.PauseTiming();
    testing_support::writeFile(dir / "kvsetup.cif", bytes);
    state.ResumeTiming();
    patchInf(realPackageFiles(), kRequest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_TextTransform(benchmark::State& state) {
  const std::string bytes = setupFile(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    SetupPatch patch = startSetupPatch(kRequest);
    std::string out(*feedSetupPatch(patch, bytes));
    benchmark::DoNotOptimize(finishSetupPatch(patch, out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_CopyFile(benchmark::State& state) {
  const Package package(static_cast<std::size_t>(state.range(0)));
  const auto from = (package.dir / "kvsetup_o.cif").u16string();
  const auto to = (package.dir / "kvsetup.cif").u16string();
  for (auto _ : state) testing_support::copyThroughPlatform(from, to);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// A typical small setup file, then 1, 16 and 64 MB; whole runs also 256 MB,
// to show that their cost grows in step with the file.
constexpr std::int64_t kSizes[] = {4 << 10, 1 << 20, 16 << 20, 64 << 20};

void sizes(benchmark::internal::Benchmark* benchmark) {
  for (const auto size : kSizes) benchmark->Arg(size);
  benchmark->Unit(benchmark::kMillisecond);
}

void runSizes(benchmark::internal::Benchmark* benchmark) {
  sizes(benchmark);
  benchmark->Arg(std::int64_t{256} << 20);
}

// The processes' time is spent outside this one: wall-clock time it is.
BENCHMARK(BM_ToolRun)->Apply(runSizes)->UseRealTime();
BENCHMARK(BM_CpSync)->Apply(runSizes)->UseRealTime();
BENCHMARK(BM_NullRun)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PatchInf)->Apply(sizes);
BENCHMARK(BM_TextTransform)->Apply(sizes);
BENCHMARK(BM_CopyFile)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
