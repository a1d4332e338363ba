// A small stand-in for the media engine: drives a tuner through its exported
// functions and operation table, collects what the data callback receives
// and counts end events.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "tapfeed/tuner_abi.h"

class TestHost {
 public:
  TestHost() : tuner(CreateTuner()) {}
  ~TestHost() { DeleteTuner(tuner); }
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  TapfeedTuner* tuner;

  // What the callbacks saw.
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<uint8_t> received;
  std::vector<std::vector<uint8_t>> calls;  // each delivery as offered
  int endEvents = 0;

  // Partial-delivery behaviour: the count the data callback reports for a
  // block of `length` bytes (default: all of it). A closed gate consumes 0.
  std::atomic<bool> gateOpen{true};
  std::function<int32_t(uint32_t length)> consume;
  bool keepCalls = false;

  int32_t set(uint32_t id, void* value, uintptr_t extra) {
    TapfeedParam p{id, 0, value, extra};
    return tuner->ops->setParam(tuner, &p);
  }
  int32_t get(uint32_t id, void* value, uintptr_t extra) {
    TapfeedParam p{id, 0, value, extra};
    return tuner->ops->getParam(tuner, &p);
  }
  int32_t setFlag(uint32_t id, int32_t value) { return set(id, &value, 4); }

  void installCallbacks() {
    TapfeedDataCallback data = &TestHost::onData;
    TapfeedEventCallback event = &TestHost::onEvent;
    void* d;
    void* e;
    std::memcpy(&d, &data, sizeof d);
    std::memcpy(&e, &event, sizeof e);
    ASSERT_EQ(set(kTapfeedParamDataCallback, d, reinterpret_cast<uintptr_t>(this)), 0);
    ASSERT_EQ(set(kTapfeedParamEventCallback, e, reinterpret_cast<uintptr_t>(this)), 0);
  }

  int32_t open(int32_t mode = 0, const TapfeedDeviceInfo* info = nullptr) {
    return tuner->ops->open(tuner, info, mode);
  }
  int32_t tune(std::u16string path, uint32_t v0 = 7, uint32_t v1 = 8) {
    path.resize(std::max<size_t>(path.size() + 1, kTapfeedPathCapacity), u'\0');
    pathBuffer_ = path;
    TapfeedTuneRequest request{v0, v1, pathBuffer_.data(), 0, 0};
    return tuner->ops->tune(tuner, &request, nullptr);
  }
  int32_t untune() { return tuner->ops->untune(tuner); }
  int32_t addPid(uint32_t pid) {
    TapfeedPidRequest r{0, pid, 0};
    return tuner->ops->addPid(tuner, &r);
  }
  int32_t removePid(uint32_t pid) {
    TapfeedPidRequest r{0, pid, 0};
    return tuner->ops->removePid(tuner, &r);
  }
  int32_t seek(uint64_t ms) { return set(kTapfeedParamPosition, &ms, 8); }

  // Waits (without a time limit that a slow machine could hit) until pred holds.
  bool waitFor(const std::function<bool()>& pred, int seconds = 60) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(seconds), pred);
  }
  size_t receivedSize() {
    std::lock_guard<std::mutex> lock(mutex);
    return received.size();
  }
  std::vector<uint8_t> takeReceived() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::move(received);
  }

 private:
  static int32_t onData(void* context, const uint8_t* data, uint32_t length) {
    auto* host = static_cast<TestHost*>(context);
    int32_t result = static_cast<int32_t>(length);
    if (!host->gateOpen) {
      result = 0;
    } else if (host->consume) {
      result = host->consume(length);
    }
    std::lock_guard<std::mutex> lock(host->mutex);
    const size_t taken = std::min<size_t>(length, static_cast<size_t>(std::max(result, 0)));
    host->received.insert(host->received.end(), data, data + taken);
    if (host->keepCalls) host->calls.emplace_back(data, data + length);
    host->changed.notify_all();
    return result;
  }
  static intptr_t onEvent(void* context, uint32_t code, uintptr_t, uintptr_t) {
    auto* host = static_cast<TestHost*>(context);
    std::lock_guard<std::mutex> lock(host->mutex);
    if (code == kTapfeedEventEndOfFile) ++host->endEvents;
    host->changed.notify_all();
    return 0;
  }

  std::u16string pathBuffer_;
};
