// The seven standard routines of a gauge header and the module routines of
// Linkage. The standard routines hold no gauge logic: each hands the host's
// call back to one of the host's element services, with the gauge's first
// element, and returns what the service returns.
#pragma once

#include "panel_abi.h"

extern "C" {
uint32_t PANEL_CALL gaugeRoutine1(void);
uint32_t PANEL_CALL gaugeRoutine2(uint32_t value);
uint32_t PANEL_CALL gaugeRoutine3(void);
uint32_t PANEL_CALL gaugeRoutine4(void);
uint32_t PANEL_CALL gaugeRoutine5(uint32_t value);
uint32_t PANEL_CALL gaugeRoutine6(void);
uint32_t PANEL_CALL gaugeRoutine7(void);

// Module init and deinit routines: no arguments, no result, no effect.
void PANEL_CALL moduleInitRoutine(void);
void PANEL_CALL moduleDeinitRoutine(void);
}
