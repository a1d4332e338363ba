// Device path <-> host path mapping. See paths.h for the rules.
//
// The configuration and the storage-card listeners are process state guarded
// by one mutex. File-system look-ups work on a copy of the configuration, so
// no lock is held while the disk is read, and listeners are called from a
// copied list after the lock is released.
#include "plat/paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <system_error>

#include "plat/debug.h"
#include "plat/system.h"
#include "plat/text.h"

namespace plat {
namespace fs = std::filesystem;

namespace {

struct PathState {
  std::mutex mutex;
  std::optional<PathConfig> config;
  std::map<int, StorageCardListener> listeners;
  int nextListenerId = 1;
};

PathState& state() {
  static PathState s;
  return s;
}

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Splits a normalised device path ("\a\b") into its components.
std::vector<String16> splitNormalized(StringView16 normalized) {
  std::vector<String16> parts;
  size_t i = 0;
  while (i < normalized.size()) {
    while (i < normalized.size() && normalized[i] == u'\\') ++i;
    size_t start = i;
    while (i < normalized.size() && normalized[i] != u'\\') ++i;
    if (i > start) parts.emplace_back(normalized.substr(start, i - start));
  }
  return parts;
}

void createFolder(const fs::path& dir) {
  if (dir.empty()) return;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) debugOut("paths: cannot create folder " + dir.string() + ": " + ec.message());
}

// Finds the entry of dir whose name equals name without regard to ASCII case;
// an exact spelling wins, otherwise the first match in name order so the
// choice does not depend on directory order. Empty when there is none.
std::string findNoCase(const fs::path& dir, const std::string& name) {
  struct stat st;
  if (::lstat((dir / name).c_str(), &st) == 0) return name;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return {};
  std::string best;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::string candidate = it->path().filename().string();
    if (equalsNoCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
  }
  return best;
}

fs::path absoluteNormal(const fs::path& p) {
  std::error_code ec;
  fs::path abs = fs::absolute(p, ec);
  if (ec) abs = p;
  fs::path n = abs.lexically_normal();
  // "a/b/" normalises to "a/b/"; drop the empty last element.
  if (!n.empty() && !n.has_filename() && n != n.root_path()) n = n.parent_path();
  return n;
}

// Relative part of path below root, or nullopt when path is not inside root.
std::optional<fs::path> relativeInside(const fs::path& path, const fs::path& root) {
  if (root.empty()) return std::nullopt;
  fs::path rel = path.lexically_relative(root);
  if (rel.empty()) return std::nullopt;
  if (rel == ".") return fs::path();
  auto first = rel.begin();
  if (first != rel.end() && *first == "..") return std::nullopt;
  return rel;
}

std::string envOr(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Value of "--option VALUE" or "--option=VALUE" in argv; empty when absent.
std::string optionValue(const std::vector<std::string>& argv, std::string_view option) {
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == option && i + 1 < argv.size()) return argv[i + 1];
    if (a.size() > option.size() + 1 && a.compare(0, option.size(), option) == 0 &&
        a[option.size()] == '=')
      return a.substr(option.size() + 1);
  }
  return {};
}

void notify(const std::vector<std::pair<StorageCardMount, bool>>& changes) {
  if (changes.empty()) return;
  std::vector<StorageCardListener> listeners;
  {
    std::lock_guard lock(state().mutex);
    for (auto& [id, l] : state().listeners) listeners.push_back(l);
  }
  for (const auto& [card, arrived] : changes)
    for (const auto& l : listeners) l(card, arrived);
}

PathConfig& configLocked() {
  PathState& s = state();
  if (!s.config) {
    s.config = defaultPathConfig();
    createFolder(s.config->deviceRoot);
    for (const auto& c : s.config->storageCards) createFolder(c.hostDir);
  }
  return *s.config;
}

}  // namespace

PathConfig defaultPathConfig(const std::vector<std::string>& argv) {
  PathConfig config;
  std::string root = optionValue(argv, "--device-root");
  if (root.empty()) root = envOr("TUNORA_DEVICE_ROOT");
  if (root.empty()) {
    std::string xdg = envOr("XDG_DATA_HOME");
    if (!xdg.empty()) root = (fs::path(xdg) / "tunora").string();
  }
  if (root.empty()) {
    std::string home = envOr("HOME");
    if (!home.empty()) root = (fs::path(home) / ".local" / "share" / "tunora").string();
  }
  if (root.empty()) {
    std::error_code ec;
    root = (fs::temp_directory_path(ec) / "tunora").string();
  }
  config.deviceRoot = absoluteNormal(root);
  config.programDir = absoluteNormal(executableDir());

  std::string card = optionValue(argv, "--storage-card");
  if (card.empty()) card = envOr("TUNORA_STORAGE_CARD");
  fs::path cardDir = card.empty() ? config.deviceRoot / "Storage Card" : absoluteNormal(card);
  config.storageCards.push_back({u"Storage Card", cardDir});
  return config;
}

void configurePaths(const PathConfig& config) {
  PathConfig installed = config;
  installed.deviceRoot = absoluteNormal(config.deviceRoot);
  installed.programDir = absoluteNormal(config.programDir);
  for (auto& c : installed.storageCards) c.hostDir = absoluteNormal(c.hostDir);
  createFolder(installed.deviceRoot);
  for (const auto& c : installed.storageCards) createFolder(c.hostDir);

  std::vector<std::pair<StorageCardMount, bool>> changes;
  {
    std::lock_guard lock(state().mutex);
    std::vector<StorageCardMount> old = state().config ? state().config->storageCards
                                                       : std::vector<StorageCardMount>{};
    auto sameCard = [](const StorageCardMount& a, const StorageCardMount& b) {
      return equalsNoCase(a.name, b.name) && a.hostDir == b.hostDir;
    };
    for (const auto& o : old)
      if (std::none_of(installed.storageCards.begin(), installed.storageCards.end(),
                       [&](const auto& n) { return sameCard(o, n); }))
        changes.emplace_back(o, false);
    for (const auto& n : installed.storageCards)
      if (std::none_of(old.begin(), old.end(), [&](const auto& o) { return sameCard(o, n); }))
        changes.emplace_back(n, true);
    state().config = installed;
  }
  notify(changes);
}

PathConfig currentPathConfig() {
  std::lock_guard lock(state().mutex);
  return configLocked();
}

std::optional<String16> normalizeDevicePath(StringView16 devicePath) {
  if (devicePath.empty() || !isSeparator(devicePath.front())) return std::nullopt;
  std::vector<StringView16> parts;
  size_t i = 0;
  while (i < devicePath.size()) {
    while (i < devicePath.size() && isSeparator(devicePath[i])) ++i;
    size_t start = i;
    while (i < devicePath.size() && !isSeparator(devicePath[i])) ++i;
    StringView16 part = devicePath.substr(start, i - start);
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (parts.empty()) return std::nullopt;  // would climb above '\'
      parts.pop_back();
      continue;
    }
    if (part.find(u'\0') != StringView16::npos) return std::nullopt;
    parts.push_back(part);
  }
  String16 out;
  for (auto p : parts) {
    out += u'\\';
    out += p;
  }
  if (out.empty()) out = u"\\";
  return out;
}

std::optional<fs::path> toHostPath(StringView16 devicePath) {
  std::optional<String16> normalized = normalizeDevicePath(devicePath);
  if (!normalized) return std::nullopt;
  std::vector<String16> parts = splitNormalized(*normalized);
  PathConfig config = currentPathConfig();

  fs::path base = config.deviceRoot;
  size_t first = 0;
  if (parts.size() >= 2 && equalsNoCase(parts[0], u"Program Files") &&
      equalsNoCase(parts[1], u"Tunora")) {
    base = config.programDir;
    first = 2;
  } else if (!parts.empty()) {
    for (const auto& card : config.storageCards) {
      if (equalsNoCase(parts[0], card.name)) {
        base = card.hostDir;
        first = 1;
        break;
      }
    }
  }

  // Resolve each existing component without regard to case; once one is
  // missing, the rest keep the spelling given.
  bool existing = true;
  for (size_t i = first; i < parts.size(); ++i) {
    std::string name = utf16ToUtf8(parts[i]);
    if (existing) {
      std::string found = findNoCase(base, name);
      if (found.empty()) {
        existing = false;
      } else {
        name = found;
      }
    }
    base /= name;
  }
  return base;
}

std::optional<fs::path> toHostPath(std::string_view devicePathUtf8) {
  return toHostPath(StringView16(utf8ToUtf16(devicePathUtf8)));
}

std::optional<String16> toDevicePath(const fs::path& hostPath) {
  PathConfig config = currentPathConfig();
  fs::path path = absoluteNormal(hostPath);

  // The most specific root wins: the program folder or a card may lie inside
  // the device root.
  std::optional<fs::path> bestRel;
  String16 bestPrefix;
  size_t bestDepth = 0;
  auto consider = [&](const fs::path& root, const String16& prefix) {
    std::optional<fs::path> rel = relativeInside(path, root);
    if (!rel) return;
    size_t depth = static_cast<size_t>(std::distance(root.begin(), root.end()));
    if (!bestRel || depth > bestDepth) {
      bestRel = rel;
      bestPrefix = prefix;
      bestDepth = depth;
    }
  };
  consider(config.deviceRoot, u"");
  consider(config.programDir, kProgramDirDevice);
  for (const auto& card : config.storageCards) consider(card.hostDir, u"\\" + card.name);
  if (!bestRel) return std::nullopt;

  String16 out = bestPrefix;
  for (const auto& part : *bestRel) {
    if (part.empty() || part == ".") continue;
    out += u'\\';
    out += utf8ToUtf16(part.string());
  }
  if (out.empty()) out = u"\\";
  return out;
}

String16 programDirectory() { return String16(kProgramDirDevice) + u"\\"; }

String16 deviceDirectoryOf(StringView16 devicePath) {
  size_t pos = devicePath.find_last_of(u"\\/");
  if (pos == StringView16::npos) return {};
  return String16(devicePath.substr(0, pos + 1));
}

String16 deviceFileNameOf(StringView16 devicePath) {
  size_t pos = devicePath.find_last_of(u"\\/");
  if (pos == StringView16::npos) return String16(devicePath);
  return String16(devicePath.substr(pos + 1));
}

String16 joinDevicePath(StringView16 dir, StringView16 name) {
  if (dir.empty()) return String16(name);
  while (!dir.empty() && isSeparator(dir.back())) dir.remove_suffix(1);
  while (!name.empty() && isSeparator(name.front())) name.remove_prefix(1);
  String16 out(dir);
  out += u'\\';
  out += name;
  return out;
}

std::vector<StorageCardMount> storageCards() { return currentPathConfig().storageCards; }

void insertStorageCard(const StorageCardMount& card) {
  StorageCardMount inserted = card;
  inserted.hostDir = absoluteNormal(card.hostDir);
  std::vector<std::pair<StorageCardMount, bool>> changes;
  {
    std::lock_guard lock(state().mutex);
    auto& cards = configLocked().storageCards;
    auto it = std::find_if(cards.begin(), cards.end(),
                           [&](const auto& c) { return equalsNoCase(c.name, inserted.name); });
    if (it != cards.end()) {
      if (it->hostDir == inserted.hostDir) return;  // already there: nothing changes
      changes.emplace_back(*it, false);
      *it = inserted;
    } else {
      cards.push_back(inserted);
    }
    changes.emplace_back(inserted, true);
  }
  notify(changes);
}

void removeStorageCard(StringView16 name) {
  std::vector<std::pair<StorageCardMount, bool>> changes;
  {
    std::lock_guard lock(state().mutex);
    auto& cards = configLocked().storageCards;
    auto it = std::find_if(cards.begin(), cards.end(),
                           [&](const auto& c) { return equalsNoCase(c.name, name); });
    if (it == cards.end()) return;
    changes.emplace_back(*it, false);
    cards.erase(it);
  }
  notify(changes);
}

int addStorageCardListener(StorageCardListener listener) {
  std::lock_guard lock(state().mutex);
  int id = state().nextListenerId++;
  state().listeners.emplace(id, std::move(listener));
  return id;
}

void removeStorageCardListener(int id) {
  std::lock_guard lock(state().mutex);
  state().listeners.erase(id);
}

}  // namespace plat
