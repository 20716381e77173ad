#include "wav_builder.h"

namespace testing_support {

void appendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

namespace {
void appendId(std::vector<uint8_t>& out, const std::string& id) {
  for (size_t i = 0; i < 4; ++i) out.push_back(i < id.size() ? static_cast<uint8_t>(id[i]) : ' ');
}
}  // namespace

WAVEFORMATEX pcmWaveFormat(WORD channels, DWORD sampleRate, WORD bitsPerSample) {
  WAVEFORMATEX format = {};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = channels;
  format.nSamplesPerSec = sampleRate;
  format.wBitsPerSample = bitsPerSample;
  format.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
  format.nAvgBytesPerSec = sampleRate * format.nBlockAlign;
  return format;
}

std::vector<uint8_t> pcmFormatBody(const PcmFormat& format) {
  std::vector<uint8_t> body;
  appendLittleEndian(body, 1, 2);
  appendLittleEndian(body, format.channels, 2);
  appendLittleEndian(body, format.sampleRate, 4);
  appendLittleEndian(body, format.bytesPerSecond(), 4);
  appendLittleEndian(body, format.blockAlign(), 2);
  appendLittleEndian(body, format.bitsPerSample, 2);
  return body;
}

std::vector<uint8_t> formatBodyWithExtra(uint16_t formatTag, const PcmFormat& format,
                                         const std::vector<uint8_t>& extra) {
  std::vector<uint8_t> body = pcmFormatBody(format);
  body[0] = static_cast<uint8_t>(formatTag);
  body[1] = static_cast<uint8_t>(formatTag >> 8);
  appendLittleEndian(body, static_cast<uint32_t>(extra.size()), 2);
  body.insert(body.end(), extra.begin(), extra.end());
  return body;
}

std::vector<uint8_t> patternBytes(size_t count, uint8_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = seed * 2654435761u + 12345u;
  for (auto& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

RiffBuilder& RiffBuilder::chunk(const std::string& id, const std::vector<uint8_t>& body) {
  return chunkClaiming(id, static_cast<uint32_t>(body.size()), body, true);
}

RiffBuilder& RiffBuilder::chunkClaiming(const std::string& id, uint32_t claimedSize,
                                        const std::vector<uint8_t>& body, bool pad) {
  appendId(body_, id);
  appendLittleEndian(body_, claimedSize, 4);
  body_.insert(body_.end(), body.begin(), body.end());
  if (pad && body.size() % 2 == 1) body_.push_back(0);
  return *this;
}

RiffBuilder& RiffBuilder::raw(const std::vector<uint8_t>& bytes) {
  body_.insert(body_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<uint8_t> RiffBuilder::build() const {
  return buildClaimingRiffSize(static_cast<uint32_t>(4 + body_.size()));
}

std::vector<uint8_t> RiffBuilder::buildClaimingRiffSize(uint32_t riffSize) const {
  std::vector<uint8_t> image;
  appendId(image, "RIFF");
  appendLittleEndian(image, riffSize, 4);
  appendId(image, formType_);
  image.insert(image.end(), body_.begin(), body_.end());
  return image;
}

std::vector<uint8_t> pcmWav(const PcmFormat& format, const std::vector<uint8_t>& samples) {
  return RiffBuilder().fmt(format).data(samples).build();
}

}  // namespace testing_support
