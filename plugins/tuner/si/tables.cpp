#include "si/tables.h"

#include "si/bit_reader.h"

namespace tapfeed::si {
namespace {

// Common start of every long-form section: table_id, the flag bits and the
// 12-bit section_length. Fails when the declared section does not fit the buffer.
bool sectionFits(const uint8_t* section, size_t length, uint16_t& sectionLength) {
  if (section == nullptr || length < 3) return false;
  sectionLength = static_cast<uint16_t>((section[1] & 0x0F) << 8 | section[2]);
  return static_cast<size_t>(sectionLength) + 3 <= length;
}

bool bcdByte(uint8_t byte, int& value) {
  const int tens = byte >> 4;
  const int units = byte & 0x0F;
  if (tens > 9 || units > 9) return false;
  value = tens * 10 + units;
  return true;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2) {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[month - 1];
}

// The inverse of the MJD formula, used to confirm that a converted date is the
// day the MJD names (the forward formula only holds from 1900-03-01 onwards).
long dateToMjd(int year, int month, int day) {
  const int l = (month == 1 || month == 2) ? 1 : 0;
  return 14956 + day + static_cast<long>((year - 1900 - l) * 365.25) +
         static_cast<long>((month + 1 + l * 12) * 30.6001);
}

}  // namespace

std::optional<CalendarTime> convertUtcTime(const uint8_t utc[5]) {
  const long mjd = static_cast<long>(utc[0]) << 8 | utc[1];
  const long yp = static_cast<long>((mjd - 15078.2) / 365.25);
  const long mp = static_cast<long>((mjd - 14956.1 - static_cast<long>(yp * 365.25)) / 30.6001);
  CalendarTime t;
  t.day = static_cast<int>(mjd - 14956 - static_cast<long>(yp * 365.25) - static_cast<long>(mp * 30.6001));
  const long k = (mp == 14 || mp == 15) ? 1 : 0;
  t.year = static_cast<int>(yp + k + 1900);
  t.month = static_cast<int>(mp - 1 - 12 * k);
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth(t.year, t.month)) return std::nullopt;
  if (dateToMjd(t.year, t.month, t.day) != mjd) return std::nullopt;
  if (!bcdByte(utc[2], t.hour) || !bcdByte(utc[3], t.minute) || !bcdByte(utc[4], t.second)) return std::nullopt;
  if (t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
  return t;
}

namespace {

// Empties a record but keeps the storage of its lists for the next parse.
void emptyPat(Pat& pat) {
  auto entries = std::move(pat.entries);
  entries.clear();
  pat = Pat{};
  pat.entries = std::move(entries);
}

void emptyPmt(Pmt& pmt) {
  auto streams = std::move(pmt.streams);
  auto program = std::move(pmt.programDescriptors);
  streams.clear();
  program.clear();
  pmt = Pmt{};
  pmt.streams = std::move(streams);
  pmt.programDescriptors = std::move(program);
}

void emptyTot(Tot& tot) {
  auto descriptors = std::move(tot.descriptors);
  descriptors.clear();
  tot = Tot{};
  tot.descriptors = std::move(descriptors);
}

}  // namespace

int parsePat(const uint8_t* section, size_t length, Pat& out) {
  emptyPat(out);
  uint16_t sectionLength = 0;
  if (!sectionFits(section, length, sectionLength)) return -1;
  // Header (5 bytes after section_length) and CRC_32 need 9 bytes.
  if (section[0] != kTableIdPat || sectionLength >= 1022 || sectionLength < 9) return -1;
  BitReader r(section, sectionLength + 3u);
  Pat& pat = out;
  pat.tableId = r.u8();
  pat.sectionSyntaxIndicator = r.read(1) != 0;
  r.skip(3);
  pat.sectionLength = static_cast<uint16_t>(r.read(12));
  pat.transportStreamId = r.u16();
  r.skip(2);
  pat.versionNumber = static_cast<uint8_t>(r.read(5));
  pat.currentNextIndicator = r.read(1) != 0;
  pat.sectionNumber = r.u8();
  pat.lastSectionNumber = r.u8();
  size_t count = (sectionLength - 9u) / 4u;
  if (count > kMaxPatEntries) count = kMaxPatEntries;
  pat.entries.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    PatEntry e;
    e.programNumber = r.u16();
    r.skip(3);
    e.pid = static_cast<uint16_t>(r.read(13));
    pat.entries.push_back(e);
  }
  return static_cast<int>(r.bytePos());
}

int parsePmt(const uint8_t* section, size_t length, uint32_t extraSpaces, Pmt& out) {
  // The elementary streams of the last parse are kept and overwritten, so their
  // descriptor lists reuse their storage.
  {
    auto streams = std::move(out.streams);
    auto program = std::move(out.programDescriptors);
    out = Pmt{};
    out.streams = std::move(streams);
    out.programDescriptors = std::move(program);
  }
  uint16_t sectionLength = 0;
  if (!sectionFits(section, length, sectionLength) || section[0] != kTableIdPmt || sectionLength < 13) {
    // 9 header bytes after section_length and CRC_32 are the least.
    emptyPmt(out);
    return -1;
  }
  const uint32_t spaces = kSpaceMpeg | extraSpaces;
  const size_t crcStart = sectionLength - 1u;  // offset of CRC_32 from the section start
  BitReader r(section, sectionLength + 3u);
  Pmt& pmt = out;
  pmt.tableId = r.u8();
  pmt.sectionSyntaxIndicator = r.read(1) != 0;
  r.skip(3);
  pmt.sectionLength = static_cast<uint16_t>(r.read(12));
  pmt.programNumber = r.u16();
  r.skip(2);
  pmt.versionNumber = static_cast<uint8_t>(r.read(5));
  pmt.currentNextIndicator = r.read(1) != 0;
  pmt.sectionNumber = r.u8();
  pmt.lastSectionNumber = r.u8();
  r.skip(3);
  pmt.pcrPid = static_cast<uint16_t>(r.read(13));
  r.skip(4);
  pmt.programInfoLength = static_cast<uint16_t>(r.read(12));
  size_t pos = 12;
  if (pmt.programInfoLength > crcStart - pos) {
    emptyPmt(out);
    return -1;
  }
  // A malformed program loop leaves it empty without failing the table.
  if (parseDescriptorLoop(section + pos, pmt.programInfoLength, spaces, pmt.programDescriptors) < 0) {
    pmt.programDescriptors.clear();
  }
  pos += pmt.programInfoLength;
  size_t streamCount = 0;
  for (size_t at = pos; at < crcStart && crcStart - at >= 5;
       at += 5u + static_cast<size_t>((section[at + 3] & 0x0F) << 8 | section[at + 4])) {
    ++streamCount;
  }
  pmt.streams.reserve(streamCount);
  size_t used = 0;
  while (crcStart - pos >= 5) {
    BitReader es(section + pos, 5);
    if (used == pmt.streams.size()) pmt.streams.emplace_back();
    ElementaryStream& s = pmt.streams[used++];
    s.streamType = es.u8();
    es.skip(3);
    s.elementaryPid = static_cast<uint16_t>(es.read(13));
    es.skip(4);
    s.esInfoLength = static_cast<uint16_t>(es.read(12));
    if (5u + s.esInfoLength > crcStart - pos ||
        parseDescriptorLoop(section + pos + 5, s.esInfoLength, spaces, s.descriptors) < 0) {
      emptyPmt(out);
      return -1;
    }
    pos += 5u + s.esInfoLength;
  }
  pmt.streams.resize(used);
  BitReader crc(section + crcStart, 4);
  pmt.crc32 = crc.u32();
  return pmt.streams.empty() ? 0 : pmt.streams.front().elementaryPid;
}

namespace {

// Reads one INT loop (4 reserved bits, 12-bit length, descriptors) at pos;
// the loop must end at or before `end`.
bool readIntLoop(const uint8_t* section, size_t& pos, size_t end, IntLoop& loop) {
  if (end < pos || end - pos < 2) return false;
  loop.reserved = static_cast<uint8_t>(section[pos] >> 4);
  loop.length = static_cast<uint16_t>((section[pos] & 0x0F) << 8 | section[pos + 1]);
  pos += 2;
  if (loop.length > end - pos) return false;
  if (parseDescriptorLoop(section + pos, loop.length, kSpaceInt | kSpaceDvb, loop.descriptors) < 0) {
    return false;
  }
  pos += loop.length;
  return true;
}

}  // namespace

int parseInt(const uint8_t* section, size_t length, IntTable& out) {
  out = IntTable{};
  uint16_t sectionLength = 0;
  if (!sectionFits(section, length, sectionLength)) return -1;
  // 11 header bytes after section_length, the platform loop length and CRC_32.
  if (section[0] != kTableIdInt || sectionLength < 15) return -1;
  const size_t crcStart = sectionLength - 1u;
  BitReader r(section, sectionLength + 3u);
  IntTable t;
  t.tableId = r.u8();
  t.sectionSyntaxIndicator = r.read(1) != 0;
  r.skip(3);
  t.sectionLength = static_cast<uint16_t>(r.read(12));
  t.actionType = r.u8();
  t.platformIdHash = r.u8();
  r.skip(2);
  t.versionNumber = static_cast<uint8_t>(r.read(5));
  t.currentNextIndicator = r.read(1) != 0;
  t.sectionNumber = r.u8();
  t.lastSectionNumber = r.u8();
  t.platformId = r.u24();
  t.processingOrder = r.u8();
  size_t pos = 12;
  const uint8_t reservedBits = static_cast<uint8_t>(section[pos] >> 4);
  if (reservedBits != 0x0 && reservedBits != 0xF) return -1;
  if (!readIntLoop(section, pos, crcStart, t.platformLoop)) return -1;
  // Each pair needs at least its two 2-byte loop headers before CRC_32.
  while (pos + 4 <= crcStart) {
    IntLoopPair pair;
    if (!readIntLoop(section, pos, crcStart, pair.target)) return -1;
    if (!readIntLoop(section, pos, crcStart, pair.operational)) return -1;
    t.pairs.push_back(std::move(pair));
  }
  out = std::move(t);
  return 0;
}

namespace {

template <typename Table>
void readTimeHeader(BitReader& r, Table& t) {
  t.tableId = r.u8();
  t.sectionSyntaxIndicator = r.read(1) != 0;
  t.reservedFutureUse = r.read(1) != 0;
  t.reserved = static_cast<uint8_t>(r.read(2));
  t.sectionLength = static_cast<uint16_t>(r.read(12));
  for (auto& b : t.utcTime) b = r.u8();
}

}  // namespace

int parseTdt(const uint8_t* section, size_t length, Tdt& out) {
  out = Tdt{};
  uint16_t sectionLength = 0;
  if (length < 8 || !sectionFits(section, length, sectionLength) || sectionLength < 5) return -1;
  BitReader r(section, 8);
  Tdt t;
  readTimeHeader(r, t);
  const auto time = convertUtcTime(t.utcTime.data());
  if (!time) return -1;
  t.time = *time;
  out = t;
  return 8;
}

int parseTot(const uint8_t* section, size_t length, Tot& out) {
  emptyTot(out);
  uint16_t sectionLength = 0;
  if (length <= 9 || !sectionFits(section, length, sectionLength)) return -1;
  BitReader r(section, sectionLength + 3u);
  Tot& t = out;
  readTimeHeader(r, t);
  t.reserved2 = static_cast<uint8_t>(r.read(4));
  t.descriptorsLoopLength = static_cast<uint16_t>(r.read(12));
  // The loop and CRC_32 must fit inside the declared section.
  const auto time = convertUtcTime(t.utcTime.data());
  if (10u + t.descriptorsLoopLength + 4u > sectionLength + 3u || !time ||
      parseDescriptorLoop(section + 10, t.descriptorsLoopLength, kSpaceMpeg | kSpaceDvb, t.descriptors) < 0) {
    emptyTot(out);
    return -1;
  }
  t.time = *time;
  BitReader crc(section + 10 + t.descriptorsLoopLength, 4);
  t.crc32 = crc.u32();
  return sectionLength + 3;
}

}  // namespace tapfeed::si
