// The WAV file reader on files made chunk by chunk: what it takes as the
// format block and the data, what it refuses, and reading in pieces and again
// from the start.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sound_player/wave_file_reader.h"
#include "test_support.h"
#include "wav_builder.h"

namespace {

using testing_support::appendLittleEndian;
using testing_support::formatBodyWithExtra;
using testing_support::GaugeTest;
using testing_support::patternBytes;
using testing_support::pcmFormatBody;
using testing_support::PcmFormat;
using testing_support::RiffBuilder;

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> formatBlockBytes(const WAVEFORMATEX* format) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(format);
  return std::vector<uint8_t>(bytes, bytes + 18 + format->cbSize);
}

std::vector<uint8_t> readAll(WaveFileReader& reader, DWORD count, HRESULT* result) {
  std::vector<uint8_t> bytes(count + 1, 0xEE);
  DWORD got = 12345;
  *result = reader.read(count, bytes.data(), &got);
  bytes.resize(got);
  return bytes;
}

class WaveFileReaderTest : public GaugeTest {
 protected:
  std::string write(const std::vector<uint8_t>& image) { return scratch.write("sound.wav", image); }
};

TEST_F(WaveFileReaderTest, TakesTheFormatAndDataOfWellFormedFilesAndRefusesTheRest) {
  PcmFormat stereo;
  stereo.channels = 2;
  const std::vector<uint8_t> samples = patternBytes(100);
  const std::vector<uint8_t> oddSamples = patternBytes(101, 7);
  const std::vector<uint8_t> pcmBlock = concat(pcmFormatBody(stereo), {0, 0});
  // A non-PCM tag (IMA ADPCM) with three extra bytes: a 21-byte, padded chunk.
  const std::vector<uint8_t> adpcmBody = formatBodyWithExtra(0x11, stereo, {0xF9, 0x01, 0x42});
  std::vector<uint8_t> floatBody = pcmFormatBody(stereo);
  floatBody[0] = 3;
  std::vector<uint8_t> overlongExtra = concat(pcmFormatBody(stereo), {10, 0, 1, 2, 3, 4});
  overlongExtra[0] = 2;
  std::vector<uint8_t> notRiff = testing_support::pcmWav(stereo, samples);
  std::memcpy(notRiff.data(), "RIFX", 4);
  std::vector<uint8_t> cutInFormat = testing_support::pcmWav(stereo, samples);
  cutInFormat.resize(30);
  const std::vector<uint8_t> stereoBody = pcmFormatBody(stereo);
  const std::vector<uint8_t> fmt14(stereoBody.begin(), stereoBody.begin() + 14);
  const std::vector<uint8_t> fmt15(stereoBody.begin(), stereoBody.begin() + 15);

  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    HRESULT result;
    std::vector<uint8_t> block;  // on success
    std::vector<uint8_t> data;   // on success
    bool heldAfterFailure;       // format and file kept when only the data was not found
  };
  const Case cases[] = {
      {"plain PCM", RiffBuilder().fmt(stereo).data(samples).build(), S_OK, pcmBlock, samples, false},
      {"PCM with an 18-byte fmt whose count is not 0",
       RiffBuilder().chunk("fmt ", concat(pcmFormatBody(stereo), {5, 0})).data(samples).build(), S_OK,
       pcmBlock, samples, false},
      {"non-PCM with extra bytes", RiffBuilder().chunk("fmt ", adpcmBody).data(samples).build(), S_OK,
       adpcmBody, samples, false},
      {"non-PCM with a 16-byte fmt has no extra count",
       RiffBuilder().chunk("fmt ", floatBody).data(samples).build(), S_OK, concat(floatBody, {0, 0}), samples,
       false},
      {"non-PCM whose extra bytes overrun the chunk",
       RiffBuilder().chunk("fmt ", overlongExtra).data(samples).build(), E_FAIL, {}, {}, false},
      {"data before fmt", RiffBuilder().data(samples).fmt(stereo).build(), S_OK, pcmBlock, samples, false},
      {"LIST and odd-sized chunks around fmt, odd data",
       RiffBuilder()
           .chunk("LIST", patternBytes(7, 3))
           .fmt(stereo)
           .chunk("junk", patternBytes(3, 4))
           .data(oddSamples)
           .chunk("LIST", patternBytes(5, 5))
           .build(),
       S_OK, pcmBlock, oddSamples, false},
      {"empty data", RiffBuilder().fmt(stereo).data({}).build(), S_OK, pcmBlock, {}, false},
      {"fmt of 14 bytes", RiffBuilder().chunk("fmt ", fmt14).data(samples).build(), E_FAIL, {}, {}, false},
      {"fmt of 15 bytes", RiffBuilder().chunk("fmt ", fmt15).data(samples).build(), E_FAIL, {}, {}, false},
      {"not RIFF", notRiff, E_FAIL, {}, {}, false},
      {"RIFF but not WAVE", RiffBuilder("AVI ").fmt(stereo).data(samples).build(), E_FAIL, {}, {}, false},
      {"no fmt", RiffBuilder().data(samples).build(), E_FAIL, {}, {}, false},
      {"cut inside fmt", cutInFormat, E_FAIL, {}, {}, false},
      {"empty file", {}, E_FAIL, {}, {}, false},
      {"no data", RiffBuilder().fmt(stereo).build(), E_FAIL, {}, {}, true},
      {"data chunk longer than the file",
       RiffBuilder().fmt(stereo).chunkClaiming("data", 1000, samples).build(), E_FAIL, {}, {}, true},
      {"data chunk claiming 4 GiB",
       RiffBuilder().fmt(stereo).chunkClaiming("data", 0xFFFFFFF0u, samples).build(), E_FAIL, {}, {}, true},
  };
  const platform::LiveCounts start = platform::liveCounts();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write(c.image);
    {
      WaveFileReader reader;
      const HRESULT opened = reader.open(path.c_str());
      EXPECT_EQ(opened, c.result);
      if (opened == S_OK) {
        ASSERT_NE(reader.format, nullptr);
        EXPECT_EQ(formatBlockBytes(reader.format), c.block);
        EXPECT_EQ(reader.dataChunk.cksize, c.data.size());
        HRESULT result = E_FAIL;
        EXPECT_EQ(readAll(reader, 100000, &result), c.data);
        EXPECT_EQ(result, S_OK);
        EXPECT_EQ(reader.dataChunk.cksize, 0u);
      } else {
        EXPECT_EQ(reader.format != nullptr, c.heldAfterFailure);
        EXPECT_EQ(reader.file != nullptr, c.heldAfterFailure);
      }
    }
    EXPECT_EQ(platform::liveCounts(), start) << platform::describe(platform::liveCounts());
  }

  WaveFileReader missing;
  EXPECT_EQ(missing.open("no/such/file.wav"), E_FAIL);
  EXPECT_EQ(missing.format, nullptr);
  EXPECT_EQ(missing.file, nullptr);
}

TEST_F(WaveFileReaderTest, ReadsInPiecesAcrossItsBufferAndAgainAfterARewind) {
  // Larger than the I/O buffer, so that the reads cross its refills.
  const std::vector<uint8_t> samples = patternBytes(200003, 9);
  const std::string path = write(testing_support::pcmWav(PcmFormat(), samples));
  WaveFileReader reader;
  ASSERT_EQ(reader.open(path.c_str()), S_OK);

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::vector<uint8_t> gathered;
    const DWORD pieces[] = {0, 7, 65536, 70001, 200003};  // the last asks for more than is left
    const DWORD expectedCounts[] = {0, 7, 65536, 70001, 200003 - 7 - 65536 - 70001};
    for (size_t i = 0; i < 5; ++i) {
      HRESULT result = E_FAIL;
      const std::vector<uint8_t> piece = readAll(reader, pieces[i], &result);
      EXPECT_EQ(result, S_OK);
      EXPECT_EQ(piece.size(), expectedCounts[i]);
      gathered.insert(gathered.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(gathered, samples);
    HRESULT result = E_FAIL;
    EXPECT_TRUE(readAll(reader, 10, &result).empty()) << "nothing is left at the end";
    EXPECT_EQ(result, S_OK);
    ASSERT_EQ(reader.rewind(), S_OK);
    EXPECT_EQ(reader.dataChunk.cksize, samples.size());
  }
}

TEST_F(WaveFileReaderTest, AFailedReadCountsTheWholeRequestAndARewindRecovers) {
  const std::vector<uint8_t> samples = patternBytes(300000, 5);
  const std::string path = write(testing_support::pcmWav(PcmFormat(), samples));
  WaveFileReader reader;
  ASSERT_EQ(reader.open(path.c_str()), S_OK);

  // An I/O error in the middle of the data.
  platform::failCall("mmioAdvance", 2);
  std::vector<uint8_t> destination(samples.size(), 0);
  DWORD got = 99;
  EXPECT_EQ(reader.read(250000, destination.data(), &got), E_FAIL);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(reader.dataChunk.cksize, 50000u);
  platform::clearFaults();

  ASSERT_EQ(reader.rewind(), S_OK);
  HRESULT result = E_FAIL;
  EXPECT_EQ(readAll(reader, 300000, &result), samples);
  EXPECT_EQ(result, S_OK);

  // The file cut short after it was opened: the read runs into its end.
  std::filesystem::resize_file(path, 1000);
  ASSERT_EQ(reader.rewind(), S_OK);
  EXPECT_EQ(reader.read(300000, destination.data(), &got), E_FAIL);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(reader.dataChunk.cksize, 0u);
}

}  // namespace
