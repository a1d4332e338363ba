// The playlist manager and its wrappers over "Playlist.xml".
//
// File format (UTF-8 XML): root "Playlist" (any letter case), one "list"
// element per playlist with the attribute "name", one "item" element per
// entry whose text is the file's full path. Playlists and items are numbered
// from 0 in document order.
//
// Element names are matched without regard to ASCII case wherever a list or
// an item is searched, counted or addressed by number, except
// GetPlaylistCount, which counts only elements named exactly "list".
// Playlist names compare without regard to ASCII case; item paths exactly.
//
// Wrappers (IVexoCmnPlaylist, IVexoCmnPlaylistItem) are new objects on every
// request, owned by the caller. They share the manager's document, so a
// wrapper stays safe to call after its element was deleted, after a reload
// and after the manager was released: it then fails (E_FAIL, null, 0).
// A manager without a loaded document (never loaded, or its last Load
// failed) fails every call cleanly.
//
// None of these objects answers an identifier but IUnknown.
#pragma once
#include <cstdint>

#include "vexo/cmn_factories.h"

class IVexoCmnPlaylistItem : public IMcUnknown {
 public:
  // The text after the last '\' of the path (the whole path when it has
  // none), truncated to capacity (characters, with terminator): S_OK, or
  // S_FALSE when truncated. E_INVALIDARG for a null buffer or capacity 0.
  /*3*/ virtual Status GetFileName(char16_t* buffer, uint32_t capacity) = 0;
  // The item's path, same buffer rules; E_FAIL when the item has no text.
  /*4*/ virtual Status GetPath(char16_t* buffer, uint32_t capacity) = 0;

 protected:
  ~IVexoCmnPlaylistItem() = default;
};

class IVexoCmnPlaylist : public IMcUnknown {
 public:
  // E_INVALIDARG for null; E_FAIL when it cannot be set.
  /*3*/ virtual Status SetName(const char16_t* name) = 0;
  // Buffer rules as IVexoCmnPlaylistItem::GetPath; E_FAIL without a name.
  /*4*/ virtual Status GetName(char16_t* buffer, uint32_t capacity) = 0;
  /*5*/ virtual uint32_t GetItemCount() = 0;
  // The last item whose path equals path exactly, with its index (index may
  // be null); null when none.
  /*6*/ virtual IVexoCmnPlaylistItem* FindItem(const char16_t* path, uint32_t* index) = 0;
  /*7*/ virtual IVexoCmnPlaylistItem* GetItem(uint32_t index) = 0;
  // Appends an item; index (may be null) receives item count - 1.
  /*8*/ virtual Status AddItem(const char16_t* path, uint32_t* index) = 0;
  // S_OK, also when there is no such item.
  /*9*/ virtual Status DeleteItem(uint32_t index) = 0;
  // Swap with the neighbouring item (no change at the ends); E_FAIL when the
  // index does not exist.
  /*10*/ virtual Status MoveItemUp(uint32_t index) = 0;
  /*11*/ virtual Status MoveItemDown(uint32_t index) = 0;

 protected:
  ~IVexoCmnPlaylist() = default;
};

class IVexoCmnPlaylistManager : public IMcUnknown {
 public:
  // S_OK and the index of the first playlist of that name; E_FAIL when none;
  // E_INVALIDARG for a null name or out.
  /*3*/ virtual Status FindPlaylist(const char16_t* name, uint32_t* index) = 0;
  /*4*/ virtual IVexoCmnPlaylist* GetPlaylist(uint32_t index) = 0;
  // Null also for a null or empty name.
  /*5*/ virtual IVexoCmnPlaylist* GetPlaylistByName(const char16_t* name) = 0;
  /*6*/ virtual uint32_t GetPlaylistCount() = 0;
  // An existing playlist of that name gives its index and nothing is added;
  // otherwise a new playlist is appended. index may be null.
  /*7*/ virtual Status AddPlaylist(const char16_t* name, uint32_t* index) = 0;
  // Removes the playlist with its items; S_OK also when there is none.
  /*8*/ virtual Status DeletePlaylist(uint32_t index) = 0;
  // Loads a device path. A missing file is created empty; an empty file, one
  // without a "Playlist" root, or an unreadable one gives E_FAIL and leaves
  // the manager without a document.
  /*9*/ virtual Status Load(const char16_t* path) = 0;
  // Writes the whole document (UTF-8, with an XML declaration) to a device
  // path as one step: the old file stays whole when the write fails (E_FAIL).
  /*10*/ virtual Status Save(const char16_t* path) = 0;

 protected:
  ~IVexoCmnPlaylistManager() = default;
};
