#include "tsgen.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tsgen {
namespace {

void put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
void put24(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 16));
  put16(b, v);
}
void put32(Bytes& b, uint32_t v) {
  put16(b, v >> 16);
  put16(b, v);
}
void putText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void putLanguage(Bytes& b, const std::string& language) {
  for (size_t i = 0; i < 3; ++i) b.push_back(i < language.size() ? static_cast<uint8_t>(language[i]) : ' ');
}
uint8_t bcd(int v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); }

// Descriptor loop preceded by 4 reserved bits (all 1) and its 12-bit length.
void putLoop(Bytes& b, const Bytes& loop) {
  put16(b, 0xF000u | static_cast<uint32_t>(loop.size() & 0x0FFF));
  b.insert(b.end(), loop.begin(), loop.end());
}

void appendCrc(Bytes& section) { put32(section, crc32Mpeg(section.data(), section.size())); }

}  // namespace

uint32_t crc32Mpeg(const uint8_t* data, size_t size) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

std::array<uint8_t, 5> encodeUtcTime(const UtcTime& t) {
  const int l = (t.month == 1 || t.month == 2) ? 1 : 0;
  const long mjd = 14956 + t.day + static_cast<long>((t.year - 1900 - l) * 365.25) +
                   static_cast<long>((t.month + 1 + l * 12) * 30.6001);
  return {static_cast<uint8_t>(mjd >> 8), static_cast<uint8_t>(mjd), bcd(t.hour), bcd(t.minute), bcd(t.second)};
}

uint16_t bcdHhmm(int minutes) {
  const int h = minutes / 60;
  const int m = minutes % 60;
  return static_cast<uint16_t>(bcd(h) << 8 | bcd(m));
}

Bytes encodeDescriptors(const std::vector<Descriptor>& list) {
  Bytes out;
  for (const auto& d : list) {
    out.push_back(d.tag);
    out.push_back(static_cast<uint8_t>(d.body.size()));
    out.insert(out.end(), d.body.begin(), d.body.end());
  }
  return out;
}

Descriptor streamIdentifierDescriptor(uint8_t componentTag) { return {0x52, {componentTag}}; }

Descriptor iso639LanguageDescriptor(const std::string& language, uint8_t audioType) {
  Bytes b;
  putLanguage(b, language);
  b.push_back(audioType);
  return {0x0A, b};
}

Descriptor dataBroadcastIdIpMacDescriptor(const std::vector<IpMacPlatform>& platforms) {
  Bytes b;
  put16(b, 0x000B);
  b.push_back(static_cast<uint8_t>(platforms.size() * 5));
  for (const auto& p : platforms) {
    put24(b, p.platformId);
    b.push_back(p.actionType);
    b.push_back(static_cast<uint8_t>(0xC0 | 0x20 | (p.intVersion & 0x1F)));
  }
  return {0x66, b};
}

Descriptor dataBroadcastIdDescriptor(uint16_t dataBroadcastId, const Bytes& selector) {
  Bytes b;
  put16(b, dataBroadcastId);
  b.insert(b.end(), selector.begin(), selector.end());
  return {0x66, b};
}

Descriptor localTimeOffsetDescriptor(const std::vector<LocalTimeOffset>& entries) {
  Bytes b;
  for (const auto& e : entries) {
    putLanguage(b, e.country);
    b.push_back(static_cast<uint8_t>((e.regionId & 0x3F) << 2 | 0x02 | (e.offsetMinutes < 0 ? 1 : 0)));
    put16(b, bcdHhmm(std::abs(e.offsetMinutes)));
    const auto change = encodeUtcTime(e.timeOfChange);
    b.insert(b.end(), change.begin(), change.end());
    put16(b, bcdHhmm(std::abs(e.nextOffsetMinutes)));
  }
  return {0x58, b};
}

Descriptor targetIpAddressDescriptor(uint32_t mask, const std::vector<std::array<uint8_t, 4>>& addresses) {
  Bytes b;
  put32(b, mask);
  for (const auto& a : addresses) b.insert(b.end(), a.begin(), a.end());
  return {0x09, b};
}

Descriptor targetIpSlashDescriptor(const std::vector<std::pair<std::array<uint8_t, 4>, uint8_t>>& entries) {
  Bytes b;
  for (const auto& [a, slash] : entries) {
    b.insert(b.end(), a.begin(), a.end());
    b.push_back(slash);
  }
  return {0x0F, b};
}

Descriptor platformNameDescriptor(const std::string& language, const std::string& name) {
  Bytes b;
  putLanguage(b, language);
  putText(b, name);
  return {0x0C, b};
}

Descriptor platformProviderNameDescriptor(const std::string& language, const std::string& name) {
  Descriptor d = platformNameDescriptor(language, name);
  d.tag = 0x0D;
  return d;
}

Descriptor streamLocationDescriptor(uint16_t networkId, uint16_t originalNetworkId, uint16_t transportStreamId,
                                    uint16_t serviceId, uint8_t componentTag) {
  Bytes b;
  put16(b, networkId);
  put16(b, originalNetworkId);
  put16(b, transportStreamId);
  put16(b, serviceId);
  b.push_back(componentTag);
  return {0x13, b};
}

Descriptor serviceDescriptor(uint8_t serviceType, const std::string& provider, const std::string& name) {
  Bytes b{serviceType, static_cast<uint8_t>(provider.size())};
  putText(b, provider);
  b.push_back(static_cast<uint8_t>(name.size()));
  putText(b, name);
  return {0x48, b};
}

Descriptor networkNameDescriptor(const std::string& name) {
  Bytes b;
  putText(b, name);
  return {0x40, b};
}

Descriptor shortEventDescriptor(const std::string& language, const std::string& name, const std::string& text) {
  Bytes b;
  putLanguage(b, language);
  b.push_back(static_cast<uint8_t>(name.size()));
  putText(b, name);
  b.push_back(static_cast<uint8_t>(text.size()));
  putText(b, text);
  return {0x4D, b};
}

Bytes longSection(uint8_t tableId, uint16_t tableIdExtension, uint8_t version, uint8_t sectionNumber,
                  uint8_t lastSectionNumber, const Bytes& body, bool privateIndicator) {
  Bytes s;
  const size_t sectionLength = 5 + body.size() + 4;
  s.push_back(tableId);
  put16(s, 0x8000u | (privateIndicator ? 0x4000u : 0u) | 0x3000u | static_cast<uint32_t>(sectionLength & 0x0FFF));
  put16(s, tableIdExtension);
  s.push_back(static_cast<uint8_t>(0xC0 | (version & 0x1F) << 1 | 0x01));
  s.push_back(sectionNumber);
  s.push_back(lastSectionNumber);
  s.insert(s.end(), body.begin(), body.end());
  appendCrc(s);
  return s;
}

Bytes makePat(uint16_t transportStreamId, const std::vector<PatProgram>& programs, uint8_t version) {
  Bytes body;
  for (const auto& p : programs) {
    put16(body, p.programNumber);
    put16(body, 0xE000u | (p.pid & 0x1FFF));
  }
  return longSection(0x00, transportStreamId, version, 0, 0, body);
}

Bytes makePmt(uint16_t programNumber, uint16_t pcrPid, const std::vector<Descriptor>& programDescriptors,
              const std::vector<PmtStream>& streams, uint8_t version) {
  Bytes body;
  put16(body, 0xE000u | (pcrPid & 0x1FFF));
  putLoop(body, encodeDescriptors(programDescriptors));
  for (const auto& s : streams) {
    body.push_back(s.streamType);
    put16(body, 0xE000u | (s.pid & 0x1FFF));
    putLoop(body, encodeDescriptors(s.descriptors));
  }
  return longSection(0x02, programNumber, version, 0, 0, body);
}

Bytes makeSdt(uint16_t transportStreamId, uint16_t originalNetworkId, const std::vector<SdtService>& services) {
  Bytes body;
  put16(body, originalNetworkId);
  body.push_back(0xFF);
  for (const auto& s : services) {
    put16(body, s.serviceId);
    body.push_back(0xFC);  // no EIT flags
    const Bytes loop = encodeDescriptors({serviceDescriptor(s.serviceType, s.provider, s.name)});
    put16(body, 0x8000u | static_cast<uint32_t>(loop.size()));  // running_status 4
    body.insert(body.end(), loop.begin(), loop.end());
  }
  return longSection(0x42, transportStreamId, 0, 0, 0, body);
}

Bytes makeNit(uint16_t networkId, const std::string& networkName, const std::vector<NitTransportStream>& streams) {
  Bytes body;
  putLoop(body, encodeDescriptors({networkNameDescriptor(networkName)}));
  Bytes tsLoop;
  for (const auto& t : streams) {
    put16(tsLoop, t.transportStreamId);
    put16(tsLoop, t.originalNetworkId);
    putLoop(tsLoop, {});
  }
  putLoop(body, tsLoop);
  return longSection(0x40, networkId, 0, 0, 0, body);
}

Bytes makeEit(uint16_t serviceId, uint16_t transportStreamId, uint16_t originalNetworkId,
              const std::vector<EitEvent>& events) {
  Bytes body;
  put16(body, transportStreamId);
  put16(body, originalNetworkId);
  body.push_back(0);     // segment_last_section_number
  body.push_back(0x4E);  // last_table_id
  for (const auto& e : events) {
    put16(body, e.eventId);
    const auto start = encodeUtcTime(e.start);
    body.insert(body.end(), start.begin(), start.end());
    body.push_back(bcd(e.durationSeconds / 3600));
    body.push_back(bcd(e.durationSeconds / 60 % 60));
    body.push_back(bcd(e.durationSeconds % 60));
    const Bytes loop = encodeDescriptors({shortEventDescriptor("jpn", e.name, e.text)});
    put16(body, 0x8000u | static_cast<uint32_t>(loop.size()));
    body.insert(body.end(), loop.begin(), loop.end());
  }
  return longSection(0x4E, serviceId, 0, 0, 0, body);
}

Bytes makeInt(uint32_t platformId, uint8_t actionType, uint8_t processingOrder,
              const std::vector<Descriptor>& platformDescriptors, const std::vector<IntLoopPair>& pairs,
              uint8_t version) {
  // table_id_extension carries action_type and platform_id_hash.
  const uint8_t hash = static_cast<uint8_t>((platformId >> 16) ^ (platformId >> 8) ^ platformId);
  Bytes body;
  put24(body, platformId);
  body.push_back(processingOrder);
  putLoop(body, encodeDescriptors(platformDescriptors));
  for (const auto& p : pairs) {
    putLoop(body, encodeDescriptors(p.target));
    putLoop(body, encodeDescriptors(p.operational));
  }
  return longSection(0x4C, static_cast<uint16_t>(actionType << 8 | hash), version, 0, 0, body);
}

Bytes makeIpv4Udp(std::array<uint8_t, 4> source, std::array<uint8_t, 4> destination, uint16_t sourcePort,
                  uint16_t destinationPort, const Bytes& payload) {
  Bytes d;
  const size_t total = 20 + 8 + payload.size();
  d.push_back(0x45);
  d.push_back(0);
  put16(d, static_cast<uint32_t>(total));
  put16(d, 0);       // identification
  put16(d, 0x4000);  // don't fragment
  d.push_back(64);   // TTL
  d.push_back(17);   // UDP
  put16(d, 0);       // checksum, set below
  d.insert(d.end(), source.begin(), source.end());
  d.insert(d.end(), destination.begin(), destination.end());
  uint32_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(d[i] << 8 | d[i + 1]);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  const uint16_t checksum = static_cast<uint16_t>(~sum);
  d[10] = static_cast<uint8_t>(checksum >> 8);
  d[11] = static_cast<uint8_t>(checksum);
  put16(d, sourcePort);
  put16(d, destinationPort);
  put16(d, static_cast<uint32_t>(8 + payload.size()));
  put16(d, 0);  // no UDP checksum
  d.insert(d.end(), payload.begin(), payload.end());
  return d;
}

Bytes makeMpeSection(const std::array<uint8_t, 6>& mac, const Bytes& datagram) {
  Bytes s;
  const size_t sectionLength = 9 + datagram.size() + 4;
  s.push_back(0x3E);
  put16(s, 0xB000u | static_cast<uint32_t>(sectionLength & 0x0FFF));  // syntax 1, private 0
  s.push_back(mac[5]);
  s.push_back(mac[4]);
  s.push_back(0xC1);  // reserved, no scrambling, LLC_SNAP_flag 0, current_next 1
  s.push_back(0);     // section_number
  s.push_back(0);     // last_section_number
  s.push_back(mac[3]);
  s.push_back(mac[2]);
  s.push_back(mac[1]);
  s.push_back(mac[0]);
  s.insert(s.end(), datagram.begin(), datagram.end());
  appendCrc(s);
  return s;
}

std::array<uint8_t, 6> multicastMac(std::array<uint8_t, 4> a) {
  return {0x01, 0x00, 0x5E, static_cast<uint8_t>(a[1] & 0x7F), a[2], a[3]};
}

Bytes makeTdt(const UtcTime& time) {
  Bytes s{0x70, 0x70, 0x05};  // syntax 0, reserved bits 1, section_length 5
  const auto utc = encodeUtcTime(time);
  s.insert(s.end(), utc.begin(), utc.end());
  return s;
}

Bytes makeTot(const UtcTime& time, const std::vector<Descriptor>& descriptors) {
  const Bytes loop = encodeDescriptors(descriptors);
  Bytes s{0x73};
  put16(s, 0x7000u | static_cast<uint32_t>((5 + 2 + loop.size() + 4) & 0x0FFF));
  const auto utc = encodeUtcTime(time);
  s.insert(s.end(), utc.begin(), utc.end());
  putLoop(s, loop);
  appendCrc(s);
  return s;
}

std::optional<std::array<uint8_t, 4>> parseIpv4(const std::string& text) {
  std::array<uint8_t, 4> a{};
  unsigned v[4];
  char tail;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &tail) != 4) return std::nullopt;
  for (int i = 0; i < 4; ++i) {
    if (v[i] > 255) return std::nullopt;
    a[i] = static_cast<uint8_t>(v[i]);
  }
  return a;
}

// ---- packets -----------------------------------------------------------------

TsWriter::TsWriter(size_t packetSize, uint8_t paddingByte)
    : packetSize_(packetSize == 204 ? 204 : 188), paddingByte_(paddingByte) {}

uint8_t TsWriter::nextCounter(uint16_t pid, bool hasPayload) {
  if (!seen_[pid]) {
    seen_[pid] = true;
    return counters_[pid];
  }
  if (hasPayload) counters_[pid] = static_cast<uint8_t>((counters_[pid] + 1) & 0x0F);
  return counters_[pid];
}

void TsWriter::emit(uint8_t (&packet)[188]) {
  out_.insert(out_.end(), packet, packet + 188);
  if (packetSize_ == 204) out_.insert(out_.end(), 16, paddingByte_);
}

void TsWriter::writeSections(uint16_t pid, const std::vector<Bytes>& sections) {
  Bytes data;
  for (const auto& s : sections) data.insert(data.end(), s.begin(), s.end());
  if (data.empty()) return;
  // Section start offsets inside `data`, to place pointer_fields.
  std::vector<size_t> starts;
  size_t at = 0;
  for (const auto& s : sections) {
    starts.push_back(at);
    at += s.size();
  }
  size_t pos = 0;
  size_t nextStart = 0;  // index into starts
  while (pos < data.size()) {
    uint8_t packet[188];
    std::memset(packet, 0xFF, sizeof packet);
    while (nextStart < starts.size() && starts[nextStart] < pos) ++nextStart;
    // A section starts in this packet when its start lies within the next 183 bytes.
    const bool unitStart = nextStart < starts.size() && starts[nextStart] - pos <= 182;
    packet[0] = 0x47;
    packet[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | (pid >> 8 & 0x1F));
    packet[2] = static_cast<uint8_t>(pid);
    packet[3] = static_cast<uint8_t>(0x10 | nextCounter(pid, true));
    size_t room = 184;
    size_t out = 4;
    if (unitStart) {
      packet[out++] = static_cast<uint8_t>(starts[nextStart] - pos);
      --room;
    }
    size_t n = std::min(room, data.size() - pos);
    // A section that would start on the last byte of a packet without
    // pointer_field moves to the next packet; stuffing ends this one.
    if (!unitStart && nextStart < starts.size() && starts[nextStart] < pos + n) n = starts[nextStart] - pos;
    std::memcpy(packet + out, data.data() + pos, n);
    pos += n;
    emit(packet);
  }
}

void TsWriter::writeSection(uint16_t pid, const Bytes& section) { writeSections(pid, {section}); }

void TsWriter::writePcrPacket(uint16_t pid, uint64_t pcrBase, uint16_t pcrExtension, bool discontinuity) {
  uint8_t packet[188];
  std::memset(packet, 0xFF, sizeof packet);
  packet[0] = 0x47;
  packet[1] = static_cast<uint8_t>(pid >> 8 & 0x1F);
  packet[2] = static_cast<uint8_t>(pid);
  packet[3] = static_cast<uint8_t>(0x20 | nextCounter(pid, false));
  packet[4] = 183;
  packet[5] = static_cast<uint8_t>(0x10 | (discontinuity ? 0x80 : 0));
  const uint64_t base = pcrBase & ((1ull << 33) - 1);
  packet[6] = static_cast<uint8_t>(base >> 25);
  packet[7] = static_cast<uint8_t>(base >> 17);
  packet[8] = static_cast<uint8_t>(base >> 9);
  packet[9] = static_cast<uint8_t>(base >> 1);
  packet[10] = static_cast<uint8_t>((base & 1) << 7 | 0x7E | (pcrExtension >> 8 & 1));
  packet[11] = static_cast<uint8_t>(pcrExtension);
  emit(packet);
}

void TsWriter::writePayloadWithAdaptation(uint16_t pid, size_t adaptationLength, const Bytes& payload,
                                          bool unitStart) {
  uint8_t packet[188];
  std::memset(packet, 0xFF, sizeof packet);
  if (adaptationLength > 182) adaptationLength = 182;
  packet[0] = 0x47;
  packet[1] = static_cast<uint8_t>((unitStart ? 0x40 : 0) | (pid >> 8 & 0x1F));
  packet[2] = static_cast<uint8_t>(pid);
  packet[3] = static_cast<uint8_t>(0x30 | nextCounter(pid, true));
  packet[4] = static_cast<uint8_t>(adaptationLength);
  if (adaptationLength > 0) packet[5] = 0x00;
  const size_t start = 5 + adaptationLength;
  std::memcpy(packet + start, payload.data(), std::min(payload.size(), 188 - start));
  emit(packet);
}

void TsWriter::writeNullPackets(size_t count) {
  for (size_t i = 0; i < count; ++i) {
    uint8_t packet[188];
    std::memset(packet, 0xFF, sizeof packet);
    packet[0] = 0x47;
    packet[1] = 0x1F;
    packet[2] = 0xFF;
    packet[3] = 0x10;
    emit(packet);
  }
}

void TsWriter::writeRawPacket(const uint8_t* packet188) {
  uint8_t packet[188];
  std::memcpy(packet, packet188, 188);
  emit(packet);
}

void TsWriter::injectContinuityError(uint16_t pid) {
  counters_[pid & 0x1FFF] = static_cast<uint8_t>((counters_[pid & 0x1FFF] + 1) & 0x0F);
}

void TsWriter::writeGarbage(const Bytes& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

// ---- ffmpeg-made media -------------------------------------------------------

bool ffmpegAvailable() { return std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") == 0; }

bool makeOneSegMedia(double seconds, const std::string& workDir, Bytes& ts, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(workDir, ec);
  const fs::path out = fs::path(workDir) / ("oneseg_" + std::to_string(::getpid()) + ".ts");
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -hide_banner -loglevel error -y"
      << " -f lavfi -i testsrc=size=320x240:rate=15"
      << " -f lavfi -i sine=frequency=440:sample_rate=48000"
      << " -t " << seconds
      << " -c:v libx264 -preset ultrafast -profile:v baseline -g 15 -pix_fmt yuv420p"
      << " -c:a aac -b:a 64k -ac 2"
      << " -f mpegts -mpegts_pmt_start_pid 0x1000 -mpegts_start_pid 0x100 '" << out.string() << "'"
      << " >/dev/null 2>&1";
  if (std::system(cmd.str().c_str()) != 0) {
    error = "the ffmpeg program failed (is it installed, with libx264?)";
    return false;
  }
  std::ifstream in(out, std::ios::binary);
  ts.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  fs::remove(out, ec);
  if (ts.size() < 188) {
    error = "ffmpeg wrote no stream";
    return false;
  }
  return true;
}

bool muxMedia(const Bytes& ffmpegTs, const MuxPlan& plan, TsWriter& writer, std::string& error) {
  // ffmpeg's first elementary stream PID is 0x100 (video), the next 0x101 (audio).
  constexpr uint16_t kSourceVideo = 0x100;
  constexpr uint16_t kSourceAudio = 0x101;
  auto writeCycle = [&] {
    for (const auto& [pid, section] : plan.tableCycle) writer.writeSection(pid, section);
  };
  size_t media = 0;
  for (size_t pos = 0; pos + 188 <= ffmpegTs.size(); pos += 188) {
    const uint8_t* p = ffmpegTs.data() + pos;
    if (p[0] != 0x47) {
      error = "ffmpeg stream lost sync";
      return false;
    }
    const uint16_t pid = static_cast<uint16_t>((p[1] & 0x1F) << 8 | p[2]);
    uint16_t target;
    if (pid == kSourceVideo) {
      target = plan.videoPid;
    } else if (pid == kSourceAudio) {
      target = plan.audioPid;
    } else {
      continue;  // ffmpeg's own PAT, PMT, SDT and nulls
    }
    if (media % (plan.tablesEveryPackets == 0 ? 1 : plan.tablesEveryPackets) == 0) writeCycle();
    uint8_t packet[188];
    std::memcpy(packet, p, 188);
    packet[1] = static_cast<uint8_t>((packet[1] & 0xE0) | (target >> 8 & 0x1F));
    packet[2] = static_cast<uint8_t>(target);
    writer.writeRawPacket(packet);
    ++media;
  }
  if (media == 0) {
    error = "ffmpeg stream has no media packets";
    return false;
  }
  writeCycle();
  return true;
}

}  // namespace tsgen
