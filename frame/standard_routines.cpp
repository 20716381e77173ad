#include "standard_routines.h"

#include "panel_services.h"

extern "C" {

uint32_t PANEL_CALL gaugeRoutine1(void) { return panelServices()->elementService96(firstGaugeElement()); }
uint32_t PANEL_CALL gaugeRoutine2(uint32_t value) {
  return panelServices()->elementService100(firstGaugeElement(), value);
}
uint32_t PANEL_CALL gaugeRoutine3(void) { return panelServices()->elementService104(firstGaugeElement()); }
uint32_t PANEL_CALL gaugeRoutine4(void) { return panelServices()->elementService108(firstGaugeElement()); }
uint32_t PANEL_CALL gaugeRoutine5(uint32_t value) {
  return panelServices()->elementService112(firstGaugeElement(), value);
}
uint32_t PANEL_CALL gaugeRoutine6(void) { return panelServices()->elementService116(firstGaugeElement()); }
// Routine 7 skips the entry at 120: that one belongs to the host alone.
uint32_t PANEL_CALL gaugeRoutine7(void) { return panelServices()->elementService124(firstGaugeElement()); }

void PANEL_CALL moduleInitRoutine(void) {}
void PANEL_CALL moduleDeinitRoutine(void) {}

}  // extern "C"
