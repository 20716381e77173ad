#include "trim_gauge/trim_callback.h"

extern "C" void PANEL_CALL trimGaugeCallback(GaugeHeader*, uint32_t, GaugeExtra) {}
