// tsinfo: prints the PAT, every PMT, the TDT/TOT and every INT found in a
// transport stream (188- or 204-byte packets), parsed by the file tuner's own
// section demultiplexer and SI parsers.
//
//   tsinfo [--json] FILE
//
// Each table is shown in the first version seen of each of its sections, in
// the order the sections arrived.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "si/section_demux.h"
#include "si/tables.h"

namespace {

using namespace tapfeed;

constexpr uint16_t kTimePid = 0x14;

struct Found {
  std::vector<si::Pat> pats;
  std::vector<si::Pmt> pmts;
  std::vector<si::Tdt> tdts;
  std::vector<si::Tot> tots;
  std::vector<std::pair<uint16_t, si::IntTable>> ints;
};

class Collector {
 public:
  static void handler(void* ctx, uint16_t pid, uint32_t, const uint8_t* s, size_t n) {
    static_cast<Collector*>(ctx)->onSection(pid, s, n);
  }
  Found found;

 private:
  // One entry per (PID, table_id, table_id_extension, section_number): the first seen.
  bool firstOf(uint16_t pid, const uint8_t* s, size_t n) {
    const uint16_t extension = n >= 5 ? static_cast<uint16_t>(s[3] << 8 | s[4]) : 0;
    const uint8_t section = n >= 7 ? s[6] : 0;
    return seen_.insert({pid, s[0], extension, section}).second;
  }

  void onSection(uint16_t pid, const uint8_t* s, size_t n) {
    const uint8_t tableId = s[0];
    if (pid == 0 && tableId == si::kTableIdPat) {
      si::Pat pat;
      if (si::parsePat(s, n, pat) < 0 || !firstOf(pid, s, n)) return;
      for (const auto& e : pat.entries) {
        if (e.programNumber != 0) pmtPids_.insert(e.pid);
      }
      found.pats.push_back(std::move(pat));
    } else if (tableId == si::kTableIdPmt && pmtPids_.count(pid)) {
      si::Pmt pmt;
      if (si::parsePmt(s, n, si::kSpaceDvb, pmt) < 0 || !firstOf(pid, s, n)) return;
      found.pmts.push_back(std::move(pmt));
    } else if (pid == kTimePid && tableId == si::kTableIdTdt) {
      si::Tdt tdt;
      if (si::parseTdt(s, n, tdt) < 0 || !firstOf(pid, s, 1)) return;
      found.tdts.push_back(tdt);
    } else if (pid == kTimePid && tableId == si::kTableIdTot) {
      si::Tot tot;
      if (si::parseTot(s, n, tot) < 0 || !firstOf(pid, s, 1)) return;
      found.tots.push_back(std::move(tot));
    } else if (tableId == si::kTableIdInt) {
      si::IntTable table;
      if (si::parseInt(s, n, table) < 0 || !firstOf(pid, s, n)) return;
      found.ints.emplace_back(pid, std::move(table));
    }
  }

  std::set<uint16_t> pmtPids_;
  std::set<std::tuple<uint16_t, uint8_t, uint16_t, uint8_t>> seen_;
};

// ---- output ------------------------------------------------------------------

std::string jsonString(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);  // bytes as carried, read as Latin-1
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string isoTime(const si::CalendarTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return buf;
}

int offsetMinutes(const si::LocalTimeOffsetFields::Entry& e) {
  const int v = e.localTimeOffset;
  const int minutes = 600 * (v >> 12 & 0xF) + 60 * (v >> 8 & 0xF) + 10 * (v >> 4 & 0xF) + (v & 0xF);
  return e.polarityNegative ? -minutes : minutes;
}

std::string address(const std::array<uint8_t, 4>& a) {
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." + std::to_string(a[3]);
}

std::string tagList(const si::DescriptorList& list) {
  std::string out = "[";
  for (size_t i = 0; i < list.size(); ++i) out += (i ? "," : "") + std::to_string(list[i].tag());
  return out + "]";
}

std::string platformText(const si::DescriptorList& list, uint32_t id) {
  const si::Descriptor* d = si::findLastDescriptor(list, id);
  return d ? std::string(d->as<si::PlatformNameFields>()->text()) : std::string();
}

std::string intTargets(const si::IntTable& t) {
  std::string out = "[";
  for (size_t i = 0; i < t.pairs.size(); ++i) {
    const auto& pair = t.pairs[i];
    std::string addresses;
    for (const auto& d : pair.target.descriptors) {
      if (const auto* a = d.as<si::TargetIpAddressFields>()) {
        for (const auto& x : a->addresses) addresses += (addresses.empty() ? "" : ",") + jsonString(address(x));
      } else if (const auto* s = d.as<si::TargetIpSlashFields>()) {
        for (size_t k = 0; k < s->addresses.size(); ++k) {
          addresses += (addresses.empty() ? "" : ",") +
                       jsonString(address(s->addresses[k]) + "/" + std::to_string(s->slashMasks[k]));
        }
      }
    }
    std::string locations;
    for (const auto& d : pair.operational.descriptors) {
      if (const auto* l = d.as<si::StreamLocationFields>()) {
        locations += (locations.empty() ? "" : ",") + std::string("{\"service_id\":") + std::to_string(l->serviceId) +
                     ",\"component_tag\":" + std::to_string(l->componentTag) + "}";
      }
    }
    out += (i ? "," : "") + std::string("{\"addresses\":[") + addresses + "],\"stream_locations\":[" + locations + "]}";
  }
  return out + "]";
}

void printJson(const Found& f) {
  std::string out = "{\"pat\":";
  if (f.pats.empty()) {
    out += "null";
  } else {
    const si::Pat& pat = f.pats.front();
    out += "{\"transport_stream_id\":" + std::to_string(pat.transportStreamId) + ",\"programs\":[";
    for (size_t i = 0; i < pat.entries.size(); ++i) {
      out += (i ? "," : "") + std::string("{\"program_number\":") + std::to_string(pat.entries[i].programNumber) +
             ",\"pid\":" + std::to_string(pat.entries[i].pid) + "}";
    }
    out += "]}";
  }
  out += ",\"pmt\":[";
  for (size_t i = 0; i < f.pmts.size(); ++i) {
    const si::Pmt& pmt = f.pmts[i];
    out += (i ? "," : "") + std::string("{\"program_number\":") + std::to_string(pmt.programNumber) +
           ",\"pcr_pid\":" + std::to_string(pmt.pcrPid) + ",\"streams\":[";
    for (size_t k = 0; k < pmt.streams.size(); ++k) {
      const auto& s = pmt.streams[k];
      out += (k ? "," : "") + std::string("{\"stream_type\":") + std::to_string(s.streamType) +
             ",\"pid\":" + std::to_string(s.elementaryPid) + ",\"descriptor_tags\":" + tagList(s.descriptors) + "}";
    }
    out += "]}";
  }
  out += "],\"tdt\":[";
  for (size_t i = 0; i < f.tdts.size(); ++i) out += (i ? "," : "") + jsonString(isoTime(f.tdts[i].time));
  out += "],\"tot\":[";
  for (size_t i = 0; i < f.tots.size(); ++i) {
    out += (i ? "," : "") + std::string("{\"utc\":") + jsonString(isoTime(f.tots[i].time)) +
           ",\"local_time_offsets\":[";
    bool first = true;
    for (const auto& d : f.tots[i].descriptors) {
      const auto* lto = d.as<si::LocalTimeOffsetFields>();
      if (lto == nullptr) continue;
      for (const auto& e : lto->entries) {
        out += (first ? "" : ",") + std::string("{\"country\":") +
               jsonString(std::string(e.countryCode.data(), 3)) + ",\"offset_minutes\":" +
               std::to_string(offsetMinutes(e)) + "}";
        first = false;
      }
    }
    out += "]}";
  }
  out += "],\"int\":[";
  for (size_t i = 0; i < f.ints.size(); ++i) {
    const auto& [pid, t] = f.ints[i];
    out += (i ? "," : "") + std::string("{\"pid\":") + std::to_string(pid) + ",\"platform_id\":" +
           std::to_string(t.platformId) + ",\"action_type\":" + std::to_string(t.actionType) +
           ",\"platform_name\":" + jsonString(platformText(t.platformLoop.descriptors, si::kIdPlatformName)) +
           ",\"provider_name\":" + jsonString(platformText(t.platformLoop.descriptors, si::kIdPlatformProviderName)) +
           ",\"targets\":" + intTargets(t) + "}";
  }
  out += "]}";
  std::printf("%s\n", out.c_str());
}

void printText(const Found& f) {
  if (f.pats.empty()) std::printf("no PAT found\n");
  for (const auto& pat : f.pats) {
    std::printf("PAT transport_stream_id %u version %u\n", pat.transportStreamId, pat.versionNumber);
    for (const auto& e : pat.entries) std::printf("  program %u -> PID 0x%04X\n", e.programNumber, e.pid);
  }
  for (const auto& pmt : f.pmts) {
    std::printf("PMT program %u PCR PID 0x%04X version %u\n", pmt.programNumber, pmt.pcrPid, pmt.versionNumber);
    for (const auto& s : pmt.streams) {
      std::printf("  stream type 0x%02X PID 0x%04X descriptors %s\n", s.streamType, s.elementaryPid,
                  tagList(s.descriptors).c_str());
    }
  }
  for (const auto& tdt : f.tdts) std::printf("TDT %s\n", isoTime(tdt.time).c_str());
  for (const auto& tot : f.tots) {
    std::printf("TOT %s\n", isoTime(tot.time).c_str());
    for (const auto& d : tot.descriptors) {
      if (const auto* lto = d.as<si::LocalTimeOffsetFields>()) {
        for (const auto& e : lto->entries) {
          std::printf("  local time offset %.3s %+d min\n", e.countryCode.data(), offsetMinutes(e));
        }
      }
    }
  }
  for (const auto& [pid, t] : f.ints) {
    std::printf("INT PID 0x%04X platform_id 0x%06X action %u name \"%s\" provider \"%s\"\n", pid, t.platformId,
                t.actionType, platformText(t.platformLoop.descriptors, si::kIdPlatformName).c_str(),
                platformText(t.platformLoop.descriptors, si::kIdPlatformProviderName).c_str());
    std::printf("  targets %s\n", intTargets(t).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (path == nullptr && argv[i][0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (path == nullptr) {
    std::fprintf(stderr, "usage: tsinfo [--json] FILE\n");
    return 2;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "tsinfo: cannot open %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  Collector collector;
  demux::SectionDemux* d = demux::SectionDemux::create(nullptr);
  if (d == nullptr || d->addSectionFilter(demux::kAllPids, &Collector::handler, &collector) == nullptr) {
    std::fprintf(stderr, "tsinfo: out of memory\n");
    std::fclose(file);
    return 1;
  }
  std::vector<uint8_t> chunk(512 * 1024);
  size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) d->feed(chunk.data(), n);
  const bool readError = std::ferror(file) != 0;
  std::fclose(file);
  d->release();
  if (readError) {
    std::fprintf(stderr, "tsinfo: read error on %s\n", path);
    return 1;
  }
  if (json) {
    printJson(collector.found);
  } else {
    printText(collector.found);
  }
  return 0;
}
