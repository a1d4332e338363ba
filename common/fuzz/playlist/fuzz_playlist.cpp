// Fuzz target: damaged "Playlist.xml" files through the playlist manager's
// loader, then every read, edit and a save of whatever loaded.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "plat/file.h"
#include "plat/paths.h"
#include "vexo/playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void setUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  plat::PathConfig cfg;
  cfg.deviceRoot = std::filesystem::temp_directory_path() / ("fuzz-playlist-" + std::to_string(::getpid()));
  cfg.programDir = cfg.deviceRoot / "program";
  plat::configurePaths(cfg);
}

void walk(IVexoCmnPlaylistManager* manager) {
  char16_t text[260];
  uint32_t lists = manager->GetPlaylistCount();
  for (uint32_t i = 0; i < lists + 1; ++i) {
    IVexoCmnPlaylist* list = manager->GetPlaylist(i);
    if (list == nullptr) continue;
    if (plat::succeeded(list->GetName(text, 260))) {
      uint32_t index = 0;
      manager->FindPlaylist(text, &index);
    }
    uint32_t items = list->GetItemCount();
    for (uint32_t j = 0; j < items; ++j) {
      if (IVexoCmnPlaylistItem* item = list->GetItem(j)) {
        item->GetFileName(text, 8);
        if (plat::succeeded(item->GetPath(text, 260))) {
          if (IVexoCmnPlaylistItem* same = list->FindItem(text, nullptr)) same->Release();
        }
        item->Release();
      }
    }
    if (items > 1) {
      list->MoveItemDown(0);
      list->MoveItemUp(items - 1);
    }
    list->AddItem(u"\\Storage Card\\a&b.ts", nullptr);
    list->DeleteItem(0);
    list->Release();
  }
  manager->AddPlaylist(u"fuzz", nullptr);
  manager->DeletePlaylist(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setUpOnce();
  const char16_t* path = u"\\fuzz\\Playlist.xml";
  plat::createDirectories(u"\\fuzz");
  if (plat::failed(plat::atomicReplace(path, std::string_view(reinterpret_cast<const char*>(data), size)))) return 0;
  IVexoCmnPlaylistManager* manager = nullptr;
  CoCreateVexoCmnPlaylistManager(&manager);
  if (manager == nullptr) return 0;
  if (plat::succeeded(manager->Load(path))) {
    walk(manager);
    if (plat::succeeded(manager->Save(u"\\fuzz\\Saved.xml"))) {
      // What was saved must load again.
      if (plat::failed(manager->Load(u"\\fuzz\\Saved.xml"))) __builtin_trap();
      walk(manager);
    }
  }
  manager->Release();
  return 0;
}
