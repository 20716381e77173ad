// The native DirectSound: its argument checks, shared and locked data, playing
// against the clock (what the playback observer hears must be exactly what
// played), loss and restore, reference counts, and injected failures.
#include <dsound.h>
#include <mmsystem.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform_control.h"
#include "wav_builder.h"

namespace {

constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002u);

WAVEFORMATEX pcm(WORD channels, DWORD rate, WORD bits) {
  return testing_support::pcmWaveFormat(channels, rate, bits);
}

std::string describe(const platform::BufferState& s) {
  uint32_t sum = 0;
  for (uint8_t byte : s.bytes) sum = sum * 31 + byte;
  return "id=" + std::to_string(s.id) + " pos=" + std::to_string(s.position) +
         " playing=" + std::to_string(s.playing) + " looping=" + std::to_string(s.looping) +
         " lost=" + std::to_string(s.lost) + " volume=" + std::to_string(s.volume) +
         " refs=" + std::to_string(s.references) + " size=" + std::to_string(s.bytes.size()) +
         " sum=" + std::to_string(sum);
}

class DirectSoundTest : public ::testing::Test {
 protected:
  DirectSoundTest() {
    platform::reset();
    window = platform::createWindow("FS98MAIN");
    countsAtStart = platform::liveCounts();
    EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    EXPECT_EQ(device->SetCooperativeLevel(window, DSSCL_NORMAL), DS_OK);
  }

  ~DirectSoundTest() override {
    for (IDirectSoundBuffer* buffer : made) buffer->Release();
    if (device != nullptr) device->Release();
    EXPECT_EQ(platform::describe(platform::liveCounts()), platform::describe(countsAtStart));
    EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 0);
    platform::destroyWindow(window);
  }

  // reset() forgets windows without freeing them: give ours back first.
  void resetWorld() {
    platform::destroyWindow(window);
    platform::reset();
    window = platform::createWindow("FS98MAIN");
  }

  DSBUFFERDESC description(DWORD flags, DWORD bytes) {
    DSBUFFERDESC desc = {};
    desc.dwSize = 36;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format;
    return desc;
  }

  // A buffer released by the fixture.
  IDirectSoundBuffer* make(DWORD flags, DWORD bytes) {
    DSBUFFERDESC desc = description(flags, bytes);
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    if (buffer != nullptr) made.push_back(buffer);
    return buffer;
  }

  void write(IDirectSoundBuffer* buffer, const std::vector<uint8_t>& bytes) {
    void* region = nullptr;
    DWORD length = 0;
    ASSERT_EQ(buffer->Lock(0, static_cast<DWORD>(bytes.size()), &region, &length, nullptr, nullptr, 0), DS_OK);
    std::memcpy(region, bytes.data(), length);
    ASSERT_EQ(buffer->Unlock(region, length, nullptr, 0), DS_OK);
  }

  static platform::BufferState state(IDirectSoundBuffer* buffer) {
    platform::BufferState s;
    EXPECT_TRUE(platform::bufferState(platform::bufferId(buffer), &s));
    return s;
  }

  static DWORD status(IDirectSoundBuffer* buffer) {
    DWORD bits = 0xDEAD;
    EXPECT_EQ(buffer->GetStatus(&bits), DS_OK);
    return bits;
  }

  static DWORD position(IDirectSoundBuffer* buffer) {
    DWORD play = 0xDEAD;
    EXPECT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    return play;
  }

  // Every event the observer hears, in order.
  void listen() {
    platform::setPlaybackObserver([this](const platform::PlaybackEvent& e) { heard.push_back(e); });
  }

  WAVEFORMATEX format = pcm(1, 1000, 8);  // 1000 bytes a second: one byte a millisecond
  HWND window = nullptr;
  platform::LiveCounts countsAtStart{};
  IDirectSound* device = nullptr;
  std::vector<IDirectSoundBuffer*> made;
  std::vector<platform::PlaybackEvent> heard;
};

TEST_F(DirectSoundTest, CreationChecksItsArgumentsAsDirectSoundDoes) {
  IDirectSound* other = reinterpret_cast<IDirectSound*>(0x1);
  GUID someDevice = {1, 2, 3, {4}};
  EXPECT_EQ(DirectSoundCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(DirectSoundCreate(&someDevice, &other, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(DirectSoundCreate(nullptr, &other, reinterpret_cast<IUnknown*>(device)), DSERR_INVALIDPARAM);
  EXPECT_EQ(other, reinterpret_cast<IDirectSound*>(0x1));

  HWND stranger = reinterpret_cast<HWND>(&someDevice);
  EXPECT_EQ(device->SetCooperativeLevel(stranger, DSSCL_NORMAL), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(window, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(window, 5), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(window, 4), DS_OK);
  ASSERT_EQ(platform::devices().size(), 1u);
  EXPECT_EQ(platform::devices()[0].cooperativeWindow, window);
  EXPECT_EQ(platform::devices()[0].cooperativeLevel, 4u);

  struct Case {
    const char* what;
    void (*change)(DSBUFFERDESC&, WAVEFORMATEX&);
    HRESULT expected;
  };
  const Case cases[] = {
      {"static", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = DSBCAPS_STATIC; }, DS_OK},
      {"0xCA", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = 0xCA; }, DS_OK},
      {"no flags", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = 0; }, DS_OK},
      {"hardware+frequency", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = 0x24; }, DS_OK},
      {"smallest", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = DSBSIZE_MIN; }, DS_OK},
      {"stereo 16-bit 200 kHz", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = pcm(2, 200000, 16); }, DS_OK},
      {"8-bit 100 Hz", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = pcm(1, 100, 8); }, DS_OK},
      {"size 40", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 40; }, DSERR_INVALIDPARAM},
      {"size 0", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwSize = 0; }, DSERR_INVALIDPARAM},
      {"primary", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = DSBCAPS_PRIMARYBUFFER; }, DSERR_INVALIDPARAM},
      {"both locations", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = 0x0C; }, DSERR_INVALIDPARAM},
      {"3D", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwFlags = DSBCAPS_CTRL3D; }, DSERR_INVALIDPARAM},
      {"3 bytes", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = 3; }, DSERR_INVALIDPARAM},
      {"too large", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.dwBufferBytes = DSBSIZE_MAX + 1; }, DSERR_INVALIDPARAM},
      {"no format", [](DSBUFFERDESC& d, WAVEFORMATEX&) { d.lpwfxFormat = nullptr; }, DSERR_INVALIDPARAM},
      {"not PCM", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.wFormatTag = 2; }, DSERR_BADFORMAT},
      {"3 channels", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = pcm(3, 1000, 8); }, DSERR_BADFORMAT},
      {"24 bits", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = pcm(1, 1000, 24); }, DSERR_BADFORMAT},
      {"99 Hz", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = pcm(1, 99, 8); }, DSERR_BADFORMAT},
      {"200001 Hz", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f = pcm(1, 200001, 8); }, DSERR_BADFORMAT},
      {"block align", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.nBlockAlign = 2; }, DSERR_BADFORMAT},
      {"byte rate", [](DSBUFFERDESC&, WAVEFORMATEX& f) { f.nAvgBytesPerSec = 999; }, DSERR_BADFORMAT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    format = pcm(1, 1000, 8);
    DSBUFFERDESC desc = description(DSBCAPS_STATIC, 100);
    c.change(desc, format);
    IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(0x1);
    EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), c.expected);
    if (c.expected == DS_OK) {
      EXPECT_EQ(state(buffer).bytes.size(), desc.dwBufferBytes);
      buffer->Release();
    } else {
      EXPECT_EQ(buffer, reinterpret_cast<IDirectSoundBuffer*>(0x1));
    }
    EXPECT_EQ(platform::liveCounts().buffers, 0);
  }
  format = pcm(1, 1000, 8);
  DSBUFFERDESC desc = description(DSBCAPS_STATIC, 100);
  IDirectSoundBuffer* buffer = nullptr;
  EXPECT_EQ(device->CreateSoundBuffer(nullptr, &buffer, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->CreateSoundBuffer(&desc, nullptr, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->CreateSoundBuffer(&desc, &buffer, reinterpret_cast<IUnknown*>(device)), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->QueryInterface(GUID{}, reinterpret_cast<void**>(&buffer)), kNoInterface);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(platform::liveCounts().buffers, 0);
}

TEST_F(DirectSoundTest, ANewBufferIsSilentStillAndHasOneReference) {
  IDirectSoundBuffer* buffer = make(0xCA, 64);
  const platform::BufferState s = state(buffer);
  EXPECT_EQ(s.id, 1);
  EXPECT_EQ(s.deviceId, 1);
  EXPECT_EQ(s.flags, 0xCAu);
  EXPECT_EQ(s.bytes, std::vector<uint8_t>(64, 0));
  EXPECT_EQ(s.format.nSamplesPerSec, 1000u);
  EXPECT_EQ(s.position, 0u);
  EXPECT_EQ(s.volume, 0);
  EXPECT_EQ(s.references, 1);
  EXPECT_FALSE(s.playing || s.looping || s.lost);
  EXPECT_EQ(status(buffer), 0u);
  EXPECT_EQ(platform::liveCounts().buffers, 1);
  EXPECT_EQ(platform::liveCounts().devices, 1);
  EXPECT_EQ(buffer->AddRef(), 2u);
  EXPECT_EQ(state(buffer).references, 2);
  EXPECT_EQ(buffer->Release(), 1u);
  EXPECT_EQ(buffer->QueryInterface(GUID{}, nullptr), kNoInterface);
}

TEST_F(DirectSoundTest, ADuplicateSharesTheDataButPlaysOnItsOwn) {
  IDirectSoundBuffer* original = make(0xCA, 100);
  ASSERT_EQ(original->SetVolume(-500), DS_OK);
  IDirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(device->DuplicateSoundBuffer(original, &copy), DS_OK);
  made.push_back(copy);
  EXPECT_EQ(state(copy).duplicateOf, platform::bufferId(original));
  EXPECT_EQ(state(copy).volume, -500);

  write(copy, std::vector<uint8_t>(100, 7));
  EXPECT_EQ(state(original).bytes, std::vector<uint8_t>(100, 7));

  ASSERT_EQ(copy->SetVolume(-100), DS_OK);
  ASSERT_EQ(copy->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform::advanceClock(30000);
  EXPECT_EQ(state(original).volume, -500);
  EXPECT_EQ(status(original), 0u);
  EXPECT_EQ(position(original), 0u);
  EXPECT_EQ(status(copy), DWORD{DSBSTATUS_PLAYING | DSBSTATUS_LOOPING});
  EXPECT_EQ(position(copy), 30u);
  // Each holds its own references: the original may go first.
  original->Release();
  made.erase(made.begin());
  EXPECT_EQ(state(copy).bytes, std::vector<uint8_t>(100, 7));

  IDirectSoundBuffer* none = nullptr;
  EXPECT_EQ(device->DuplicateSoundBuffer(nullptr, &none), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->DuplicateSoundBuffer(copy, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(device->DuplicateSoundBuffer(original, &none), DSERR_INVALIDPARAM);  // released
  platform::loseBuffer(platform::bufferId(copy));
  EXPECT_EQ(device->DuplicateSoundBuffer(copy, &none), DSERR_BUFFERLOST);
  EXPECT_EQ(none, nullptr);
}

TEST_F(DirectSoundTest, LockGivesOneRegionOrTwoAndUnlockWantsThemBack) {
  IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, 100);
  uint8_t* base = nullptr;
  {
    void* p1 = nullptr;
    DWORD n1 = 0;
    ASSERT_EQ(buffer->Lock(0, 100, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    base = static_cast<uint8_t*>(p1);
    ASSERT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
  }
  struct Case {
    DWORD offset, bytes;
    int splitFor;  // -1: no split request, 0: any buffer, 1: this buffer, 99: another buffer
    DWORD split;
    DWORD n1, offset2, n2;  // offset2 only when n2 != 0
  };
  const Case cases[] = {
      {0, 100, -1, 0, 100, 0, 0},  {10, 50, -1, 0, 50, 0, 0},   {90, 30, -1, 0, 10, 0, 20},
      {99, 100, -1, 0, 1, 0, 99},  {0, 100, 0, 40, 40, 40, 60}, {20, 50, 1, 10, 10, 30, 40},
      {0, 100, 99, 40, 100, 0, 0}, {90, 30, 1, 5, 10, 0, 20},  // a wrapping span keeps its own regions
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.bytes) + " split " + std::to_string(c.split));
    if (c.splitFor >= 0) platform::splitNextLock(c.splitFor == 1 ? platform::bufferId(buffer) : c.splitFor, c.split);
    void *p1 = nullptr, *p2 = reinterpret_cast<void*>(0x1);
    DWORD n1 = 0, n2 = 99;
    ASSERT_EQ(buffer->Lock(c.offset, c.bytes, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(p1, base + c.offset);
    EXPECT_EQ(n1, c.n1);
    EXPECT_EQ(n2, c.n2);
    EXPECT_EQ(p2, c.n2 == 0 ? nullptr : base + c.offset2);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
  }
  resetWorld();  // drops the request for another buffer
  platform::splitNextLock(0, 40);
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  // One region asked for: the span up to the end, and no split.
  ASSERT_EQ(buffer->Lock(90, 30, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  EXPECT_EQ(n1, 10u);
  ASSERT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);

  EXPECT_EQ(buffer->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 10, &p1, &n1, &p2, &n2, 1), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 10, nullptr, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Unlock(base, 10, nullptr, 0), DSERR_INVALIDPARAM);  // nothing locked

  platform::splitNextLock(0, 40);
  ASSERT_EQ(buffer->Lock(0, 100, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(buffer->Lock(0, 100, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDCALL);
  EXPECT_EQ(buffer->Unlock(base, 100, nullptr, 0), DSERR_INVALIDPARAM);  // longer than region 1
  EXPECT_EQ(buffer->Unlock(base, 40, nullptr, 0), DSERR_INVALIDPARAM);   // region 2 left out
  EXPECT_EQ(buffer->Unlock(base + 1, 39, p2, 60), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Unlock(base, 40, p2, 61), DSERR_INVALIDPARAM);
  std::memset(p1, 1, n1);
  std::memset(p2, 2, n2);
  EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
  std::vector<uint8_t> expected(40, 1);
  expected.resize(100, 2);
  EXPECT_EQ(state(buffer).bytes, expected);

  platform::loseBuffer(platform::bufferId(buffer));
  EXPECT_EQ(buffer->Lock(0, 100, &p1, &n1, &p2, &n2, 0), DSERR_BUFFERLOST);
}

TEST_F(DirectSoundTest, APlayOnceBufferStopsAtItsEndAndStartsOverNextTime) {
  IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, 100);  // 100 ms
  const int id = platform::bufferId(buffer);
  listen();
  platform::advanceClock(5000);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(status(buffer), DWORD{DSBSTATUS_PLAYING});
  platform::advanceClock(50000);
  EXPECT_EQ(position(buffer), 50u);
  Sleep(60);  // sleeping plays too
  EXPECT_EQ(status(buffer), 0u);
  EXPECT_EQ(position(buffer), 0u);
  ASSERT_EQ(heard.size(), 4u);
  EXPECT_EQ(heard[0].kind, platform::PlaybackEvent::Started);
  EXPECT_EQ(heard[0].atMicroseconds, 5000u);
  EXPECT_FALSE(heard[0].looping);
  EXPECT_EQ(heard[1].kind, platform::PlaybackEvent::Played);
  EXPECT_EQ(heard[2].kind, platform::PlaybackEvent::Played);
  EXPECT_EQ(heard[2].from, 50u);
  EXPECT_EQ(heard[2].count, 50u);
  EXPECT_EQ(heard[2].atMicroseconds, 55000u);
  EXPECT_EQ(heard[3].kind, platform::PlaybackEvent::Finished);
  EXPECT_EQ(heard[3].bufferId, id);
  EXPECT_EQ(heard[3].atMicroseconds, 105000u);

  // Stop keeps the place; Play goes on from it; SetCurrentPosition moves it.
  heard.clear();
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  platform::advanceClock(20000);
  ASSERT_EQ(buffer->Stop(), DS_OK);
  EXPECT_EQ(buffer->Stop(), DS_OK);
  platform::advanceClock(20000);
  EXPECT_EQ(position(buffer), 20u);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  platform::advanceClock(10000);
  EXPECT_EQ(position(buffer), 30u);
  ASSERT_EQ(buffer->SetCurrentPosition(90), DS_OK);
  platform::advanceClock(100000);
  EXPECT_EQ(status(buffer), 0u);
  std::vector<std::pair<int, DWORD>> timeline;  // kind, from
  for (const auto& e : heard) timeline.emplace_back(e.kind, e.from);
  using E = platform::PlaybackEvent;
  EXPECT_EQ(timeline, (std::vector<std::pair<int, DWORD>>{{E::Started, 0},
                                                          {E::Played, 0},
                                                          {E::Stopped, 0},
                                                          {E::Started, 0},
                                                          {E::Played, 20},
                                                          {E::Played, 90},
                                                          {E::Finished, 0}}));
}

TEST_F(DirectSoundTest, ALoopingBufferWrapsAndReportsTheWrapAsTwoSpans) {
  IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, 100);
  listen();
  ASSERT_EQ(buffer->SetCurrentPosition(80), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform::advanceClock(50000);
  EXPECT_EQ(position(buffer), 30u);
  EXPECT_EQ(status(buffer), DWORD{DSBSTATUS_PLAYING | DSBSTATUS_LOOPING});
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_TRUE(heard[0].looping);
  EXPECT_EQ(heard[1].from, 80u);
  EXPECT_EQ(heard[1].count, 20u);
  EXPECT_EQ(heard[1].atMicroseconds, 0u);
  EXPECT_EQ(heard[2].from, 0u);
  EXPECT_EQ(heard[2].count, 30u);
  EXPECT_EQ(heard[2].atMicroseconds, 20000u);
  // Playing again only changes the flag: from here it runs out once.
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  platform::advanceClock(200000);
  EXPECT_EQ(status(buffer), 0u);
  EXPECT_EQ(heard.back().kind, platform::PlaybackEvent::Finished);
  EXPECT_EQ(heard.back().atMicroseconds, 120000u);
}

// What the observer hears is what a renderer mixes: the spans of each buffer
// must follow on from each other and add up to exactly the bytes played.
TEST_F(DirectSoundTest, PlayedSpansCoverExactlyTheBytesPlayedAcrossManySmallSteps) {
  struct Case {
    WAVEFORMATEX format;
    DWORD size;
    DWORD playFlags;
    uint64_t step, steps;
  };
  const Case cases[] = {
      {pcm(2, 22050, 16), 22050, DSBPLAY_LOOPING, 33333, 30},  // 4-byte frames, 0.25 s loop
      {pcm(1, 44100, 16), 7001, DSBPLAY_LOOPING, 1, 5000},     // odd size: its last byte never plays
      {pcm(1, 11025, 8), 3000, DSBPLAY_LOOPING, 10000000, 1},  // one step over many loops
      {pcm(2, 8000, 8), 4000, 0, 33333, 30},                   // runs out after 0.25 s
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format.nSamplesPerSec) + " Hz, " + std::to_string(c.size) + " bytes");
    resetWorld();
    heard.clear();
    listen();
    format = c.format;
    IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, c.size);
    const uint64_t start = 1234;
    platform::advanceClock(start);
    ASSERT_EQ(buffer->Play(0, 0, c.playFlags), DS_OK);
    for (uint64_t i = 0; i < c.steps; ++i) platform::advanceClock(c.step);

    const uint64_t block = c.format.nBlockAlign;
    const uint64_t playable = c.size - c.size % block;
    const uint64_t framesByClock = c.step * c.steps * c.format.nSamplesPerSec / 1000000;
    const uint64_t expectedBytes = c.playFlags != 0 ? framesByClock * block : std::min(framesByClock * block, playable);
    uint64_t total = 0;
    uint64_t expectedFrom = 0;
    for (const auto& e : heard) {
      if (e.kind != platform::PlaybackEvent::Played) continue;
      EXPECT_EQ(e.from, expectedFrom);
      EXPECT_LE(e.from + e.count, playable);
      EXPECT_EQ(e.count % block, 0u);
      // The span begins when its first frame does: the clock time gives the frame back.
      const uint64_t frame = total / block;
      EXPECT_EQ(((e.atMicroseconds - start) * c.format.nSamplesPerSec + 999999) / 1000000, frame);
      total += e.count;
      expectedFrom = (e.from + e.count) % playable;
    }
    EXPECT_EQ(total, expectedBytes);
    if (c.playFlags != 0) {
      EXPECT_EQ(position(buffer), total % playable);
      EXPECT_EQ(position(buffer) % block, 0u);
    } else {
      EXPECT_EQ(heard.back().kind, platform::PlaybackEvent::Finished);
    }
    buffer->Release();
    made.clear();
  }
}

TEST_F(DirectSoundTest, PlayChecksItsArgumentsAndTheCooperativeLevel) {
  IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, 100);
  EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Play(0, 1, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Play(0, 0, 2), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetCurrentPosition(100), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->GetStatus(nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DS_OK);
  EXPECT_EQ(status(buffer), 0u);

  IDirectSound* unready = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &unready, nullptr), DS_OK);
  DSBUFFERDESC desc = description(DSBCAPS_STATIC, 100);
  IDirectSoundBuffer* quiet = nullptr;
  ASSERT_EQ(unready->CreateSoundBuffer(&desc, &quiet, nullptr), DS_OK);
  EXPECT_EQ(quiet->Play(0, 0, 0), DSERR_PRIOLEVELNEEDED);
  quiet->Release();
  unready->Release();

  // Positions stand on whole frames.
  format = pcm(2, 1000, 16);
  IDirectSoundBuffer* stereo = make(DSBCAPS_STATIC, 100);
  ASSERT_EQ(stereo->SetCurrentPosition(7), DS_OK);
  DWORD play = 0, write = 0;
  ASSERT_EQ(stereo->GetCurrentPosition(&play, &write), DS_OK);
  EXPECT_EQ(play, 4u);
  EXPECT_EQ(write, 4u);
}

TEST_F(DirectSoundTest, VolumeNeedsTheControlAndStaysInRange) {
  struct Case {
    DWORD flags;
    LONG volume;
    HRESULT set, get;
    LONG after;
  };
  const Case cases[] = {
      {0xCA, -10000, DS_OK, DS_OK, -10000},
      {0xCA, 0, DS_OK, DS_OK, 0},
      {0xCA, -10001, DSERR_INVALIDPARAM, DS_OK, -2000},
      {0xCA, 1, DSERR_INVALIDPARAM, DS_OK, -2000},
      {DSBCAPS_CTRLVOLUME, -1, DS_OK, DS_OK, -1},
      {DSBCAPS_STATIC, -100, DSERR_CONTROLUNAVAIL, DSERR_CONTROLUNAVAIL, 0},
      {DSBCAPS_STATIC | DSBCAPS_CTRLPAN, 0, DSERR_CONTROLUNAVAIL, DSERR_CONTROLUNAVAIL, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.flags) + " " + std::to_string(c.volume));
    IDirectSoundBuffer* buffer = make(c.flags, 100);
    if (c.flags & DSBCAPS_CTRLVOLUME) {
      ASSERT_EQ(buffer->SetVolume(-2000), DS_OK);
    }
    EXPECT_EQ(buffer->SetVolume(c.volume), c.set);
    LONG volume = 12345;
    EXPECT_EQ(buffer->GetVolume(&volume), c.get);
    EXPECT_EQ(volume, c.get == DS_OK ? c.after : 12345);
    EXPECT_EQ(state(buffer).volume, c.after);
  }
}

TEST_F(DirectSoundTest, ALostBufferStopsGoesSilentAndRestoresAfterTheFailuresAsked) {
  IDirectSoundBuffer* buffer = make(0xCA, 100);
  write(buffer, std::vector<uint8_t>(100, 9));
  IDirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(device->DuplicateSoundBuffer(buffer, &copy), DS_OK);
  made.push_back(copy);
  listen();
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform::advanceClock(10000);
  platform::loseBuffer(platform::bufferId(buffer), 2);
  ASSERT_EQ(heard.back().kind, platform::PlaybackEvent::Stopped);
  EXPECT_EQ(status(buffer), DWORD{DSBSTATUS_BUFFERLOST});
  EXPECT_EQ(status(copy), 0u);
  EXPECT_EQ(state(buffer).bytes, std::vector<uint8_t>(100, 0));
  EXPECT_EQ(state(copy).bytes, std::vector<uint8_t>(100, 0));  // the data is shared
  EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_BUFFERLOST);

  EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
  EXPECT_EQ(buffer->Restore(), DSERR_BUFFERLOST);
  EXPECT_EQ(status(buffer), DWORD{DSBSTATUS_BUFFERLOST});
  EXPECT_EQ(buffer->Restore(), DS_OK);
  EXPECT_EQ(status(buffer), 0u);
  EXPECT_EQ(buffer->Restore(), DS_OK);
  EXPECT_EQ(state(buffer).bytes, std::vector<uint8_t>(100, 0));
  write(buffer, std::vector<uint8_t>(100, 3));
  EXPECT_EQ(buffer->Play(0, 0, 0), DS_OK);

  // Losing a locked buffer ends the lock; its Unlock then reports the loss.
  void* p1 = nullptr;
  DWORD n1 = 0;
  ASSERT_EQ(copy->Lock(0, 10, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  platform::loseBuffer(platform::bufferId(copy));
  EXPECT_EQ(copy->Unlock(p1, n1, nullptr, 0), DSERR_BUFFERLOST);
  EXPECT_EQ(copy->Restore(), DS_OK);
  EXPECT_EQ(copy->Lock(0, 10, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  EXPECT_EQ(copy->Unlock(p1, n1, nullptr, 0), DS_OK);
}

TEST_F(DirectSoundTest, ReferencesDecideLifetimeAndADeviceReleasedFirstIsCounted) {
  IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, 100);
  made.clear();
  listen();
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  EXPECT_EQ(device->AddRef(), 2u);
  EXPECT_EQ(device->Release(), 1u);
  EXPECT_EQ(device->Release(), 0u);
  device = nullptr;
  EXPECT_EQ(platform::deviceReleasesWithLiveBuffers(), 1);
  EXPECT_EQ(platform::liveCounts().devices, countsAtStart.devices);
  EXPECT_EQ(platform::buffers().size(), 1u);
  EXPECT_TRUE(platform::devices().empty());

  // The buffer lives on until its own last reference goes; releasing it playing stops it.
  platform::advanceClock(10000);
  EXPECT_EQ(position(buffer), 10u);
  EXPECT_EQ(buffer->Release(), 0u);
  EXPECT_EQ(heard.back().kind, platform::PlaybackEvent::Stopped);
  EXPECT_EQ(platform::bufferId(buffer), 0);
  EXPECT_EQ(platform::liveCounts().buffers, countsAtStart.buffers);
  resetWorld();  // the fixture expects no early release in its own run
}

TEST_F(DirectSoundTest, ResetKeepsLiveObjectsButForgetsObserverAndRequests) {
  IDirectSoundBuffer* buffer = make(DSBCAPS_STATIC, 100);
  ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  platform::advanceClock(30000);
  listen();
  platform::splitNextLock(0, 10);
  resetWorld();
  EXPECT_EQ(platform::liveCounts().buffers, 1);
  EXPECT_EQ(status(buffer), DWORD{DSBSTATUS_PLAYING | DSBSTATUS_LOOPING});
  // The clock went back to 0; the buffer plays on from where it stood.
  platform::advanceClock(10000);
  EXPECT_EQ(position(buffer), 40u);
  EXPECT_TRUE(heard.empty());
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  ASSERT_EQ(buffer->Lock(0, 100, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 100u);
  EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
  // A fresh world with nothing alive numbers its buffers from 1 again.
  IDirectSoundBuffer* second = make(DSBCAPS_STATIC, 100);
  EXPECT_EQ(platform::bufferId(second), 2);
  for (IDirectSoundBuffer* b : made) b->Release();
  made.clear();
  resetWorld();
  EXPECT_EQ(platform::bufferId(make(DSBCAPS_STATIC, 100)), 1);
}

// An injected failure returns DSERR_GENERIC and leaves everything, the
// caller's outputs included, as it was.
TEST_F(DirectSoundTest, InjectedFailuresChangeNothing) {
  IDirectSoundBuffer* playing = make(0xCA, 100);
  write(playing, std::vector<uint8_t>(100, 5));
  ASSERT_EQ(playing->SetVolume(-300), DS_OK);
  ASSERT_EQ(playing->SetCurrentPosition(20), DS_OK);
  ASSERT_EQ(playing->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  IDirectSoundBuffer* lost = make(0xCA, 100);  // so that Restore has something to change
  platform::loseBuffer(platform::bufferId(lost));
  listen();

  struct Subjects {
    IDirectSound* device;
    IDirectSoundBuffer* playing;
    IDirectSoundBuffer* lost;
    HWND window;
  };
  static void* untouched;
  static DWORD number;
  static LONG volume;
  struct Case {
    const char* name;
    HRESULT (*call)(const Subjects&);
  };
  const Case cases[] = {
      {"DirectSoundCreate",
       [](const Subjects&) {
         return DirectSoundCreate(nullptr, reinterpret_cast<IDirectSound**>(&untouched), nullptr);
       }},
      {"SetCooperativeLevel", [](const Subjects& s) { return s.device->SetCooperativeLevel(s.window, 2); }},
      {"CreateSoundBuffer",
       [](const Subjects& s) {
         WAVEFORMATEX f = pcm(1, 1000, 8);
         DSBUFFERDESC desc = {36, DSBCAPS_STATIC, 100, 0, &f, {}};
         return s.device->CreateSoundBuffer(&desc, reinterpret_cast<IDirectSoundBuffer**>(&untouched), nullptr);
       }},
      {"DuplicateSoundBuffer",
       [](const Subjects& s) {
         return s.device->DuplicateSoundBuffer(s.playing, reinterpret_cast<IDirectSoundBuffer**>(&untouched));
       }},
      {"Lock", [](const Subjects& s) { return s.playing->Lock(0, 10, &untouched, &number, nullptr, nullptr, 0); }},
      {"Unlock", [](const Subjects& s) { return s.playing->Unlock(untouched, 0, nullptr, 0); }},
      {"Play", [](const Subjects& s) { return s.playing->Play(0, 0, 0); }},
      {"Stop", [](const Subjects& s) { return s.playing->Stop(); }},
      {"SetCurrentPosition", [](const Subjects& s) { return s.playing->SetCurrentPosition(0); }},
      {"GetCurrentPosition", [](const Subjects& s) { return s.playing->GetCurrentPosition(&number, &number); }},
      {"GetStatus", [](const Subjects& s) { return s.playing->GetStatus(&number); }},
      {"SetVolume", [](const Subjects& s) { return s.playing->SetVolume(-1); }},
      {"GetVolume", [](const Subjects& s) { return s.playing->GetVolume(&volume); }},
      {"Restore", [](const Subjects& s) { return s.lost->Restore(); }},
  };
  const Subjects subjects{device, playing, lost, window};
  const std::string playingBefore = describe(state(playing));
  const std::string lostBefore = describe(state(lost));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    untouched = reinterpret_cast<void*>(0x1);
    number = 77;
    volume = 77;
    platform::clearFaults();
    platform::failCall(c.name);
    EXPECT_EQ(c.call(subjects), DSERR_GENERIC);
    EXPECT_EQ(platform::injectedFailures(), 1);
    EXPECT_EQ(untouched, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(number, 77u);
    EXPECT_EQ(volume, 77);
    EXPECT_EQ(describe(state(playing)), playingBefore);
    EXPECT_EQ(describe(state(lost)), lostBefore);
    EXPECT_EQ(platform::devices()[0].cooperativeLevel, DWORD{DSSCL_NORMAL});
    EXPECT_EQ(platform::liveCounts().buffers, 2);
    EXPECT_EQ(platform::liveCounts().devices, 1);
  }
  EXPECT_TRUE(heard.empty());
  // AddRef, Release and QueryInterface are never failable.
  platform::failNthCall(1);
  EXPECT_EQ(playing->AddRef(), 2u);
  EXPECT_EQ(playing->Release(), 1u);
  EXPECT_EQ(playing->QueryInterface(GUID{}, nullptr), kNoInterface);
  EXPECT_EQ(platform::failableCallCount(), 0);
}

// A buffer names the file or resource opened last before it was made (failed
// opens do not count), so a host can tell which sound each buffer holds.
TEST_F(DirectSoundTest, ABufferNamesTheFileOrResourceOpenedLastBeforeItWasMade) {
  char folder[] = "/tmp/buffersourceXXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string file = std::string(folder) + "/click.wav";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("RIFF", out);
  std::fclose(out);

  EXPECT_EQ(state(make(DSBCAPS_STATIC, 64)).source, "");
  HMMIO mmio = mmioOpenA(const_cast<LPSTR>(file.c_str()), nullptr, MMIO_READ);
  ASSERT_NE(mmio, nullptr);
  mmioClose(mmio, 0);
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>("missing.wav"), nullptr, MMIO_READ), nullptr);
  IDirectSoundBuffer* fromMmio = make(DSBCAPS_STATIC, 64);
  EXPECT_EQ(state(fromMmio).source, file);

  HANDLE mapped = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(mapped, INVALID_HANDLE_VALUE);
  CloseHandle(mapped);
  EXPECT_EQ(state(make(DSBCAPS_STATIC, 64)).source, file);

  HMODULE module = reinterpret_cast<HMODULE>(0x5000);
  platform::addResource(module, "WAVE", "Sound\\qztrim.wav", {1, 2, 3});
  ASSERT_NE(FindResourceA(module, "Sound\\qztrim.wav", "WAVE"), nullptr);
  EXPECT_EQ(FindResourceA(module, "other.wav", "WAVE"), nullptr);
  EXPECT_EQ(state(make(DSBCAPS_STATIC, 64)).source, "Sound\\qztrim.wav");

  IDirectSoundBuffer* copy = nullptr;
  ASSERT_EQ(device->DuplicateSoundBuffer(fromMmio, &copy), DS_OK);
  made.push_back(copy);
  EXPECT_EQ(state(copy).source, file);

  resetWorld();
  EXPECT_EQ(state(make(DSBCAPS_STATIC, 64)).source, "");
  std::remove(file.c_str());
  rmdir(folder);
}

}  // namespace
