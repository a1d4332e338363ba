// Status codes: 32-bit results, negative on failure. Every operation that can
// fail across a module boundary returns one of these; nothing throws across it.
#pragma once
#include <cstdint>

namespace plat {

using Status = int32_t;

inline constexpr Status S_OK = 0;
inline constexpr Status S_FALSE = 1;
inline constexpr Status E_FAIL = static_cast<Status>(0x80004005u);
inline constexpr Status E_INVALIDARG = static_cast<Status>(0x80070057u);
inline constexpr Status E_POINTER = static_cast<Status>(0x80004003u);
inline constexpr Status E_NOINTERFACE = static_cast<Status>(0x80004002u);
inline constexpr Status E_NOTIMPL = static_cast<Status>(0x80004001u);
inline constexpr Status E_OUTOFMEMORY = static_cast<Status>(0x8007000Eu);
inline constexpr Status E_UNEXPECTED = static_cast<Status>(0x8000FFFFu);
// A configured recording, snapshot or time-shift folder does not exist.
inline constexpr Status E_FOLDER_MISSING = static_cast<Status>(0x81000001u);

// OS-level failures of the platform's own services, in the same 0x8007xxxx
// family the device used for its system errors.
inline constexpr Status E_FILE_NOT_FOUND = static_cast<Status>(0x80070002u);
inline constexpr Status E_PATH_NOT_FOUND = static_cast<Status>(0x80070003u);
inline constexpr Status E_ACCESS_DENIED = static_cast<Status>(0x80070005u);
inline constexpr Status E_ALREADY_EXISTS = static_cast<Status>(0x800700B7u);
inline constexpr Status E_DISK_FULL = static_cast<Status>(0x80070070u);
inline constexpr Status E_DIR_NOT_EMPTY = static_cast<Status>(0x80070091u);
inline constexpr Status E_MOD_NOT_FOUND = static_cast<Status>(0x8007007Eu);
inline constexpr Status E_PROC_NOT_FOUND = static_cast<Status>(0x8007007Fu);
inline constexpr Status E_TIMEOUT = static_cast<Status>(0x800705B4u);
inline constexpr Status E_DATA_INVALID = static_cast<Status>(0x8007000Du);

constexpr bool succeeded(Status s) { return s >= 0; }
constexpr bool failed(Status s) { return s < 0; }

// Maps an errno value to the closest status code (E_FAIL when none fits).
Status statusFromErrno(int err);

// A short English name for a status code, for diagnostics ("E_FAIL", "0x81000001").
const char* statusName(Status s);

}  // namespace plat
