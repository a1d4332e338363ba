#include "si/descriptors.h"

#include <algorithm>

#include "si/bit_reader.h"

namespace tapfeed::si {
namespace {

using ParseFn = bool (*)(const uint8_t* body, uint8_t length, Descriptor& out);

std::array<char, 3> threeChars(const uint8_t* p) {
  return {static_cast<char>(p[0]), static_cast<char>(p[1]), static_cast<char>(p[2])};
}

std::array<uint8_t, 4> fourBytes(const uint8_t* p) { return {p[0], p[1], p[2], p[3]}; }

bool parseRaw(const uint8_t* body, uint8_t length, Descriptor& out) {
  out.fields.emplace<RawFields>().body.assign(body, body + length);
  return true;
}

bool parseEmpty(const uint8_t*, uint8_t, Descriptor& out) {
  out.fields = EmptyFields{};
  return true;
}

bool parseIso639Language(const uint8_t* body, uint8_t length, Descriptor& out) {
  auto& f = out.fields.emplace<Iso639LanguageFields>();
  for (size_t pos = 0; pos + 4 <= length; pos += 4) f.entries.push_back({threeChars(body + pos), body[pos + 3]});
  return true;
}

bool parseStreamIdentifier(const uint8_t* body, uint8_t length, Descriptor& out) {
  if (length < 1) return false;
  out.fields = StreamIdentifierFields{body[0]};
  return true;
}

bool parseDataBroadcastId(const uint8_t* body, uint8_t length, Descriptor& out) {
  if (length < 2) return false;
  auto& f = out.fields.emplace<DataBroadcastIdFields>();
  f.dataBroadcastId = static_cast<uint16_t>(body[0] << 8 | body[1]);
  if (f.dataBroadcastId == kDataBroadcastIpMacNotification) {
    // platform_id_data_length, its entries, then private data.
    if (length < 3) return false;
    f.platformIdDataLength = body[2];
    if (f.platformIdDataLength > length - 3) return false;
    BitReader r(body + 3, f.platformIdDataLength);
    for (size_t i = 0; i < f.platformIdDataLength / 5u; ++i) {
      DataBroadcastIdFields::Platform p;
      p.platformId = r.u24();
      p.actionType = r.u8();
      r.skip(2);
      p.intVersioningFlag = r.read(1) != 0;
      p.intVersion = static_cast<uint8_t>(r.read(5));
      f.platforms.push_back(p);
    }
  } else {
    f.selector.assign(body + 2, body + length);
  }
  return true;
}

bool parseLocalTimeOffset(const uint8_t* body, uint8_t length, Descriptor& out) {
  auto& f = out.fields.emplace<LocalTimeOffsetFields>();
  for (size_t pos = 0; pos + 13 <= length; pos += 13) {
    BitReader r(body + pos, 13);
    LocalTimeOffsetFields::Entry e;
    e.countryCode = threeChars(body + pos);
    r.skipBytes(3);
    e.countryRegionId = static_cast<uint8_t>(r.read(6));
    r.skip(1);
    e.polarityNegative = r.read(1) != 0;
    e.localTimeOffset = r.u16();
    for (auto& b : e.timeOfChange) b = r.u8();
    e.nextTimeOffset = r.u16();
    f.entries.push_back(e);
  }
  return true;
}

bool parseTargetIpAddress(const uint8_t* body, uint8_t length, Descriptor& out) {
  if (length < 4) return false;  // IPv4_addr_mask is mandatory
  auto& f = out.fields.emplace<TargetIpAddressFields>();
  f.mask = static_cast<uint32_t>(body[0]) << 24 | static_cast<uint32_t>(body[1]) << 16 |
           static_cast<uint32_t>(body[2]) << 8 | body[3];
  for (size_t pos = 4; pos + 4 <= length; pos += 4) f.addresses.push_back(fourBytes(body + pos));
  return true;
}

bool parseTargetIpSlash(const uint8_t* body, uint8_t length, Descriptor& out) {
  auto& f = out.fields.emplace<TargetIpSlashFields>();
  if (length % 5 == 0) {
    for (size_t pos = 0; pos + 5 <= length; pos += 5) {
      f.addresses.push_back(fourBytes(body + pos));
      f.slashMasks.push_back(body[pos + 4]);
    }
  }
  return true;
}

bool parsePlatformName(const uint8_t* body, uint8_t length, Descriptor& out) {
  if (length < 3) return false;  // ISO_639_language_code is mandatory
  auto& f = out.fields.emplace<PlatformNameFields>();
  f.language = threeChars(body);
  const char* text = reinterpret_cast<const char*>(body) + 3;
  f.textBytes.assign(text, text + (length - 3u));
  return true;
}

bool parseStreamLocation(const uint8_t* body, uint8_t length, Descriptor& out) {
  if (length < 9) return false;
  BitReader r(body, length);
  StreamLocationFields f;
  f.networkId = r.u16();
  f.originalNetworkId = r.u16();
  f.transportStreamId = r.u16();
  f.serviceId = r.u16();
  f.componentTag = r.u8();
  out.fields = f;
  return true;
}

struct RegistryRow {
  uint32_t id;
  ParseFn parse;
};

constexpr RegistryRow kTypedRows[] = {
    {kIdIso639Language, parseIso639Language},
    {kIdStreamIdentifier, parseStreamIdentifier},
    {kIdLocalTimeOffset, parseLocalTimeOffset},
    {kIdDataBroadcastId, parseDataBroadcastId},
    {kIdTargetIpAddress, parseTargetIpAddress},
    {kIdPlatformName, parsePlatformName},
    {kIdPlatformProviderName, parsePlatformName},
    {kIdTargetIpSlash, parseTargetIpSlash},
    {kIdStreamLocation, parseStreamLocation},
    // Registered without fields: their records hold only id and length.
    {descriptorId(kSpaceDvb, 0x71), parseEmpty},
    {descriptorId(kSpaceDvb, 0x74), parseEmpty},
};

// The registered tag ranges of each space; ids without a typed row keep their body.
bool inRegisteredRange(uint32_t id) {
  const uint8_t tag = static_cast<uint8_t>(id & 0xFF);
  switch (id & ~0xFFu) {
    case kSpaceMpeg:
      return (tag >= 0x02 && tag <= 0x12) || (tag >= 0x1B && tag <= 0x23) || tag == 0x28 || tag == 0x2A;
    case kSpaceInt:
      return (tag >= 0x06 && tag <= 0x0A) || (tag >= 0x0C && tag <= 0x14);
    case kSpaceDvb:
      return (tag >= 0x40 && tag <= 0x7C) || tag == 0x7F;
    default:
      return false;
  }
}

ParseFn lookupParser(uint32_t id) {
  if (!inRegisteredRange(id)) return nullptr;
  for (const auto& row : kTypedRows) {
    if (row.id == id) return row.parse;
  }
  return parseRaw;
}

}  // namespace

uint32_t mapDescriptorTag(uint8_t tag, uint32_t spaces) {
  if (tag < 0x40) {
    if (spaces & kSpaceMpeg) return descriptorId(kSpaceMpeg, tag);
    if (spaces & kSpaceInt) return descriptorId(kSpaceInt, tag);
    return 0;
  }
  if (tag <= 0x7F && (spaces & kSpaceDvb)) return descriptorId(kSpaceDvb, tag);
  return 0;
}

bool isRegisteredDescriptor(uint32_t id) { return lookupParser(id) != nullptr; }

bool parseDescriptorBody(uint32_t id, const uint8_t* body, uint8_t length, Descriptor& out) {
  const ParseFn parse = lookupParser(id);
  if (parse == nullptr) return false;
  out.id = id;
  out.length = length;
  return parse(body, length, out);
}

int parseDescriptorLoop(const uint8_t* bytes, size_t loopLength, uint32_t spaces, DescriptorList& out) {
  out.clear();
  if (loopLength == 0) return 0;
  // One allocation for the list: count the descriptors first.
  size_t count = 0;
  for (size_t at = 0; at + 2 <= loopLength; at += static_cast<size_t>(bytes[at + 1]) + 2) ++count;
  out.reserve(count);
  size_t pos = 0;
  while (pos < loopLength) {
    // A lone byte cannot hold a tag and a length: the loop is malformed.
    if (loopLength - pos < 2) {
      out.clear();
      return -1;
    }
    const uint8_t tag = bytes[pos];
    const uint8_t length = bytes[pos + 1];
    if (static_cast<size_t>(length) + 2 > loopLength - pos) {
      out.clear();
      return -1;
    }
    const uint32_t id = mapDescriptorTag(tag, spaces);
    if (id != 0) {
      if (const ParseFn parse = lookupParser(id)) {
        Descriptor& d = out.emplace_back();
        d.id = id;
        d.length = length;
        if (!parse(bytes + pos + 2, length, d)) out.pop_back();
      }
    }
    pos += static_cast<size_t>(length) + 2;
  }
  return static_cast<int>(out.size());
}

const Descriptor* findLastDescriptor(const DescriptorList& list, uint32_t id) {
  auto it = std::find_if(list.rbegin(), list.rend(), [id](const Descriptor& d) { return d.id == id; });
  return it == list.rend() ? nullptr : &*it;
}

const Descriptor* findFirstDescriptor(const DescriptorList& list, uint32_t id) {
  auto it = std::find_if(list.begin(), list.end(), [id](const Descriptor& d) { return d.id == id; });
  return it == list.end() ? nullptr : &*it;
}

}  // namespace tapfeed::si
