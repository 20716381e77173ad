// vantric's GaugeCallback: install, update and tear-down of the trim controller.
#pragma once

#include "frame/panel_abi.h"

extern "C" void PANEL_CALL trimGaugeCallback(GaugeHeader* header, uint32_t service, GaugeExtra extra);
