// The simulated media path: a file plays for its size divided by the
// one-segment bit rate; a live service delivers null transport-stream
// packets at that rate; the screen shows a test card in the service's colour.
#include <algorithm>

#include "bitmap.h"
#include "media_path.h"
#include "plat/clock.h"
#include "plat/file.h"

namespace zantsim {
namespace {

class SimulatedPath final : public MediaPath {
 public:
  Status openFile(const std::u16string& devicePath, uint32_t* durationMs) override {
    plat::FindEntry info;
    if (devicePath.empty() || plat::failed(plat::getFileInfo(devicePath, &info)) ||
        (info.attributes & plat::kAttrDirectory))
      return plat::E_FILE_NOT_FOUND;
    *this = SimulatedPath();
    duration_ = static_cast<uint32_t>(std::min<uint64_t>(info.size * 1000 / kSimulatedBytesPerSecond, 0xFFFFFFF0u));
    seed_ = static_cast<uint32_t>(info.size);
    *durationMs = duration_;
    return plat::S_OK;
  }

  void tune(const ChannelInfo* channel) override {
    tunedAt_ = plat::tickCount();
    tuned_ = channel != nullptr;
    seed_ = channel ? channel->serviceId : 0;
    base_ = 0;
    advancing_ = false;
  }

  void close() override { *this = SimulatedPath(); }

  void start() override {
    if (advancing_) return;
    if (base_ >= duration_) base_ = 0;  // play again from the start
    advancing_ = true;
    since_ = plat::tickCount();
  }

  void halt() override {
    base_ = positionMs();
    advancing_ = false;
  }

  void seek(uint32_t ms) override {
    base_ = std::min(ms, duration_);
    since_ = plat::tickCount();
  }

  uint32_t positionMs() const override {
    uint64_t pos = base_;
    if (advancing_) pos += plat::tickCount() - since_;
    return static_cast<uint32_t>(std::min<uint64_t>(pos, duration_));
  }
  uint32_t durationMs() const override { return duration_; }
  bool playing() const override { return advancing_; }

  uint64_t receivedBytes() const override {
    if (!tuned_) return 0;
    uint64_t bytes = (plat::tickCount() - tunedAt_) * kSimulatedBytesPerSecond / 1000;
    return bytes - bytes % kTsPacketSize;
  }

  void streamBytes(uint64_t from, uint64_t to, std::string* out) override {
    for (uint64_t at = from; at + kTsPacketSize <= to; at += kTsPacketSize) {
      char packet[kTsPacketSize];
      std::fill(std::begin(packet), std::end(packet), static_cast<char>(0xFF));
      packet[0] = 0x47;
      packet[1] = 0x1F;  // null packets (PID 0x1FFF) stand in for the service's stream
      packet[2] = static_cast<char>(0xFF);
      packet[3] = static_cast<char>(0x10 | ((at / kTsPacketSize) & 0x0F));
      out->append(packet, kTsPacketSize);
    }
  }

  std::string captureFrame() override { return renderTestCard(320, 240, seed_); }
  void setVideoWindow(ZantWindow, int32_t, int32_t, int32_t, int32_t) override {}
  void showVideo(bool) override {}

 private:
  uint32_t duration_ = 0;
  uint32_t base_ = 0;
  bool advancing_ = false;
  uint64_t since_ = 0;
  bool tuned_ = false;
  uint64_t tunedAt_ = 0;
  uint32_t seed_ = 0;
};

}  // namespace

std::unique_ptr<MediaPath> createSimulatedPath() { return std::make_unique<SimulatedPath>(); }

}  // namespace zantsim
