// Parsers for the PAT and PMT of MPEG-2 systems, the IP/MAC notification table
// (INT) of DVB data broadcasting and the TDT and TOT of DVB SI. Each takes one
// complete section starting with its table_id, as the section demultiplexer
// delivers it, and never checks CRC_32, version_number or current_next_indicator.
//
// Every length read from the section (section_length, program_info_length, the
// loop lengths) must fit the bytes actually given, else the parse fails. A failed
// parse returns -1 and leaves the output record empty.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "si/descriptors.h"

namespace tapfeed::si {

constexpr uint8_t kTableIdPat = 0x00;
constexpr uint8_t kTableIdPmt = 0x02;
constexpr uint8_t kTableIdInt = 0x4C;
constexpr uint8_t kTableIdTdt = 0x70;
constexpr uint8_t kTableIdTot = 0x73;

// The PAT record holds at most this many programs; later entries are not read.
constexpr size_t kMaxPatEntries = 30;

struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const CalendarTime&) const = default;
};

// Converts the 5-byte UTC_time (16-bit MJD, then hour, minute and second in BCD).
// Returns nothing for a BCD digit above 9, an hour above 23, a minute or second
// above 59, or a date that is not a real calendar day.
std::optional<CalendarTime> convertUtcTime(const uint8_t utc[5]);

struct PatEntry {
  uint16_t programNumber;
  uint16_t pid;  // 13 bits
};

struct Pat {
  uint8_t tableId = 0;
  bool sectionSyntaxIndicator = false;
  uint16_t sectionLength = 0;
  uint16_t transportStreamId = 0;
  uint8_t versionNumber = 0;
  bool currentNextIndicator = false;
  uint8_t sectionNumber = 0;
  uint8_t lastSectionNumber = 0;
  std::vector<PatEntry> entries;  // section order, at most kMaxPatEntries
};

struct ElementaryStream {
  uint8_t streamType = 0;
  uint16_t elementaryPid = 0;
  uint16_t esInfoLength = 0;
  DescriptorList descriptors;
};

struct Pmt {
  uint8_t tableId = 0;
  bool sectionSyntaxIndicator = false;
  uint16_t sectionLength = 0;
  uint16_t programNumber = 0;
  uint8_t versionNumber = 0;
  bool currentNextIndicator = false;
  uint8_t sectionNumber = 0;
  uint8_t lastSectionNumber = 0;
  uint16_t pcrPid = 0;
  uint16_t programInfoLength = 0;
  DescriptorList programDescriptors;
  std::vector<ElementaryStream> streams;  // section order
  uint32_t crc32 = 0;                     // as read, not checked
};

struct IntLoop {
  uint8_t reserved = 0;  // 4 bits
  uint16_t length = 0;   // 12 bits
  DescriptorList descriptors;
};

struct IntLoopPair {
  IntLoop target;
  IntLoop operational;
};

struct IntTable {
  uint8_t tableId = 0;
  bool sectionSyntaxIndicator = false;
  uint16_t sectionLength = 0;
  uint8_t actionType = 0;
  uint8_t platformIdHash = 0;
  uint8_t versionNumber = 0;
  bool currentNextIndicator = false;
  uint8_t sectionNumber = 0;
  uint8_t lastSectionNumber = 0;
  uint32_t platformId = 0;  // 24 bits
  uint8_t processingOrder = 0;
  IntLoop platformLoop;
  std::vector<IntLoopPair> pairs;  // section order: the last pair of the section is back()
};

struct Tdt {
  uint8_t tableId = 0;
  bool sectionSyntaxIndicator = false;
  bool reservedFutureUse = false;
  uint8_t reserved = 0;
  uint16_t sectionLength = 0;
  std::array<uint8_t, 5> utcTime{};  // as received
  CalendarTime time;                 // converted (a section with an invalid time is refused)
};

struct Tot {
  uint8_t tableId = 0;
  bool sectionSyntaxIndicator = false;
  bool reservedFutureUse = false;
  uint8_t reserved = 0;
  uint16_t sectionLength = 0;
  std::array<uint8_t, 5> utcTime{};
  CalendarTime time;
  uint8_t reserved2 = 0;  // 4 bits before descriptors_loop_length
  uint16_t descriptorsLoopLength = 0;
  DescriptorList descriptors;
  uint32_t crc32 = 0;
};

// Returns the bytes read (header and the entries read), or -1.
int parsePat(const uint8_t* section, size_t length, Pat& out);

// The MPEG-2 space is always used for the loops; extraSpaces adds others (the
// IP datacast mode adds the DVB space). Returns the first elementary_PID, 0 when
// the section has no elementary stream, or -1.
int parsePmt(const uint8_t* section, size_t length, uint32_t extraSpaces, Pmt& out);

// Returns 0 or -1. Loops are parsed for the INT and DVB spaces.
int parseInt(const uint8_t* section, size_t length, IntTable& out);

// Returns 8 or -1. The caller checks the table_id (0x70).
int parseTdt(const uint8_t* section, size_t length, Tdt& out);

// Returns section_length + 3 or -1. The caller checks the table_id (0x73).
int parseTot(const uint8_t* section, size_t length, Tot& out);

}  // namespace tapfeed::si
