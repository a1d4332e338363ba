// Figures of the file tuner core. Prints `figure <name> <value> <unit>` lines.
// Throughput is per CPU second of the measuring thread; pacing and the index
// are wall time.
//   pid_filter_mb_per_s  PID filter with compaction, one PID of eight kept
//   decrypt_mb_per_s     payload decryption (23 AES blocks per 376 bytes)
//   decrypt_vs_openssl   our decryption speed / OpenSSL AES-128-ECB on the same bytes
//   pacing_error_ms      |wall time - 3000 ms| for a paced 3-second stream
//   index_build_ms       time index of a 100 MB file, page cache warm
#include <openssl/evp.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "file_tuner.h"
#include "packet_filter.h"
#include "payload_cipher.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "time_index.h"
#include "tsgen.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Throughput figures use the measuring thread's CPU time: the machine is
// shared, and wall time would count other processes' turns on the cores.
double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

std::vector<uint8_t> eightPidStream(size_t bytes) {
  std::vector<uint8_t> out(bytes - bytes % 188);
  std::mt19937 rng(1);
  for (size_t p = 0; p < out.size() / 188; ++p) {
    uint8_t* packet = &out[p * 188];
    const uint16_t pid = static_cast<uint16_t>(0x100 + p % 8);
    packet[0] = 0x47;
    packet[1] = static_cast<uint8_t>(pid >> 8);
    packet[2] = static_cast<uint8_t>(pid);
    packet[3] = 0x10;
    for (size_t i = 4; i < 188; i += 4) {
      const uint32_t r = static_cast<uint32_t>(rng());
      std::memcpy(packet + i, &r, 4);
    }
  }
  return out;
}

double pidFilterMbPerS(bool quick) {
  const size_t total = 64u << 20;
  std::vector<uint8_t> pristine = eightPidStream(total);
  std::vector<uint8_t> work = pristine;
  tapfeed::PidSet pids;
  pids.keep[0x103] = 1;
  const size_t block = 524288;
  const int rounds = quick ? 3 : 15;
  size_t processed = 0;
  size_t kept = 0;
  const double start = threadCpuSeconds();
  for (int r = 0; r < rounds; ++r) {
    for (size_t off = 0; off + block <= work.size(); off += block) {
      auto res = tapfeed::filterPackets(work.data() + off, block, 188, pids, nullptr);
      kept += res.outputLength;
      // Put back what compaction overwrote, so every round filters the same input.
      std::memcpy(work.data() + off, pristine.data() + off, res.outputLength);
      processed += block;
    }
  }
  const double seconds = threadCpuSeconds() - start;
  if (kept == 0) std::fprintf(stderr, "filter kept nothing\n");
  return processed / 1e6 / seconds;
}

void decryptFigures(bool quick) {
  const size_t total = 32u << 20;
  std::vector<uint8_t> data = eightPidStream(total);
  const uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const int rounds = quick ? 2 : 6;

  tapfeed::PayloadDecryptor decryptor(key);
  size_t produced = 0;
  double start = threadCpuSeconds();
  for (int r = 0; r < rounds; ++r) {
    for (size_t off = 0; off < data.size(); off += 524288) {
      const uint8_t* out = nullptr;
      const size_t n = std::min<size_t>(524288, data.size() - off);
      produced += static_cast<size_t>(decryptor.process(data.data() + off, n, &out));
    }
  }
  const double ours = produced / 1e6 / (threadCpuSeconds() - start);

  // OpenSSL decrypting the same bytes (whole buffer, 16-byte blocks).
  std::vector<uint8_t> out(data.size() + 16);
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  EVP_DecryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  size_t done = 0;
  start = threadCpuSeconds();
  for (int r = 0; r < rounds; ++r) {
    for (size_t off = 0; off + 524288 <= data.size(); off += 524288) {
      int n = 0;
      EVP_DecryptUpdate(ctx, out.data(), &n, data.data() + off, 524288);
      done += static_cast<size_t>(n);
    }
  }
  const double theirs = done / 1e6 / (threadCpuSeconds() - start);
  EVP_CIPHER_CTX_free(ctx);
  std::printf("figure decrypt_mb_per_s %.0f MB/s\n", ours);
  std::printf("figure decrypt_vs_openssl %.3f x\n", ours / theirs);
}

struct Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool ended = false;
  static int32_t onData(void*, const uint8_t*, uint32_t length) { return static_cast<int32_t>(length); }
  static intptr_t onEvent(void* context, uint32_t code, uintptr_t, uintptr_t) {
    auto* w = static_cast<Waiter*>(context);
    std::lock_guard<std::mutex> lock(w->mutex);
    if (code == kTapfeedEventEndOfFile) w->ended = true;
    w->cv.notify_all();
    return 0;
  }
};

double pacingErrorMs(const std::filesystem::path& dir) {
  // PCRs every 40 ms; the third one is the base, so 80..3080 ms is paced.
  tsgen::TsWriter writer;
  uint8_t packet[188];
  std::memset(packet, 0xAA, sizeof packet);
  packet[0] = 0x47;
  packet[1] = 0x01;
  packet[2] = 0x01;
  packet[3] = 0x10;
  for (uint64_t ms = 0; ms <= 3080; ms += 40) {
    writer.writePcrPacket(0x100, ms * 90);
    for (int i = 0; i < 20; ++i) writer.writeRawPacket(packet);
  }
  const auto bytes = writer.take();
  {
    std::ofstream out(dir / "paced.ts", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  Waiter waiter;
  TapfeedTuner* tuner = CreateTuner();
  TapfeedDataCallback data = &Waiter::onData;
  TapfeedEventCallback event = &Waiter::onEvent;
  void* d;
  void* e;
  std::memcpy(&d, &data, sizeof d);
  std::memcpy(&e, &event, sizeof e);
  TapfeedParam p{kTapfeedParamDataCallback, 0, d, 0};
  tuner->ops->setParam(tuner, &p);
  p = {kTapfeedParamEventCallback, 0, e, reinterpret_cast<uintptr_t>(&waiter)};
  tuner->ops->setParam(tuner, &p);
  int32_t on = 1;
  p = {kTapfeedParamPacing, 0, &on, 4};
  tuner->ops->setParam(tuner, &p);
  tuner->ops->open(tuner, nullptr, 0);
  tuner->ops->enableFullStream(tuner);
  std::u16string path = u"\\paced.ts";
  path.resize(kTapfeedPathCapacity, u'\0');
  TapfeedTuneRequest request{0, 0, path.data(), 0, 0};
  const auto start = Clock::now();
  tuner->ops->tune(tuner, &request, nullptr);
  {
    std::unique_lock<std::mutex> lock(waiter.mutex);
    waiter.cv.wait_for(lock, std::chrono::seconds(30), [&] { return waiter.ended; });
  }
  const double elapsedMs = secondsSince(start) * 1000;
  DeleteTuner(tuner);
  return std::abs(elapsedMs - 3000.0);
}

double indexBuildMs(const std::filesystem::path& dir) {
  tsgen::TsWriter writer;
  uint8_t packet[188];
  std::memset(packet, 0x55, sizeof packet);
  packet[0] = 0x47;
  packet[1] = 0x01;
  packet[2] = 0x01;
  packet[3] = 0x10;
  // About 4 Mbit/s: a PCR every 40 ms and 105 payload packets in between.
  for (uint64_t ms = 0; writer.bytes().size() < (100u << 20); ms += 40) {
    writer.writePcrPacket(0x100, ms * 90);
    for (int i = 0; i < 105; ++i) writer.writeRawPacket(packet);
  }
  const auto bytes = writer.take();
  {
    std::ofstream out(dir / "big.ts", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // Warm the page cache.
  {
    std::ifstream in(dir / "big.ts", std::ios::binary);
    std::vector<char> sink(1 << 20);
    while (in.read(sink.data(), static_cast<std::streamsize>(sink.size()))) {
    }
  }
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    tapfeed::TimeIndex index;
    const auto start = Clock::now();
    index.start(u"\\big.ts", 188, nullptr);
    index.waitUntilDone();
    best = std::min(best, secondsSince(start) * 1000);
    if (index.durationMs() == 0) std::fprintf(stderr, "index found no duration\n");
    if (run == 0)
      std::fprintf(stderr, "index: %zu entries, %.1f s of %zu bytes\n", index.snapshot().size(),
                   index.durationMs() / 1000.0, bytes.size());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--quick") quick = true;

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tapfeed-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "prog");
  plat::PathConfig config;
  config.deviceRoot = dir;
  config.programDir = dir / "prog";
  plat::configurePaths(config);

  std::printf("figure pid_filter_mb_per_s %.0f MB/s\n", pidFilterMbPerS(quick));
  decryptFigures(quick);
  std::printf("figure pacing_error_ms %.1f ms\n", pacingErrorMs(dir));
  std::printf("figure index_build_ms %.1f ms\n", indexBuildMs(dir));
  std::fflush(stdout);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
