// The C runtime calls that gauge modules make through the platform: heap
// allocation and stream open and close. Native modules are linked with
// --wrap for these names, so that a test can fail them and count what is live
// without touching the C runtime of the host or of the test framework.
#include <cstdio>
#include <cstdlib>

#include "world.h"

extern "C" {

void* __wrap_malloc(size_t bytes) {
  if (platform::shouldFail("malloc")) return nullptr;
  void* block = std::malloc(bytes);
  if (block != nullptr) ++platform::world().heapBlocks;
  return block;
}

// The compiler may turn malloc and a clearing memset into calloc.
void* __wrap_calloc(size_t count, size_t size) {
  if (platform::shouldFail("malloc")) return nullptr;
  void* block = std::calloc(count, size);
  if (block != nullptr) ++platform::world().heapBlocks;
  return block;
}

void __wrap_free(void* block) {
  if (block == nullptr) return;
  --platform::world().heapBlocks;
  std::free(block);
}

FILE* __wrap_fopen(const char* path, const char* mode) {
  if (platform::shouldFail("fopen")) return nullptr;
  FILE* stream = std::fopen(platform::nativePath(path).c_str(), mode);
  if (stream != nullptr) ++platform::world().streams;
  return stream;
}

int __wrap_fclose(FILE* stream) {
  if (stream == nullptr) return EOF;
  --platform::world().streams;
  return std::fclose(stream);
}

}  // extern "C"
