// tsgen: writes a transport stream from a scenario file.
//
//   tsgen SCENARIO OUTPUT
//
// A scenario is a list of commands, one a line, each a word followed by
// key=value fields (values may be "quoted"; numbers may be 0x-prefixed; '#'
// starts a comment). Table commands write their section at once and join the
// table cycle that `repeat` and `ffmpeg` write again. See README.md.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tsgen.h"

namespace {

using tsgen::Bytes;

struct Command {
  int line = 0;
  std::string word;
  std::multimap<std::string, std::string> fields;
};

[[noreturn]] void fail(const Command& c, const std::string& message) {
  throw std::runtime_error("line " + std::to_string(c.line) + " (" + c.word + "): " + message);
}

std::vector<std::string> tokenize(const std::string& line) {
  std::vector<std::string> tokens;
  std::string current;
  bool quoted = false;
  bool any = false;
  for (char ch : line) {
    if (ch == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && ch == '#') {
      break;
    } else if (!quoted && (ch == ' ' || ch == '\t' || ch == '\r')) {
      if (any) tokens.push_back(current);
      current.clear();
      any = false;
    } else {
      current += ch;
      any = true;
    }
  }
  if (any) tokens.push_back(current);
  return tokens;
}

uint64_t number(const Command& c, const std::string& text, uint64_t max) {
  try {
    size_t used = 0;
    const uint64_t v = std::stoull(text, &used, 0);
    if (used != text.size() || v > max) fail(c, "bad number '" + text + "'");
    return v;
  } catch (const std::logic_error&) {
    fail(c, "bad number '" + text + "'");
  }
}

std::string field(const Command& c, const std::string& key, const char* fallback = nullptr) {
  auto it = c.fields.find(key);
  if (it != c.fields.end()) return it->second;
  if (fallback != nullptr) return fallback;
  fail(c, "missing " + key + "=");
}

uint64_t num(const Command& c, const std::string& key, uint64_t max, const char* fallback = nullptr) {
  return number(c, field(c, key, fallback), max);
}

std::vector<std::string> all(const Command& c, const std::string& key) {
  std::vector<std::string> values;
  auto [first, last] = c.fields.equal_range(key);
  for (auto it = first; it != last; ++it) values.push_back(it->second);
  return values;
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  std::string part;
  while (std::getline(in, part, sep)) parts.push_back(part);
  return parts;
}

tsgen::UtcTime time(const Command& c, const std::string& key) {
  const std::string t = field(c, key);
  tsgen::UtcTime u{};
  char tail;
  if (std::sscanf(t.c_str(), "%d-%d-%dT%d:%d:%d%c", &u.year, &u.month, &u.day, &u.hour, &u.minute, &u.second,
                  &tail) != 7 ||
      tail != 'Z') {
    fail(c, "time must be YYYY-MM-DDTHH:MM:SSZ");
  }
  return u;
}

std::array<uint8_t, 4> address(const Command& c, const std::string& text) {
  auto a = tsgen::parseIpv4(text);
  if (!a) fail(c, "bad IPv4 address '" + text + "'");
  return *a;
}

class Scenario {
 public:
  void run(const std::vector<Command>& commands) {
    for (const auto& c : commands) {
      if (c.word == "packet_size" || c.word == "padding") {
        if (writer_.bytes().size() > 0) fail(c, "must come before any packet");
        const size_t size = c.word == "packet_size" ? num(c, "size", 204) : writer_.packetSize();
        const uint8_t pad = c.word == "padding" ? static_cast<uint8_t>(num(c, "byte", 255)) : padding_;
        padding_ = pad;
        if (size != 188 && size != 204) fail(c, "packet size is 188 or 204");
        writer_ = tsgen::TsWriter(size, padding_);
      } else if (c.word == "pat") {
        std::vector<tsgen::PatProgram> programs;
        for (const auto& p : all(c, "program")) {
          auto parts = split(p, ':');
          if (parts.size() != 2) fail(c, "program=NUMBER:PID");
          programs.push_back({static_cast<uint16_t>(number(c, parts[0], 0xFFFF)),
                              static_cast<uint16_t>(number(c, parts[1], 0x1FFF))});
        }
        table(0, tsgen::makePat(static_cast<uint16_t>(num(c, "tsid", 0xFFFF)), programs));
      } else if (c.word == "pmt") {
        std::vector<tsgen::PmtStream> streams;
        for (const auto& s : all(c, "stream")) {
          auto parts = split(s, ':');
          if (parts.size() < 2) fail(c, "stream=TYPE:PID[:ctag=N][:platform=ID][:lang=xxx]");
          tsgen::PmtStream st{static_cast<uint8_t>(number(c, parts[0], 0xFF)),
                              static_cast<uint16_t>(number(c, parts[1], 0x1FFF)), {}};
          for (size_t i = 2; i < parts.size(); ++i) {
            auto kv = split(parts[i], '=');
            if (kv.size() != 2) fail(c, "stream option '" + parts[i] + "'");
            if (kv[0] == "ctag") {
              st.descriptors.push_back(tsgen::streamIdentifierDescriptor(static_cast<uint8_t>(number(c, kv[1], 0xFF))));
            } else if (kv[0] == "platform") {
              st.descriptors.push_back(tsgen::dataBroadcastIdIpMacDescriptor(
                  {{static_cast<uint32_t>(number(c, kv[1], 0xFFFFFF)), 1, 0}}));
            } else if (kv[0] == "lang") {
              st.descriptors.push_back(tsgen::iso639LanguageDescriptor(kv[1], 0));
            } else {
              fail(c, "stream option '" + kv[0] + "'");
            }
          }
          streams.push_back(st);
        }
        table(static_cast<uint16_t>(num(c, "pid", 0x1FFF)),
              tsgen::makePmt(static_cast<uint16_t>(num(c, "program", 0xFFFF)),
                             static_cast<uint16_t>(num(c, "pcr", 0x1FFF)), {}, streams));
      } else if (c.word == "sdt") {
        std::vector<tsgen::SdtService> services;
        for (const auto& s : all(c, "service")) {
          auto parts = split(s, ':');
          if (parts.size() != 2) fail(c, "service=ID:NAME");
          services.push_back({static_cast<uint16_t>(number(c, parts[0], 0xFFFF)), 0x01, field(c, "provider", ""),
                              parts[1]});
        }
        table(0x11, tsgen::makeSdt(static_cast<uint16_t>(num(c, "tsid", 0xFFFF)),
                                   static_cast<uint16_t>(num(c, "onid", 0xFFFF)), services));
      } else if (c.word == "nit") {
        table(0x10, tsgen::makeNit(static_cast<uint16_t>(num(c, "network", 0xFFFF)), field(c, "name", ""),
                                   {{static_cast<uint16_t>(num(c, "tsid", 0xFFFF)),
                                     static_cast<uint16_t>(num(c, "onid", 0xFFFF))}}));
      } else if (c.word == "eit") {
        table(0x12, tsgen::makeEit(static_cast<uint16_t>(num(c, "service", 0xFFFF)),
                                   static_cast<uint16_t>(num(c, "tsid", 0xFFFF)),
                                   static_cast<uint16_t>(num(c, "onid", 0xFFFF)),
                                   {{static_cast<uint16_t>(num(c, "event", 0xFFFF, "1")), time(c, "start"),
                                     static_cast<int>(num(c, "duration", 86399)), field(c, "name", ""),
                                     field(c, "text", "")}}));
      } else if (c.word == "int") {
        std::vector<tsgen::Descriptor> platform;
        if (c.fields.count("name")) platform.push_back(tsgen::platformNameDescriptor("jpn", field(c, "name")));
        if (c.fields.count("provider")) {
          platform.push_back(tsgen::platformProviderNameDescriptor("jpn", field(c, "provider")));
        }
        std::vector<tsgen::IntLoopPair> pairs;
        for (const auto& t : all(c, "target")) {
          // target=IP:SERVICE:CTAG
          auto parts = split(t, ':');
          if (parts.size() != 3) fail(c, "target=IP:SERVICE_ID:COMPONENT_TAG");
          pairs.push_back({{tsgen::targetIpAddressDescriptor(0xFFFFFFFF, {address(c, parts[0])})},
                           {tsgen::streamLocationDescriptor(1, 1, 1, static_cast<uint16_t>(number(c, parts[1], 0xFFFF)),
                                                            static_cast<uint8_t>(number(c, parts[2], 0xFF)))}});
        }
        table(static_cast<uint16_t>(num(c, "pid", 0x1FFF)),
              tsgen::makeInt(static_cast<uint32_t>(num(c, "platform", 0xFFFFFF)), 1, 0, platform, pairs));
      } else if (c.word == "tdt") {
        table(static_cast<uint16_t>(num(c, "pid", 0x1FFF, "0x14")), tsgen::makeTdt(time(c, "time")));
      } else if (c.word == "tot") {
        const int offset = static_cast<int>(static_cast<int64_t>(number(c, field(c, "offset", "0"), 0xFFFF)));
        const bool negative = field(c, "polarity", "+") == "-";
        table(static_cast<uint16_t>(num(c, "pid", 0x1FFF, "0x14")),
              tsgen::makeTot(time(c, "time"), {tsgen::localTimeOffsetDescriptor(
                                                  {{field(c, "country", "JPN"), 0, negative ? -offset : offset,
                                                    time(c, "time"), negative ? -offset : offset}})}));
      } else if (c.word == "mpe") {
        auto dst = split(field(c, "dst"), ':');
        auto src = split(field(c, "src", "10.0.0.1:1000"), ':');
        if (dst.size() != 2 || src.size() != 2) fail(c, "dst=IP:PORT src=IP:PORT");
        const auto d = address(c, dst[0]);
        const std::string text = field(c, "payload", "hello");
        const Bytes datagram = tsgen::makeIpv4Udp(address(c, src[0]), d, static_cast<uint16_t>(number(c, src[1], 0xFFFF)),
                                                  static_cast<uint16_t>(number(c, dst[1], 0xFFFF)),
                                                  Bytes(text.begin(), text.end()));
        if (datagram.size() > 1600) fail(c, "datagram above 1600 bytes");
        const uint64_t count = num(c, "count", 1000000, "1");
        for (uint64_t i = 0; i < count; ++i) {
          writer_.writeSection(static_cast<uint16_t>(num(c, "pid", 0x1FFF)),
                               tsgen::makeMpeSection(tsgen::multicastMac(d), datagram));
        }
      } else if (c.word == "pcr") {
        const uint64_t start = num(c, "start", (1ull << 33) - 1);
        const uint64_t step = num(c, "step", (1ull << 33) - 1, "3600");
        const uint64_t count = num(c, "count", 1000000, "1");
        const bool discontinuity = num(c, "discontinuity", 1, "0") != 0;
        for (uint64_t i = 0; i < count; ++i) {
          writer_.writePcrPacket(static_cast<uint16_t>(num(c, "pid", 0x1FFF)), (start + i * step) % (1ull << 33), 0,
                                 discontinuity && i == 0);
        }
      } else if (c.word == "adaptation") {
        // A payload packet whose adaptation field is `length` bytes of stuffing.
        const std::string text = field(c, "payload", "");
        writer_.writePayloadWithAdaptation(static_cast<uint16_t>(num(c, "pid", 0x1FFF)), num(c, "length", 182),
                                           Bytes(text.begin(), text.end()), num(c, "start", 1, "0") != 0);
      } else if (c.word == "null") {
        writer_.writeNullPackets(num(c, "count", 1000000));
      } else if (c.word == "cc_error") {
        writer_.injectContinuityError(static_cast<uint16_t>(num(c, "pid", 0x1FFF)));
      } else if (c.word == "garbage") {
        writer_.writeGarbage(Bytes(num(c, "count", 100000), static_cast<uint8_t>(num(c, "byte", 255, "0x00"))));
      } else if (c.word == "repeat") {
        const uint64_t count = num(c, "count", 100000);
        for (uint64_t i = 0; i < count; ++i) {
          for (const auto& [pid, section] : cycle_) writer_.writeSection(pid, section);
        }
      } else if (c.word == "ffmpeg") {
        tsgen::MuxPlan plan;
        plan.videoPid = static_cast<uint16_t>(num(c, "video", 0x1FFF, "0x111"));
        plan.audioPid = static_cast<uint16_t>(num(c, "audio", 0x1FFF, "0x112"));
        plan.tablesEveryPackets = num(c, "every", 100000, "40");
        plan.tableCycle = cycle_;
        Bytes media;
        std::string error;
        const double seconds = std::stod(field(c, "seconds", "2"));
        if (seconds <= 0 || seconds > 600) fail(c, "seconds must be in (0, 600]");
        if (!tsgen::makeOneSegMedia(seconds, field(c, "workdir", "/tmp"), media, error) ||
            !tsgen::muxMedia(media, plan, writer_, error)) {
          fail(c, error);
        }
      } else {
        fail(c, "unknown command");
      }
    }
  }

  const Bytes& bytes() const { return writer_.bytes(); }

 private:
  void table(uint16_t pid, const Bytes& section) {
    cycle_.emplace_back(pid, section);
    writer_.writeSection(pid, section);
  }

  tsgen::TsWriter writer_;
  uint8_t padding_ = 0xFF;
  std::vector<std::pair<uint16_t, Bytes>> cycle_;
};

std::vector<Command> readScenario(std::istream& in) {
  std::vector<Command> commands;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    auto tokens = tokenize(line);
    if (tokens.empty()) continue;
    Command c;
    c.line = number;
    c.word = tokens[0];
    for (size_t i = 1; i < tokens.size(); ++i) {
      const auto eq = tokens[i].find('=');
      if (eq == std::string::npos) {
        // A bare value is the command's main field (packet_size 204, padding 0x47).
        c.fields.emplace(c.word == "packet_size" ? "size" : c.word == "padding" ? "byte" : "count", tokens[i]);
      } else {
        c.fields.emplace(tokens[i].substr(0, eq), tokens[i].substr(eq + 1));
      }
    }
    commands.push_back(std::move(c));
  }
  return commands;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tsgen SCENARIO OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "tsgen: cannot read %s\n", argv[1]);
    return 1;
  }
  try {
    Scenario scenario;
    scenario.run(readScenario(in));
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(scenario.bytes().data()),
              static_cast<std::streamsize>(scenario.bytes().size()));
    if (!out) {
      std::fprintf(stderr, "tsgen: cannot write %s\n", argv[2]);
      return 1;
    }
    std::printf("wrote %zu bytes to %s\n", scenario.bytes().size(), argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tsgen: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
