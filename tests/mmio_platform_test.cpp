// The native mmio calls: opening for reading, RIFF chunk navigation with
// padding and parent bounds, files cut short, and direct buffer access through
// mmioGetInfo/mmioAdvance/mmioSetInfo mixed with reads and seeks.
#include <gtest/gtest.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform_control.h"
#include "support/test_support.h"
#include "support/wav_builder.h"

namespace {

using testing_support::patternBytes;
using testing_support::RiffBuilder;

constexpr MMRESULT kInvalidParameter = 11;
constexpr MMRESULT kInvalidHandle = 5;

FOURCC fourcc(const char* id) { return mmioFOURCC(id[0], id[1], id[2], id[3]); }

std::string idText(FOURCC id) {
  return std::string{static_cast<char>(id), static_cast<char>(id >> 8), static_cast<char>(id >> 16),
                     static_cast<char>(id >> 24)};
}

// A LIST chunk: a RIFF-style form under the id "LIST".
std::vector<uint8_t> listChunk(const RiffBuilder& contents) {
  std::vector<uint8_t> bytes = contents.build();
  std::memcpy(bytes.data(), "LIST", 4);
  return bytes;
}

// RIFF WAVE at 0 (size 82), "fmt " body at 20, "odd " (3 bytes) at 44, LIST
// INFO at 56 holding "INAM" (5 bytes) at 68, "data" (7 bytes) at 82, end at 90.
std::vector<uint8_t> walkImage() {
  return RiffBuilder()
      .fmt(testing_support::PcmFormat{})
      .chunk("odd ", {1, 2, 3})
      .raw(listChunk(RiffBuilder("INFO").chunk("INAM", {'t', 'r', 'i', 'm', 0})))
      .chunk("data", patternBytes(7))
      .build();
}

class MmioTest : public ::testing::Test {
 protected:
  MmioTest() {
    platform::reset();
    countsAtStart = platform::liveCounts();
  }
  ~MmioTest() override {
    EXPECT_EQ(platform::describe(platform::liveCounts()), platform::describe(countsAtStart));
  }

  HMMIO open(const std::string& name, const std::vector<uint8_t>& bytes, DWORD flags = MMIO_ALLOCBUF,
             MMIOINFO* info = nullptr) {
    scratch.write(name, bytes);
    std::string path = name;
    return mmioOpenA(&path[0], info, flags);
  }

  static LONG tell(HMMIO file) { return mmioSeek(file, 0, SEEK_CUR); }

  testing_support::ScratchFolder scratch;
  platform::LiveCounts countsAtStart{};
};

TEST_F(MmioTest, OpensExistingFilesForReadingOnly) {
  struct Case {
    DWORD flags;
    bool opens;
  };
  const Case cases[] = {{MMIO_READ, true}, {MMIO_ALLOCBUF, true}, {0x0001 /* write */, false},
                        {0x0002 /* read and write */, false}, {0x1000 /* create */, false},
                        {MMIO_ALLOCBUF | 0x1000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    HMMIO file = open("a.wav", walkImage(), c.flags);
    EXPECT_EQ(file != nullptr, c.opens);
    EXPECT_EQ(platform::liveCounts().mmioFiles, countsAtStart.mmioFiles + (c.opens ? 1 : 0));
    if (file != nullptr) {
      EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
    }
  }
  // Windows paths with backslashes, relative to the current folder.
  scratch.write("Sound/in.wav", walkImage());
  char windowsPath[] = "Sound\\in.wav";
  HMMIO file = mmioOpenA(windowsPath, nullptr, MMIO_ALLOCBUF);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioClose(file, 0), kInvalidHandle);

  MMIOINFO info = {};
  info.wErrorRet = 1234;
  char missing[] = "Sound\\missing.wav";
  EXPECT_EQ(mmioOpenA(missing, &info, MMIO_ALLOCBUF), nullptr);
  EXPECT_EQ(info.wErrorRet, UINT{MMIOERR_FILENOTFOUND});
  EXPECT_EQ(mmioOpenA(missing, nullptr, MMIO_READ), nullptr);
  char folder[] = "Sound";
  EXPECT_EQ(mmioOpenA(folder, nullptr, MMIO_READ), nullptr);
  EXPECT_EQ(mmioOpenA(nullptr, nullptr, MMIO_READ), nullptr);
}

// Both with and without an I/O buffer, a walk with flags 0 meets every chunk
// in turn, and ascending skips the pad byte of an odd one.
TEST_F(MmioTest, DescendAndAscendWalkFormsListsAndOddChunks) {
  for (DWORD flags : {DWORD{MMIO_READ}, DWORD{MMIO_ALLOCBUF}}) {
    SCOPED_TRACE(flags);
    HMMIO file = open("walk.wav", walkImage(), flags);
    ASSERT_NE(file, nullptr);
    MMCKINFO riff = {};
    ASSERT_EQ(mmioDescend(file, &riff, nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.ckid, FOURCC_RIFF);
    EXPECT_EQ(riff.fccType, fourcc("WAVE"));
    EXPECT_EQ(riff.cksize, 82u);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    EXPECT_EQ(tell(file), 12);

    std::string walk;
    MMCKINFO child = {};
    while (mmioDescend(file, &child, &riff, 0) == MMSYSERR_NOERROR) {
      walk += idText(child.ckid) + "@" + std::to_string(child.dwDataOffset) + ":" + std::to_string(child.cksize) +
              ">" + std::to_string(tell(file));
      EXPECT_EQ(mmioAscend(file, &child, 0), MMSYSERR_NOERROR);
      walk += "^" + std::to_string(tell(file)) + " ";
    }
    EXPECT_EQ(walk, "fmt @20:16>20^36 odd @44:3>44^48 LIST@56:18>60^74 data@82:7>82^90 ");
    EXPECT_EQ(tell(file), 90);

    // Searches by kind, each from the start of the form's contents.
    MMCKINFO list = {};
    list.fccType = fourcc("INFO");
    ASSERT_EQ(mmioSeek(file, 12, SEEK_SET), 12);
    ASSERT_EQ(mmioDescend(file, &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
    EXPECT_EQ(list.dwDataOffset, 56u);
    MMCKINFO name = {};
    ASSERT_EQ(mmioDescend(file, &name, &list, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(name.ckid, fourcc("INAM"));
    EXPECT_EQ(name.dwDataOffset, 68u);
    char text[5] = {};
    EXPECT_EQ(mmioRead(file, text, 5), 5);
    EXPECT_STREQ(text, "trim");
    EXPECT_EQ(mmioAscend(file, &name, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioDescend(file, &name, &list, 0), UINT{MMIOERR_CHUNKNOTFOUND});

    MMCKINFO form = {};
    form.fccType = fourcc("AVI ");
    ASSERT_EQ(mmioSeek(file, 0, SEEK_SET), 0);
    EXPECT_EQ(mmioDescend(file, &form, nullptr, MMIO_FINDRIFF), UINT{MMIOERR_CHUNKNOTFOUND});
    EXPECT_EQ(tell(file), 0);  // a failed search leaves the file where it was
    form.fccType = fourcc("WAVE");
    EXPECT_EQ(mmioDescend(file, &form, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(mmioDescend(file, &form, nullptr, MMIO_FINDRIFF | MMIO_FINDCHUNK), 10u);
    EXPECT_EQ(mmioDescend(file, nullptr, nullptr, 0), kInvalidParameter);
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  }
}

TEST_F(MmioTest, FindChunkStaysInsideItsParentAndFindsDataBeforeFormat) {
  std::vector<uint8_t> image = RiffBuilder()
                                   .data(patternBytes(9))
                                   .raw(listChunk(RiffBuilder("INFO").chunk("INAM", {1, 2})))
                                   .fmt(testing_support::PcmFormat{})
                                   .build();
  const std::vector<uint8_t> tail = {'t', 'a', 'i', 'l', 4, 0, 0, 0, 1, 2, 3, 4};
  image.insert(image.end(), tail.begin(), tail.end());
  HMMIO file = open("order.wav", image);
  ASSERT_NE(file, nullptr);
  MMCKINFO riff = {};
  ASSERT_EQ(mmioDescend(file, &riff, nullptr, 0), MMSYSERR_NOERROR);

  MMCKINFO format = {};
  format.ckid = fourcc("fmt ");
  ASSERT_EQ(mmioDescend(file, &format, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(format.cksize, 16u);
  ASSERT_EQ(mmioSeek(file, static_cast<LONG>(riff.dwDataOffset + 4), SEEK_SET), 12);
  MMCKINFO data = {};
  data.ckid = fourcc("data");
  ASSERT_EQ(mmioDescend(file, &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(data.dwDataOffset, 20u);
  EXPECT_EQ(data.cksize, 9u);

  // "tail" follows the form: a search inside the form must not reach it.
  ASSERT_EQ(mmioSeek(file, 12, SEEK_SET), 12);
  MMCKINFO outside = {};
  outside.ckid = fourcc("tail");
  EXPECT_EQ(mmioDescend(file, &outside, &riff, MMIO_FINDCHUNK), UINT{MMIOERR_CHUNKNOTFOUND});
  EXPECT_EQ(tell(file), 12);
  // Nor does a search inside the list reach "fmt " behind it.
  MMCKINFO list = {};
  list.fccType = fourcc("INFO");
  ASSERT_EQ(mmioDescend(file, &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioDescend(file, &format, &list, MMIO_FINDCHUNK), UINT{MMIOERR_CHUNKNOTFOUND});
  // Without a parent the search runs on to the end of the file.
  ASSERT_EQ(mmioSeek(file, 12, SEEK_SET), 12);
  ASSERT_EQ(mmioDescend(file, &outside, nullptr, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(outside.dwDataOffset, static_cast<DWORD>(image.size() - 4));
  EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

// Files whose headers promise more than they hold fail cleanly.
TEST_F(MmioTest, ChunkHeadersCutOffByTheFileOrTheParentAreNotFound) {
  const std::vector<uint8_t> whole = walkImage();
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    const char* find;  // nullptr: already the RIFF descent fails
  };
  const Case cases[] = {
      {"empty file", {}, nullptr},
      {"form type cut", std::vector<uint8_t>(whole.begin(), whole.begin() + 10), nullptr},
      {"data header cut", std::vector<uint8_t>(whole.begin(), whole.begin() + 78), "data"},
      {"form claims only its type", RiffBuilder().fmt({}).buildClaimingRiffSize(4), "fmt "},
      // The form ends 4 bytes into the header of "fmt ".
      {"header across the form's end", RiffBuilder().chunk("big ", {1, 2}).fmt({}).buildClaimingRiffSize(18), "fmt "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HMMIO file = open("cut.wav", c.image);
    ASSERT_NE(file, nullptr);
    MMCKINFO riff = {};
    if (c.find == nullptr) {
      EXPECT_EQ(mmioDescend(file, &riff, nullptr, 0), UINT{MMIOERR_CHUNKNOTFOUND});
      EXPECT_EQ(tell(file), 0);
    } else {
      ASSERT_EQ(mmioDescend(file, &riff, nullptr, 0), MMSYSERR_NOERROR);
      MMCKINFO chunk = {};
      chunk.ckid = fourcc(c.find);
      EXPECT_EQ(mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK), UINT{MMIOERR_CHUNKNOTFOUND});
      EXPECT_EQ(tell(file), 12);
    }
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  }

  // A chunk that claims more than the file holds is found; reading it stops at the end.
  std::vector<uint8_t> image = RiffBuilder().chunkClaiming("data", 1000, patternBytes(7), false).build();
  HMMIO file = open("long.wav", image);
  ASSERT_NE(file, nullptr);
  MMCKINFO riff = {}, data = {};
  ASSERT_EQ(mmioDescend(file, &riff, nullptr, 0), MMSYSERR_NOERROR);
  data.ckid = fourcc("data");
  ASSERT_EQ(mmioDescend(file, &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(data.cksize, 1000u);
  std::vector<char> into(1000);
  EXPECT_EQ(mmioRead(file, into.data(), 1000), 7);
  EXPECT_EQ(std::vector<uint8_t>(into.begin(), into.begin() + 7), patternBytes(7));
  EXPECT_EQ(mmioRead(file, into.data(), 1000), 0);
  EXPECT_EQ(mmioAscend(file, &data, 0), MMSYSERR_NOERROR);  // standing beyond the end is allowed
  EXPECT_EQ(tell(file), 1020);
  EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

TEST_F(MmioTest, SeekAndReadFollowWindowsRules) {
  const std::vector<uint8_t> bytes = patternBytes(100000);
  for (DWORD flags : {DWORD{MMIO_READ}, DWORD{MMIO_ALLOCBUF}}) {
    SCOPED_TRACE(flags);
    HMMIO file = open("plain.bin", bytes, flags);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(mmioSeek(file, 0, SEEK_END), 100000);
    EXPECT_EQ(mmioSeek(file, -10, SEEK_CUR), 99990);
    char tail[20];
    EXPECT_EQ(mmioRead(file, tail, 20), 10);
    EXPECT_EQ(std::memcmp(tail, bytes.data() + 99990, 10), 0);
    EXPECT_EQ(mmioRead(file, tail, 20), 0);
    EXPECT_EQ(mmioSeek(file, 5000, SEEK_END), 105000);
    EXPECT_EQ(mmioRead(file, tail, 20), 0);
    EXPECT_EQ(mmioSeek(file, -1, SEEK_SET), -1);
    EXPECT_EQ(mmioSeek(file, 0, 7), -1);
    EXPECT_EQ(tell(file), 105000);
    EXPECT_EQ(mmioRead(file, tail, -1), -1);
    EXPECT_EQ(mmioRead(file, nullptr, 0), 0);
    // One long read over the whole file, starting inside the buffered bytes.
    ASSERT_EQ(mmioSeek(file, 3, SEEK_SET), 3);
    ASSERT_EQ(mmioRead(file, tail, 1), 1);
    std::vector<char> rest(100000);
    EXPECT_EQ(mmioRead(file, rest.data(), 100000), 99996);
    EXPECT_EQ(std::memcmp(rest.data(), bytes.data() + 4, 99996), 0);
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  }
}

// Direct buffer access, as a byte-by-byte reader uses it, mixed with mmioRead
// and mmioSeek: every byte must be the file's byte at the position stated.
TEST_F(MmioTest, DirectBufferAccessAgreesWithTheFileAcrossRefillsReadsAndSeeks) {
  const std::vector<uint8_t> bytes = patternBytes(300001, 7);
  static char callerBuffer[3000];
  struct Case {
    const char* what;
    LONG infoBufferBytes;
    bool callerOwned;
    LONG expectedBufferBytes;
  };
  const Case cases[] = {{"default buffer", 0, false, 64 * 1024},
                        {"small buffer", 1000, false, 1000},
                        {"caller's buffer", 3000, true, 3000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MMIOINFO openInfo = {};
    openInfo.cchBuffer = c.infoBufferBytes;
    openInfo.pchBuffer = c.callerOwned ? callerBuffer : nullptr;
    HMMIO file = open("big.bin", bytes, c.callerOwned ? MMIO_READ : MMIO_ALLOCBUF, &openInfo);
    ASSERT_NE(file, nullptr);

    uint32_t random = 12345;
    const auto next = [&random](uint32_t below) {
      random = random * 1103515245u + 12345u;
      return (random >> 8) % below;
    };
    long position = 0;
    long advancesAtEnd = 0;
    for (int step = 0; step < 400; ++step) {
      const uint32_t what = next(10);
      if (what < 5) {
        MMIOINFO info;
        ASSERT_EQ(mmioGetInfo(file, &info, 0), MMSYSERR_NOERROR);
        ASSERT_EQ(info.cchBuffer, c.expectedBufferBytes);
        ASSERT_EQ(info.lBufOffset + (info.pchNext - info.pchBuffer), position);
        ASSERT_LE(info.pchEndRead - info.pchBuffer, info.cchBuffer);
        const long wanted = next(8000);
        long got = 0;
        for (; got < wanted; ++got) {
          if (info.pchNext == info.pchEndRead) {
            ASSERT_EQ(mmioAdvance(file, &info, MMIO_READ), MMSYSERR_NOERROR);
            ASSERT_EQ(info.pchNext, info.pchBuffer);
            ASSERT_EQ(info.lBufOffset, position + got);
            if (info.pchNext == info.pchEndRead) {
              ++advancesAtEnd;
              break;
            }
          }
          ASSERT_EQ(static_cast<uint8_t>(*info.pchNext), bytes[position + got]) << "at " << position + got;
          ++info.pchNext;
        }
        ASSERT_EQ(got, std::min<long>(wanted, std::max<long>(0, static_cast<long>(bytes.size()) - position)));
        ASSERT_EQ(mmioSetInfo(file, &info, 0), MMSYSERR_NOERROR);
        position += got;
      } else if (what < 8) {
        const long wanted = what == 7 ? next(150000) : next(3000);
        std::vector<char> into(wanted);
        const long expected = std::min<long>(wanted, std::max<long>(0, static_cast<long>(bytes.size()) - position));
        ASSERT_EQ(mmioRead(file, into.data(), wanted), expected);
        if (expected > 0) {
          ASSERT_EQ(std::memcmp(into.data(), bytes.data() + position, expected), 0);
        }
        position += expected;
      } else if (what == 8) {
        position = next(305000);
        ASSERT_EQ(mmioSeek(file, position, SEEK_SET), position);
      } else {
        const long by = static_cast<long>(next(4000)) - 2000;
        if (position + by < 0) continue;
        position += by;
        ASSERT_EQ(mmioSeek(file, by, SEEK_CUR), position);
      }
      ASSERT_EQ(tell(file), position) << "after step " << step;
    }
    EXPECT_GT(advancesAtEnd, 0);  // the walk reached the end of the file at least once

    // What is handed back must be what was handed out.
    MMIOINFO info;
    ASSERT_EQ(mmioGetInfo(file, &info, 0), MMSYSERR_NOERROR);
    MMIOINFO foreign = info;
    foreign.pchNext = info.pchEndRead + 1;
    EXPECT_EQ(mmioSetInfo(file, &foreign, 0), kInvalidParameter);
    EXPECT_EQ(mmioAdvance(file, &foreign, MMIO_READ), kInvalidParameter);
    foreign.pchBuffer = nullptr;
    EXPECT_EQ(mmioSetInfo(file, &foreign, 0), kInvalidParameter);
    EXPECT_EQ(mmioAdvance(file, &info, 0x0001 /* write */), UINT{MMIOERR_CANNOTWRITE});
    EXPECT_EQ(tell(file), position);
    EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  }

  HMMIO unbuffered = open("big.bin", bytes, MMIO_READ);
  ASSERT_NE(unbuffered, nullptr);
  MMIOINFO info = {};
  EXPECT_EQ(mmioGetInfo(unbuffered, &info, 0), UINT{MMIOERR_UNBUFFERED});
  EXPECT_EQ(mmioAdvance(unbuffered, &info, MMIO_READ), UINT{MMIOERR_UNBUFFERED});
  EXPECT_EQ(mmioSetInfo(unbuffered, &info, 0), UINT{MMIOERR_UNBUFFERED});
  EXPECT_EQ(mmioClose(unbuffered, 0), MMSYSERR_NOERROR);
}

// An injected failure returns the call's failure value and leaves the file
// where it stood.
TEST_F(MmioTest, InjectedFailuresReturnTheFailureAndLeaveTheFileAsItWas) {
  HMMIO file = open("walk.wav", walkImage());
  ASSERT_NE(file, nullptr);
  MMCKINFO riff = {};
  ASSERT_EQ(mmioDescend(file, &riff, nullptr, 0), MMSYSERR_NOERROR);
  MMIOINFO unchanged;
  std::memset(&unchanged, 0x5A, sizeof unchanged);

  struct Case {
    const char* name;
    long expected;
    long (*call)(HMMIO, MMCKINFO*, MMIOINFO*);
  };
  const Case cases[] = {
      {"mmioOpenA", 0,
       [](HMMIO, MMCKINFO*, MMIOINFO*) {
         char path[] = "walk.wav";
         return static_cast<long>(reinterpret_cast<intptr_t>(mmioOpenA(path, nullptr, MMIO_ALLOCBUF)));
       }},
      {"mmioRead", -1,
       [](HMMIO f, MMCKINFO*, MMIOINFO*) {
         char into[4];
         return static_cast<long>(mmioRead(f, into, 4));
       }},
      {"mmioSeek", -1, [](HMMIO f, MMCKINFO*, MMIOINFO*) { return static_cast<long>(mmioSeek(f, 20, SEEK_SET)); }},
      {"mmioDescend", MMIOERR_CHUNKNOTFOUND,
       [](HMMIO f, MMCKINFO* riff, MMIOINFO*) {
         MMCKINFO chunk = {};
         return static_cast<long>(mmioDescend(f, &chunk, riff, 0));
       }},
      {"mmioAscend", MMIOERR_CANNOTSEEK,
       [](HMMIO f, MMCKINFO* riff, MMIOINFO*) { return static_cast<long>(mmioAscend(f, riff, 0)); }},
      {"mmioGetInfo", MMIOERR_UNBUFFERED,
       [](HMMIO f, MMCKINFO*, MMIOINFO* info) { return static_cast<long>(mmioGetInfo(f, info, 0)); }},
      {"mmioSetInfo", MMIOERR_UNBUFFERED,
       [](HMMIO f, MMCKINFO*, MMIOINFO*) {
         MMIOINFO info;
         mmioGetInfo(f, &info, 0);
         info.pchNext = info.pchEndRead;
         return static_cast<long>(mmioSetInfo(f, &info, 0));
       }},
      {"mmioAdvance", MMIOERR_CANNOTREAD,
       [](HMMIO f, MMCKINFO*, MMIOINFO* info) {
         mmioGetInfo(f, info, 0);
         return static_cast<long>(mmioAdvance(f, info, MMIO_READ));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::clearFaults();
    platform::failCall(c.name);
    MMIOINFO info = unchanged;
    EXPECT_EQ(c.call(file, &riff, &info), c.expected);
    EXPECT_EQ(platform::injectedFailures(), 1);
    if (std::string(c.name) == "mmioGetInfo") {
      EXPECT_EQ(std::memcmp(&info, &unchanged, sizeof info), 0);
    }
    platform::clearFaults();
    EXPECT_EQ(tell(file), 12);
    EXPECT_EQ(platform::liveCounts().mmioFiles, countsAtStart.mmioFiles + 1);
  }
  // Closing always closes.
  platform::failNthCall(1);
  EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(platform::failableCallCount(), 0);
}

}  // namespace
