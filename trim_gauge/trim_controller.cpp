#include "trim_gauge/trim_controller.h"

#include "frame/panel_services.h"
#include "trim_gauge/sound_object.h"

TrimState trim = {};

namespace {

void warn(LPCSTR text) { MessageBoxA(nullptr, text, "DEBUG", MB_OK | MB_ICONWARNING); }

}  // namespace

void TrimController::install(GaugeExtra moduleHandle) {
  // A second install without a tear-down between would otherwise leave the
  // first device and sound behind for good.
  tearDown();
  trim.moduleHandle = reinterpret_cast<HMODULE>(moduleHandle);
  trim.mainWindow = FindWindowA("FS98MAIN", nullptr);
  setUpSound(trim.mainWindow, trim.moduleHandle);
  trim.armed = lookupVariable(kGateToken) == 0.0 ? 1 : 0;
}

void TrimController::setUpSound(HWND window, HMODULE module) {
  IDirectSound* device = nullptr;
  if (FAILED(DirectSoundCreate(nullptr, &device, nullptr)) || device == nullptr) {
    warn("DirectSound: Object Create failed");
    return;
  }
  trim.device = device;
  if (FAILED(device->SetCooperativeLevel(window, DSSCL_NORMAL))) {
    warn("DirectSound: SetCooperativeLevel failed");
    return;
  }
  trim.trimSound = SoundObject::create(device, kTrimSoundPath, 1, module);
  if (trim.trimSound == nullptr) warn("DirectSound: Load qztrim.wav failed");
}

void TrimController::update() {
  const double gate = lookupVariable(kGateToken);
  const double trimValue = lookupVariable(kTrimToken);
  const double limit = lookupVariable(kLimitToken);

  bool run = true;
  if (!trim.armed) {
    // Arming and running never happen in the same update: the gate has just
    // read 0.0, not 1.0.
    if (gate == 0.0) trim.armed = 1;
    run = false;
  }
  if (run && gate == 1.0 && limit < kLimitThreshold) {
    if (!SoundObject::isPlaying(trim.trimSound)) {
      SoundObject::playAtVolume(trim.trimSound, DSBPLAY_LOOPING, kTrimSoundVolume);
    }
    if (trimValue < -kTrimTolerance) {
      sendKeyEvent(kTrimRaiseEvent, 0);
    } else if (trimValue > kTrimTolerance) {
      sendKeyEvent(kTrimLowerEvent, 0);
    } else {
      sendKeyEvent(kTrimSetEvent, 0);
      trim.armed = 0;
      trim.stopPending = 1;
    }
  }
  if (!trim.stopPending) return;
  // The set event has been sent; the sound stops once the host shows its effect.
  if (lookupVariable(kTrimToken) == 0.0) {
    SoundObject::stopAll(trim.trimSound);
    trim.stopPending = 0;
  }
}

void TrimController::tearDown() {
  if (trim.trimSound != nullptr) {
    SoundObject::destroy(trim.trimSound);
    trim.trimSound = nullptr;
  }
  if (trim.device != nullptr) {
    trim.device->Release();
    trim.device = nullptr;
  }
}
