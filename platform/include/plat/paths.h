// Device paths. The system writes paths the device's way: '\' separators,
// rooted at '\' ("\NAND\ISDBT\Setting.xml", "\Storage Card\Movies\a.ts").
// This module maps them to host paths at the file-system boundary:
//   - "\Program Files\Tunora" is the program directory: the executable's own
//     directory on the host (overridable for tests);
//   - each storage card ("\Storage Card", "\Storage Card2", ...) is a
//     configured host folder;
//   - every other path lies below one device root directory.
// The device looked names up without regard to ASCII letter case, so each
// component that exists on the host is matched case-insensitively; components
// that do not exist yet keep the spelling given. A path never escapes its
// root: "..", ".", empty components and '/' are resolved lexically first and
// a path that climbs above '\' is refused. Symbolic links inside the device
// root are followed as the host has them (the root is ours to lay out).
#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plat/text.h"

namespace plat {

inline constexpr char16_t kProgramDirDevice[] = u"\\Program Files\\Tunora";

struct StorageCardMount {
  String16 name;                 // device folder name below '\', e.g. u"Storage Card"
  std::filesystem::path hostDir; // where its files live on the host
};

struct PathConfig {
  std::filesystem::path deviceRoot;  // host folder holding '\' (created on configure)
  std::filesystem::path programDir;  // host folder of "\Program Files\Tunora"
  std::vector<StorageCardMount> storageCards;
};

// Default configuration, first match wins for each item:
//   device root: "--device-root DIR" in argv, $TUNORA_DEVICE_ROOT,
//                $XDG_DATA_HOME/tunora, $HOME/.local/share/tunora
//   program dir: the executable's directory
//   storage card: "--storage-card DIR" in argv, $TUNORA_STORAGE_CARD, else
//                 one card "Storage Card" at <device root>/Storage Card
// argv may be empty.
PathConfig defaultPathConfig(const std::vector<std::string>& argv = {});

// Installs a configuration (creating the device root and card folders) and
// tells the storage-card listeners about cards that came or went.
void configurePaths(const PathConfig& config);
// The installed configuration (defaultPathConfig() on first use).
PathConfig currentPathConfig();

// Device path -> host path; nullopt for a path that is empty, not rooted at
// '\' or climbs above the root.
std::optional<std::filesystem::path> toHostPath(StringView16 devicePath);
std::optional<std::filesystem::path> toHostPath(std::string_view devicePathUtf8);
// Host path -> device path; nullopt when the host path lies outside every root.
std::optional<String16> toDevicePath(const std::filesystem::path& hostPath);

// Lexical normalisation of a device path: '/' becomes '\', repeated
// separators and "." go, ".." climbs; nullopt when it climbs above '\' or is
// not rooted. The result starts with '\' and has no trailing '\' (except "\").
std::optional<String16> normalizeDevicePath(StringView16 devicePath);

// "\Program Files\Tunora\" with the trailing separator.
String16 programDirectory();
// The directory part of a device path including its trailing '\'.
String16 deviceDirectoryOf(StringView16 devicePath);
// The last component of a device path.
String16 deviceFileNameOf(StringView16 devicePath);
// Joins with exactly one '\' between the parts.
String16 joinDevicePath(StringView16 dir, StringView16 name);

// Storage cards: the mounted cards, and changes to them. Tests and the
// removable-media watcher insert and remove cards; listeners hear of each
// change after it took effect (arrived = true for an insertion).
std::vector<StorageCardMount> storageCards();
void insertStorageCard(const StorageCardMount& card);
void removeStorageCard(StringView16 name);
using StorageCardListener = std::function<void(const StorageCardMount& card, bool arrived)>;
int addStorageCardListener(StorageCardListener listener);
void removeStorageCardListener(int id);

}  // namespace plat
