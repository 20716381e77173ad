// A fixture for driving the trim gauge through the host: its WAV in the
// scratch folder, the three simulator variables, updates on a moving clock,
// and one timeline of what the gauge did (key events, variable look-ups,
// sound started and stopped) in the order it happened.
#pragma once

#include <string>
#include <vector>

#include "test_support.h"

namespace testing_support {

// The simulator's side of the trim gauge, in the host's names.
constexpr uint32_t kGate = host::kGateVariableToken;
constexpr uint32_t kTrim = host::kTrimVariableToken;
constexpr uint32_t kLimit = host::kLimitVariableToken;
constexpr uint32_t kRaise = host::kTrimRaiseEventId;
constexpr uint32_t kLower = host::kTrimLowerEventId;
constexpr uint32_t kSet = host::kTrimSetEventId;

struct TimelineEntry {
  enum Kind { KeyEvent, Lookup, SoundStarted, SoundStopped } kind;
  uint32_t value;       // event id, token looked up, or buffer id
  double trimAtThatTime;
  bool operator==(const TimelineEntry& other) const {
    return kind == other.kind && value == other.value;
  }
};

class VantricTest : public GaugeTest {
 public:
  // Filled by the recording services and the playback observer.
  std::vector<TimelineEntry> timeline;
  bool lookupRecordsWereClean = true;  // every ModuleVar came zeroed but for its token

 protected:
  VantricTest();
  ~VantricTest() override;

  // Writes the trim sound as Sound/qztrim.wav (unless told not to), loads a
  // fresh vantric and installs it with the gate at `gate`.
  host::GaugeModule* install(double gate = 0.0, bool writeWav = true);
  host::GaugeModule* load();
  void writeWav() { scratch.write("Sound/qztrim.wav", wav); }

  void set(double gate, double trim, double limit);
  // One host update cycle; returns what the gauge did in it.
  std::vector<TimelineEntry> update();
  void tearDown();

  // The one live buffer of the trim sound (false when there is none).
  bool trimBuffer(platform::BufferState* state) const;
  bool soundPlaying() const;
  std::vector<uint32_t> keyEventIds() const;
  std::vector<uint32_t> lookups(const std::vector<TimelineEntry>& entries) const;
  static std::vector<TimelineEntry> only(const std::vector<TimelineEntry>& entries,
                                         TimelineEntry::Kind kind);

  host::GaugeModule* module = nullptr;
  const std::vector<uint8_t> samples;
  const std::vector<uint8_t> wav;
};

}  // namespace testing_support
