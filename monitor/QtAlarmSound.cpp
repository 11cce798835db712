#include "monitor/QtAlarmSound.h"

#include <QTimer>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/sample.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>

namespace {
constexpr std::chrono::milliseconds WatchEvery{250};
constexpr int WatchesBeforeTelling = 8;       // two seconds in which the server took none of the sound
constexpr int WatchesBetweenRetries = 2;      // a missing server, output or file is looked for twice a second
constexpr pa_usec_t StreamLatency = 200'000;  // the server reads the sound in small steps, so a stall shows
const char* const NotStarted = "the sound server has not started it";

std::optional<pa_sample_format_t> SampleFormat(const WaveSound& sound) {
  if (sound.floatSamples) return sound.bigEndian ? PA_SAMPLE_FLOAT32BE : PA_SAMPLE_FLOAT32LE;
  switch (sound.bits) {
    case 8: return PA_SAMPLE_U8;
    case 16: return sound.bigEndian ? PA_SAMPLE_S16BE : PA_SAMPLE_S16LE;
    case 24: return sound.bigEndian ? PA_SAMPLE_S24BE : PA_SAMPLE_S24LE;
    case 32: return sound.bigEndian ? PA_SAMPLE_S32BE : PA_SAMPLE_S32LE;
    default: return std::nullopt;
  }
}

class Locked {
 public:
  explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~Locked() { pa_threaded_mainloop_unlock(loop_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};
}  // namespace

// Everything that touches the client library. Its own thread runs the connection and feeds
// the stream; each call from the window thread holds the loop's lock, as the feeder does.
class QtAlarmSound::Server {
 public:
  enum class Hearing {
    Heard,   // the server has read more of the sound since the last look
    NotYet,  // connecting, starting, or the server takes nothing: `why` says what is known
    Cannot,  // the file cannot be played: no wait will mend it, tell the operator at once
  };

  explicit Server(std::string path) : path_(std::move(path)), loop_(pa_threaded_mainloop_new()) {
    if (loop_ && pa_threaded_mainloop_start(loop_) < 0) {
      pa_threaded_mainloop_free(loop_);
      loop_ = nullptr;
    }
  }
  ~Server() {
    if (!loop_) return;
    {
      const Locked lock(loop_);
      DropStream();
      DropContext();
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // One look while the sound is wanted. With `mend`, what has gone is set up again: the file
  // read, the connection made, the stream opened. `why` is set to each fault seen.
  Hearing Look(bool mend, std::string& why) {
    if (!loop_) {
      why = "the sound library cannot start";
      return Hearing::NotYet;
    }
    const Locked lock(loop_);
    if (!sound_ && mend) Load(why);
    if (!sound_) return Hearing::Cannot;

    if (context_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
      why = (connected_ ? "the connection to the sound server is lost (" : "the sound server cannot be reached (") +
            Error() + ")";
      DropStream();
      DropContext();
    }
    if (!context_) {
      if (mend) Connect(why);
      return Hearing::NotYet;
    }
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) return Hearing::NotYet;
    freshConnection_ = !connected_;
    connected_ = true;

    if (stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
      why = "the sound server dropped it (" + Error() + ")";
      DropStream();
    }
    if (!stream_) {
      if (mend || freshConnection_) Open(why);
      freshConnection_ = false;
      return Hearing::NotYet;
    }
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) return Hearing::NotYet;

    // The server's read position in the stream moves on only as the sound is played out.
    bool moved = false;
    if (const pa_timing_info* timing = pa_stream_get_timing_info(stream_); timing && timing->read_index_corrupt == 0) {
      moved = timing->read_index > lastRead_;
      lastRead_ = std::max(lastRead_, timing->read_index);
    }
    if (pa_operation* update = pa_stream_update_timing_info(stream_, nullptr, nullptr)) pa_operation_unref(update);
    if (!moved) {
      why = "the sound server takes no sound";
      return Hearing::NotYet;
    }
    return Hearing::Heard;
  }

  // Stops the sound at once; the connection stays for the next alarm.
  void Silence() {
    if (!loop_) return;
    const Locked lock(loop_);
    DropStream();
  }

  // The next alarm reads the file again, so a file replaced meanwhile is the one heard.
  void Forget() {
    if (!loop_) return;
    const Locked lock(loop_);
    DropStream();
    sound_.reset();
  }

 private:
  std::string Error() const { return pa_strerror(context_ ? pa_context_errno(context_) : PA_ERR_UNKNOWN); }

  void Load(std::string& why) {
    auto read = ReadWaveFile(path_);
    if (auto* problem = std::get_if<std::string>(&read)) {
      why = std::move(*problem);
      return;
    }
    WaveSound& sound = std::get<WaveSound>(read);
    const auto format = SampleFormat(sound);
    spec_ = pa_sample_spec{format.value_or(PA_SAMPLE_INVALID), sound.rate, static_cast<std::uint8_t>(sound.channels)};
    if (!format || sound.channels > PA_CHANNELS_MAX || pa_sample_spec_valid(&spec_) == 0) {
      why = path_ + " is in a wave format that cannot be played";
      return;
    }
    sound_ = std::move(sound);
  }

  void Connect(std::string& why) {
    // No autospawn: the desktop session owns its sound server; the panel only waits for it.
    connected_ = false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "quellmarinox-simple-panel");
    if (context_ && pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) return;
    why = "the sound server cannot be reached (" + Error() + ")";
    DropContext();
  }

  void Open(std::string& why) {
    stream_ = pa_stream_new(context_, "Alarm", &spec_, nullptr);
    if (!stream_) {
      why = "the sound server refused it (" + Error() + ")";
      return;
    }
    position_ = 0;
    lastRead_ = 0;
    const auto bytes = static_cast<std::uint32_t>(pa_usec_to_bytes(StreamLatency, &spec_));
    const auto any = static_cast<std::uint32_t>(-1);
    const pa_buffer_attr buffer{any, bytes, any, any, any};
    pa_stream_set_write_callback(stream_, &Server::Feed, this);
    if (pa_stream_connect_playback(
            stream_, nullptr, &buffer,
            static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE), nullptr,
            nullptr) < 0) {
      why = "the sound server refused it (" + Error() + ")";
      DropStream();
    }
  }

  // On the library's thread, whenever the server wants more: the sound over and over.
  static void Feed(pa_stream* stream, std::size_t bytes, void* self) {
    auto& server = *static_cast<Server*>(self);
    const std::string& samples = server.sound_->samples;
    const std::size_t frame = pa_frame_size(&server.spec_);
    while (bytes >= frame) {
      std::size_t n = std::min(bytes, samples.size() - server.position_);
      n -= n % frame;
      if (pa_stream_write(stream, samples.data() + server.position_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
      server.position_ = (server.position_ + n) % samples.size();
      bytes -= n;
    }
  }

  void DropStream() {
    if (!stream_) return;
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  void DropContext() {
    if (!context_) return;
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }

  std::string path_;
  pa_threaded_mainloop* loop_;
  pa_context* context_ = nullptr;
  bool connected_ = false;        // the context has been ready: a failure now is a lost connection
  bool freshConnection_ = false;  // just ready: the stream is opened at once, not at the next mend
  pa_stream* stream_ = nullptr;
  std::optional<WaveSound> sound_;
  pa_sample_spec spec_{};
  std::size_t position_ = 0;
  std::int64_t lastRead_ = 0;
};

QtAlarmSound::QtAlarmSound(std::string wavPath, OperatorNotifier& notifier)
    : path_(std::move(wavPath)), notifier_(notifier), notice_(notifier), why_(NotStarted) {}

QtAlarmSound::~QtAlarmSound() = default;

void QtAlarmSound::Play() {
  if (!server_) {
    server_ = std::make_unique<Server>(path_);
    watch_ = std::make_unique<QTimer>();
    watch_->setInterval(WatchEvery);
    QObject::connect(watch_.get(), &QTimer::timeout, watch_.get(), [this] { Watch(); });
  }
  wanted_ = true;
  quietWatches_ = 0;
  watchesToRetry_ = 0;
  server_->Forget();
  Watch();
  watch_->start();
}

void QtAlarmSound::Stop() {
  wanted_ = false;
  if (!server_) return;
  watch_->stop();
  server_->Silence();
}

void QtAlarmSound::Watch() {
  const bool mend = --watchesToRetry_ < 0;
  if (mend) watchesToRetry_ = WatchesBetweenRetries - 1;
  switch (server_->Look(mend, why_)) {
    case Server::Hearing::Heard:
      quietWatches_ = 0;
      why_ = NotStarted;
      if (notice_.Failing()) {
        notice_.Succeeded();
        notifier_.Notify("The alarm sound is playing again.");
      }
      return;
    case Server::Hearing::Cannot: notice_.Failed("The alarm sound cannot be played: " + why_); return;
    case Server::Hearing::NotYet:
      if (++quietWatches_ >= WatchesBeforeTelling) notice_.Failed("The alarm sound cannot be played: " + why_);
      return;
  }
}
