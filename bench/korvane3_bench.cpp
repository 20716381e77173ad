// korvane3's speed: one update pass over 100 configured slots through the
// simulated host, and SoundBank::loadSlot beside a plain read() of the same
// file plus a copy. Ratios of the two are printed after the runs.
//
//   build/<dir>/bench/korvane3_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/panel_host.h"
#include "platform_control.h"
#include "sound_player/sound_bank.h"
#include "test_support.h"
#include "wav_builder.h"

namespace {

using testing_support::PcmFormat;
using testing_support::ScratchFolder;

// The host keeps a log of every failable call; a long run clears it now and
// then, outside the timing.
void clearCallLog(benchmark::State& state, long iteration) {
  if ((iteration & 1023) != 1023) return;
  state.PauseTiming();
  platform::clearFaults();
  state.ResumeTiming();
}

enum SlotActivity { kNeverAsked = 0, kIdle = 1, kPlaying = 2 };

// 100 configured slots (no INI file: defaults), all in one state.
void BM_UpdatePass(benchmark::State& state) {
  const auto activity = static_cast<SlotActivity>(state.range(0));
  platform::reset();
  ScratchFolder scratch;
  host::PanelHost panel;
  HWND window = platform::createWindow("FS98MAIN");
  PcmFormat format;
  format.bitsPerSample = 8;
  format.sampleRate = 1000;
  for (int slot = 0; slot < 100; ++slot) {
    char path[32];
    std::snprintf(path, sizeof path, "Sound/vek/korv_%02d.wav", slot);
    scratch.write(path, testing_support::pcmWav(format, testing_support::patternBytes(1000)));
  }
  host::GaugeModule* module = panel.load(KORVANE3_MODULE_PATH);
  module->setParameters("missing.ini");
  module->callback(kServiceWindowReady);
  module->callback(kServiceBeforeUpdate);
  for (int slot = 0; slot < 100; ++slot) {
    char name[16];
    std::snprintf(name, sizeof name, "korv_id_%02d", slot);
    if (activity != kNeverAsked) panel.setNamedVariable(name, 2.0);
  }
  module->callback(kServiceBeforeUpdate);
  for (int slot = 0; slot < 100; ++slot) {
    char name[16];
    std::snprintf(name, sizeof name, "korv_id_%02d", slot);
    if (activity == kIdle) panel.setNamedVariable(name, 0.0);
  }
  module->callback(kServiceBeforeUpdate);
  if (platform::buffers().size() != (activity == kNeverAsked ? 0u : 100u)) {
    state.SkipWithError("the slots did not load");
  }

  long iteration = 0;
  for (auto _ : state) {
    module->callback(kServiceBeforeUpdate);
    clearCallLog(state, iteration++);
  }
  panel.closePanel();
  platform::destroyWindow(window);
}
BENCHMARK(BM_UpdatePass)->Arg(kNeverAsked)->Arg(kIdle)->Arg(kPlaying)->ArgName("slots_never_idle_playing");

// What the platform alone costs for the status queries of one pass over 100
// loaded slots: 100 GetStatus calls. Set against BM_UpdatePass/1 it shows the
// gauge's own share of a pass.
void BM_PlatformStatusQueries(benchmark::State& state) {
  platform::reset();
  IDirectSound* device = nullptr;
  DirectSoundCreate(nullptr, &device, nullptr);
  PcmFormat pcm;
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, pcm.channels, pcm.sampleRate, pcm.bytesPerSecond(),
                         pcm.blockAlign(), pcm.bitsPerSample, 0};
  DSBUFFERDESC description = {};
  description.dwSize = 36;
  description.dwFlags = DSBCAPS_STATIC;
  description.dwBufferBytes = 1000;
  description.lpwfxFormat = &format;
  IDirectSoundBuffer* buffer = nullptr;
  if (device == nullptr || device->CreateSoundBuffer(&description, &buffer, nullptr) != DS_OK) {
    state.SkipWithError("no buffer");
    if (device != nullptr) device->Release();
    return;
  }
  long iteration = 0;
  for (auto _ : state) {
    for (int slot = 0; slot < 100; ++slot) {
      DWORD status = 0;
      buffer->GetStatus(&status);
      benchmark::DoNotOptimize(status);
    }
    clearCallLog(state, iteration++);
  }
  buffer->Release();
  device->Release();
}
BENCHMARK(BM_PlatformStatusQueries);

// One file per size, written once; 16-bit stereo at 44.1 kHz.
const std::string& soundFile(size_t dataBytes) {
  static ScratchFolder* folder = new ScratchFolder();  // kept for the whole run
  static std::map<size_t, std::string> paths;
  auto found = paths.find(dataBytes);
  if (found != paths.end()) return found->second;
  PcmFormat format;
  format.channels = 2;
  format.sampleRate = 44100;
  const std::string name = "sound_" + std::to_string(dataBytes) + ".wav";
  return paths[dataBytes] =
             folder->write(name, testing_support::pcmWav(format, testing_support::patternBytes(dataBytes)));
}

void BM_LoadSlot(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  const std::string& path = soundFile(bytes);
  platform::reset();
  HWND window = platform::createWindow("FS98MAIN");
  SoundBank::connect();
  long iteration = 0;
  for (auto _ : state) {
    if (SoundBank::loadSlot(0, path.c_str()) != S_OK) state.SkipWithError("load failed");
    SoundBank::releaseSlot(0);
    clearCallLog(state, iteration++);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  SoundBank::disconnect();
  platform::destroyWindow(window);
}

// The least any load does: the file's bytes into memory and once more into a
// buffer of its own.
void BM_ReadAndCopy(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  const std::string& path = soundFile(bytes);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    char* file = static_cast<char*>(std::malloc(bytes + 64));
    size_t got = 0;
    while (got < bytes + 64) {
      const ssize_t n = ::read(fd, file + got, bytes + 64 - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    ::close(fd);
    char* sound = static_cast<char*>(std::malloc(bytes));
    std::memcpy(sound, file + 44, bytes);
    benchmark::DoNotOptimize(sound);
    benchmark::ClobberMemory();
    std::free(sound);
    std::free(file);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

const int64_t kSizes[] = {64 << 10, 1 << 20, 16 << 20};
void sizes(benchmark::internal::Benchmark* benchmark) {
  for (int64_t size : kSizes) benchmark->Arg(size);
}
BENCHMARK(BM_LoadSlot)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadAndCopy)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// Keeps each run's time so that loads can be set against read-and-copy.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void printRatios() const {
    for (int64_t size : kSizes) {
      const std::string suffix = "/" + std::to_string(size);
      auto load = times_.find("BM_LoadSlot" + suffix);
      auto reference = times_.find("BM_ReadAndCopy" + suffix);
      if (load == times_.end() || reference == times_.end() || reference->second <= 0) continue;
      std::printf("loadSlot / read-and-copy at %8lld bytes: %.2f\n", static_cast<long long>(size),
                  load->second / reference->second);
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  // Freed blocks stay with the allocator, for the loads and the reference
  // alike: otherwise every large block is mapped afresh, and on a virtual
  // machine its page faults drown the copying being measured.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
