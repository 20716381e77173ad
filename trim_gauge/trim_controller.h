// The trim centring controller: once armed by the gate reading 0.0, and while
// the gate reads 1.0 and the limit stays below 6144, it sends trim key events
// until the trim lies within 0.02 of zero, then one set event; a looping trim
// sound plays meanwhile and stops once the trim reads exactly 0.0.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "frame/panel_abi.h"

struct SoundObject;

// Simulator variables and key events of the trim gauge.
constexpr uint32_t kGateToken = 60;
constexpr uint32_t kTrimToken = 783;
constexpr uint32_t kLimitToken = 329;
constexpr double kLimitThreshold = 6144.0;
constexpr double kTrimTolerance = 0.02;
constexpr uint32_t kTrimRaiseEvent = 0x1004F;
constexpr uint32_t kTrimLowerEvent = 0x10047;
constexpr uint32_t kTrimSetEvent = 0x100AA;
constexpr const char* kTrimSoundPath = "Sound\\qztrim.wav";
// Outside the range SoundObject::setVolume applies, so the buffer keeps its
// volume and only the looping play takes effect.
constexpr LONG kTrimSoundVolume = 5000;

// Module-wide state, one set per loaded module, zero at load.
struct TrimState {
  BYTE armed;
  BYTE stopPending;
  IDirectSound* device;
  SoundObject* trimSound;
  HWND mainWindow;
  HMODULE moduleHandle;
};
extern TrimState trim;

struct TrimController {
  static void install(GaugeExtra moduleHandle);
  static void setUpSound(HWND window, HMODULE module);
  static void update();
  static void tearDown();
};
