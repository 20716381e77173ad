// DirectSound for the native build: devices and static buffers that play
// against the platform clock instead of a sound card.
//
// The calls check their arguments as DirectSound documents them, so that a
// gauge that passes something the real one refuses is caught here too. Time
// only moves when the platform clock does; a playing buffer then walks through
// its bytes at the format's byte rate and tells the playback observer exactly
// which bytes it played, which is what a renderer mixes from.
//
// Choices where DirectSound leaves room:
// - A failed call leaves every output as it was.
// - Positions stand on whole sample frames: SetCurrentPosition rounds down to
//   the block alignment, and a buffer whose size is not a whole number of
//   frames never plays its last partial frame.
// - The write cursor is reported equal to the play cursor.
// - A lost buffer's data is shared with its duplicates, so they fall silent
//   with it; only the buffer named is marked lost.
// - Releasing a device leaves the buffers it made alive until they are
//   released themselves (counted in deviceReleasesWithLiveBuffers()).
#include <dsound.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "world.h"

namespace platform {
namespace {

constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002u);
// sizeof(DSBUFFERDESC) where pointers are 32 bits, as the gauges pass it.
constexpr DWORD kBufferDescriptionSize = 36;
constexpr DWORD kSupportedBufferFlags = DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE |
                                        DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY;
constexpr DWORD kLowestLevel = 1;   // DSSCL_NORMAL
constexpr DWORD kHighestLevel = 4;  // DSSCL_WRITEPRIMARY
constexpr uint64_t kMicrosecondsPerSecond = 1000000;

// The sound data of a buffer, shared with its duplicates. Taken with calloc so
// that a large buffer costs nothing until it is written.
struct SoundData {
  SoundData(uint8_t* bytesIn, DWORD sizeIn) : bytes(bytesIn), size(sizeIn) {}
  ~SoundData() { std::free(bytes); }
  SoundData(const SoundData&) = delete;
  SoundData& operator=(const SoundData&) = delete;
  uint8_t* bytes;
  DWORD size;
};

// What a buffer needs of its device; outlives the device while its buffers live.
struct DeviceCore {
  int id = 0;
  HWND cooperativeWindow = nullptr;
  DWORD cooperativeLevel = 0;
  long liveBuffers = 0;
};

class Buffer;
class Device;

struct SplitRequest {
  int bufferId;  // 0: any buffer
  DWORD firstRegionBytes;
};

struct Registry {
  std::map<int, Device*> devices;
  std::map<int, Buffer*> buffers;
  int nextDeviceId = 1;
  int nextBufferId = 1;
  long deviceReleasesWithLiveBuffers = 0;
  std::vector<SplitRequest> splitRequests;
  PlaybackObserver observer;
};

Registry& registry() {
  static Registry state;
  return state;
}

void emit(const PlaybackEvent& event) {
  // A copy, so that an observer may replace itself while it runs.
  const PlaybackObserver observer = registry().observer;
  if (observer) observer(event);
}

void emitSimple(PlaybackEvent::Kind kind, int bufferId, uint64_t at, bool looping = false) {
  emit(PlaybackEvent{kind, bufferId, at, 0, 0, looping});
}

// DirectSound plays only what it can mix: uncompressed PCM of one or two
// channels, 8 or 16 bits, with consistent block and byte rates. Only the 16
// fixed bytes are read; PCM has no extra bytes to look at.
bool readPcmFormat(const WAVEFORMATEX* given, WAVEFORMATEX* out) {
  WAVEFORMATEX format = {};
  std::memcpy(&format, given, 16);
  format.cbSize = 0;
  if (format.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (format.nChannels != 1 && format.nChannels != 2) return false;
  if (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) return false;
  if (format.nSamplesPerSec < 100 || format.nSamplesPerSec > 200000) return false;
  if (format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8) return false;
  if (format.nAvgBytesPerSec != format.nSamplesPerSec * format.nBlockAlign) return false;
  *out = format;
  return true;
}

// What every DirectSound object shares: no other interfaces, and a reference
// count whose last Release hands the object to its own lastReleased() and
// then deletes it.
template <typename Interface, typename Self>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(const GUID&, void** object) override {
    if (object != nullptr) *object = nullptr;
    return kNoInterface;
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }

  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references;
    if (left > 0) return static_cast<ULONG>(left);
    Self* self = static_cast<Self*>(this);
    self->lastReleased();
    delete self;
    return 0;
  }

  long references = 1;
};

class Buffer final : public ComObject<IDirectSoundBuffer, Buffer> {
 public:
  Buffer(int idIn, std::shared_ptr<DeviceCore> deviceIn, DWORD flagsIn, const WAVEFORMATEX& formatIn,
         std::shared_ptr<SoundData> dataIn, int duplicateOfIn, std::string sourceIn)
      : id(idIn),
        device(std::move(deviceIn)),
        flags(flagsIn),
        format(formatIn),
        data(std::move(dataIn)),
        duplicateOf(duplicateOfIn),
        source(std::move(sourceIn)) {
    ++device->liveBuffers;
    ++world().buffers;
    registry().buffers[id] = this;
  }

  ~Buffer() {
    --device->liveBuffers;
    --world().buffers;
    registry().buffers.erase(id);
  }

  // A buffer released while it plays falls silent.
  void lastReleased() {
    if (playing) {
      playing = false;
      emitSimple(PlaybackEvent::Stopped, id, nowMicroseconds());
    }
  }

  HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) override {
    if (shouldFail("GetCurrentPosition")) return DSERR_GENERIC;
    if (playCursor != nullptr) *playCursor = position;
    if (writeCursor != nullptr) *writeCursor = position;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volumeOut) override {
    if (shouldFail("GetVolume")) return DSERR_GENERIC;
    if (volumeOut == nullptr) return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
    *volumeOut = volume;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override {
    if (shouldFail("GetStatus")) return DSERR_GENERIC;
    if (status == nullptr) return DSERR_INVALIDPARAM;
    DWORD bits = 0;
    if (playing) bits |= DSBSTATUS_PLAYING;
    if (playing && looping) bits |= DSBSTATUS_LOOPING;
    if (lost) bits |= DSBSTATUS_BUFFERLOST;
    *status = bits;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD audioBytes1,
                                 LPVOID* audio2, LPDWORD audioBytes2, DWORD lockFlags) override {
    if (shouldFail("Lock")) return DSERR_GENERIC;
    if (audio1 == nullptr || audioBytes1 == nullptr || lockFlags != 0) return DSERR_INVALIDPARAM;
    if ((audio2 == nullptr) != (audioBytes2 == nullptr)) return DSERR_INVALIDPARAM;
    const DWORD size = data->size;
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    if (lost) return DSERR_BUFFERLOST;
    if (locked) return DSERR_INVALIDCALL;

    // A span that runs past the end goes on from the start of the buffer.
    DWORD first = bytes < size - offset ? bytes : size - offset;
    uint8_t* second = first < bytes ? data->bytes : nullptr;
    DWORD secondBytes = bytes - first;
    const DWORD split = takeSplitRequest();
    // A requested split only applies where one region could hold the span.
    if (split > 0 && split < bytes && secondBytes == 0 && audio2 != nullptr) {
      first = split;
      second = data->bytes + offset + split;
      secondBytes = bytes - split;
    }
    // A caller that takes one region gets the span up to the end of the buffer.
    if (audio2 == nullptr) {
      second = nullptr;
      secondBytes = 0;
    }

    locked = true;
    lockRegion1 = data->bytes + offset;
    lockBytes1 = first;
    lockRegion2 = second;
    lockBytes2 = secondBytes;
    *audio1 = lockRegion1;
    *audioBytes1 = lockBytes1;
    if (audio2 != nullptr) {
      *audio2 = lockRegion2;
      *audioBytes2 = lockBytes2;
    }
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Play(DWORD reserved, DWORD priority, DWORD playFlags) override {
    if (shouldFail("Play")) return DSERR_GENERIC;
    if (reserved != 0 || priority != 0 || (playFlags & ~DWORD{DSBPLAY_LOOPING}) != 0) {
      return DSERR_INVALIDPARAM;
    }
    if (lost) return DSERR_BUFFERLOST;
    if (device->cooperativeLevel == 0) return DSERR_PRIOLEVELNEEDED;
    const bool loop = (playFlags & DSBPLAY_LOOPING) != 0;
    // Playing again only changes the looping flag; the run goes on from where it stands.
    startRun();
    playing = true;
    looping = loop;
    emitSimple(PlaybackEvent::Started, id, nowMicroseconds(), loop);
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD newPosition) override {
    if (shouldFail("SetCurrentPosition")) return DSERR_GENERIC;
    if (newPosition >= data->size) return DSERR_INVALIDPARAM;
    position = newPosition - newPosition % format.nBlockAlign;
    if (playing) startRun();
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetVolume(LONG newVolume) override {
    if (shouldFail("SetVolume")) return DSERR_GENERIC;
    if ((flags & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
    if (newVolume < DSBVOLUME_MIN || newVolume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    volume = newVolume;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Stop() override {
    if (shouldFail("Stop")) return DSERR_GENERIC;
    stopByCall();
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Unlock(LPVOID audio1, DWORD audioBytes1, LPVOID audio2,
                                   DWORD audioBytes2) override {
    if (shouldFail("Unlock")) return DSERR_GENERIC;
    if (lost) return DSERR_BUFFERLOST;
    if (!locked) return DSERR_INVALIDPARAM;
    if (audio1 != lockRegion1 || audioBytes1 > lockBytes1) return DSERR_INVALIDPARAM;
    if (audio2 != lockRegion2 || audioBytes2 > lockBytes2) return DSERR_INVALIDPARAM;
    // The caller wrote in place; nothing to copy.
    locked = false;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE Restore() override {
    if (shouldFail("Restore")) return DSERR_GENERIC;
    if (!lost) return DS_OK;
    if (restoreFailuresLeft > 0) {
      --restoreFailuresLeft;
      return DSERR_BUFFERLOST;
    }
    lost = false;
    return DS_OK;
  }

  // ---- Platform side ----

  void lose(int failRestores) {
    std::memset(data->bytes, 0, data->size);
    stopByCall();
    lost = true;
    locked = false;
    restoreFailuresLeft = failRestores;
  }

  // Moves a playing buffer on to the clock time `to`, reporting the bytes played.
  // The state is brought up to date before anyone hears of it.
  void advanceTo(uint64_t to) {
    if (!playing) return;
    const uint64_t block = format.nBlockAlign;
    const uint64_t playable = playableBytes();
    const uint64_t framesNow = framesPlayedBy(to);
    const uint64_t frame = framesReported;
    std::vector<PlaybackEvent> events;
    if (!looping) {
      const uint64_t framesToEnd = runStartOffset < playable ? (playable - runStartOffset) / block : 0;
      const uint64_t upTo = framesNow < framesToEnd ? framesNow : framesToEnd;
      if (upTo > frame) events.push_back(played(frame, runStartOffset + frame * block, (upTo - frame) * block));
      framesReported = upTo;
      position = static_cast<DWORD>(runStartOffset + upTo * block);
      if (framesNow >= framesToEnd) {
        // A static buffer that ran out starts from its beginning next time.
        playing = false;
        position = 0;
        events.push_back(PlaybackEvent{PlaybackEvent::Finished, id, timeOfFrame(framesToEnd, true), 0, 0, false});
      }
    } else {
      // Spans only matter to an observer; a long step over a short loop makes many.
      for (uint64_t next = frame; registry().observer && next < framesNow;) {
        const uint64_t offset = (runStartOffset + next * block) % playable;
        const uint64_t framesToWrap = (playable - offset) / block;
        const uint64_t count = framesNow - next < framesToWrap ? framesNow - next : framesToWrap;
        events.push_back(played(next, offset, count * block));
        next += count;
      }
      framesReported = framesNow;
      position = static_cast<DWORD>((runStartOffset + framesNow * block) % playable);
    }
    if (!playing) looping = false;
    for (const PlaybackEvent& event : events) emit(event);
  }

  // The clock went back to 0: the run goes on from where it stands.
  void restartRunClock() {
    if (playing) startRun();
  }

  void fillState(BufferState* out) const {
    out->id = id;
    out->deviceId = device->id;
    out->flags = flags;
    out->format = format;
    out->bytes.assign(data->bytes, data->bytes + data->size);
    out->position = position;
    out->playing = playing;
    out->looping = looping;
    out->lost = lost;
    out->volume = volume;
    out->duplicateOf = duplicateOf;
    out->references = references;
    out->source = source;
  }

  const int id;
  const std::shared_ptr<DeviceCore> device;
  const DWORD flags;
  const WAVEFORMATEX format;
  const std::shared_ptr<SoundData> data;
  const int duplicateOf;
  const std::string source;
  LONG volume = 0;
  bool lost = false;

 private:
  DWORD takeSplitRequest() {
    auto& requests = registry().splitRequests;
    for (auto it = requests.begin(); it != requests.end(); ++it) {
      if (it->bufferId != 0 && it->bufferId != id) continue;
      const DWORD first = it->firstRegionBytes;
      requests.erase(it);
      return first;
    }
    return 0;
  }

  void stopByCall() {
    if (!playing) return;
    playing = false;
    looping = false;
    emitSimple(PlaybackEvent::Stopped, id, nowMicroseconds());
  }

  // Counting from the run's start rather than step by step keeps many small
  // clock steps from adding up rounding errors.
  void startRun() {
    runStartMicroseconds = nowMicroseconds();
    runStartOffset = position;
    framesReported = 0;
  }

  uint64_t framesPlayedBy(uint64_t time) const {
    const unsigned __int128 elapsed = time - runStartMicroseconds;
    return static_cast<uint64_t>(elapsed * format.nSamplesPerSec / kMicrosecondsPerSecond);
  }

  // When frame `frame` of the run begins; rounding up gives the first clock
  // time by which `frame` frames have played.
  uint64_t timeOfFrame(uint64_t frame, bool roundUp) const {
    const unsigned __int128 scaled = static_cast<unsigned __int128>(frame) * kMicrosecondsPerSecond;
    const uint64_t rate = format.nSamplesPerSec;
    return runStartMicroseconds + static_cast<uint64_t>((scaled + (roundUp ? rate - 1 : 0)) / rate);
  }

  PlaybackEvent played(uint64_t frame, uint64_t from, uint64_t count) const {
    return PlaybackEvent{PlaybackEvent::Played, id, timeOfFrame(frame, false), static_cast<DWORD>(from),
                         static_cast<DWORD>(count), looping};
  }

  uint64_t playableBytes() const { return data->size - data->size % format.nBlockAlign; }

  DWORD position = 0;
  bool playing = false;
  bool looping = false;
  long restoreFailuresLeft = 0;

  bool locked = false;
  void* lockRegion1 = nullptr;
  DWORD lockBytes1 = 0;
  void* lockRegion2 = nullptr;
  DWORD lockBytes2 = 0;

  uint64_t runStartMicroseconds = 0;
  uint64_t runStartOffset = 0;  // byte position when the run started
  uint64_t framesReported = 0;  // frames of the run already reported as played
};

Buffer* liveBuffer(const void* pointer) {
  if (pointer == nullptr) return nullptr;
  for (const auto& entry : registry().buffers) {
    if (static_cast<const void*>(static_cast<IDirectSoundBuffer*>(entry.second)) == pointer) {
      return entry.second;
    }
  }
  return nullptr;
}

class Device final : public ComObject<IDirectSound, Device> {
 public:
  Device() : core(std::make_shared<DeviceCore>()) {
    core->id = registry().nextDeviceId++;
    ++world().devices;
    registry().devices[core->id] = this;
  }

  ~Device() {
    --world().devices;
    registry().devices.erase(core->id);
  }

  // Buffers must go before their device; count it when they did not.
  void lastReleased() {
    if (core->liveBuffers > 0) ++registry().deviceReleasesWithLiveBuffers;
  }

  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                                              LPUNKNOWN outer) override {
    if (shouldFail("CreateSoundBuffer")) return DSERR_GENERIC;
    if (description == nullptr || description->dwSize != kBufferDescriptionSize || buffer == nullptr ||
        outer != nullptr) {
      return DSERR_INVALIDPARAM;
    }
    const DWORD flags = description->dwFlags;
    if ((flags & ~kSupportedBufferFlags) != 0) return DSERR_INVALIDPARAM;
    if ((flags & DSBCAPS_LOCHARDWARE) != 0 && (flags & DSBCAPS_LOCSOFTWARE) != 0) return DSERR_INVALIDPARAM;
    const DWORD bytes = description->dwBufferBytes;
    if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    if (description->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
    WAVEFORMATEX format;
    if (!readPcmFormat(description->lpwfxFormat, &format)) return DSERR_BADFORMAT;
    auto* storage = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (storage == nullptr) return DSERR_OUTOFMEMORY;
    *buffer = new Buffer(registry().nextBufferId++, core, flags, format,
                         std::make_shared<SoundData>(storage, bytes), 0, world().lastOpened);
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                                 LPDIRECTSOUNDBUFFER* duplicate) override {
    if (shouldFail("DuplicateSoundBuffer")) return DSERR_GENERIC;
    Buffer* source = liveBuffer(original);
    if (source == nullptr || duplicate == nullptr) return DSERR_INVALIDPARAM;
    if (source->lost) return DSERR_BUFFERLOST;
    auto* copy = new Buffer(registry().nextBufferId++, core, source->flags, source->format, source->data,
                            source->id, source->source);
    copy->volume = source->volume;
    *duplicate = copy;
    return DS_OK;
  }

  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override {
    if (shouldFail("SetCooperativeLevel")) return DSERR_GENERIC;
    if (!isWindow(window) || level < kLowestLevel || level > kHighestLevel) return DSERR_INVALIDPARAM;
    core->cooperativeWindow = window;
    core->cooperativeLevel = level;
    return DS_OK;
  }

  const std::shared_ptr<DeviceCore> core;
};

void advanceBuffers(uint64_t, uint64_t to) {
  // By id, from a snapshot: an observer may release buffers while it hears of them.
  std::vector<int> ids;
  for (const auto& entry : registry().buffers) ids.push_back(entry.first);
  for (int id : ids) {
    auto found = registry().buffers.find(id);
    if (found != registry().buffers.end()) found->second->advanceTo(to);
  }
}

void resetDirectSound() {
  Registry& state = registry();
  state.observer = nullptr;
  state.splitRequests.clear();
  state.deviceReleasesWithLiveBuffers = 0;
  for (const auto& entry : state.buffers) entry.second->restartRunClock();
  // Fresh ids for a fresh world; live objects keep theirs, so ids stay unique.
  if (state.buffers.empty()) state.nextBufferId = 1;
  if (state.devices.empty()) state.nextDeviceId = 1;
}

const bool hooked = (onClockAdvance(advanceBuffers), onReset(resetDirectSound), true);

}  // namespace

std::vector<BufferState> buffers() {
  std::vector<BufferState> states;
  for (const auto& entry : registry().buffers) {
    states.emplace_back();
    entry.second->fillState(&states.back());
  }
  return states;
}

std::vector<DeviceState> devices() {
  std::vector<DeviceState> states;
  for (const auto& entry : registry().devices) {
    const DeviceCore& core = *entry.second->core;
    states.push_back(DeviceState{core.id, core.cooperativeWindow, core.cooperativeLevel,
                                 entry.second->references});
  }
  return states;
}

bool bufferState(int id, BufferState* out) {
  auto found = registry().buffers.find(id);
  if (found == registry().buffers.end()) return false;
  if (out != nullptr) found->second->fillState(out);
  return true;
}

int bufferId(const void* buffer) {
  const Buffer* found = liveBuffer(buffer);
  return found != nullptr ? found->id : 0;
}

void loseBuffer(int id, int failRestores) {
  auto found = registry().buffers.find(id);
  if (found != registry().buffers.end()) found->second->lose(failRestores);
}

void splitNextLock(int id, DWORD firstRegionBytes) {
  registry().splitRequests.push_back(SplitRequest{id, firstRegionBytes});
}

long deviceReleasesWithLiveBuffers() { return registry().deviceReleasesWithLiveBuffers; }

void setPlaybackObserver(PlaybackObserver observer) { registry().observer = std::move(observer); }

}  // namespace platform

extern "C" HRESULT WINAPI DirectSoundCreate(LPCGUID device, LPDIRECTSOUND* directSound, LPUNKNOWN outer) {
  if (platform::shouldFail("DirectSoundCreate")) return DSERR_GENERIC;
  if (directSound == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  // Only the default device exists here.
  if (device != nullptr) return DSERR_NODRIVER;
  *directSound = new platform::Device();
  return DS_OK;
}
