// Differential tests: our section demultiplexer and parsers against libdvbpsi
// (a test oracle only; nothing of it is linked into the plug-in) on generated
// and ffmpeg-muxed streams. Compared: PAT, PMT, TDT/TOT and the descriptors
// both decode (stream_identifier, ISO_639_language, data_broadcast_id,
// local_time_offset).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>
#include <dvbpsi/tot.h>
#include <dvbpsi/dr_0a.h>
#include <dvbpsi/dr_52.h>
#include <dvbpsi/dr_58.h>
#include <dvbpsi/dr_66.h>
}

#include "si/tables.h"
#include "test_helpers.h"

namespace tapfeed {
namespace {

using testing::Bytes;

// ---- our side -----------------------------------------------------------------

struct Ours {
  std::vector<si::Pat> pats;
  std::map<uint16_t, si::Pmt> pmts;  // first per program
  std::vector<si::Tdt> tdts;
  std::vector<si::Tot> tots;
};

struct OurCollector {
  Ours result;
  std::set<uint16_t> pmtPids;
  static void handler(void* ctx, uint16_t pid, uint32_t, const uint8_t* s, size_t n) {
    auto* self = static_cast<OurCollector*>(ctx);
    if (pid == 0 && s[0] == si::kTableIdPat) {
      si::Pat pat;
      if (si::parsePat(s, n, pat) >= 0) self->result.pats.push_back(pat);
    } else if (self->pmtPids.count(pid) && s[0] == si::kTableIdPmt) {
      si::Pmt pmt;
      if (si::parsePmt(s, n, si::kSpaceDvb, pmt) >= 0) self->result.pmts.emplace(pmt.programNumber, pmt);
    } else if (pid == 0x14 && s[0] == si::kTableIdTdt) {
      si::Tdt tdt;
      if (si::parseTdt(s, n, tdt) >= 0) self->result.tdts.push_back(tdt);
    } else if (pid == 0x14 && s[0] == si::kTableIdTot) {
      si::Tot tot;
      if (si::parseTot(s, n, tot) >= 0) self->result.tots.push_back(tot);
    }
  }
};

Ours runOurs(const Bytes& ts, const std::set<uint16_t>& pmtPids) {
  OurCollector c;
  c.pmtPids = pmtPids;
  testing::DemuxPtr d(demux::SectionDemux::create(nullptr));
  d->addSectionFilter(0, &OurCollector::handler, &c);
  d->addSectionFilter(0x14, &OurCollector::handler, &c);
  for (uint16_t pid : pmtPids) d->addSectionFilter(pid, &OurCollector::handler, &c);
  d->feed(ts.data(), ts.size());
  return c.result;
}

// ---- libdvbpsi side -----------------------------------------------------------

struct Theirs {
  std::vector<dvbpsi_pat_t*> pats;
  std::map<uint16_t, dvbpsi_pmt_t*> pmts;
  std::vector<dvbpsi_tot_t*> tdts;  // table_id 0x70
  std::vector<dvbpsi_tot_t*> tots;  // table_id 0x73
  ~Theirs() {
    for (auto* p : pats) dvbpsi_pat_delete(p);
    for (auto& [n, p] : pmts) dvbpsi_pmt_delete(p);
    for (auto* t : tdts) dvbpsi_tot_delete(t);
    for (auto* t : tots) dvbpsi_tot_delete(t);
  }
};

void onPat(void* ctx, dvbpsi_pat_t* pat) { static_cast<Theirs*>(ctx)->pats.push_back(pat); }
void onPmt(void* ctx, dvbpsi_pmt_t* pmt) {
  auto* t = static_cast<Theirs*>(ctx);
  if (!t->pmts.emplace(pmt->i_program_number, pmt).second) dvbpsi_pmt_delete(pmt);
}
void onTot(void* ctx, dvbpsi_tot_t* tot) {
  auto* t = static_cast<Theirs*>(ctx);
  (tot->i_table_id == 0x70 ? t->tdts : t->tots).push_back(tot);
}
void onNewSubtable(dvbpsi_t* handle, uint8_t tableId, uint16_t extension, void* ctx) {
  if (tableId == 0x70 || tableId == 0x73) dvbpsi_tot_attach(handle, tableId, extension, &onTot, ctx);
}
void quiet(dvbpsi_t*, const dvbpsi_msg_level_t, const char*) {}

// Runs libdvbpsi over the 188-byte packets of a stream of the given packet size.
void runTheirs(const Bytes& ts, size_t packetSize, const std::map<uint16_t, uint16_t>& pmtPidToProgram, Theirs& out) {
  dvbpsi_t* pat = dvbpsi_new(&quiet, DVBPSI_MSG_NONE);
  dvbpsi_t* time = dvbpsi_new(&quiet, DVBPSI_MSG_NONE);
  ASSERT_TRUE(dvbpsi_pat_attach(pat, &onPat, &out));
  ASSERT_TRUE(dvbpsi_AttachDemux(time, &onNewSubtable, &out));
  std::map<uint16_t, dvbpsi_t*> pmt;
  for (auto [pid, program] : pmtPidToProgram) {
    pmt[pid] = dvbpsi_new(&quiet, DVBPSI_MSG_NONE);
    ASSERT_TRUE(dvbpsi_pmt_attach(pmt[pid], program, &onPmt, &out));
  }
  for (size_t pos = 0; pos + 188 <= ts.size(); pos += packetSize) {
    auto* p = const_cast<uint8_t*>(ts.data() + pos);
    ASSERT_EQ(p[0], 0x47);
    const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
    if (pid == 0) dvbpsi_packet_push(pat, p);
    if (pid == 0x14) dvbpsi_packet_push(time, p);
    if (auto it = pmt.find(pid); it != pmt.end()) dvbpsi_packet_push(it->second, p);
  }
  dvbpsi_pat_detach(pat);
  dvbpsi_delete(pat);
  dvbpsi_DetachDemux(time);
  dvbpsi_delete(time);
  for (auto& [pid, h] : pmt) {
    dvbpsi_pmt_detach(h);
    dvbpsi_delete(h);
  }
}

// ---- comparison ---------------------------------------------------------------

uint64_t utcAsUint(const std::array<uint8_t, 5>& b) {
  uint64_t v = 0;
  for (uint8_t x : b) v = v << 8 | x;
  return v;
}

// Descriptors libdvbpsi keeps that our registry also keeps, in loop order.
std::vector<dvbpsi_descriptor_t*> comparable(dvbpsi_descriptor_t* first, uint32_t spaces) {
  std::vector<dvbpsi_descriptor_t*> list;
  for (auto* d = first; d != nullptr; d = d->p_next) {
    const uint32_t id = si::mapDescriptorTag(d->i_tag, spaces);
    if (id != 0 && si::isRegisteredDescriptor(id)) list.push_back(d);
  }
  return list;
}

void compareDescriptors(const si::DescriptorList& ours, dvbpsi_descriptor_t* theirsFirst, uint32_t spaces) {
  const auto theirs = comparable(theirsFirst, spaces);
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    const si::Descriptor& o = ours[i];
    dvbpsi_descriptor_t* t = theirs[i];
    EXPECT_EQ(o.tag(), t->i_tag);
    EXPECT_EQ(o.length, t->i_length);
    if (const auto* f = o.as<si::StreamIdentifierFields>()) {
      auto* d = dvbpsi_DecodeStreamIdentifierDr(t);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(f->componentTag, d->i_component_tag);
    } else if (const auto* f = o.as<si::Iso639LanguageFields>()) {
      auto* d = dvbpsi_DecodeISO639Dr(t);
      ASSERT_NE(d, nullptr);
      ASSERT_EQ(f->entries.size(), d->i_code_count);
      for (size_t k = 0; k < f->entries.size(); ++k) {
        EXPECT_EQ(0, std::memcmp(f->entries[k].language.data(), d->code[k].iso_639_code, 3));
        EXPECT_EQ(f->entries[k].audioType, d->code[k].i_audio_type);
      }
    } else if (const auto* f = o.as<si::DataBroadcastIdFields>()) {
      auto* d = dvbpsi_DecodeDataBroadcastIdDr(t);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(f->dataBroadcastId, d->i_data_broadcast_id);
      // libdvbpsi keeps the selector bytes whole; ours splits the IP/MAC platforms out.
      Bytes selector(d->p_id_selector, d->p_id_selector + d->i_id_selector_len);
      if (f->dataBroadcastId == si::kDataBroadcastIpMacNotification) {
        ASSERT_GE(selector.size(), 1u);
        EXPECT_EQ(f->platformIdDataLength, selector[0]);
        ASSERT_EQ(f->platforms.size(), selector[0] / 5u);
        for (size_t k = 0; k < f->platforms.size(); ++k) {
          const uint8_t* e = selector.data() + 1 + 5 * k;
          EXPECT_EQ(f->platforms[k].platformId, static_cast<uint32_t>(e[0] << 16 | e[1] << 8 | e[2]));
          EXPECT_EQ(f->platforms[k].actionType, e[3]);
          EXPECT_EQ(f->platforms[k].intVersion, e[4] & 0x1F);
        }
      } else {
        EXPECT_EQ(f->selector, selector);
      }
    } else if (const auto* f = o.as<si::LocalTimeOffsetFields>()) {
      auto* d = dvbpsi_DecodeLocalTimeOffsetDr(t);
      ASSERT_NE(d, nullptr);
      ASSERT_EQ(f->entries.size(), d->i_local_time_offsets_number);
      for (size_t k = 0; k < f->entries.size(); ++k) {
        const auto& e = f->entries[k];
        const auto& x = d->p_local_time_offset[k];
        EXPECT_EQ(0, std::memcmp(e.countryCode.data(), x.i_country_code, 3));
        EXPECT_EQ(e.countryRegionId, x.i_country_region_id);
        EXPECT_EQ(e.polarityNegative, x.i_local_time_offset_polarity != 0);
        EXPECT_EQ(e.localTimeOffset, x.i_local_time_offset);
        EXPECT_EQ(utcAsUint(e.timeOfChange), x.i_time_of_change);
        EXPECT_EQ(e.nextTimeOffset, x.i_next_time_offset);
      }
    }
  }
}

void compare(const Ours& ours, const Theirs& theirs) {
  ASSERT_FALSE(ours.pats.empty());
  ASSERT_FALSE(theirs.pats.empty());
  const si::Pat& pat = ours.pats.front();
  const dvbpsi_pat_t* tpat = theirs.pats.front();
  EXPECT_EQ(pat.transportStreamId, tpat->i_ts_id);
  EXPECT_EQ(pat.versionNumber, tpat->i_version);
  EXPECT_EQ(pat.currentNextIndicator, tpat->b_current_next);
  size_t i = 0;
  for (auto* p = tpat->p_first_program; p != nullptr; p = p->p_next, ++i) {
    ASSERT_LT(i, pat.entries.size());
    EXPECT_EQ(pat.entries[i].programNumber, p->i_number);
    EXPECT_EQ(pat.entries[i].pid, p->i_pid);
  }
  EXPECT_EQ(i, pat.entries.size());

  ASSERT_EQ(ours.pmts.size(), theirs.pmts.size());
  for (const auto& [program, pmt] : ours.pmts) {
    SCOPED_TRACE("program " + std::to_string(program));
    auto it = theirs.pmts.find(program);
    ASSERT_NE(it, theirs.pmts.end());
    const dvbpsi_pmt_t* t = it->second;
    EXPECT_EQ(pmt.pcrPid, t->i_pcr_pid);
    EXPECT_EQ(pmt.versionNumber, t->i_version);
    compareDescriptors(pmt.programDescriptors, t->p_first_descriptor, si::kSpaceMpeg | si::kSpaceDvb);
    size_t k = 0;
    for (auto* es = t->p_first_es; es != nullptr; es = es->p_next, ++k) {
      ASSERT_LT(k, pmt.streams.size());
      EXPECT_EQ(pmt.streams[k].streamType, es->i_type);
      EXPECT_EQ(pmt.streams[k].elementaryPid, es->i_pid);
      compareDescriptors(pmt.streams[k].descriptors, es->p_first_descriptor, si::kSpaceMpeg | si::kSpaceDvb);
    }
    EXPECT_EQ(k, pmt.streams.size());
  }

  ASSERT_EQ(ours.tdts.empty(), theirs.tdts.empty());
  if (!ours.tdts.empty()) {
    EXPECT_EQ(utcAsUint(ours.tdts.front().utcTime), theirs.tdts.front()->i_utc_time);
  }
  ASSERT_EQ(ours.tots.empty(), theirs.tots.empty());
  if (!ours.tots.empty()) {
    EXPECT_EQ(utcAsUint(ours.tots.front().utcTime), theirs.tots.front()->i_utc_time);
    compareDescriptors(ours.tots.front().descriptors, theirs.tots.front()->p_first_descriptor,
                       si::kSpaceMpeg | si::kSpaceDvb);
  }
}

// ---- streams ------------------------------------------------------------------

struct Broadcast {
  std::vector<std::pair<uint16_t, Bytes>> tables;
  std::map<uint16_t, uint16_t> pmtPidToProgram;
};

Broadcast sampleBroadcast(int variant) {
  Broadcast b;
  const tsgen::UtcTime now{2026, 12, 11, 15, 30, variant};
  std::vector<tsgen::PatProgram> programs{{0, 0x10}};
  for (int p = 0; p < 2 + variant; ++p) {
    const uint16_t program = static_cast<uint16_t>(0x0400 + p);
    const uint16_t pmtPid = static_cast<uint16_t>(0x1FC8 + p);
    programs.push_back({program, pmtPid});
    b.pmtPidToProgram[pmtPid] = program;
    const uint16_t base = static_cast<uint16_t>(0x100 + 0x10 * p);
    b.tables.emplace_back(
        pmtPid, tsgen::makePmt(program, base,
                               {{0x09, {0x00, 0x05, 0xE1, 0x00}}, {0xC1, {0x84}}},
                               {{0x1B, base, {tsgen::streamIdentifierDescriptor(static_cast<uint8_t>(p)), {0xC8, {1}}}},
                                {0x0F, static_cast<uint16_t>(base + 1),
                                 {tsgen::streamIdentifierDescriptor(0x10), tsgen::iso639LanguageDescriptor("jpn", 0)}},
                                {0x0D, static_cast<uint16_t>(base + 2),
                                 {tsgen::dataBroadcastIdIpMacDescriptor({{0x000123, 1, 2}, {0x000456, 1, 3}}),
                                  tsgen::streamIdentifierDescriptor(0x40)}},
                                {0x06, static_cast<uint16_t>(base + 3),
                                 {tsgen::dataBroadcastIdDescriptor(0x000C, {0x01, 0x02, 0x03})}}},
                               static_cast<uint8_t>(variant)));
  }
  b.tables.insert(b.tables.begin(), {0, tsgen::makePat(static_cast<uint16_t>(0x7FE0 + variant), programs,
                                                       static_cast<uint8_t>(variant))});
  b.tables.emplace_back(0x14, tsgen::makeTdt(now));
  b.tables.emplace_back(0x14, tsgen::makeTot(now, {tsgen::localTimeOffsetDescriptor(
                                                      {{"JPN", 0, 540, {2027, 3, 1, 2, 0, 0}, 600},
                                                       {"GBR", 1, -90, {2027, 3, 28, 1, 0, 0}, 0}})}));
  return b;
}

std::set<uint16_t> pmtPids(const Broadcast& b) {
  std::set<uint16_t> pids;
  for (auto& [pid, program] : b.pmtPidToProgram) pids.insert(pid);
  return pids;
}

TEST(LibdvbpsiDiff, GeneratedStreams) {
  for (int variant = 0; variant < 3; ++variant) {
    for (size_t packetSize : {size_t{188}, size_t{204}}) {
      SCOPED_TRACE("variant " + std::to_string(variant) + ", packets of " + std::to_string(packetSize));
      const Broadcast b = sampleBroadcast(variant);
      tsgen::TsWriter w(packetSize, 0x47);
      for (int round = 0; round < 2; ++round) {
        for (const auto& [pid, section] : b.tables) w.writeSection(pid, section);
        w.writeNullPackets(2);
      }
      Theirs theirs;
      runTheirs(w.bytes(), packetSize, b.pmtPidToProgram, theirs);
      compare(runOurs(w.bytes(), pmtPids(b)), theirs);
    }
  }
}

TEST(LibdvbpsiDiff, FfmpegMuxedStream) {
  if (!tsgen::ffmpegAvailable()) GTEST_SKIP() << "the ffmpeg program is not installed; no muxed stream to compare";
  Bytes media;
  std::string error;
  ASSERT_TRUE(tsgen::makeOneSegMedia(2.0, ::testing::TempDir(), media, error)) << error;
  const Broadcast b = sampleBroadcast(1);
  tsgen::MuxPlan plan;
  plan.videoPid = 0x100;  // the first program's PCR PID
  plan.audioPid = 0x101;
  plan.tableCycle = b.tables;
  plan.tablesEveryPackets = 60;
  tsgen::TsWriter w;
  ASSERT_TRUE(tsgen::muxMedia(media, plan, w, error)) << error;
  ASSERT_GT(w.bytes().size(), 100u * 188);
  Theirs theirs;
  runTheirs(w.bytes(), 188, b.pmtPidToProgram, theirs);
  const Ours ours = runOurs(w.bytes(), pmtPids(b));
  compare(ours, theirs);
  // Every table cycle comes through both.
  EXPECT_EQ(ours.tots.size(), theirs.tots.size());
  EXPECT_GT(ours.tots.size(), 2u);
}

}  // namespace
}  // namespace tapfeed
