// vantric's exported records and its one gauge header, as the host reads them.
#include "frame/panel_abi.h"
#include "frame/standard_routines.h"
#include "trim_gauge/trim_callback.h"

namespace {

extern GaugeHeader trimHeader;

GaugeElement trimElement = {
    0,              // element type
    1000,           // bitmap resource id
    {},             //
    &trimHeader,    // the header that lists this element
    0,              //
    nullptr,        // no further elements
    0,              //
    0x01,           // image flags: bit 0
    {},             //
};

GaugeElement* trimElements[2] = {&trimElement, nullptr};

// Two rectangles and the entry that ends the list; the gauge has no mouse
// handling of its own.
MouseRect trimMouseRects[3] = {
    {1, {}, 0xFFFFFFFFu, {}},
    {3, {}, 0xFFFFFFFFu, {}},
    {0, {}, 0xFFFFFFFFu, {}},
};

GaugeHeader trimHeader = {
    0x320,          // header version
    "TRIM",         // gauge name
    trimElements,
    gaugeRoutine1, gaugeRoutine2, gaugeRoutine3, gaugeRoutine4,
    gaugeRoutine5, gaugeRoutine6, gaugeRoutine7,
    0,              //
    10,             // size value
    {},             //
    trimMouseRects,
    trimGaugeCallback,
    0,              //
    nullptr,        // parameter string: the host's
    {},             // the host's
};

}  // namespace

extern "C" {

ImportTableRecord ImportTable = {0x0F, nullptr, 0, 0};

LinkageRecord Linkage = {
    0x13,                 // module id
    moduleInitRoutine,    // one routine serves as init and deinit
    moduleInitRoutine,
    0,
    0,
    0x800,                // interface version
    &trimHeader,
    nullptr,              // end of the gauge headers
};

}  // extern "C"
