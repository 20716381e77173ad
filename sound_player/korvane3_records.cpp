// korvane3's exported records and its one gauge header, as the host reads them.
#include "frame/panel_abi.h"
#include "frame/standard_routines.h"
#include "sound_player/player_callback.h"

namespace {

// The interface version 0x900 header is followed by four more bytes that stay
// zero; they travel with the header so nothing else can sit there.
struct KorvaneHeaderBlock {
  GaugeHeader header;
  uint32_t trailing;
};

extern KorvaneHeaderBlock korvaneHeader;

GaugeElement korvaneElement = {
    0,                       // element type
    256,                     // bitmap resource id
    {},                      //
    &korvaneHeader.header,   // the header that lists this element
    0,                       //
    nullptr,                 // no further elements
    0,                       //
    0x83,                    // image flags: bits 0, 1 and 7
    {},                      //
};

GaugeElement* korvaneElements[2] = {&korvaneElement, nullptr};

KorvaneHeaderBlock korvaneHeader = {
    {
        0x320,               // header version
        "korvane3",          // gauge name
        korvaneElements,
        gaugeRoutine1, gaugeRoutine2, gaugeRoutine3, gaugeRoutine4,
        gaugeRoutine5, gaugeRoutine6, gaugeRoutine7,
        0,                   //
        20,                  // size value
        {},                  //
        nullptr,             // no mouse rectangles
        soundPlayerCallback,
        0,                   //
        nullptr,             // parameter string: the host's
        {},                  // the host's
    },
    0,
};

}  // namespace

extern "C" {

ImportTableRecord ImportTable = {0x0F, nullptr, 0, 0};

LinkageRecord Linkage = {
    0x13,                    // module id
    moduleInitRoutine,
    moduleDeinitRoutine,
    0,
    0,
    0x900,                   // interface version
    &korvaneHeader.header,
    nullptr,                 // end of the gauge headers
};

}  // extern "C"
