// Writes the panel's alarm sound: 0.8 s of 16-bit mono PCM at 22050 Hz, four 0.2 s tones
// alternating 880 and 660 Hz. Each tone fades in and out over 6 ms, so the loop has no click
// at the joins or where it wraps round.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <vector>

namespace {
constexpr std::uint32_t SampleRate = 22050;
constexpr int ToneCount = 4;
constexpr std::uint32_t ToneSamples = SampleRate / 5;  // 0.2 s
constexpr std::uint32_t FadeSamples = SampleRate * 6 / 1000;
constexpr double Amplitude = 0.6 * 32767;

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-alarm-wav <output.wav>\n");
    return 2;
  }
  std::vector<std::int16_t> samples;
  samples.reserve(std::size_t{ToneSamples} * ToneCount);
  for (int tone = 0; tone < ToneCount; ++tone) {
    const double frequency = tone % 2 == 0 ? 880.0 : 660.0;
    for (std::uint32_t n = 0; n < ToneSamples; ++n) {
      const std::uint32_t edge = std::min(n, ToneSamples - 1 - n);
      const double fade = edge < FadeSamples ? 0.5 - 0.5 * std::cos(std::numbers::pi * edge / FadeSamples) : 1.0;
      const double s = std::sin(2 * std::numbers::pi * frequency * n / SampleRate);
      samples.push_back(static_cast<std::int16_t>(std::lround(Amplitude * fade * s)));
    }
  }

  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
  std::vector<std::uint8_t> file;
  PutTag(file, "RIFF");
  PutLe(file, 36 + dataBytes, 4);
  PutTag(file, "WAVE");
  PutTag(file, "fmt ");
  PutLe(file, 16, 4);  // PCM format chunk size
  PutLe(file, 1, 2);   // PCM
  PutLe(file, 1, 2);   // mono
  PutLe(file, SampleRate, 4);
  PutLe(file, SampleRate * 2, 4);  // bytes per second
  PutLe(file, 2, 2);               // block align
  PutLe(file, 16, 2);              // bits per sample
  PutTag(file, "data");
  PutLe(file, dataBytes, 4);
  for (const std::int16_t s : samples) PutLe(file, static_cast<std::uint16_t>(s), 2);

  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  if (std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "make-alarm-wav: cannot write %s\n", argv[1]);
    std::remove(argv[1]);
    return 1;
  }
  return 0;
}
