// Files opened for reading, file mappings and mapped views, as Windows gives
// them: a file handle, a mapping object made from it, and views of the
// mapping. The mapping holds the file open on its own and a view holds the
// mapping on its own, so a gauge may close both handles and keep reading the
// view until it unmaps it.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <set>

#include "world.h"

namespace platform {
namespace {

// What a kernel handle stands for. Both kinds keep a descriptor of their own,
// so that closing one handle never closes what the other still needs.
struct KernelObject {
  enum Kind { File, Mapping } kind;
  int descriptor;
  uint64_t mappingBytes;  // Mapping only: how much of the file it covers
};

struct MappingTables {
  std::set<KernelObject*> handles;
  std::map<const void*, size_t> views;  // base address -> mapped length
};

MappingTables& tables() {
  static MappingTables state;
  return state;
}

KernelObject* liveObject(HANDLE handle, KernelObject::Kind kind) {
  auto* object = static_cast<KernelObject*>(handle);
  if (tables().handles.count(object) == 0 || object->kind != kind) return nullptr;
  return object;
}

HANDLE track(KernelObject* object) {
  tables().handles.insert(object);
  ++world().kernelHandles;
  return object;
}

}  // namespace
}  // namespace platform

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                          DWORD creationDisposition, DWORD, HANDLE) {
  if (platform::shouldFail("CreateFileA")) return INVALID_HANDLE_VALUE;
  // The gauges only ever read files that must already exist.
  if (fileName == nullptr || desiredAccess != GENERIC_READ || creationDisposition != OPEN_EXISTING) {
    return INVALID_HANDLE_VALUE;
  }
  const int descriptor = open(platform::nativePath(fileName).c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return INVALID_HANDLE_VALUE;
  struct stat status = {};
  // Windows will not open a folder as a file without a flag the gauges never pass.
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return INVALID_HANDLE_VALUE;
  }
  platform::world().lastOpened = fileName;
  return platform::track(
      new platform::KernelObject{platform::KernelObject::File, descriptor, 0});
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  if (platform::shouldFail("GetFileSize")) return INVALID_FILE_SIZE;
  platform::KernelObject* object = platform::liveObject(file, platform::KernelObject::File);
  struct stat status = {};
  if (object == nullptr || fstat(object->descriptor, &status) != 0) return INVALID_FILE_SIZE;
  const auto size = static_cast<uint64_t>(status.st_size);
  if (fileSizeHigh != nullptr) *fileSizeHigh = static_cast<DWORD>(size >> 32);
  return static_cast<DWORD>(size);
}

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect,
                                 DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR) {
  if (platform::shouldFail("CreateFileMappingA")) return nullptr;
  platform::KernelObject* object = platform::liveObject(file, platform::KernelObject::File);
  if (object == nullptr || protect != PAGE_READONLY) return nullptr;
  struct stat status = {};
  if (fstat(object->descriptor, &status) != 0) return nullptr;
  const auto fileBytes = static_cast<uint64_t>(status.st_size);
  const uint64_t asked = (uint64_t{maximumSizeHigh} << 32) | maximumSizeLow;
  // Size 0 means the whole file, and an empty file has nothing to map; a
  // read-only mapping cannot grow the file, so asking for more than it holds fails.
  const uint64_t bytes = asked == 0 ? fileBytes : asked;
  if (bytes == 0 || bytes > fileBytes) return nullptr;
  const int descriptor = dup(object->descriptor);
  if (descriptor < 0) return nullptr;
  return platform::track(
      new platform::KernelObject{platform::KernelObject::Mapping, descriptor, bytes});
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                            SIZE_T bytesToMap) {
  if (platform::shouldFail("MapViewOfFile")) return nullptr;
  platform::KernelObject* object = platform::liveObject(mapping, platform::KernelObject::Mapping);
  // Only whole read-only views from the start: all the gauges ask for.
  if (object == nullptr || desiredAccess != FILE_MAP_READ || offsetHigh != 0 || offsetLow != 0) {
    return nullptr;
  }
  if (bytesToMap > object->mappingBytes) return nullptr;
  const size_t length = bytesToMap != 0 ? bytesToMap : static_cast<size_t>(object->mappingBytes);
  // mmap keeps the file mapped after the descriptor is closed, as a view
  // outlives its handles on Windows.
  void* view = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, object->descriptor, 0);
  if (view == MAP_FAILED) return nullptr;
  platform::tables().views[view] = length;
  ++platform::world().views;
  return view;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID baseAddress) {
  auto& views = platform::tables().views;
  auto found = views.find(baseAddress);
  if (found == views.end()) return FALSE;
  munmap(const_cast<void*>(found->first), found->second);
  views.erase(found);
  --platform::world().views;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  auto* object = static_cast<platform::KernelObject*>(handle);
  if (platform::tables().handles.erase(object) == 0) return FALSE;
  close(object->descriptor);
  delete object;
  --platform::world().kernelHandles;
  return TRUE;
}

}  // extern "C"
