// The native platform's files, mappings, views and local memory, as the trim
// gauge relies on them.
#include <cstring>

#include "test_support.h"

namespace {

class KernelPlatformTest : public testing_support::GaugeTest {
 protected:
  ~KernelPlatformTest() override {
    EXPECT_EQ(platform::liveCounts(), countsAtStart) << platform::describe(platform::liveCounts());
  }
  HANDLE open(const char* name) {
    return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  }
};

TEST_F(KernelPlatformTest, ViewOutlivesBothHandles) {
  scratch.write("Sound/data.bin", std::string("0123456789"));
  HANDLE file = open("Sound\\data.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD high = 99;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(platform::liveCounts().kernelHandles, countsAtStart.kernelHandles + 2);
  EXPECT_TRUE(CloseHandle(file));
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_EQ(platform::liveCounts().kernelHandles, countsAtStart.kernelHandles);
  EXPECT_EQ(platform::liveCounts().views, countsAtStart.views + 1);
  EXPECT_EQ(std::memcmp(view, "0123456789", 10), 0);
  // A closed handle, an unmapped view: nothing more to give back.
  EXPECT_FALSE(CloseHandle(mapping));
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0), nullptr);
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
}

TEST_F(KernelPlatformTest, WhatCannotBeOpenedOrMapped) {
  EXPECT_EQ(open("missing.bin"), INVALID_HANDLE_VALUE);
  scratch.write("folder/x.bin", std::string("x"));
  EXPECT_EQ(open("folder"), INVALID_HANDLE_VALUE);
  scratch.write("empty.bin", std::string());
  HANDLE file = open("empty.bin");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  CloseHandle(file);

  scratch.write("ten.bin", std::string("0123456789"));
  file = open("ten.bin");
  // A read-only mapping cannot be larger than its file; a smaller one can.
  EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 11, nullptr), nullptr);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 4, nullptr);
  ASSERT_NE(mapping, nullptr);
  CloseHandle(file);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 5), nullptr);
  const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::memcmp(view, "0123", 4), 0);
  CloseHandle(mapping);
  UnmapViewOfFile(view);
}

TEST_F(KernelPlatformTest, EachFailableCallFailsByName) {
  scratch.write("ten.bin", std::string("0123456789"));
  platform::failCall("CreateFileA");
  EXPECT_EQ(open("ten.bin"), INVALID_HANDLE_VALUE);
  HANDLE file = open("ten.bin");
  platform::failCall("GetFileSize");
  EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
  platform::failCall("CreateFileMappingA");
  EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  platform::failCall("MapViewOfFile");
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0), nullptr);
  platform::failCall("LocalAlloc");
  EXPECT_EQ(LocalAlloc(LPTR, 16), nullptr);
  EXPECT_EQ(platform::injectedFailures(), 5);
  CloseHandle(mapping);
  CloseHandle(file);
}

TEST_F(KernelPlatformTest, LocalBlocksAreFixedAndZeroedOnlyWhenAsked) {
  auto* zeroed = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, 64));
  auto* raw = static_cast<unsigned char*>(LocalAlloc(LMEM_FIXED, 64));
  ASSERT_NE(zeroed, nullptr);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(platform::liveCounts().localBlocks, countsAtStart.localBlocks + 2);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0) << i;
  EXPECT_NE(raw[0], 0);
  // Movable blocks need LocalLock, which is not there.
  EXPECT_EQ(LocalAlloc(0x0002, 64), nullptr);
  EXPECT_EQ(LocalFree(zeroed), nullptr);
  EXPECT_EQ(LocalFree(zeroed), zeroed);  // no longer a block: handed back
  EXPECT_EQ(LocalFree(raw), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

}  // namespace
