// What the sound player does on each update, and its teardown: the slot pass
// that turns each slot variable's command into sound, the stop-all check, and
// the release of everything at disconnect.
#pragma once

#include <cstdint>

// The command a slot variable's value stands for: its truncation toward zero,
// or kNoCommand when that does not fit a 32-bit signed integer (infinities
// and NaN included).
constexpr int32_t kNoCommand = -1;
int32_t commandFromValue(double value);

// Every configured slot in turn: 0 stops, 1 plays once (and writes 0.0 back
// when it has ended), 2 loops, anything else leaves the slot as it is.
void updateSlots();

// When the stop-all variable is above 0.0: stops every playing slot but the
// last configured one, writing their variables and then the stop-all variable
// back to 0.0.
void applyStopAll();

// Stops (without rewinding) and releases every loaded slot, then the device,
// then the player's storage.
void shutdownPlayer();
