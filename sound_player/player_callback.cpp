#include "sound_player/player_callback.h"

#include "sound_player/slot_table.h"

extern "C" void PANEL_CALL soundPlayerCallback(GaugeHeader* header, uint32_t service, GaugeExtra) {
  // After disconnect (or a failed allocation at load) the storage is gone and
  // every service is ignored.
  if (!playerStorageAvailable()) return;
  switch (service) {
    case kServiceBeforeUpdate:
      if (player.configured == 0) loadConfiguration(header);
      break;
    case kServiceDisconnect:
      releasePlayerStorage();
      break;
    default:
      break;
  }
}
