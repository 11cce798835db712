#include "monitor/AlarmSound.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {
template <std::size_t N>
bool AnyEnabledUnaccepted(std::span<const AlarmState, N> states, const std::uint8_t (&enabled)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (states[i] == AlarmState::AlarmUnaccepted && enabled[i] != 0) return true;
  return false;
}

// A little-endian field, or big-endian in a "RIFX" file.
std::uint32_t Field(const unsigned char* bytes, int width, bool bigEndian) {
  std::uint32_t value = 0;
  for (int i = 0; i < width; ++i) value |= std::uint32_t{bytes[bigEndian ? width - 1 - i : i]} << (8 * i);
  return value;
}

constexpr std::uint32_t FloatEncoding = 3;

// What a sound server takes as it is: integer samples of 8 to 32 bits or 32-bit floats, at
// most 32 channels (PulseAudio's limit) and 384 kHz.
bool Playable(std::uint32_t format, std::uint32_t channels, std::uint32_t rate, std::uint32_t bits) {
  constexpr std::uint32_t Pcm = 1, Extensible = 0xFFFE;
  const bool integerBits = bits == 8 || bits == 16 || bits == 24 || bits == 32;
  return channels > 0 && channels <= 32 && rate > 0 && rate <= 384000 &&
         (((format == Pcm || format == Extensible) && integerBits) || (format == FloatEncoding && bits == 32));
}
}  // namespace

std::variant<WaveSound, std::string> ReadWaveFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return path + " not found";
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  std::ifstream in(path, std::ios::binary);
  if (error || !in) return path + " cannot be read";

  unsigned char riff[12];
  if (!in.read(reinterpret_cast<char*>(riff), sizeof riff) ||
      (std::memcmp(riff, "RIFF", 4) != 0 && std::memcmp(riff, "RIFX", 4) != 0) || std::memcmp(riff + 8, "WAVE", 4) != 0)
    return path + " is not a wave file";
  WaveSound sound;
  sound.bigEndian = riff[3] == 'X';
  bool formatSeen = false;
  std::uintmax_t at = sizeof riff;
  for (;;) {
    unsigned char chunk[8];
    if (!in.read(reinterpret_cast<char*>(chunk), sizeof chunk)) return path + " is cut short";
    at += sizeof chunk;
    const std::uint32_t length = Field(chunk + 4, 4, sound.bigEndian);
    if (length > size - at) return path + " is cut short";
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      unsigned char format[16];
      if (length < sizeof format || !in.read(reinterpret_cast<char*>(format), sizeof format))
        return path + " is not a wave file";
      const std::uint32_t encoding = Field(format, 2, sound.bigEndian);
      sound.channels = static_cast<std::uint16_t>(Field(format + 2, 2, sound.bigEndian));
      sound.rate = Field(format + 4, 4, sound.bigEndian);
      sound.bits = static_cast<std::uint16_t>(Field(format + 14, 2, sound.bigEndian));
      if (!Playable(encoding, sound.channels, sound.rate, sound.bits))
        return path + " is in a wave format that cannot be played";
      sound.floatSamples = encoding == FloatEncoding;
      formatSeen = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!formatSeen) return path + " is not a wave file";
      if (length > MaxWaveSampleBytes) return path + " is too long for an alarm loop";
      // A sound server takes whole frames only; a partial last frame is left out.
      const std::uint32_t frame = std::uint32_t{sound.channels} * (sound.bits / 8U);
      sound.samples.resize(length - length % frame);
      if (sound.samples.empty()) return path + " holds no sound";
      if (!in.seekg(static_cast<std::streamoff>(at)) ||
          !in.read(sound.samples.data(), static_cast<std::streamsize>(sound.samples.size())))
        return path + " cannot be read";
      return sound;
    }
    at += length + (length & 1);  // chunks are padded to an even length
    if (!in.seekg(static_cast<std::streamoff>(at))) return path + " is cut short";
  }
}

void UpdateAlarmSound(const UnitConfiguration& config, std::span<const AlarmState, DigitalInputCount> digitalStates,
                      std::span<const AlarmState, AnalogueInputCount> analogueStates, bool linkLostUnaccepted,
                      std::uint8_t& AlarmSoundPlaying, AlarmSound& sound) {
  // LinkUp plays no part: alarms left unaccepted from before a disconnection keep sounding.
  const bool needed = AnyEnabledUnaccepted(digitalStates, config.DigitalEnableReporting) ||
                      AnyEnabledUnaccepted(analogueStates, config.AnalogueEnableReporting) ||
                      (linkLostUnaccepted && config.LostLinkEnableReporting != 0);
  if (needed) {
    if (AlarmSoundPlaying == 0) sound.Play();
    AlarmSoundPlaying = 1;
  } else {
    if (AlarmSoundPlaying == 1) sound.Stop();
    AlarmSoundPlaying = 0;
  }
}
