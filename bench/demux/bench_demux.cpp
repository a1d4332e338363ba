// Section demultiplexer throughput and SI parsing speed against libdvbpsi.
//
//   figure demux_mb_per_s        feed of a generated 100 MB stream in memory
//                                (512 KiB blocks) with one section filter
//   figure si_parse_vs_libdvbpsi PAT + PMT + TOT sections per second, ours
//                                divided by libdvbpsi's, on the same packets
//
// For the parsing ratio both sides take the same 188-byte packets and do the
// same work per section: reassemble it and decode it into a table record
// (libdvbpsi also checks each CRC; our parsers leave that to the caller by
// design). Every table carries a new version or time, so libdvbpsi decodes
// each one instead of skipping repeats.
//
//   bench_demux [--quick]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>
#include <dvbpsi/tot.h>
}

#include "si/section_demux.h"
#include "si/tables.h"
#include "tsgen.h"

namespace {

using namespace tapfeed;
using Clock = std::chrono::steady_clock;
using tsgen::Bytes;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// ---- demultiplexer throughput ----------------------------------------------------

constexpr uint16_t kVideo = 0x111, kAudio = 0x112, kData = 0x113;

Bytes broadcastTemplate() {
  tsgen::TsWriter w;
  std::mt19937 rng(7);
  Bytes es(184);
  const Bytes mpe = tsgen::makeMpeSection(tsgen::multicastMac({239, 1, 2, 3}),
                                          tsgen::makeIpv4Udp({10, 0, 0, 1}, {239, 1, 2, 3}, 1, 5000, Bytes(1000, 0x5A)));
  const Bytes small = tsgen::makeMpeSection(tsgen::multicastMac({239, 1, 2, 3}),
                                            tsgen::makeIpv4Udp({10, 0, 0, 1}, {239, 1, 2, 3}, 1, 5000, Bytes(60, 1)));
  for (int cycle = 0; cycle < 64; ++cycle) {
    w.writeSection(0, tsgen::makePat(1, {{1, 0x1FC8}}));
    for (int i = 0; i < 24; ++i) {
      for (auto& b : es) b = static_cast<uint8_t>(rng());
      uint8_t packet[188] = {0x47, static_cast<uint8_t>(kVideo >> 8), static_cast<uint8_t>(kVideo & 0xFF), 0x10};
      std::memcpy(packet + 4, es.data(), 184);
      w.writeRawPacket(packet);
    }
    uint8_t audio[188] = {0x47, static_cast<uint8_t>(kAudio >> 8), static_cast<uint8_t>(kAudio & 0xFF), 0x10};
    std::memcpy(audio + 4, es.data(), 184);
    w.writeRawPacket(audio);
    w.writeRawPacket(audio);
    w.writeSections(kData, {mpe, small, small});
  }
  return w.take();
}

struct Counter {
  size_t sections = 0;
  size_t bytes = 0;
  static void handler(void* ctx, uint16_t, uint32_t, const uint8_t* s, size_t n) {
    auto* c = static_cast<Counter*>(ctx);
    ++c->sections;
    c->bytes += n + s[0];
  }
};

double demuxMbPerSecond(size_t targetBytes, int runs) {
  const Bytes unit = broadcastTemplate();
  Bytes stream;
  stream.reserve(targetBytes + unit.size());
  while (stream.size() < targetBytes) stream.insert(stream.end(), unit.begin(), unit.end());
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    demux::SectionDemux* d = demux::SectionDemux::create(nullptr);
    Counter counter;
    d->addSectionFilter(kData, &Counter::handler, &counter);
    const size_t block = 512 * 1024;
    const auto start = Clock::now();
    for (size_t pos = 0; pos < stream.size(); pos += block) {
      d->feed(stream.data() + pos, std::min(block, stream.size() - pos));
    }
    const double mbs = static_cast<double>(stream.size()) / 1e6 / seconds(start, Clock::now());
    d->release();
    if (counter.sections == 0) {
      std::fprintf(stderr, "bench_demux: no section delivered\n");
      return 0;
    }
    best = std::max(best, mbs);
  }
  return best;
}

// ---- SI parsing against libdvbpsi -----------------------------------------------

constexpr uint16_t kPmtPid = 0x1FC8;
constexpr uint16_t kProgram = 0x0400;

Bytes siStream(int cycles) {
  tsgen::TsWriter w;
  for (int i = 0; i < cycles; ++i) {
    const auto version = static_cast<uint8_t>(i % 32);
    w.writeSection(0, tsgen::makePat(0x7FE1, {{0, 0x10}, {kProgram, kPmtPid}, {0x0401, 0x1FC9}}, version));
    w.writeSection(kPmtPid,
                   tsgen::makePmt(kProgram, kVideo, {{0x09, {0x00, 0x05, 0xE1, 0x00}}},
                                  {{0x1B, kVideo, {tsgen::streamIdentifierDescriptor(0)}},
                                   {0x0F, kAudio, {tsgen::streamIdentifierDescriptor(0x10),
                                                   tsgen::iso639LanguageDescriptor("jpn", 0)}},
                                   {0x0D, kData, {tsgen::dataBroadcastIdIpMacDescriptor({{0x123, 1, 0}}),
                                                  tsgen::streamIdentifierDescriptor(0x40)}}},
                                  version));
    const tsgen::UtcTime t{2026, 12, 11, (i / 3600) % 24, (i / 60) % 60, i % 60};
    w.writeSection(0x14, tsgen::makeTot(t, {tsgen::localTimeOffsetDescriptor({{"JPN", 0, 540, t, 540}})}));
  }
  w.writeNullPackets(3);
  return w.take();
}

struct OurTables {
  si::Pat pat;
  si::Pmt pmt;
  si::Tot tot;
  size_t decoded = 0;
  static void handler(void* ctx, uint16_t pid, uint32_t, const uint8_t* s, size_t n) {
    auto* t = static_cast<OurTables*>(ctx);
    int r = -1;
    if (pid == 0) {
      r = si::parsePat(s, n, t->pat);
    } else if (pid == kPmtPid) {
      r = si::parsePmt(s, n, si::kSpaceDvb, t->pmt);
    } else if (s[0] == si::kTableIdTot) {
      r = si::parseTot(s, n, t->tot);
    }
    if (r >= 0) ++t->decoded;
  }
};

size_t runOurs(const Bytes& ts) {
  OurTables tables;
  demux::SectionDemux* d = demux::SectionDemux::create(nullptr);
  d->addSectionFilter(0, &OurTables::handler, &tables);
  d->addSectionFilter(kPmtPid, &OurTables::handler, &tables);
  d->addSectionFilter(0x14, &OurTables::handler, &tables);
  // The same packets, in the blocks the streaming thread hands over (libdvbpsi
  // takes one packet per call).
  const size_t block = 512 * 1024;
  for (size_t pos = 0; pos < ts.size(); pos += block) d->feed(ts.data() + pos, std::min(block, ts.size() - pos));
  d->release();
  return tables.decoded;
}

struct TheirTables {
  size_t decoded = 0;
};
void onPat(void* ctx, dvbpsi_pat_t* p) {
  ++static_cast<TheirTables*>(ctx)->decoded;
  dvbpsi_pat_delete(p);
}
void onPmt(void* ctx, dvbpsi_pmt_t* p) {
  ++static_cast<TheirTables*>(ctx)->decoded;
  dvbpsi_pmt_delete(p);
}
void onTot(void* ctx, dvbpsi_tot_t* p) {
  ++static_cast<TheirTables*>(ctx)->decoded;
  dvbpsi_tot_delete(p);
}
void onNewSubtable(dvbpsi_t* h, uint8_t tableId, uint16_t extension, void* ctx) {
  if (tableId == 0x73) dvbpsi_tot_attach(h, tableId, extension, &onTot, ctx);
}
void quiet(dvbpsi_t*, const dvbpsi_msg_level_t, const char*) {}

size_t runTheirs(const Bytes& ts) {
  TheirTables tables;
  dvbpsi_t* pat = dvbpsi_new(&quiet, DVBPSI_MSG_NONE);
  dvbpsi_t* pmt = dvbpsi_new(&quiet, DVBPSI_MSG_NONE);
  dvbpsi_t* time = dvbpsi_new(&quiet, DVBPSI_MSG_NONE);
  dvbpsi_pat_attach(pat, &onPat, &tables);
  dvbpsi_pmt_attach(pmt, kProgram, &onPmt, &tables);
  dvbpsi_AttachDemux(time, &onNewSubtable, &tables);
  for (size_t pos = 0; pos + 188 <= ts.size(); pos += 188) {
    auto* p = const_cast<uint8_t*>(ts.data() + pos);
    const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
    if (pid == 0) {
      dvbpsi_packet_push(pat, p);
    } else if (pid == kPmtPid) {
      dvbpsi_packet_push(pmt, p);
    } else if (pid == 0x14) {
      dvbpsi_packet_push(time, p);
    }
  }
  dvbpsi_pat_detach(pat);
  dvbpsi_pmt_detach(pmt);
  dvbpsi_DetachDemux(time);
  dvbpsi_delete(pat);
  dvbpsi_delete(pmt);
  dvbpsi_delete(time);
  return tables.decoded;
}

template <typename Fn>
double bestRate(Fn fn, const Bytes& ts, int runs, size_t& decoded) {
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    decoded = fn(ts);
    best = std::max(best, static_cast<double>(decoded) / seconds(start, Clock::now()));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  for (int i = 1; i < argc; ++i) quick = quick || std::strcmp(argv[i], "--quick") == 0;

  const double mbs = demuxMbPerSecond(quick ? 20'000'000 : 100'000'000, quick ? 2 : 5);
  std::printf("figure demux_mb_per_s %.0f MB/s\n", mbs);

  const Bytes ts = siStream(quick ? 5000 : 30000);
  size_t ours = 0, theirs = 0;
  const double ourRate = bestRate(runOurs, ts, quick ? 2 : 5, ours);
  const double theirRate = bestRate(runTheirs, ts, quick ? 2 : 5, theirs);
  if (ours != theirs) {
    std::fprintf(stderr, "bench_demux: decoded %zu tables, libdvbpsi %zu: not the same work\n", ours, theirs);
    return 1;
  }
  std::printf("# %zu PAT+PMT+TOT sections: ours %.0f tables/s, libdvbpsi %.0f tables/s\n", ours, ourRate, theirRate);
  std::printf("figure si_parse_vs_libdvbpsi %.2f x\n", ourRate / theirRate);
  return 0;
}
