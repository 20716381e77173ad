// A korvane3 module driven through the simulated host the way a panel drives
// it: an INI file, sounds at the slots' default paths, the three services the
// player acts on, and the slot variables that other gauges write. It also
// records what DirectSound played, and which buffer holds which slot's sound.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/panel_host.h"
#include "platform_control.h"
#include "test_support.h"
#include "wav_builder.h"

namespace testing_support {

// 8-bit mono at 1000 Hz: each byte of a sound plays for one millisecond.
PcmFormat millisecondFormat();

std::string slotVariable(int slot);   // "korv_id_07"
std::string slotSoundPath(int slot);  // "Sound/vek/korv_07.wav", below the scratch folder
constexpr const char* kStopVariable = "vek_stop_sounds";

class Korvane3Session {
 public:
  // Loads a fresh module whose INI file sets MaxSounds to slotCount (no key
  // when slotCount < 0) followed by `extraIni`.
  Korvane3Session(host::PanelHost& panel, const ScratchFolder& scratch, int slotCount,
                  const std::string& extraIni = "");
  ~Korvane3Session();
  Korvane3Session(const Korvane3Session&) = delete;
  Korvane3Session& operator=(const Korvane3Session&) = delete;

  // Writes a sound of `milliseconds` distinct bytes at the slot's default path.
  std::vector<uint8_t> writeSound(int slot, size_t milliseconds);

  void windowReady();
  void update();
  void disconnect();

  void set(int slot, double value);
  void setStop(double value);
  double value(int slot);

  // The live buffer that holds the slot's sound (0: none). A buffer is matched
  // to its slot by its contents when it first appears.
  int bufferOf(int slot);
  platform::BufferState buffer(int slot);

  // What DirectSound did since the last clearRecords: for one slot's buffer.
  int starts(int slot, bool looping) const;
  int stops(int slot) const;
  // The slot variable's writes by the gauge since the last clearRecords.
  std::vector<double> writes(int slot) const;
  std::vector<std::string> writtenNames() const;
  void clearRecords();

  host::GaugeModule* module() const { return module_; }

 private:
  void noticeNewBuffers();
  int slotOfBuffer(int bufferId) const;

  host::PanelHost& panel_;
  const ScratchFolder& scratch_;
  host::GaugeModule* module_ = nullptr;
  std::map<int, std::vector<uint8_t>> sounds_;  // by slot
  std::map<int, int> bufferSlots_;              // buffer id -> slot
  std::vector<platform::PlaybackEvent> events_;
  bool disconnected_ = false;
};

}  // namespace testing_support
