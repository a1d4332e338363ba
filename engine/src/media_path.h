// The seam between the player's rules (states, events, limits, folders) and
// the media path that receives, decodes and shows a stream. PlayerCore talks
// only to this interface. The simulated path models a one-segment stream by
// its bit rate; the decoding path (transport-stream demultiplexing, FFmpeg
// decoding into the overlay plane, sound through SDL2, live services from the
// file tuner plug-in) implements the same interface.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "world.h"
#include "zant/engine.h"

namespace zantsim {

class MediaPath {
 public:
  virtual ~MediaPath() = default;

  // A recorded file: opens it and reports its length; a failure status when it cannot be played.
  virtual Status openFile(const std::u16string& devicePath, uint32_t* durationMs) = 0;
  // Live: the service whose stream arrives from now on (null: none).
  virtual void tune(const ChannelInfo* channel) = 0;
  virtual void close() = 0;

  // The playback clock of a file.
  virtual void start() = 0;
  virtual void halt() = 0;
  virtual void seek(uint32_t ms) = 0;
  virtual uint32_t positionMs() const = 0;
  virtual uint32_t durationMs() const = 0;
  virtual bool playing() const = 0;

  // The live stream for the recorder: bytes received since tune(), and the
  // transport-stream packets from offset `from` to `to` (multiples of 188).
  virtual uint64_t receivedBytes() const = 0;
  virtual void streamBytes(uint64_t from, uint64_t to, std::string* out) = 0;

  // The picture on screen, as the bytes of a BMP file.
  virtual std::string captureFrame() = 0;
  virtual void setVideoWindow(ZantWindow window, int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual void showVideo(bool shown) = 0;
};

inline constexpr uint32_t kTsPacketSize = 188;
// One-segment streams run at about 416 kbit/s.
inline constexpr uint32_t kSimulatedBytesPerSecond = 52000;

std::unique_ptr<MediaPath> createSimulatedPath();

}  // namespace zantsim
