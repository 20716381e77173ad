// Builds RIFF/WAVE images for tests, chunk by chunk, so that a test can make
// exactly the file it needs: odd chunk sizes, chunks out of order, sizes that
// lie, files cut short.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <mmsystem.h>

namespace testing_support {

struct PcmFormat {
  uint16_t channels = 1;
  uint32_t sampleRate = 22050;
  uint16_t bitsPerSample = 16;
  uint16_t blockAlign() const { return static_cast<uint16_t>(channels * bitsPerSample / 8); }
  uint32_t bytesPerSecond() const { return sampleRate * blockAlign(); }
};

// A PCM format record as DirectSound takes it.
WAVEFORMATEX pcmWaveFormat(WORD channels, DWORD sampleRate, WORD bitsPerSample);

// The 16 bytes of a PCM "fmt " body.
std::vector<uint8_t> pcmFormatBody(const PcmFormat& format);
// A "fmt " body with any tag: the 16 fixed bytes, then the extra count and
// the extra bytes (as a non-PCM format stores them).
std::vector<uint8_t> formatBodyWithExtra(uint16_t formatTag, const PcmFormat& format,
                                         const std::vector<uint8_t>& extra);

// `count` bytes of a recognisable pattern, so that a copy can be checked.
std::vector<uint8_t> patternBytes(size_t count, uint8_t seed = 1);

class RiffBuilder {
 public:
  explicit RiffBuilder(const std::string& formType = "WAVE") : formType_(formType) {}

  // A chunk with its real size; an odd body gets its pad byte.
  RiffBuilder& chunk(const std::string& id, const std::vector<uint8_t>& body);
  // A chunk whose header claims `claimedSize` while `body` is what follows.
  RiffBuilder& chunkClaiming(const std::string& id, uint32_t claimedSize,
                             const std::vector<uint8_t>& body, bool pad = true);
  RiffBuilder& fmt(const PcmFormat& format) { return chunk("fmt ", pcmFormatBody(format)); }
  RiffBuilder& data(const std::vector<uint8_t>& samples) { return chunk("data", samples); }
  // Raw bytes after the chunks so far, with no header of their own.
  RiffBuilder& raw(const std::vector<uint8_t>& bytes);

  // The whole image; the RIFF size counts every byte after it unless overridden.
  std::vector<uint8_t> build() const;
  std::vector<uint8_t> buildClaimingRiffSize(uint32_t riffSize) const;

 private:
  std::string formType_;
  std::vector<uint8_t> body_;
};

// The common case: a PCM WAV of the given format holding `samples`.
std::vector<uint8_t> pcmWav(const PcmFormat& format, const std::vector<uint8_t>& samples);

void appendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes);

}  // namespace testing_support
