// The desktop back end: an SDL2 window showing the compositor's frame (at 1x
// or 2x), the mouse acting as the touch screen, the keyboard, and closing the
// window as a quit request. Also the audio output the engine plays PCM on.
//
// The window system turns DisplayEvents into its own input (taps, drags,
// keys); this module knows nothing of windows.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "plat/geometry.h"
#include "plat/gfx/surface.h"
#include "plat/status.h"

namespace plat {

// Keys other than letters and digits, named so that the window system can map
// them onto its own key codes.
enum class DisplayKey : uint32_t {
  None = 0,
  Character,  // a letter or digit: DisplayEvent::character holds it upper-cased
  Back, Tab, Return, Escape, Space, Left, Right, Up, Down, PageUp, PageDown, Home, End,
  Delete, Control, Shift, F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
};

struct DisplayEvent {
  enum class Kind { PointerDown, PointerMove, PointerUp, KeyDown, KeyUp, Text, Quit };
  Kind kind = Kind::Quit;
  Point position;              // pointer events, in frame pixels
  DisplayKey key = DisplayKey::None;
  char16_t character = 0;      // Character keys and Text events
  bool control = false;
  bool shift = false;
};
using DisplayEventSink = std::function<void(const DisplayEvent&)>;

// Whether a display server can be used; when not, *reason says why.
bool displayAvailable(std::string* reason);

class SdlDisplay {
 public:
  // scale 1 or 2. nullptr with *error set when no window can be made.
  static std::unique_ptr<SdlDisplay> open(Size frameSize, int scale, const std::string& title,
                                          std::string* error);
  ~SdlDisplay();
  SdlDisplay(const SdlDisplay&) = delete;
  SdlDisplay& operator=(const SdlDisplay&) = delete;

  Size frameSize() const { return frameSize_; }
  int scale() const { return scale_; }
  // Shows the frame (must be frameSize; other sizes are refused).
  Status present(const Surface& frame);
  // Hands every pending event to sink; returns how many there were.
  int poll(const DisplayEventSink& sink);
  // Waits up to timeoutMs for an event, then polls.
  int wait(int timeoutMs, const DisplayEventSink& sink);

 private:
  struct Impl;
  SdlDisplay(Size frameSize, int scale, std::unique_ptr<Impl> impl);
  bool translate(const void* sdlEvent, DisplayEvent* out);
  Size frameSize_;
  int scale_;
  bool pointerDown_ = false;
  std::unique_ptr<Impl> impl_;
};

// Signed 16-bit interleaved PCM to the sound device. When no device can be
// opened the output is silent: it accepts and discards samples, so playback
// logic runs the same without sound.
class AudioOutput {
 public:
  static std::unique_ptr<AudioOutput> open(int32_t sampleRate, int32_t channels, Status* status);
  ~AudioOutput();
  AudioOutput(const AudioOutput&) = delete;
  AudioOutput& operator=(const AudioOutput&) = delete;

  bool isSilent() const { return device_ == 0; }
  int32_t sampleRate() const { return sampleRate_; }
  int32_t channels() const { return channels_; }
  // Queues `frames` frames (frames * channels samples).
  Status write(const int16_t* samples, size_t frames);
  // Frames queued but not yet played (0 when silent).
  size_t queuedFrames() const;
  uint64_t framesWritten() const { return written_; }
  void pause(bool paused);
  void flush();

 private:
  AudioOutput(uint32_t device, int32_t sampleRate, int32_t channels);
  uint32_t device_;
  int32_t sampleRate_;
  int32_t channels_;
  uint64_t written_ = 0;
};

}  // namespace plat
