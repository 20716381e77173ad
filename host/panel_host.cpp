#include "host/panel_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform_control.h"

namespace host {
namespace {

PanelHost* activeHost = nullptr;

PanelHost& hostOrDie() {
  if (activeHost == nullptr) {
    std::fprintf(stderr, "gauge called a host service with no host active\n");
    std::abort();
  }
  return *activeHost;
}

template <int Offset>
uint32_t PANEL_CALL elementService(GaugeElement* element) {
  return hostOrDie().onElementService(Offset, element, 0);
}
template <int Offset>
uint32_t PANEL_CALL elementValueService(GaugeElement* element, uint32_t value) {
  return hostOrDie().onElementService(Offset, element, value);
}
uint32_t PANEL_CALL entry120(GaugeElement*) {
  hostOrDie().onEntry120();
  return 0;
}
void PANEL_CALL unusedEntry() { hostOrDie().onUnusedEntry(); }
void PANEL_CALL sendKeyEventService(uint32_t eventId, uint32_t parameter) {
  hostOrDie().onSendKeyEvent(eventId, parameter);
}
void PANEL_CALL lookupVariableService(ModuleVar* variable) { hostOrDie().onLookupVariable(variable); }
uint32_t PANEL_CALL registerNamedVariableService(const char* name) {
  return hostOrDie().onRegisterNamedVariable(name);
}
double PANEL_CALL getNamedVariableService(uint32_t variableId) {
  return hostOrDie().onGetNamedVariable(variableId);
}
void PANEL_CALL setNamedVariableService(uint32_t variableId, double value) {
  hostOrDie().onSetNamedVariable(variableId, value);
}

// A fresh copy of the module file, so that every load gets its own module
// state even when the same module is loaded twice at once.
std::string privateCopy(const std::string& path, std::string* error) {
  std::ifstream source(path, std::ios::binary);
  if (!source) {
    *error = "cannot read module " + path;
    return "";
  }
  char name[] = "/tmp/gaugemoduleXXXXXX.so";
  const int fd = mkstemps(name, 3);
  if (fd < 0) {
    *error = "cannot make a temporary copy of " + path;
    return "";
  }
  close(fd);
  std::ofstream copy(name, std::ios::binary | std::ios::trunc);
  copy << source.rdbuf();
  if (!copy.flush()) {
    unlink(name);
    *error = "cannot copy module " + path;
    return "";
  }
  return name;
}

}  // namespace

PanelHost::PanelHost() : services_{} {
  for (auto& entry : services_.unused0) entry = unusedEntry;
  for (auto& entry : services_.unused128) entry = unusedEntry;
  for (auto& entry : services_.unused148) entry = unusedEntry;
  for (auto& entry : services_.unused164) entry = unusedEntry;
  services_.unused208 = unusedEntry;
  services_.unused216 = unusedEntry;
  services_.elementService96 = elementService<96>;
  services_.elementService100 = elementValueService<100>;
  services_.elementService104 = elementService<104>;
  services_.elementService108 = elementService<108>;
  services_.elementService112 = elementValueService<112>;
  services_.elementService116 = elementService<116>;
  services_.elementService120 = entry120;
  services_.elementService124 = elementService<124>;
  services_.sendKeyEvent = sendKeyEventService;
  services_.lookupVariable = lookupVariableService;
  services_.registerNamedVariable = registerNamedVariableService;
  services_.getNamedVariable = getNamedVariableService;
  services_.setNamedVariable = setNamedVariableService;
  activeHost = this;
}

PanelHost::~PanelHost() {
  closePanel();
  modules_.clear();
  if (activeHost == this) activeHost = nullptr;
}

PanelHost* PanelHost::current() { return activeHost; }

void PanelHost::closePanel() {
  // As the simulator closes a panel: every gauge is killed, then the panel
  // system disconnects. Each gauge acts on the one it knows.
  for (auto& module : modules_) {
    if (module->closed_) continue;
    module->closed_ = true;
    module->callback(kServiceBeforeKill);
    module->callback(kServiceDisconnect);
  }
}

GaugeModule* PanelHost::load(const std::string& path, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  const std::string copy = privateCopy(path, error);
  if (copy.empty()) return nullptr;
  void* library = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  unlink(copy.c_str());
  if (library == nullptr) {
    const char* why = dlerror();
    *error = "cannot load module " + path + ": " + (why != nullptr ? why : "unknown error");
    return nullptr;
  }
  auto* importTable = static_cast<ImportTableRecord*>(dlsym(library, "ImportTable"));
  auto* linkage = static_cast<LinkageRecord*>(dlsym(library, "Linkage"));
  if (importTable == nullptr || linkage == nullptr || linkage->gauge == nullptr) {
    dlclose(library);
    *error = "module " + path + " does not export ImportTable and Linkage";
    return nullptr;
  }
  std::unique_ptr<GaugeModule> module(new GaugeModule());
  module->library_ = library;
  module->importTable_ = importTable;
  module->linkage_ = linkage;
  module->instance_ = platform::moduleHandleOf(linkage);
  module->path_ = path;
  importTable->services = &services_;
  modules_.push_back(std::move(module));
  return modules_.back().get();
}

uint32_t PanelHost::variableId(const std::string& name) {
  auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  names_.push_back(name);
  values_.push_back(0.0);
  const auto id = static_cast<uint32_t>(names_.size());
  ids_[name] = id;
  return id;
}

bool PanelHost::hasVariable(const std::string& name) const { return ids_.count(name) != 0; }

double PanelHost::namedVariable(const std::string& name) { return values_[variableId(name) - 1]; }

void PanelHost::setNamedVariable(const std::string& name, double value) {
  values_[variableId(name) - 1] = value;
}

std::string PanelHost::variableName(uint32_t variableId) const {
  if (variableId == 0 || variableId > names_.size()) return "";
  return names_[variableId - 1];
}

double PanelHost::tokenVariable(uint32_t token) const {
  auto found = tokens_.find(token);
  return found != tokens_.end() ? found->second : 0.0;
}

void PanelHost::clearRecords() {
  registrations_.clear();
  gaugeWrites_.clear();
  keyEvents_.clear();
  elementCalls_.clear();
  calls120_ = 0;
  unusedEntryCalls_ = 0;
}

uint32_t PanelHost::onElementService(int offset, GaugeElement* element, uint32_t value) {
  elementCalls_.push_back({offset, element, value});
  auto found = elementResults_.find(offset);
  return found != elementResults_.end() ? found->second : static_cast<uint32_t>(1000 + offset);
}

void PanelHost::onSendKeyEvent(uint32_t eventId, uint32_t parameter) {
  keyEvents_.push_back({eventId, parameter, platform::nowMicroseconds()});
  if (trimStep_ == 0.0) return;
  double& trim = tokens_[kTrimVariableToken];
  if (eventId == kTrimRaiseEventId) trim += trimStep_;
  if (eventId == kTrimLowerEventId) trim -= trimStep_;
  if (eventId == kTrimSetEventId) trim = 0.0;
}

void PanelHost::onLookupVariable(ModuleVar* variable) { variable->value = tokenVariable(variable->token); }

uint32_t PanelHost::onRegisterNamedVariable(const char* name) {
  registrations_.emplace_back(name);
  return variableId(name);
}

double PanelHost::onGetNamedVariable(uint32_t variableId) {
  if (variableId == 0 || variableId > values_.size()) return 0.0;
  return values_[variableId - 1];
}

void PanelHost::onSetNamedVariable(uint32_t variableId, double value) {
  gaugeWrites_.push_back({variableId, variableName(variableId), value, platform::nowMicroseconds()});
  if (variableId == 0 || variableId > values_.size()) return;
  values_[variableId - 1] = value;
}

GaugeModule::~GaugeModule() {
  if (library_ != nullptr) dlclose(library_);
}

void GaugeModule::setParameters(const char* parameters) {
  hasParameters_ = parameters != nullptr;
  parameters_ = parameters != nullptr ? parameters : "";
  header()->parameters = hasParameters_ ? parameters_.c_str() : nullptr;
}

void GaugeModule::callback(uint32_t service, GaugeExtra extra) {
  GaugeHeader* gauge = header();
  gauge->callback(gauge, service, extra);
}

void GaugeModule::install() {
  callback(kServiceInstalled, reinterpret_cast<GaugeExtra>(instance_));
}

uint32_t GaugeModule::routine(int number, uint32_t value) {
  GaugeHeader* gauge = header();
  switch (number) {
    case 1: return gauge->routine1();
    case 2: return gauge->routine2(value);
    case 3: return gauge->routine3();
    case 4: return gauge->routine4();
    case 5: return gauge->routine5(value);
    case 6: return gauge->routine6();
    case 7: return gauge->routine7();
    default: return 0;
  }
}

}  // namespace host
