// Writes seed inputs for the fuzz targets: valid PAT, PMT, INT, MPE, TDT and
// TOT sections, descriptor loops, and short transport streams carrying them.
//   tapfeed_fuzz_seeds OUTPUT_DIR   (creates one folder per target)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tsgen.h"

namespace {

namespace fs = std::filesystem;
using tsgen::Bytes;

void write(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tapfeed_fuzz_seeds OUTPUT_DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  const tsgen::UtcTime now{2026, 12, 11, 15, 30, 0};
  const Bytes pat = tsgen::makePat(0x7FE1, {{0, 0x10}, {1, 0x1FC8}, {2, 0x1FC9}});
  const Bytes pmt = tsgen::makePmt(
      1, 0x111, {{0x09, {0x00, 0x05, 0xE1, 0x00}}},
      {{0x1B, 0x111, {tsgen::streamIdentifierDescriptor(0x00)}},
       {0x0F, 0x112, {tsgen::streamIdentifierDescriptor(0x10), tsgen::iso639LanguageDescriptor("jpn", 0)}},
       {0x0D, 0x113, {tsgen::dataBroadcastIdIpMacDescriptor({{0x000123, 1, 0}}), tsgen::streamIdentifierDescriptor(0x40)}}});
  const Bytes intTable = tsgen::makeInt(
      0x000123, 1, 0, {tsgen::platformNameDescriptor("jpn", "Ondo"), tsgen::platformProviderNameDescriptor("jpn", "Nv")},
      {{{tsgen::targetIpAddressDescriptor(0xFFFFFFFF, {{239, 1, 2, 3}}), tsgen::targetIpSlashDescriptor({{{239, 1, 2, 4}, 32}})},
        {tsgen::streamLocationDescriptor(1, 1, 1, 1, 0x40)}}});
  const Bytes mpe = tsgen::makeMpeSection(tsgen::multicastMac({239, 1, 2, 3}),
                                          tsgen::makeIpv4Udp({10, 0, 0, 1}, {239, 1, 2, 3}, 1234, 5000, Bytes(64, 'x')));
  const Bytes tdt = tsgen::makeTdt(now);
  const Bytes tot = tsgen::makeTot(now, {tsgen::localTimeOffsetDescriptor({{"JPN", 0, 540, now, 540}})});

  const fs::path tables = root / "fuzz_si_tables";
  write(tables, "pat", pat);
  write(tables, "pmt", pmt);
  write(tables, "int", intTable);
  write(tables, "tdt", tdt);
  write(tables, "tot", tot);

  const fs::path loops = root / "fuzz_descriptor_loop";
  auto loop = [&](uint8_t spaces, const std::vector<tsgen::Descriptor>& list) {
    Bytes b{spaces};
    const Bytes l = tsgen::encodeDescriptors(list);
    b.insert(b.end(), l.begin(), l.end());
    return b;
  };
  write(loops, "pmt_es", loop(5, {tsgen::streamIdentifierDescriptor(1), tsgen::iso639LanguageDescriptor("jpn", 0),
                                  tsgen::dataBroadcastIdIpMacDescriptor({{0x123, 1, 0}, {0x456, 2, 1}})}));
  write(loops, "int_target", loop(6, {tsgen::targetIpAddressDescriptor(0xFFFFFF00, {{239, 0, 0, 1}}),
                                      tsgen::targetIpSlashDescriptor({{{239, 0, 0, 2}, 24}}),
                                      tsgen::streamLocationDescriptor(1, 2, 3, 4, 5),
                                      tsgen::platformNameDescriptor("jpn", "Ondo")}));
  write(loops, "tot", loop(5, {tsgen::localTimeOffsetDescriptor({{"JPN", 0, 540, now, 540}, {"GBR", 1, -60, now, 0}})}));

  write(root / "fuzz_mpe_dispatcher", "udp", mpe);
  write(root / "fuzz_mpe_dispatcher", "udp_empty",
        tsgen::makeMpeSection(tsgen::multicastMac({239, 1, 2, 3}),
                              tsgen::makeIpv4Udp({10, 0, 0, 1}, {239, 1, 2, 3}, 1, 5000, {})));

  // Transport streams: two split-seed bytes, then packets.
  auto stream = [&](size_t packetSize, uint8_t padding) {
    tsgen::TsWriter w(packetSize, padding);
    w.writeSection(0, pat);
    w.writeSection(0x1FC8, pmt);
    w.writePcrPacket(0x111, 123456789);
    w.writeSection(0x113, intTable);
    w.writeSection(0x113, mpe);
    w.writeSections(0x14, {tdt, tot});
    w.injectContinuityError(0x113);
    w.writeSection(0x113, mpe);
    w.writeNullPackets(2);
    Bytes b{0x34, 0x12};
    b.insert(b.end(), w.bytes().begin(), w.bytes().end());
    return b;
  };
  write(root / "fuzz_section_demux", "ts188", stream(188, 0xFF));
  write(root / "fuzz_section_demux", "ts204", stream(204, 0x47));
  std::printf("seeds written to %s\n", root.c_str());
  return 0;
}
