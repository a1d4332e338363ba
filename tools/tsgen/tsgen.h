// Test transport-stream generator: sections with CRC_32 for the PSI/SI tables
// the player reads (PAT, PMT, SDT, NIT, EIT, INT, TDT, TOT), MPE sections
// carrying IPv4/UDP datagrams, and a packet writer that splits sections across
// packets through pointer_field, writes PCR packets, continuity errors and
// stuffing, in 188- or 204-byte packets. Elementary streams made by the ffmpeg
// program can be muxed in, so tests build realistic broadcasts at run time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tsgen {

using Bytes = std::vector<uint8_t>;

// CRC-32 of MPEG-2 sections (polynomial 0x04C11DB7, initial value all ones, no
// reflection, no final inversion): the value that makes a section's CRC check 0.
uint32_t crc32Mpeg(const uint8_t* data, size_t size);

struct UtcTime {
  int year, month, day, hour, minute, second;
};

// 16-bit MJD followed by hour, minute and second in BCD.
std::array<uint8_t, 5> encodeUtcTime(const UtcTime& t);
// Encodes hours and minutes as four BCD digits hhmm.
uint16_t bcdHhmm(int minutes);

// ---- descriptors: tag, length, body ------------------------------------------
struct Descriptor {
  uint8_t tag;
  Bytes body;
};
Bytes encodeDescriptors(const std::vector<Descriptor>& list);

Descriptor streamIdentifierDescriptor(uint8_t componentTag);
Descriptor iso639LanguageDescriptor(const std::string& language, uint8_t audioType);
struct IpMacPlatform {
  uint32_t platformId;  // 24 bits
  uint8_t actionType;
  uint8_t intVersion;  // 5 bits; the versioning flag is set
};
Descriptor dataBroadcastIdIpMacDescriptor(const std::vector<IpMacPlatform>& platforms);
Descriptor dataBroadcastIdDescriptor(uint16_t dataBroadcastId, const Bytes& selector);
struct LocalTimeOffset {
  std::string country;  // three letters
  uint8_t regionId;
  int offsetMinutes;  // sign gives the polarity
  UtcTime timeOfChange;
  int nextOffsetMinutes;
};
Descriptor localTimeOffsetDescriptor(const std::vector<LocalTimeOffset>& entries);
Descriptor targetIpAddressDescriptor(uint32_t mask, const std::vector<std::array<uint8_t, 4>>& addresses);
Descriptor targetIpSlashDescriptor(const std::vector<std::pair<std::array<uint8_t, 4>, uint8_t>>& entries);
Descriptor platformNameDescriptor(const std::string& language, const std::string& name);
Descriptor platformProviderNameDescriptor(const std::string& language, const std::string& name);
Descriptor streamLocationDescriptor(uint16_t networkId, uint16_t originalNetworkId, uint16_t transportStreamId,
                                    uint16_t serviceId, uint8_t componentTag);
Descriptor serviceDescriptor(uint8_t serviceType, const std::string& provider, const std::string& name);
Descriptor networkNameDescriptor(const std::string& name);
Descriptor shortEventDescriptor(const std::string& language, const std::string& name, const std::string& text);

// ---- sections ----------------------------------------------------------------
// A long-form section (section_syntax_indicator 1) with its header and CRC_32.
Bytes longSection(uint8_t tableId, uint16_t tableIdExtension, uint8_t version, uint8_t sectionNumber,
                  uint8_t lastSectionNumber, const Bytes& body, bool privateIndicator = false);

struct PatProgram {
  uint16_t programNumber;
  uint16_t pid;
};
Bytes makePat(uint16_t transportStreamId, const std::vector<PatProgram>& programs, uint8_t version = 0);

struct PmtStream {
  uint8_t streamType;
  uint16_t pid;
  std::vector<Descriptor> descriptors;
};
Bytes makePmt(uint16_t programNumber, uint16_t pcrPid, const std::vector<Descriptor>& programDescriptors,
              const std::vector<PmtStream>& streams, uint8_t version = 0);

struct SdtService {
  uint16_t serviceId;
  uint8_t serviceType;
  std::string provider;
  std::string name;
};
Bytes makeSdt(uint16_t transportStreamId, uint16_t originalNetworkId, const std::vector<SdtService>& services);

struct NitTransportStream {
  uint16_t transportStreamId;
  uint16_t originalNetworkId;
};
Bytes makeNit(uint16_t networkId, const std::string& networkName, const std::vector<NitTransportStream>& streams);

struct EitEvent {
  uint16_t eventId;
  UtcTime start;
  int durationSeconds;
  std::string name;
  std::string text;
};
Bytes makeEit(uint16_t serviceId, uint16_t transportStreamId, uint16_t originalNetworkId,
              const std::vector<EitEvent>& events);

struct IntLoopPair {
  std::vector<Descriptor> target;
  std::vector<Descriptor> operational;
};
Bytes makeInt(uint32_t platformId, uint8_t actionType, uint8_t processingOrder,
              const std::vector<Descriptor>& platformDescriptors, const std::vector<IntLoopPair>& pairs,
              uint8_t version = 0);

// An IPv4 datagram (header checksum set) carrying one UDP datagram.
Bytes makeIpv4Udp(std::array<uint8_t, 4> source, std::array<uint8_t, 4> destination, uint16_t sourcePort,
                  uint16_t destinationPort, const Bytes& payload);
// A datagram_section without LLC/SNAP carrying the datagram, for the given MAC.
Bytes makeMpeSection(const std::array<uint8_t, 6>& mac, const Bytes& datagram);
// The multicast MAC of an IPv4 group address (01:00:5E + low 23 bits).
std::array<uint8_t, 6> multicastMac(std::array<uint8_t, 4> address);

Bytes makeTdt(const UtcTime& time);
Bytes makeTot(const UtcTime& time, const std::vector<Descriptor>& descriptors);

std::optional<std::array<uint8_t, 4>> parseIpv4(const std::string& text);

// ---- packets -----------------------------------------------------------------
class TsWriter {
 public:
  // packetSize 188 or 204; 204-byte packets end in 16 padding bytes.
  explicit TsWriter(size_t packetSize = 188, uint8_t paddingByte = 0xFF);

  // Splits sections into packets of the PID: pointer_field in the first packet of
  // each, sections packed back to back, 0xFF stuffing after the last.
  void writeSection(uint16_t pid, const Bytes& section);
  void writeSections(uint16_t pid, const std::vector<Bytes>& sections);
  // A packet with only an adaptation field carrying a PCR (base mod 2^33, 9-bit
  // extension), optionally with discontinuity_indicator.
  void writePcrPacket(uint16_t pid, uint64_t pcrBase, uint16_t pcrExtension = 0, bool discontinuity = false);
  // A payload packet with an adaptation field of the given length (stuffing).
  void writePayloadWithAdaptation(uint16_t pid, size_t adaptationLength, const Bytes& payload, bool unitStart);
  void writeNullPackets(size_t count);
  // A 188-byte packet as given (the writer adds padding for 204-byte output).
  void writeRawPacket(const uint8_t* packet188);
  // Makes the next packet of the PID skip one continuity_counter value.
  void injectContinuityError(uint16_t pid);
  // Appends arbitrary bytes (garbage between packets).
  void writeGarbage(const Bytes& bytes);

  size_t packetSize() const { return packetSize_; }
  const Bytes& bytes() const { return out_; }
  Bytes take() { return std::move(out_); }

 private:
  void emit(uint8_t (&packet)[188]);
  uint8_t nextCounter(uint16_t pid, bool hasPayload);

  size_t packetSize_;
  uint8_t paddingByte_;
  Bytes out_;
  std::array<uint8_t, 8192> counters_{};
  std::array<bool, 8192> seen_{};
};

// ---- ffmpeg-made media -------------------------------------------------------
// Runs the ffmpeg program to make a one-segment shaped transport stream: H.264
// 320x240 at 15 fps (baseline) and AAC, `seconds` long. Returns false with a
// message when ffmpeg is missing or fails.
bool ffmpegAvailable();
bool makeOneSegMedia(double seconds, const std::string& workDir, Bytes& ts, std::string& error);

struct MuxPlan {
  uint16_t videoPid = 0x0111;
  uint16_t audioPid = 0x0112;
  size_t tablesEveryPackets = 40;  // the table cycle is written before every N media packets
  std::vector<std::pair<uint16_t, Bytes>> tableCycle;  // PID and section
};
// Takes the H.264 and AAC packets of an ffmpeg-made stream (dropping its own
// tables), moves them to the plan's PIDs and interleaves the table cycle.
bool muxMedia(const Bytes& ffmpegTs, const MuxPlan& plan, TsWriter& writer, std::string& error);

}  // namespace tsgen
