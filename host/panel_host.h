// A simulated panel host: loads gauge modules, hands them a PanelServices
// table, keeps named and token variables, records what the gauges ask of it,
// and calls their routines and GaugeCallback.
//
// One host is active per process at a time (its services are plain functions
// without context); the platform world it shares with the modules is one per
// process as well.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frame/panel_abi.h"

namespace host {

class GaugeModule;

struct ElementCall {
  int offset;               // 96, 100, ... 124
  GaugeElement* element;
  uint32_t value;           // 100 and 112 only
};

struct KeyEvent {
  uint32_t eventId;
  uint32_t parameter;
  uint64_t atMicroseconds;
};

struct VariableWrite {
  uint32_t variableId;
  std::string name;
  double value;
  uint64_t atMicroseconds;
};

class PanelHost {
 public:
  PanelHost();
  ~PanelHost();
  PanelHost(const PanelHost&) = delete;
  PanelHost& operator=(const PanelHost&) = delete;

  // Loads a fresh copy of the module (fresh module state), stores the host's
  // service table in its ImportTable. Null with *error set when the file is
  // missing or lacks the two exports.
  GaugeModule* load(const std::string& path, std::string* error = nullptr);

  // The host's own table; tests may swap entries or give a module another table.
  PanelServices& services() { return services_; }

  // Named variables: created by registration or by setNamedVariable, found by name.
  uint32_t variableId(const std::string& name);  // creates when missing
  bool hasVariable(const std::string& name) const;
  double namedVariable(const std::string& name);
  void setNamedVariable(const std::string& name, double value);  // as another gauge would
  std::string variableName(uint32_t variableId) const;
  const std::vector<std::string>& registrations() const { return registrations_; }
  const std::vector<VariableWrite>& gaugeWrites() const { return gaugeWrites_; }

  // Token variables read by lookupVariable.
  void setTokenVariable(uint32_t token, double value) { tokens_[token] = value; }
  double tokenVariable(uint32_t token) const;

  const std::vector<KeyEvent>& keyEvents() const { return keyEvents_; }
  const std::vector<ElementCall>& elementCalls() const { return elementCalls_; }
  // What each element service returns; by default the offset itself plus 1000.
  void setElementServiceResult(int offset, uint32_t result) { elementResults_[offset] = result; }
  // Calls of the entry at offset 120, which no gauge may call.
  int calls120() const { return calls120_; }
  // Calls of any entry that is not a service the host provides.
  int unusedEntryCalls() const { return unusedEntryCalls_; }

  // The trim model: a key event 0x1004F raises token 783 by step, 0x10047
  // lowers it by step, 0x100AA sets it to exactly 0.0. Off until set.
  void setTrimModel(double step) { trimStep_ = step; }
  void clearTrimModel() { trimStep_ = 0.0; }

  void clearRecords();

  // Sends every module not closed yet its last services, kServiceBeforeKill
  // and then kServiceDisconnect, as the simulator does when it closes the
  // panel. The destructor does this too.
  void closePanel();

  // ---- Service entry points (called by the table's plain functions) ----
  uint32_t onElementService(int offset, GaugeElement* element, uint32_t value);
  void onSendKeyEvent(uint32_t eventId, uint32_t parameter);
  void onLookupVariable(ModuleVar* variable);
  uint32_t onRegisterNamedVariable(const char* name);
  double onGetNamedVariable(uint32_t variableId);
  void onSetNamedVariable(uint32_t variableId, double value);
  void onEntry120() { ++calls120_; }
  void onUnusedEntry() { ++unusedEntryCalls_; }

  static PanelHost* current();

 private:
  PanelServices services_;
  std::vector<std::unique_ptr<GaugeModule>> modules_;
  std::vector<std::string> names_;            // by variable id - 1
  std::map<std::string, uint32_t> ids_;
  std::vector<double> values_;                // by variable id - 1
  std::map<uint32_t, double> tokens_;
  std::vector<std::string> registrations_;
  std::vector<VariableWrite> gaugeWrites_;
  std::vector<KeyEvent> keyEvents_;
  std::vector<ElementCall> elementCalls_;
  std::map<int, uint32_t> elementResults_;
  int calls120_ = 0;
  int unusedEntryCalls_ = 0;
  double trimStep_ = 0.0;
};

// One loaded module: its records, its handle, and the calls a host makes.
class GaugeModule {
 public:
  ~GaugeModule();

  ImportTableRecord* importTable() const { return importTable_; }
  LinkageRecord* linkage() const { return linkage_; }
  GaugeHeader* header() const { return linkage_->gauge; }
  HMODULE instanceHandle() const { return instance_; }
  const std::string& path() const { return path_; }

  // The parameter string the host writes into the header (null: none at all).
  void setParameters(const char* parameters);
  void callback(uint32_t service, GaugeExtra extra = 0);
  // Sends kServiceInstalled with the module's instance handle as extra data.
  void install();
  // Standard routine 1..7 of the header; value for routines 2 and 5.
  uint32_t routine(int number, uint32_t value = 0);

 private:
  friend class PanelHost;
  GaugeModule() = default;
  void* library_ = nullptr;
  ImportTableRecord* importTable_ = nullptr;
  LinkageRecord* linkage_ = nullptr;
  HMODULE instance_ = nullptr;
  std::string path_;
  std::string parameters_;
  bool hasParameters_ = false;
  bool closed_ = false;
};

// Token and event numbers of the trim gauge's simulator: the trim model, and
// the tools that show a run, speak of them.
constexpr uint32_t kGateVariableToken = 60;
constexpr uint32_t kLimitVariableToken = 329;
constexpr uint32_t kTrimVariableToken = 783;
constexpr uint32_t kTrimRaiseEventId = 0x1004F;
constexpr uint32_t kTrimLowerEventId = 0x10047;
constexpr uint32_t kTrimSetEventId = 0x100AA;

}  // namespace host
