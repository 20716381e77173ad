#include "trim_gauge/trim_callback.h"

#include "trim_gauge/trim_controller.h"

extern "C" void PANEL_CALL trimGaugeCallback(GaugeHeader*, uint32_t service, GaugeExtra extra) {
  switch (service) {
    case kServiceInstalled:
      TrimController::install(extra);
      break;
    case kServiceAfterUpdate:
      TrimController::update();
      break;
    case kServiceBeforeKill:
      TrimController::tearDown();
      break;
    default:
      break;
  }
}
