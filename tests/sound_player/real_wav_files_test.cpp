// Real WAV files that nobody here wrote (alsa-utils' test sounds): the format
// block and the bytes that end up in the sound buffer are what libsndfile
// reads from the same files.
#include <sndfile.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sound_player/sound_bank.h"
#include "test_support.h"

namespace {

using testing_support::GaugeTest;

const char kRealSounds[] = "/usr/share/sounds/alsa";

struct Reference {
  SF_INFO info{};
  int bitsPerSample = 0;
  std::vector<uint8_t> data;  // the data chunk's bytes as stored
};

Reference readWithSndfile(const std::string& path) {
  Reference reference;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &reference.info);
  if (file == nullptr) {
    ADD_FAILURE() << "libsndfile cannot read " << path << ": " << sf_strerror(nullptr);
    return reference;
  }
  switch (reference.info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8: reference.bitsPerSample = 8; break;
    case SF_FORMAT_PCM_16: reference.bitsPerSample = 16; break;
    case SF_FORMAT_PCM_24: reference.bitsPerSample = 24; break;
    case SF_FORMAT_PCM_32: reference.bitsPerSample = 32; break;
    default: ADD_FAILURE() << path << " is not plain PCM"; break;
  }
  const sf_count_t bytes = reference.info.frames * reference.info.channels * (reference.bitsPerSample / 8);
  reference.data.resize(static_cast<size_t>(bytes));
  EXPECT_EQ(sf_read_raw(file, reference.data.data(), bytes), bytes);
  sf_close(file);
  return reference;
}

TEST_F(GaugeTest, RealWavFilesLoadAsLibsndfileReadsThem) {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(kRealSounds)) {
    if (entry.path().extension() == ".wav") paths.push_back(entry.path().string());
  }
  ASSERT_FALSE(paths.empty()) << kRealSounds << "/*.wav come with the package alsa-utils";

  ASSERT_EQ(SoundBank::connect(), S_OK);
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    const Reference reference = readWithSndfile(path);
    ASSERT_FALSE(reference.data.empty());
    ASSERT_EQ(SoundBank::loadSlot(0, path.c_str()), S_OK);

    const WAVEFORMATEX* format = SoundBank::bank.readers[0]->format;
    const unsigned blockAlign = reference.info.channels * reference.bitsPerSample / 8;
    EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format->nChannels, reference.info.channels);
    EXPECT_EQ(format->nSamplesPerSec, static_cast<DWORD>(reference.info.samplerate));
    EXPECT_EQ(format->nAvgBytesPerSec, reference.info.samplerate * blockAlign);
    EXPECT_EQ(format->nBlockAlign, blockAlign);
    EXPECT_EQ(format->wBitsPerSample, reference.bitsPerSample);
    EXPECT_EQ(format->cbSize, 0);

    platform::BufferState buffer{};
    ASSERT_TRUE(platform::bufferState(platform::bufferId(SoundBank::bank.buffers[0]), &buffer));
    EXPECT_EQ(buffer.format.nChannels, reference.info.channels);
    EXPECT_EQ(buffer.format.nSamplesPerSec, static_cast<DWORD>(reference.info.samplerate));
    EXPECT_EQ(buffer.bytes, reference.data);
    SoundBank::releaseSlot(0);
  }
  SoundBank::disconnect();
  EXPECT_EQ(platform::liveCounts(), countsAtStart);
}

}  // namespace
