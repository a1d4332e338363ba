#include "record_store.h"

#include <cstring>
#include <filesystem>

#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "plat/paths.h"
#include "plat/text.h"

namespace zansk {

// ---- records ----

Status RecordObj::SetField(uint32_t field, const void* data, uint32_t size) {
  if (data == nullptr && size != 0) return plat::E_POINTER;
  if (size > kMaxFieldSize) return plat::E_INVALIDARG;
  std::lock_guard lock(mutex_);
  fields_[field].assign(static_cast<const char*>(data), size);
  return plat::S_OK;
}

Status RecordObj::GetField(uint32_t field, void* buffer, uint32_t size) {
  if (buffer == nullptr) return plat::E_POINTER;
  std::lock_guard lock(mutex_);
  auto it = fields_.find(field);
  if (it == fields_.end()) return plat::E_FAIL;
  if (it->second.size() > size) return plat::E_INVALIDARG;
  std::memcpy(buffer, it->second.data(), it->second.size());
  std::memset(static_cast<char*>(buffer) + it->second.size(), 0, size - it->second.size());
  return plat::S_OK;
}

Status RecordObj::GetId(uint32_t* id) {
  if (id == nullptr) return plat::E_POINTER;
  std::lock_guard lock(mutex_);
  *id = id_;
  return plat::S_OK;
}

Status RecordObj::GetKind(uint32_t* kind) {
  if (kind == nullptr) return plat::E_POINTER;
  *kind = kind_;
  return plat::S_OK;
}

std::map<uint32_t, std::string> RecordObj::fields() const {
  std::lock_guard lock(mutex_);
  return fields_;
}

void RecordObj::setFields(std::map<uint32_t, std::string> f) {
  std::lock_guard lock(mutex_);
  fields_ = std::move(f);
}

bool RecordObj::field(uint32_t id, std::string* value) const {
  std::lock_guard lock(mutex_);
  auto it = fields_.find(id);
  if (it == fields_.end()) return false;
  *value = it->second;
  return true;
}

namespace {
// A private identifier to recognise our own record objects.
constexpr Guid kRecordImplId = plat::guidLiteral("{E7B2B02E-A534-4376-867D-88007369FD24}");
}  // namespace

Status RecordObj::queryExtra(const Guid& iid, void** out) {
  if (iid != kRecordImplId) return plat::E_NOINTERFACE;
  addRef();
  *out = this;
  return plat::S_OK;
}

// Records of another implementation do not answer the private identifier.
RecordObj* recordOf(IZanskRecord* record) {
  if (record == nullptr) return nullptr;
  void* p = nullptr;
  if (record->QueryInterface(kRecordImplId, &p) != plat::S_OK || p == nullptr) return nullptr;
  auto* obj = static_cast<RecordObj*>(p);
  obj->release();  // the caller's own reference keeps it alive
  return obj;
}

// ---- database ----

Database::~Database() { close(); }

Status Database::exec(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    plat::debugOut(std::string("zansk: ") + (err ? err : "sqlite error"));
    sqlite3_free(err);
    return plat::E_FAIL;
  }
  return plat::S_OK;
}

bool Database::isOpen() const {
  std::lock_guard lock(mutex_);
  return db_ != nullptr;
}

std::u16string Database::folder() const {
  std::lock_guard lock(mutex_);
  return folder_;
}

Status Database::open(const char16_t* folder) {
  if (folder == nullptr) return plat::E_POINTER;
  std::u16string dir(folder, plat::boundedLength(folder, plat::kMaxPath));
  if (Status s = plat::createDirectories(dir); plat::failed(s)) return s;
  auto host = plat::toHostPath(dir);
  if (!host) return plat::E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (db_ != nullptr) close();
  std::string file = (*host / fileName_).string();
  if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
      SQLITE_OK) {
    plat::debugOut("zansk: cannot open " + file);
    sqlite3_close(db_);
    db_ = nullptr;
    return plat::E_FAIL;
  }
  sqlite3_busy_timeout(db_, 2000);
  if (plat::failed(exec("CREATE TABLE IF NOT EXISTS records(id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER NOT NULL,"
                        " fired INTEGER NOT NULL DEFAULT 0);"
                        "CREATE TABLE IF NOT EXISTS fields(record INTEGER NOT NULL, field INTEGER NOT NULL, value BLOB,"
                        " PRIMARY KEY(record, field));"))) {
    sqlite3_close(db_);
    db_ = nullptr;
    return plat::E_DATA_INVALID;  // not a database of ours
  }
  folder_ = dir;
  depth_ = 0;
  return plat::S_OK;
}

Status Database::close() {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::S_FALSE;
  if (depth_ > 0) exec("COMMIT");
  depth_ = 0;
  sqlite3_close(db_);
  db_ = nullptr;
  return plat::S_OK;
}

// Writes the database to a folder: nothing to do for its own folder (every
// change is already on disk); another folder gets a consistent copy.
Status Database::save(const char16_t* folder) {
  if (folder == nullptr) return plat::E_POINTER;
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  std::u16string dir(folder, plat::boundedLength(folder, plat::kMaxPath));
  auto a = plat::normalizeDevicePath(dir);
  auto b = plat::normalizeDevicePath(folder_);
  if (a && b && plat::equalsNoCase(*a, *b)) return plat::S_OK;
  if (Status s = plat::createDirectories(dir); plat::failed(s)) return s;
  auto host = plat::toHostPath(dir);
  if (!host) return plat::E_INVALIDARG;
  sqlite3* target = nullptr;
  std::string file = (*host / fileName_).string();
  if (sqlite3_open(file.c_str(), &target) != SQLITE_OK) {
    sqlite3_close(target);
    return plat::E_FAIL;
  }
  Status result = plat::E_FAIL;
  if (sqlite3_backup* backup = sqlite3_backup_init(target, "main", db_, "main")) {
    if (sqlite3_backup_step(backup, -1) == SQLITE_DONE) result = plat::S_OK;
    sqlite3_backup_finish(backup);
  }
  sqlite3_close(target);
  return result;
}

Status Database::begin() {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  if (depth_++ == 0) return exec("BEGIN");
  return plat::S_OK;
}

Status Database::end() {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr || depth_ == 0) return plat::E_FAIL;
  if (--depth_ == 0) return exec("COMMIT");
  return plat::S_OK;
}

Status Database::count(uint32_t kind, uint32_t* n) {
  std::vector<uint32_t> all;
  if (Status s = ids(kind, &all); plat::failed(s)) return s;
  *n = static_cast<uint32_t>(all.size());
  return plat::S_OK;
}

Status Database::ids(uint32_t kind, std::vector<uint32_t>* out) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT id FROM records WHERE kind = ? ORDER BY id", -1, &st, nullptr) != SQLITE_OK)
    return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, kind);
  out->clear();
  while (sqlite3_step(st) == SQLITE_ROW) out->push_back(static_cast<uint32_t>(sqlite3_column_int64(st, 0)));
  sqlite3_finalize(st);
  return plat::S_OK;
}

Status Database::load(uint32_t id, RecordObj** out) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT kind FROM records WHERE id = ?", -1, &st, nullptr) != SQLITE_OK) return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, id);
  if (sqlite3_step(st) != SQLITE_ROW) {
    sqlite3_finalize(st);
    return plat::E_INVALIDARG;
  }
  uint32_t kind = static_cast<uint32_t>(sqlite3_column_int64(st, 0));
  sqlite3_finalize(st);
  std::map<uint32_t, std::string> fields;
  if (sqlite3_prepare_v2(db_, "SELECT field, value FROM fields WHERE record = ?", -1, &st, nullptr) != SQLITE_OK)
    return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, id);
  while (sqlite3_step(st) == SQLITE_ROW) {
    int size = sqlite3_column_bytes(st, 1);
    if (size < 0 || static_cast<uint32_t>(size) > kMaxFieldSize) continue;  // never trust the file
    const void* blob = sqlite3_column_blob(st, 1);
    fields[static_cast<uint32_t>(sqlite3_column_int64(st, 0))] =
        blob ? std::string(static_cast<const char*>(blob), static_cast<size_t>(size)) : std::string();
  }
  sqlite3_finalize(st);
  auto* r = new (std::nothrow) RecordObj(kind);
  if (r == nullptr) return plat::E_OUTOFMEMORY;
  r->setId(id);
  r->setFields(std::move(fields));
  *out = r;
  return plat::S_OK;
}

Status Database::writeFields(uint32_t id, const std::map<uint32_t, std::string>& fields) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "DELETE FROM fields WHERE record = ?", -1, &st, nullptr) != SQLITE_OK) return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, id);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return plat::E_FAIL;
  if (sqlite3_prepare_v2(db_, "INSERT INTO fields(record, field, value) VALUES(?, ?, ?)", -1, &st, nullptr) != SQLITE_OK)
    return plat::E_FAIL;
  for (const auto& [field, value] : fields) {
    sqlite3_reset(st);
    sqlite3_bind_int64(st, 1, id);
    sqlite3_bind_int64(st, 2, field);
    sqlite3_bind_blob(st, 3, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_DONE) {
      sqlite3_finalize(st);
      return plat::E_FAIL;
    }
  }
  sqlite3_finalize(st);
  return plat::S_OK;
}

Status Database::insert(RecordObj* record) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  if (plat::failed(begin())) return plat::E_FAIL;
  sqlite3_stmt* st = nullptr;
  Status result = plat::E_FAIL;
  if (sqlite3_prepare_v2(db_, "INSERT INTO records(kind) VALUES(?)", -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_int64(st, 1, record->kind());
    if (sqlite3_step(st) == SQLITE_DONE) {
      uint32_t id = static_cast<uint32_t>(sqlite3_last_insert_rowid(db_));
      if (plat::succeeded(writeFields(id, record->fields()))) {
        record->setId(id);
        result = plat::S_OK;
      }
    }
    sqlite3_finalize(st);
  }
  if (plat::failed(result) && depth_ == 1) {
    exec("ROLLBACK");
    depth_ = 0;
    return result;
  }
  end();
  return result;
}

Status Database::update(RecordObj* record) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  if (record->id() == 0) return plat::E_INVALIDARG;
  RecordObj* existing = nullptr;
  if (Status s = load(record->id(), &existing); plat::failed(s)) return s;
  existing->release();
  if (plat::failed(begin())) return plat::E_FAIL;
  Status s = writeFields(record->id(), record->fields());
  end();
  return s;
}

Status Database::remove(uint32_t id) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "DELETE FROM records WHERE id = ?", -1, &st, nullptr) != SQLITE_OK) return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, id);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return plat::E_FAIL;
  if (sqlite3_changes(db_) == 0) return plat::E_INVALIDARG;
  if (sqlite3_prepare_v2(db_, "DELETE FROM fields WHERE record = ?", -1, &st, nullptr) != SQLITE_OK) return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, id);
  sqlite3_step(st);
  sqlite3_finalize(st);
  return plat::S_OK;
}

Status Database::fired(uint32_t id, uint32_t* bits) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "SELECT fired FROM records WHERE id = ?", -1, &st, nullptr) != SQLITE_OK) return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, id);
  Status s = plat::E_INVALIDARG;
  if (sqlite3_step(st) == SQLITE_ROW) {
    *bits = static_cast<uint32_t>(sqlite3_column_int64(st, 0));
    s = plat::S_OK;
  }
  sqlite3_finalize(st);
  return s;
}

Status Database::setFired(uint32_t id, uint32_t bits) {
  std::lock_guard lock(mutex_);
  if (db_ == nullptr) return plat::E_FAIL;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db_, "UPDATE records SET fired = ? WHERE id = ?", -1, &st, nullptr) != SQLITE_OK) return plat::E_FAIL;
  sqlite3_bind_int64(st, 1, bits);
  sqlite3_bind_int64(st, 2, id);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  return rc == SQLITE_DONE ? plat::S_OK : plat::E_FAIL;
}

bool timeValueToUtc(const std::string& bytes, plat::FileTime* utc) {
  if (bytes.size() != sizeof(TimeValue)) return false;
  TimeValue v;
  std::memcpy(&v, bytes.data(), sizeof v);
  if (v.year < 1601 || v.year > 30000 || v.month < 1 || v.month > 12 || v.day < 1 || v.day > 31 || v.hour < 0 ||
      v.hour > 23 || v.minute < 0 || v.minute > 59 || v.second < 0 || v.second > 59)
    return false;
  plat::SystemTime st;
  st.year = static_cast<uint16_t>(v.year);
  st.month = static_cast<uint16_t>(v.month);
  st.day = static_cast<uint16_t>(v.day);
  st.hour = static_cast<uint16_t>(v.hour);
  st.minute = static_cast<uint16_t>(v.minute);
  st.second = static_cast<uint16_t>(v.second);
  auto local = plat::systemTimeToFileTime(st);
  if (!local) return false;
  *utc = plat::localToUtc(*local);
  return true;
}

}  // namespace zansk
