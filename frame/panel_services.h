// Calls into the host's PanelServices table. The table address is read from
// ImportTable at every call: the host may store a new one at any time.
#pragma once

#include "panel_abi.h"

inline PanelServices* panelServices() { return ImportTable.services; }

// The first element of the module's one gauge, reached through Linkage afresh.
inline GaugeElement* firstGaugeElement() { return Linkage.gauge->elements[0]; }

inline void sendKeyEvent(uint32_t eventId, uint32_t parameter) {
  panelServices()->sendKeyEvent(eventId, parameter);
}

// The current value of a simulator variable, looked up through a fresh record:
// token set, every other byte zero, as the host expects.
inline double lookupVariable(uint32_t token) {
  ModuleVar variable = {};
  variable.token = token;
  panelServices()->lookupVariable(&variable);
  return variable.value;
}

inline uint32_t registerNamedVariable(const char* name) {
  return panelServices()->registerNamedVariable(name);
}

inline double getNamedVariable(uint32_t variableId) {
  return panelServices()->getNamedVariable(variableId);
}

inline void setNamedVariable(uint32_t variableId, double value) {
  panelServices()->setNamedVariable(variableId, value);
}
