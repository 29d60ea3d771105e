// What the system tier hears: the capture side of the snd-aloop card, the
// samples of a wave file, and where the clicks begin in a recording.
#pragma once

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace vm {

// The capture side of the snd-aloop card: what was played into its
// playback side, frame for frame, on a thread of its own from construction
// to Finish. Each frame's time is known from the driver's time stamps
// (CLOCK_MONOTONIC, as the keyboard's events).
class LoopbackCapture {
 public:
  explicit LoopbackCapture(unsigned rate) : rate_(rate) {
    int error =
        snd_pcm_open(&pcm_, "hw:Loopback,1,0", SND_PCM_STREAM_CAPTURE, 0);
    if (error == 0) {
      snd_pcm_hw_params_t* hw;
      snd_pcm_hw_params_alloca(&hw);
      snd_pcm_hw_params_any(pcm_, hw);
      snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED);
      snd_pcm_hw_params_set_format(pcm_, hw, SND_PCM_FORMAT_S16_LE);
      snd_pcm_hw_params_set_channels(pcm_, hw, 1);
      snd_pcm_hw_params_set_rate(pcm_, hw, rate, 0);
      snd_pcm_uframes_t period = kPeriodFrames;
      snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr);
      snd_pcm_uframes_t buffer = kBufferFrames;
      snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &buffer);
      error = snd_pcm_hw_params(pcm_, hw);
    }
    if (error == 0) {
      snd_pcm_sw_params_t* sw;
      snd_pcm_sw_params_alloca(&sw);
      snd_pcm_sw_params_current(pcm_, sw);
      snd_pcm_sw_params_set_tstamp_mode(pcm_, sw, SND_PCM_TSTAMP_ENABLE);
      snd_pcm_sw_params_set_tstamp_type(pcm_, sw,
                                        SND_PCM_TSTAMP_TYPE_MONOTONIC);
      error = snd_pcm_sw_params(pcm_, sw);
    }
    if (error == 0) error = snd_pcm_start(pcm_);
    EXPECT_EQ(error, 0) << "capture: " << snd_strerror(error);
    if (error == 0) thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackCapture() {
    Finish();
    if (pcm_ != nullptr) snd_pcm_close(pcm_);
  }

  const std::vector<int16_t>& Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return samples_;
  }
  // When frame `frame` was captured (and so played), CLOCK_MONOTONIC
  // seconds; valid after Finish.
  double TimeOf(size_t frame) const {
    return origin_ + static_cast<double>(frame) / rate_;
  }
  int overruns() const { return overruns_; }

 private:
  static constexpr snd_pcm_uframes_t kPeriodFrames = 256;
  static constexpr snd_pcm_uframes_t kBufferFrames = 8192;

  void Run() {
    // Ahead of zolmek and its sound thread: a late read loses frames.
    sched_param priority = {};
    priority.sched_priority = 50;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
    int16_t buffer[kPeriodFrames];
    while (!stop_) {
      const snd_pcm_sframes_t got = snd_pcm_readi(pcm_, buffer, kPeriodFrames);
      if (got < 0) {
        ++overruns_;
        snd_pcm_recover(pcm_, static_cast<int>(got), 1);
        continue;
      }
      samples_.insert(samples_.end(), buffer, buffer + got);
      // At `stamp` the driver's position was the frames read plus those
      // waiting. The position moves in steps, after the time it stands for,
      // so the earliest origin any stamp gives is the closest.
      snd_pcm_uframes_t waiting = 0;
      snd_htimestamp_t stamp;
      if (snd_pcm_htimestamp(pcm_, &waiting, &stamp) == 0) {
        const double origin =
            static_cast<double>(stamp.tv_sec) + stamp.tv_nsec * 1e-9 -
            static_cast<double>(samples_.size() + waiting) / rate_;
        origin_ = std::min(origin_, origin);
      }
    }
  }

  unsigned rate_;
  snd_pcm_t* pcm_ = nullptr;
  std::atomic<bool> stop_{false};
  std::vector<int16_t> samples_;
  double origin_ = 1e300;
  int overruns_ = 0;
  std::thread thread_;
};

// test1.wav's samples: a canonical 16-bit mono RIFF/WAVE file, as made by
// tools/make_key_sound.cpp.
inline std::vector<int16_t> WaveSamples(const std::string& path,
                                        unsigned& rate) {
  std::ifstream file(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  if (bytes.size() < 44) return {};
  std::memcpy(&rate, bytes.data() + 24, 4);
  std::vector<int16_t> samples((bytes.size() - 44) / 2);
  std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

// Where each click begins in `captured`: a sample that stands out after at
// least `gap` quiet ones, moved back to where the sound's own first sample
// that stands out lies in it. One that follows the previous start within
// the sound's length is the same click, broken by a moment of silence.
inline std::vector<size_t> ClickStarts(const std::vector<int16_t>& captured,
                                       const std::vector<int16_t>& sound,
                                       size_t gap) {
  constexpr int kLoud = 256;
  size_t lead = 0;
  while (lead < sound.size() && std::abs(sound[lead]) < kLoud) ++lead;
  std::vector<size_t> starts;
  size_t quiet = gap;
  for (size_t i = 0; i < captured.size(); ++i) {
    if (std::abs(captured[i]) < kLoud) {
      ++quiet;
      continue;
    }
    if (quiet >= gap && i >= lead &&
        (starts.empty() || i - lead >= starts.back() + sound.size())) {
      starts.push_back(i - lead);
    }
    quiet = 0;
  }
  return starts;
}

}  // namespace vm
