// Identifiers of the common library's services and the shape of its six
// factory exports. Each factory writes the exposed interface pointer, holding
// the caller's one reference, to its out argument (null when memory is
// exhausted) and returns 0; callers test the out pointer. The playlist
// manager's factory returns E_FAIL for a null out.
#pragma once
#include <cstdint>

#include "vexo/mc.h"

class IVexoCmnPlayerSession;
class IVexoCmnPlaylistManager;
class IVexoCmnScheduler;
class IVexoCmnSetting;
class IVexoCmnSourceManager;
class IVexoCmnStringLoader;

inline constexpr Guid IID_IVexoCmnPlayerSession = plat::guidLiteral("{E5A4587E-870C-4A15-9842-B73CD8AA567B}");
inline constexpr Guid IID_IVexoCmnSetting = plat::guidLiteral("{E36B5829-39CA-4A01-BFE5-DA481BEFC5C9}");
inline constexpr Guid IID_IVexoCmnStringLoader = plat::guidLiteral("{D87CDB8F-CBAA-4894-BB48-6021339C0CF9}");
inline constexpr Guid IID_IVexoCmnScheduler = plat::guidLiteral("{091FE3ED-4046-46E1-98E3-298E63D1F597}");
inline constexpr Guid IID_IVexoCmnSourceManager = plat::guidLiteral("{BFDB0E23-209A-495A-B3DE-D51B08130C5B}");
// The playlist manager, playlists and playlist items answer IUnknown only.

extern "C" {
typedef Status (*VexoCmnCreatePlayerSessionFn)(IVexoCmnPlayerSession** out);
typedef Status (*VexoCmnCreatePlaylistManagerFn)(IVexoCmnPlaylistManager** out);
typedef Status (*VexoCmnCreateSchedulerFn)(IVexoCmnScheduler** out);
// kind and root selector choose the store (user, factory defaults); company
// and product name its place.
typedef Status (*VexoCmnCreateSettingFn)(uint32_t kind, uint32_t rootSelector, const char* company,
                                         const char* product, IVexoCmnSetting** out);
typedef Status (*VexoCmnCreateSourceManagerFn)(IVexoCmnSourceManager** out);
typedef Status (*VexoCmnCreateStringLoaderFn)(IVexoCmnStringLoader** out);

// Settings store (setting.h): kind 0 file, 1 registry; company and product are
// UTF-8 folder (or key) names. A kind other than 0 or 1, or a name that is
// empty or holds a path separator, gives E_INVALIDARG and a null out.
Status CoCreateVexoCmnSetting(uint32_t kind, uint32_t rootSelector, const char* company, const char* product,
                              IVexoCmnSetting** out);
// String table loader (string_loader.h).
Status CoCreateVexoCmnStringLoader(IVexoCmnStringLoader** out);
// Source manager (source_manager.h).
Status CoCreateVexoCmnSourceManager(IVexoCmnSourceManager** out);
// Playlist manager (playlist.h); E_FAIL for a null out.
Status CoCreateVexoCmnPlaylistManager(IVexoCmnPlaylistManager** out);
// Scheduler (scheduler.h).
Status CoCreateVexoCmnScheduler(IVexoCmnScheduler** out);
// Player session (player_session.h).
Status CoCreateVexoCmnPlayerSession(IVexoCmnPlayerSession** out);
}

namespace vexo {
inline constexpr char kExportPlayerSession[] = "CoCreateVexoCmnPlayerSession";
inline constexpr char kExportPlaylistManager[] = "CoCreateVexoCmnPlaylistManager";
inline constexpr char kExportScheduler[] = "CoCreateVexoCmnScheduler";
inline constexpr char kExportSetting[] = "CoCreateVexoCmnSetting";
inline constexpr char kExportSourceManager[] = "CoCreateVexoCmnSourceManager";
inline constexpr char kExportStringLoader[] = "CoCreateVexoCmnStringLoader";
}  // namespace vexo
