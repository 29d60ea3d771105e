// Writes the sample key sound: a short 16-bit mono click, 60 ms of a
// decaying 1.2 kHz tone, as a canonical RIFF/WAVE file.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back((value >> (8 * i)) & 0xFF);
}

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-key-sound OUT.wav\n");
    return 2;
  }
  constexpr uint32_t kRate = 22050;
  constexpr uint32_t kSamples = kRate * 60 / 1000;
  constexpr double kPi = 3.14159265358979323846;
  std::vector<uint8_t> wav;
  PutTag(wav, "RIFF");
  PutLe(wav, 36 + kSamples * 2, 4);
  PutTag(wav, "WAVE");
  PutTag(wav, "fmt ");
  PutLe(wav, 16, 4);
  PutLe(wav, 1, 2);  // PCM
  PutLe(wav, 1, 2);  // mono
  PutLe(wav, kRate, 4);
  PutLe(wav, kRate * 2, 4);
  PutLe(wav, 2, 2);
  PutLe(wav, 16, 2);
  PutTag(wav, "data");
  PutLe(wav, kSamples * 2, 4);
  for (uint32_t i = 0; i < kSamples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double v = std::sin(2 * kPi * 1200 * t) * std::exp(-t * 60) * 20000;
    PutLe(wav, static_cast<uint32_t>(static_cast<int16_t>(std::lround(v))), 2);
  }
  FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr ||
      std::fwrite(wav.data(), 1, wav.size(), out) != wav.size()) {
    std::perror(argv[1]);
    return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
