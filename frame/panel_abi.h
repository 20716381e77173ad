// The binary records shared between a gauge module and the panel host.
//
// Layouts are the host's: 32-bit little-endian words and 32-bit pointers into
// the module's own image, each field directly after the one before. Every
// host-facing function type carries PANEL_CALL, the Windows API calling
// convention (arguments pushed right to left, removed by the callee). The
// offsets are checked below for the 32-bit product; a 64-bit build of the same
// sources keeps the field order with wider pointers.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

#define PANEL_CALL WINAPI

extern "C" {

struct GaugeHeader;
struct GaugeElement;

// Service identifiers that GaugeCallback receives.
enum : uint32_t {
  kServiceInstalled = 3,
  kServiceBeforeInit = 4,
  kServiceBeforeUpdate = 6,
  kServiceAfterUpdate = 7,
  kServiceBeforeKill = 12,
  kServiceWindowReady = 14,
  kServiceDisconnect = 15,
};

// The extra data of a service: a 32-bit word on the product, wide enough for a
// module handle in every build.
typedef uintptr_t GaugeExtra;

typedef void(PANEL_CALL* ModuleRoutine)(void);
typedef uint32_t(PANEL_CALL* StandardRoutine)(void);
typedef uint32_t(PANEL_CALL* StandardValueRoutine)(uint32_t value);
typedef void(PANEL_CALL* GaugeCallbackRoutine)(GaugeHeader* header, uint32_t service,
                                                GaugeExtra extra);

// ---- ModuleVar: one simulator-variable look-up --------------------------------
#pragma pack(push, 4)
struct ModuleVar {
  uint32_t token;
  uint8_t hostReserved4[8];  // the host's; zero when passed
  double value;              // filled in by lookupVariable
  uint8_t hostReserved20[8];  // the host's; zero when passed
};
#pragma pack(pop)
static_assert(offsetof(ModuleVar, token) == 0, "ModuleVar.token");
static_assert(offsetof(ModuleVar, hostReserved4) == 4, "ModuleVar.hostReserved4");
static_assert(offsetof(ModuleVar, value) == 12, "ModuleVar.value");
static_assert(offsetof(ModuleVar, hostReserved20) == 20, "ModuleVar.hostReserved20");
static_assert(sizeof(ModuleVar) == 28, "ModuleVar size");

// ---- PanelServices: the host's service table, entry n at byte 4n ---------------
typedef uint32_t(PANEL_CALL* ElementService)(GaugeElement* element);
typedef uint32_t(PANEL_CALL* ElementValueService)(GaugeElement* element, uint32_t value);
typedef void(PANEL_CALL* SendKeyEventService)(uint32_t eventId, uint32_t parameter);
typedef void(PANEL_CALL* LookupVariableService)(ModuleVar* variable);
typedef uint32_t(PANEL_CALL* RegisterNamedVariableService)(const char* name);
typedef double(PANEL_CALL* GetNamedVariableService)(uint32_t variableId);
typedef void(PANEL_CALL* SetNamedVariableService)(uint32_t variableId, double value);
typedef void(PANEL_CALL* UnusedService)(void);

struct PanelServices {
  UnusedService unused0[24];                            // 0
  ElementService elementService96;                      // 96
  ElementValueService elementService100;                // 100
  ElementService elementService104;                     // 104
  ElementService elementService108;                     // 108
  ElementValueService elementService112;                // 112
  ElementService elementService116;                     // 116
  ElementService elementService120;                     // 120: never called by a gauge
  ElementService elementService124;                     // 124
  UnusedService unused128[4];                           // 128
  SendKeyEventService sendKeyEvent;                     // 144
  UnusedService unused148[3];                           // 148
  LookupVariableService lookupVariable;                 // 160
  UnusedService unused164[10];                          // 164
  RegisterNamedVariableService registerNamedVariable;   // 204
  UnusedService unused208;                              // 208
  GetNamedVariableService getNamedVariable;             // 212
  UnusedService unused216;                              // 216
  SetNamedVariableService setNamedVariable;             // 220
};

// ---- ImportTable: (entry id, pointer) pairs ended by zeros ---------------------
struct ImportTableRecord {
  uint32_t entryId;          // 0x0F
  PanelServices* services;   // written by the host before any call
  uint32_t endId;            // 0
  uint32_t endPointer;       // 0
};

// ---- Linkage -------------------------------------------------------------------
struct LinkageRecord {
  uint32_t moduleId;          // 0x13
  ModuleRoutine initRoutine;
  ModuleRoutine deinitRoutine;
  uint32_t reserved12;
  uint32_t reserved16;
  uint32_t interfaceVersion;  // 0x900 or 0x800
  GaugeHeader* gauge;         // the module's one gauge header
  GaugeHeader* endOfGauges;   // null
};

// ---- GaugeElement ----------------------------------------------------------------
struct GaugeElement {
  uint32_t elementType;       // 0
  uint32_t bitmapId;
  uint32_t reserved8[6];
  GaugeHeader* header;        // the header that lists this element
  uint32_t reserved36;
  GaugeElement** furtherElements;  // null when there is none
  uint32_t reserved44;
  uint32_t imageFlags;
  uint32_t reserved52[11];
};

// ---- Mouse rectangles ---------------------------------------------------------
struct MouseRect {
  uint32_t type;              // 1, 3; 0 ends the list
  uint32_t reserved4[4];
  uint32_t minusOne;          // 0xFFFFFFFF
  uint32_t reserved24[5];
};

// ---- GaugeHeader -----------------------------------------------------------------
struct GaugeHeader {
  uint32_t headerVersion;     // 0x320
  const char* name;
  GaugeElement** elements;    // element list, null-terminated
  StandardRoutine routine1;
  StandardValueRoutine routine2;
  StandardRoutine routine3;
  StandardRoutine routine4;
  StandardValueRoutine routine5;
  StandardRoutine routine6;
  StandardRoutine routine7;
  uint32_t reserved40;
  uint32_t sizeValue;
  uint32_t reserved48[8];
  MouseRect* mouseRects;
  GaugeCallbackRoutine callback;
  uint32_t reserved88;
  const char* parameters;     // the gauge's parameter string, written by the host
  uint8_t hostReserved96[104];
};

}  // extern "C"

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(PanelServices, elementService96) == 96, "PanelServices 96");
static_assert(offsetof(PanelServices, elementService100) == 100, "PanelServices 100");
static_assert(offsetof(PanelServices, elementService104) == 104, "PanelServices 104");
static_assert(offsetof(PanelServices, elementService108) == 108, "PanelServices 108");
static_assert(offsetof(PanelServices, elementService112) == 112, "PanelServices 112");
static_assert(offsetof(PanelServices, elementService116) == 116, "PanelServices 116");
static_assert(offsetof(PanelServices, elementService120) == 120, "PanelServices 120");
static_assert(offsetof(PanelServices, elementService124) == 124, "PanelServices 124");
static_assert(offsetof(PanelServices, sendKeyEvent) == 144, "PanelServices 144");
static_assert(offsetof(PanelServices, lookupVariable) == 160, "PanelServices 160");
static_assert(offsetof(PanelServices, registerNamedVariable) == 204, "PanelServices 204");
static_assert(offsetof(PanelServices, getNamedVariable) == 212, "PanelServices 212");
static_assert(offsetof(PanelServices, setNamedVariable) == 220, "PanelServices 220");
static_assert(sizeof(PanelServices) == 224, "PanelServices size");

static_assert(offsetof(ImportTableRecord, entryId) == 0, "ImportTable 0");
static_assert(offsetof(ImportTableRecord, services) == 4, "ImportTable 4");
static_assert(offsetof(ImportTableRecord, endId) == 8, "ImportTable 8");
static_assert(offsetof(ImportTableRecord, endPointer) == 12, "ImportTable 12");
static_assert(sizeof(ImportTableRecord) == 16, "ImportTable size");

static_assert(offsetof(LinkageRecord, moduleId) == 0, "Linkage 0");
static_assert(offsetof(LinkageRecord, initRoutine) == 4, "Linkage 4");
static_assert(offsetof(LinkageRecord, deinitRoutine) == 8, "Linkage 8");
static_assert(offsetof(LinkageRecord, reserved12) == 12, "Linkage 12");
static_assert(offsetof(LinkageRecord, reserved16) == 16, "Linkage 16");
static_assert(offsetof(LinkageRecord, interfaceVersion) == 20, "Linkage 20");
static_assert(offsetof(LinkageRecord, gauge) == 24, "Linkage 24");
static_assert(offsetof(LinkageRecord, endOfGauges) == 28, "Linkage 28");
static_assert(sizeof(LinkageRecord) == 32, "Linkage size");

static_assert(offsetof(GaugeElement, elementType) == 0, "GaugeElement 0");
static_assert(offsetof(GaugeElement, bitmapId) == 4, "GaugeElement 4");
static_assert(offsetof(GaugeElement, reserved8) == 8, "GaugeElement 8");
static_assert(offsetof(GaugeElement, header) == 32, "GaugeElement 32");
static_assert(offsetof(GaugeElement, reserved36) == 36, "GaugeElement 36");
static_assert(offsetof(GaugeElement, furtherElements) == 40, "GaugeElement 40");
static_assert(offsetof(GaugeElement, reserved44) == 44, "GaugeElement 44");
static_assert(offsetof(GaugeElement, imageFlags) == 48, "GaugeElement 48");
static_assert(offsetof(GaugeElement, reserved52) == 52, "GaugeElement 52");
static_assert(sizeof(GaugeElement) == 96, "GaugeElement size");

static_assert(offsetof(MouseRect, type) == 0, "MouseRect 0");
static_assert(offsetof(MouseRect, reserved4) == 4, "MouseRect 4");
static_assert(offsetof(MouseRect, minusOne) == 20, "MouseRect 20");
static_assert(offsetof(MouseRect, reserved24) == 24, "MouseRect 24");
static_assert(sizeof(MouseRect) == 44, "MouseRect size");

static_assert(offsetof(GaugeHeader, headerVersion) == 0, "GaugeHeader 0");
static_assert(offsetof(GaugeHeader, name) == 4, "GaugeHeader 4");
static_assert(offsetof(GaugeHeader, elements) == 8, "GaugeHeader 8");
static_assert(offsetof(GaugeHeader, routine1) == 12, "GaugeHeader 12");
static_assert(offsetof(GaugeHeader, routine2) == 16, "GaugeHeader 16");
static_assert(offsetof(GaugeHeader, routine3) == 20, "GaugeHeader 20");
static_assert(offsetof(GaugeHeader, routine4) == 24, "GaugeHeader 24");
static_assert(offsetof(GaugeHeader, routine5) == 28, "GaugeHeader 28");
static_assert(offsetof(GaugeHeader, routine6) == 32, "GaugeHeader 32");
static_assert(offsetof(GaugeHeader, routine7) == 36, "GaugeHeader 36");
static_assert(offsetof(GaugeHeader, reserved40) == 40, "GaugeHeader 40");
static_assert(offsetof(GaugeHeader, sizeValue) == 44, "GaugeHeader 44");
static_assert(offsetof(GaugeHeader, reserved48) == 48, "GaugeHeader 48");
static_assert(offsetof(GaugeHeader, mouseRects) == 80, "GaugeHeader 80");
static_assert(offsetof(GaugeHeader, callback) == 84, "GaugeHeader 84");
static_assert(offsetof(GaugeHeader, reserved88) == 88, "GaugeHeader 88");
static_assert(offsetof(GaugeHeader, parameters) == 92, "GaugeHeader 92");
static_assert(offsetof(GaugeHeader, hostReserved96) == 96, "GaugeHeader 96");
static_assert(sizeof(GaugeHeader) == 200, "GaugeHeader size");
#endif

// Each module defines these two exported records (see its *_records.cpp).
extern "C" ImportTableRecord ImportTable;
extern "C" LinkageRecord Linkage;
