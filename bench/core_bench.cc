// The core's own cost, against the recording fake: converting each template
// and the whole FIX sequence.
#include <benchmark/benchmark.h>

#include "app/form.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

void BM_BuildRegFile(benchmark::State& state) {
  const int id = static_cast<int>(state.range(0));
  FakePlatform fake;
  for (auto _ : state) {
    benchmark::DoNotOptimize(BuildRegFile(fake, LoadTemplate(fake, id), "C:\\WINDOWS\\"));
    fake.log.clear();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fake.resources[id].size()));
}
BENCHMARK(BM_BuildRegFile)->Arg(105)->Arg(106)->Arg(109)->Unit(benchmark::kMicrosecond);

void BM_FixSequence(benchmark::State& state) {
  for (auto _ : state) {
    FakePlatform fake;
    const auto id = state.range(0);
    fake.version = id == 109 ? WindowsVersion{10, 0, 0} : id == 106 ? WindowsVersion{6, 0, 0} : WindowsVersion{5, 1, 0};
    frmVeltrik form(fake);
    form.Form_Load();
    form.cmdStart_Click();
    benchmark::DoNotOptimize(fake.log.size());
  }
}
BENCHMARK(BM_FixSequence)->Arg(105)->Arg(106)->Arg(109)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veltrik::testing
