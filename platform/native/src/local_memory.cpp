// Local memory: fixed blocks only, the kind whose handle is its address.
#include <cstdlib>
#include <cstring>
#include <set>

#include "world.h"

namespace platform {
namespace {

std::set<void*>& liveBlocks() {
  static std::set<void*> blocks;
  return blocks;
}

// Fresh memory without LMEM_ZEROINIT holds whatever was there; a fixed
// pattern makes code that forgets to ask for zeroes fail every time.
constexpr unsigned char kUnclearedByte = 0xCD;

}  // namespace
}  // namespace platform

extern "C" {

HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
  if (platform::shouldFail("LocalAlloc")) return nullptr;
  // Movable and discardable blocks need LocalLock, which the gauges never call.
  if ((flags & ~static_cast<UINT>(LMEM_ZEROINIT)) != LMEM_FIXED) return nullptr;
  void* block = std::malloc(bytes != 0 ? bytes : 1);
  if (block == nullptr) return nullptr;
  std::memset(block, (flags & LMEM_ZEROINIT) != 0 ? 0 : platform::kUnclearedByte, bytes);
  platform::liveBlocks().insert(block);
  ++platform::world().localBlocks;
  return block;
}

HLOCAL WINAPI LocalFree(HLOCAL memory) {
  if (memory == nullptr) return nullptr;
  // Windows hands back a handle it cannot free; nothing else changes.
  if (platform::liveBlocks().erase(memory) == 0) return memory;
  std::free(memory);
  --platform::world().localBlocks;
  return nullptr;
}

}  // extern "C"
