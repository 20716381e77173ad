#include "sound_player/player_callback.h"

#include "sound_player/slot_table.h"
#include "sound_player/sound_bank.h"
#include "sound_player/update_cycle.h"

extern "C" void PANEL_CALL soundPlayerCallback(GaugeHeader* header, uint32_t service, GaugeExtra) {
  // After disconnect (or a failed allocation at load) the storage is gone and
  // every service is ignored: nothing that was released is touched again.
  if (!playerStorageAvailable()) return;
  switch (service) {
    case kServiceBeforeUpdate:
      if (player.configured == 0) loadConfiguration(header);
      updateSlots();
      applyStopAll();
      break;
    case kServiceWindowReady:
      SoundBank::connect();
      break;
    case kServiceDisconnect:
      shutdownPlayer();
      break;
    default:
      break;
  }
}
