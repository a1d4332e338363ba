// Dispatcher throughput: events posted from another thread and delivered on
// the user-interface thread, synchronous sends to 50 objects, and the round
// trip of a window message sent across threads.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "VexoCore.h"
#include "plat/message.h"
#include "plat/window.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class Counter : public VexoObject {
 public:
  bool Event(VexoEvent*) override {
    ++count;
    return false;
  }
  long count = 0;
};

class BenchEvent : public VexoEvent {
 public:
  BenchEvent() : VexoEvent(200) {}
};

double postedPerSecond(long events) {
  Counter counter;
  auto start = Clock::now();
  std::thread poster([events] {
    for (long i = 0; i < events; ++i) VexoObject::PostEvent(new BenchEvent);
  });
  plat::Message msg;
  while (counter.count < events && plat::getMessage(&msg)) plat::dispatchMessage(msg);
  double seconds = secondsSince(start);
  poster.join();
  return static_cast<double>(events) / seconds;
}

double sentPerSecond(long sends) {
  std::vector<std::unique_ptr<Counter>> objects;
  for (int i = 0; i < 50; ++i) objects.push_back(std::make_unique<Counter>());
  BenchEvent event;
  auto start = Clock::now();
  for (long i = 0; i < sends; ++i) VexoObject::SendEvent(&event);
  double seconds = secondsSince(start);
  long deliveries = 0;
  for (auto& o : objects) deliveries += o->count;
  return static_cast<double>(deliveries) / seconds;
}

double sendRoundTripMicros(long sends) {
  plat::registerClass({u"BenchEchoWnd", 0,
                       [](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
                         if (m == plat::kMsgUser) return static_cast<plat::LResult>(wp + 1);
                         return plat::defaultWindowProc(w, m, wp, lp);
                       },
                       {}});
  plat::CreateWindowParams params;
  params.className = u"BenchEchoWnd";
  plat::Window echo = plat::createWindow(params);
  std::atomic<bool> done{false};
  std::atomic<double> micros{0};
  std::thread sender([&] {
    auto start = Clock::now();
    for (long i = 0; i < sends; ++i) plat::sendMessage(echo, plat::kMsgUser, static_cast<plat::WParam>(i), 0);
    micros = secondsSince(start) * 1e6 / static_cast<double>(sends);
    done = true;
    plat::postMessage(echo, plat::kMsgNull, 0, 0);  // wakes the loop below
  });
  plat::Message msg;
  while (!done && plat::getMessage(&msg)) plat::dispatchMessage(msg);
  sender.join();
  plat::destroyWindow(echo);
  return micros;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  long scale = quick ? 1 : 10;
  double posted = postedPerSecond(200'000 * scale);
  double sent = sentPerSecond(20'000 * scale);
  double roundTrip = sendRoundTripMicros(5'000 * scale);
  std::printf("figure dispatch_posted_per_s %.0f events/s\n", posted);
  std::printf("figure dispatch_sent_per_s %.0f deliveries/s\n", sent);
  std::printf("figure send_roundtrip_us %.2f us\n", roundTrip);
  return 0;
}
