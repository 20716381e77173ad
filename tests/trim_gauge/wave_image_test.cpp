// The in-memory WAV walk, the resource and file look-ups, and copying samples
// into a buffer, called directly.
#include <cctype>
#include <cstring>
#include <memory>

#include "test_support.h"
#include "trim_gauge/wave_image.h"
#include "wav_builder.h"

namespace {

using testing_support::PcmFormat;
using testing_support::RiffBuilder;
using testing_support::patternBytes;
using testing_support::pcmFormatBody;

constexpr int kFormat = 1, kData = 2, kSize = 4, kAll = kFormat | kData | kSize;
constexpr long kNone = -1;

struct WalkCase {
  const char* name;
  std::vector<uint8_t> image;
  int result;
  long formatAt;  // offset of the format body, kNone for none
  long dataAt;    // offset of the data body, kNone for none
  uint32_t size;
  int requested = kAll;
};

std::vector<uint8_t> bytes(size_t count) { return std::vector<uint8_t>(count, 0x5A); }
std::vector<uint8_t> formatOf(size_t count) {
  std::vector<uint8_t> body = pcmFormatBody(PcmFormat{});
  body.resize(count, 0);
  return body;
}
const std::vector<uint8_t> kFmt = formatOf(16);

std::vector<WalkCase> walkCases() {
  return {
      {"fmt then data", RiffBuilder().chunk("fmt ", kFmt).chunk("data", bytes(10)).build(), 1, 20, 44, 10},
      {"data then fmt", RiffBuilder().chunk("data", bytes(10)).chunk("fmt ", kFmt).build(), 1, 38, 20, 10},
      {"other chunks before and between are skipped, odd ones with their pad",
       RiffBuilder().chunk("LIST", bytes(6)).chunk("fmt ", kFmt).chunk("junk", bytes(3))
           .chunk("data", bytes(10)).build(),
       1, 34, 70, 10},
      {"odd data before fmt", RiffBuilder().chunk("data", bytes(7)).chunk("fmt ", kFmt).build(), 1, 36, 20, 7},
      {"odd data at the very end without its pad byte",
       RiffBuilder().chunk("fmt ", kFmt).chunkClaiming("data", 7, bytes(7), false).build(), 1, 20, 44, 7},
      {"fmt of 14 bytes is accepted",
       RiffBuilder().chunk("fmt ", formatOf(14)).chunk("data", bytes(10)).build(), 1, 20, 42, 10},
      {"fmt of 13 bytes fails the walk",
       RiffBuilder().chunk("fmt ", formatOf(13)).chunk("data", bytes(10)).build(), 0, kNone, kNone, 0},
      {"fmt of 13 bytes fails even with a good fmt behind it",
       RiffBuilder().chunk("fmt ", formatOf(13)).chunk("fmt ", kFmt).chunk("data", bytes(10)).build(),
       0, kNone, kNone, 0},
      {"data of size 0 is replaced by a later data chunk",
       RiffBuilder().chunk("data", {}).chunk("fmt ", kFmt).chunk("data", bytes(10)).build(), 1, 28, 52, 10},
      {"data of size 0 after fmt completes the walk",
       RiffBuilder().chunk("fmt ", kFmt).chunk("data", {}).build(), 1, 20, 44, 0},
      {"fmt after data of size 0 does not complete it",
       RiffBuilder().chunk("data", {}).chunk("fmt ", kFmt).build(), 0, 28, 20, 0},
      {"the first data chunk is the one taken",
       RiffBuilder().chunk("data", bytes(10)).chunk("data", bytes(4)).chunk("fmt ", kFmt).build(), 1, 50, 20, 10},
      {"first id not RIFF", [] {
         auto image = RiffBuilder().chunk("fmt ", kFmt).chunk("data", bytes(10)).build();
         image[3] = 'X';
         return image;
       }(), 0, kNone, kNone, 0},
      {"form type not WAVE", RiffBuilder("AVI ").chunk("fmt ", kFmt).chunk("data", bytes(10)).build(),
       0, kNone, kNone, 0},
      {"RIFF size 4 stops before the chunks that follow",
       RiffBuilder().chunk("fmt ", kFmt).chunk("data", bytes(10)).buildClaimingRiffSize(4), 0, kNone, kNone, 0},
      {"RIFF size ends the walk before data",
       RiffBuilder().chunk("fmt ", kFmt).chunk("data", bytes(10)).buildClaimingRiffSize(28), 0, 20, kNone, 0},
      {"shorter than the RIFF header", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}, 0, kNone, kNone, 0},
      {"RIFF size larger than the image, chunks whole",
       RiffBuilder().chunk("fmt ", kFmt).chunk("data", bytes(10)).buildClaimingRiffSize(5000), 1, 20, 44, 10},
      {"RIFF size 0xFFFFFFFF, chunks whole",
       RiffBuilder().chunk("fmt ", kFmt).chunk("data", bytes(10)).buildClaimingRiffSize(0xFFFFFFFFu),
       1, 20, 44, 10},
      {"cut off in a chunk header",
       RiffBuilder().chunk("fmt ", kFmt).raw({'d', 'a', 't', 'a', 10}).buildClaimingRiffSize(5000),
       0, 20, kNone, 0},
      {"cut off in the data body",
       RiffBuilder().chunk("fmt ", kFmt).chunkClaiming("data", 100, bytes(10)).buildClaimingRiffSize(5000),
       0, 20, kNone, 0},
      {"cut off in the fmt body",
       RiffBuilder().chunk("data", bytes(10)).chunkClaiming("fmt ", 16, bytes(6)).buildClaimingRiffSize(5000),
       0, kNone, 20, 10},
      {"a skipped chunk whose size would wrap the offset",
       RiffBuilder().chunkClaiming("LIST", 0xFFFFFFF0u, {}).chunk("fmt ", kFmt).chunk("data", bytes(10))
           .buildClaimingRiffSize(0xFFFFFFFFu),
       0, kNone, kNone, 0},
      {"data claiming 0xFFFFFFFF bytes",
       RiffBuilder().chunk("fmt ", kFmt).chunkClaiming("data", 0xFFFFFFFFu, bytes(10)).build(), 0, 20, kNone, 0},
      {"format alone requested", RiffBuilder().chunk("data", bytes(4)).chunk("fmt ", kFmt).build(),
       1, 32, kNone, 0, kFormat},
      {"data and size requested, no fmt in the image", RiffBuilder().chunk("data", bytes(10)).build(),
       1, kNone, 20, 10, kData | kSize},
  };
}

class WalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(WalkTest, FindsExactlyWhatTheImageHolds) {
  const WalkCase& c = GetParam();
  // An exact-sized copy, so that a read past the end is caught by the sanitizers.
  const DWORD length = static_cast<DWORD>(c.image.size());
  std::unique_ptr<BYTE[]> image(new BYTE[length]);
  std::memcpy(image.get(), c.image.data(), length);
  const WAVEFORMATEX* format = reinterpret_cast<const WAVEFORMATEX*>(1);
  const BYTE* data = reinterpret_cast<const BYTE*>(1);
  DWORD size = 12345;
  const int result = parseWaveImage(image.get(), length, (c.requested & kFormat) ? &format : nullptr,
                                    (c.requested & kData) ? &data : nullptr, (c.requested & kSize) ? &size : nullptr);
  EXPECT_EQ(result, c.result);
  auto offsetOf = [&](const void* p) { return p == nullptr ? kNone : static_cast<long>(static_cast<const BYTE*>(p) - image.get()); };
  if (c.requested & kFormat) {
    EXPECT_EQ(offsetOf(format), c.formatAt) << "format";
  }
  if (c.requested & kData) {
    EXPECT_EQ(offsetOf(data), c.dataAt) << "data";
  }
  if (c.requested & kSize) {
    EXPECT_EQ(size, c.size) << "size";
  }
}

INSTANTIATE_TEST_SUITE_P(Images, WalkTest, ::testing::ValuesIn(walkCases()),
                         [](const ::testing::TestParamInfo<WalkCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p != '\0'; ++p) {
                             if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

TEST(Walk, NoImageOrEmptyImageFindsNothing) {
  const WAVEFORMATEX* format = nullptr;
  const BYTE* data = nullptr;
  DWORD size = 0;
  EXPECT_EQ(parseWaveImage(nullptr, 100, &format, &data, &size), 0);
  const BYTE one = 'R';
  EXPECT_EQ(parseWaveImage(&one, 0, &format, &data, &size), 0);
}

// A fresh world with a device ready to make buffers, and a module of our own
// whose resources the loader searches.
class WaveLoadingTest : public testing_support::GaugeTest {
 protected:
  WaveLoadingTest() {
    EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    EXPECT_EQ(device->SetCooperativeLevel(mainWindow, DSSCL_NORMAL), DS_OK);
    waveModule = module;
    baseline = platform::liveCounts();
  }
  ~WaveLoadingTest() override {
    device->Release();
    EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
  }

  IDirectSound* device = nullptr;
  platform::LiveCounts baseline{};  // with the device made
  HMODULE module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10000));
  const std::vector<uint8_t> samples = patternBytes(1000, 7);
  const std::vector<uint8_t> wav = testing_support::pcmWav(PcmFormat{}, samples);
};

TEST_F(WaveLoadingTest, MappedFileHandsOverOnlyItsView) {
  scratch.write("Sound/qztrim.wav", wav);
  const WAVEFORMATEX* format = nullptr;
  const BYTE* data = nullptr;
  DWORD size = 0;
  const void* view = nullptr;
  ASSERT_EQ(mapWaveFile("Sound\\qztrim.wav", &format, &data, &size, &view), 1);
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views + 1);
  EXPECT_EQ(platform::liveCounts().kernelHandles, countsAtStart.kernelHandles);
  EXPECT_EQ(std::vector<uint8_t>(data, data + size), samples);
  EXPECT_EQ(format->nSamplesPerSec, 22050u);
  EXPECT_TRUE(UnmapViewOfFile(view));
}

TEST_F(WaveLoadingTest, FileThatDoesNotServeLeavesNothingOpenOrMapped) {
  struct Case {
    const char* what;
    std::vector<uint8_t> contents;  // empty with write = false: no file at all
    bool write;
  } cases[] = {
      {"missing", {}, false},
      {"empty", {}, true},
      {"not a RIFF image", std::vector<uint8_t>(200, 'x'), true},
      {"cut off in its samples", std::vector<uint8_t>(wav.begin(), wav.end() - 10), true},
  };
  for (const Case& c : cases) {
    scratch.remove("Sound/qztrim.wav");
    if (c.write) scratch.write("Sound/qztrim.wav", c.contents);
    const WAVEFORMATEX* format = nullptr;
    const BYTE* data = nullptr;
    DWORD size = 0;
    const void* view = reinterpret_cast<const void*>(1);
    EXPECT_EQ(mapWaveFile("Sound\\qztrim.wav", &format, &data, &size, &view), 0) << c.what;
    EXPECT_EQ(view, nullptr) << c.what;
    EXPECT_EQ(platform::liveCounts(), baseline) << c.what << ": " << platform::describe(platform::liveCounts());
  }
}

TEST_F(WaveLoadingTest, BufferIsMadeFromTheResourceBeforeTheFile) {
  scratch.write("Sound/qztrim.wav", wav);
  const std::vector<uint8_t> resourceSamples = patternBytes(600, 9);
  platform::addResource(module, "WAVE", "Sound\\qztrim.wav",
                        testing_support::pcmWav(PcmFormat{2, 44100, 16}, resourceSamples));
  platform::clearFaults();
  IDirectSoundBuffer* buffer = createWaveBuffer(device, "Sound\\qztrim.wav");
  ASSERT_NE(buffer, nullptr);
  for (const std::string& call : platform::failableCallLog()) EXPECT_NE(call, "CreateFileA");
  platform::BufferState state;
  ASSERT_TRUE(platform::bufferState(platform::bufferId(buffer), &state));
  EXPECT_EQ(state.flags, 0xCAu);
  EXPECT_EQ(state.format.nChannels, 2);
  EXPECT_EQ(state.bytes, resourceSamples);
  buffer->Release();

  // Without the resource the file serves, and its view is given back at once.
  platform::removeResource(module, "WAVE", "Sound\\qztrim.wav");
  buffer = createWaveBuffer(device, "Sound\\qztrim.wav");
  ASSERT_NE(buffer, nullptr);
  ASSERT_TRUE(platform::bufferState(platform::bufferId(buffer), &state));
  EXPECT_EQ(state.bytes, samples);
  EXPECT_EQ(state.flags, 0xCAu);
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views);
  buffer->Release();
}

TEST_F(WaveLoadingTest, ResourceThatDoesNotWalkFallsBackToTheFile) {
  scratch.write("Sound/qztrim.wav", wav);
  // Claims more samples than the resource holds.
  platform::addResource(module, "WAVE", "Sound\\qztrim.wav",
                        RiffBuilder().fmt(PcmFormat{}).chunkClaiming("data", 5000, bytes(100)).build());
  IDirectSoundBuffer* buffer = createWaveBuffer(device, "Sound\\qztrim.wav");
  ASSERT_NE(buffer, nullptr);
  platform::BufferState state;
  ASSERT_TRUE(platform::bufferState(platform::bufferId(buffer), &state));
  EXPECT_EQ(state.bytes, samples);
  buffer->Release();
}

TEST_F(WaveLoadingTest, ShortFormatAtTheVeryEndIsNotReadPastTheImage) {
  // Resources are held at their exact size, so a read past the end shows.
  platform::addResource(module, "WAVE", "pcm16.wav", RiffBuilder().data(samples).chunk("fmt ", kFmt).build());
  platform::addResource(module, "WAVE", "old14.wav",
                        RiffBuilder().data(samples).chunk("fmt ", formatOf(14)).build());
  IDirectSoundBuffer* buffer = createWaveBuffer(device, "pcm16.wav");
  ASSERT_NE(buffer, nullptr);
  platform::BufferState state;
  ASSERT_TRUE(platform::bufferState(platform::bufferId(buffer), &state));
  EXPECT_EQ(state.format.wBitsPerSample, 16);
  EXPECT_EQ(state.bytes, samples);
  buffer->Release();
  // Without its bits per sample the format is refused, but nothing is overread.
  EXPECT_EQ(createWaveBuffer(device, "old14.wav"), nullptr);
}

TEST_F(WaveLoadingTest, FillWritesBothRegionsOfASplitLockInOrder) {
  IDirectSoundBuffer* buffer = createWaveBuffer(device, "missing.wav");
  EXPECT_EQ(buffer, nullptr);
  scratch.write("s.wav", wav);
  buffer = createWaveBuffer(device, "s.wav");
  ASSERT_NE(buffer, nullptr);
  const int id = platform::bufferId(buffer);
  const std::vector<uint8_t> other = patternBytes(samples.size(), 3);
  platform::splitNextLock(id, 300);
  ASSERT_EQ(fillWaveBuffer(buffer, other.data(), static_cast<DWORD>(other.size())), 1);
  platform::BufferState state;
  ASSERT_TRUE(platform::bufferState(id, &state));
  EXPECT_EQ(state.bytes, other);

  // Nothing to copy, or a lock refused: no fill, and the buffer stays usable.
  EXPECT_EQ(fillWaveBuffer(nullptr, other.data(), 10), 0);
  EXPECT_EQ(fillWaveBuffer(buffer, nullptr, 10), 0);
  EXPECT_EQ(fillWaveBuffer(buffer, other.data(), 0), 0);
  platform::failCall("Lock");
  EXPECT_EQ(fillWaveBuffer(buffer, samples.data(), static_cast<DWORD>(samples.size())), 0);
  EXPECT_EQ(fillWaveBuffer(buffer, samples.data(), static_cast<DWORD>(samples.size())), 1);
  ASSERT_TRUE(platform::bufferState(id, &state));
  EXPECT_EQ(state.bytes, samples);
  buffer->Release();
}

}  // namespace
