// Module resources. A native module registers the resources its build
// generated when it loads; tests add their own. A module handle is the base
// address of the module's image, as on Windows.
#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "world.h"

namespace platform {
namespace {

struct Resource {
  std::string type;
  std::string name;
  std::vector<uint8_t> bytes;
};

using ResourceList = std::vector<std::unique_ptr<Resource>>;

struct ResourceTables {
  std::map<HMODULE, ResourceList> built;  // registered by the modules themselves
  std::map<HMODULE, ResourceList> added;  // added by tests; cleared by reset()
};

ResourceTables& tables() {
  static ResourceTables state;
  return state;
}

// Resource names and types compare without regard to case, and an integer
// id compares as "#id".
std::string resourceKey(LPCSTR nameOrId) {
  if (nameOrId == nullptr) return "";
  if (IS_INTRESOURCE(nameOrId)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(nameOrId));
  std::string key = nameOrId;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

std::string upper(const std::string& text) { return resourceKey(text.c_str()); }

Resource* findIn(ResourceList& list, const std::string& type, const std::string& name) {
  for (auto& resource : list) {
    if (upper(resource->type) == type && upper(resource->name) == name) return resource.get();
  }
  return nullptr;
}

bool isResource(HMODULE module, const void* handle) {
  for (auto* map : {&tables().added, &tables().built}) {
    auto found = map->find(module);
    if (found == map->end()) continue;
    for (auto& resource : found->second) {
      if (resource.get() == handle) return true;
    }
  }
  return false;
}

const bool hooked = (onReset([] { tables().added.clear(); }), true);

}  // namespace

void addResource(HMODULE module, const std::string& type, const std::string& name,
                 const std::vector<uint8_t>& bytes) {
  removeResource(module, type, name);
  tables().added[module].push_back(std::make_unique<Resource>(Resource{type, name, bytes}));
}

void removeResource(HMODULE module, const std::string& type, const std::string& name) {
  auto& list = tables().added[module];
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (upper((*it)->type) == upper(type) && upper((*it)->name) == upper(name)) {
      list.erase(it);
      return;
    }
  }
}

}  // namespace platform

extern "C" {

void platformRegisterModuleResources(const void* anchor, const PlatformResourceEntry* entries,
                                     unsigned long count) {
  auto& list = platform::tables().built[platform::moduleHandleOf(anchor)];
  for (unsigned long i = 0; i < count; ++i) {
    list.push_back(std::make_unique<platform::Resource>(platform::Resource{
        entries[i].type, entries[i].name,
        std::vector<uint8_t>(entries[i].bytes, entries[i].bytes + entries[i].size)}));
  }
}

void platformUnregisterModuleResources(const void* anchor) {
  const HMODULE module = platform::moduleHandleOf(anchor);
  platform::tables().built.erase(module);
  platform::tables().added.erase(module);
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (platform::shouldFail("FindResourceA")) return nullptr;
  const std::string typeKey = platform::resourceKey(type);
  const std::string nameKey = platform::resourceKey(name);
  // A test's own resource stands in front of the one the module was built with.
  for (auto* map : {&platform::tables().added, &platform::tables().built}) {
    auto found = map->find(module);
    if (found == map->end()) continue;
    if (auto* resource = platform::findIn(found->second, typeKey, nameKey)) {
      platform::world().lastOpened = IS_INTRESOURCE(name) ? nameKey : name;
      return reinterpret_cast<HRSRC>(resource);
    }
  }
  return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource) {
  if (platform::shouldFail("LoadResource")) return nullptr;
  if (resource == nullptr || !platform::isResource(module, resource)) return nullptr;
  return resource;
}

LPVOID WINAPI LockResource(HGLOBAL resourceData) {
  if (platform::shouldFail("LockResource")) return nullptr;
  if (resourceData == nullptr) return nullptr;
  auto* resource = static_cast<platform::Resource*>(resourceData);
  return resource->bytes.empty() ? nullptr : resource->bytes.data();
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource) {
  if (platform::shouldFail("SizeofResource")) return 0;
  if (resource == nullptr || !platform::isResource(module, resource)) return 0;
  return static_cast<DWORD>(reinterpret_cast<platform::Resource*>(resource)->bytes.size());
}

}  // extern "C"
