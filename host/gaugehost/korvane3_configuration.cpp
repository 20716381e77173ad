#include "host/gaugehost/korvane3_configuration.h"

#include "frame/panel_abi.h"
#include "sound_player/slot_table.h"

namespace gaugehost {
namespace {

std::vector<std::string>* recordedRegistrations = nullptr;
uint32_t nextVariableId = 0;

uint32_t PANEL_CALL recordRegistration(const char* name) {
  if (recordedRegistrations != nullptr) recordedRegistrations->emplace_back(name != nullptr ? name : "");
  return ++nextVariableId;
}

}  // namespace

KorvaneConfiguration readKorvaneConfiguration(const char* parameters) {
  KorvaneConfiguration configuration;
  // loadConfiguration calls nothing but registerNamedVariable; every other
  // entry stays null so that a call of one would be caught at once.
  PanelServices services = {};
  services.registerNamedVariable = recordRegistration;
  PanelServices* const previous = ImportTable.services;
  ImportTable.services = &services;
  recordedRegistrations = &configuration.registrations;
  nextVariableId = 0;

  GaugeHeader header = {};
  header.parameters = parameters;
  loadConfiguration(&header);

  ImportTable.services = previous;
  recordedRegistrations = nullptr;

  configuration.iniPath = player.iniPath;
  configuration.maxSoundsValue = player.maxSoundsValue;
  configuration.slotCount = player.slotCount;
  for (int index = 0; index < player.slotCount; ++index) {
    const SoundSlot& slot = player.slots[index];
    configuration.slots.push_back(KorvaneSlot{index, slot.variableName, slot.path});
  }
  configuration.stopVariable = player.slots[kStopSlot].variableName;
  return configuration;
}

}  // namespace gaugehost
