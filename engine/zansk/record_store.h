// The scheduler library's records and the SQLite store behind both of its
// objects (the channel database and the event scheduler).
//
// Database: one SQLite file per object in the database folder
// ("Channels.db", "Events.db"), with two tables:
//   records(id INTEGER PRIMARY KEY AUTOINCREMENT, kind INTEGER, fired INTEGER)
//   fields(record INTEGER, field INTEGER, value BLOB, PRIMARY KEY(record, field))
// `fired` remembers which of a reservation's events were raised (1 reminder,
// 2 start, 4 stop), so a restart does not raise them twice.
#pragma once
#include <sqlite3.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "plat/clock.h"
#include "vexo/mc.h"
#include "zant/scheduler.h"

namespace zansk {

class RecordObj final : public McObject<IZanskRecord> {
 public:
  explicit RecordObj(uint32_t kind) : kind_(kind) {}
  Status SetField(uint32_t field, const void* data, uint32_t size) override;
  Status GetField(uint32_t field, void* buffer, uint32_t size) override;
  Status GetId(uint32_t* id) override;
  Status GetKind(uint32_t* kind) override;

  uint32_t id() const { return id_; }
  void setId(uint32_t id) { id_ = id; }
  uint32_t kind() const { return kind_; }
  std::map<uint32_t, std::string> fields() const;
  void setFields(std::map<uint32_t, std::string> f);
  bool field(uint32_t id, std::string* value) const;

 protected:
  Status queryExtra(const Guid& iid, void** out) override;

 private:
  ~RecordObj() override = default;
  mutable std::mutex mutex_;
  const uint32_t kind_;
  uint32_t id_ = 0;
  std::map<uint32_t, std::string> fields_;
};

// Finds our record object behind an interface pointer (null for others').
RecordObj* recordOf(IZanskRecord* record);

class Database {
 public:
  explicit Database(std::string fileName) : fileName_(std::move(fileName)) {}
  ~Database();

  Status open(const char16_t* folder);
  Status save(const char16_t* folder);
  Status close();
  Status begin();
  Status end();
  Status count(uint32_t kind, uint32_t* n);
  Status ids(uint32_t kind, std::vector<uint32_t>* out);
  Status load(uint32_t id, RecordObj** out);
  Status insert(RecordObj* record);
  Status update(RecordObj* record);
  Status remove(uint32_t id);
  Status fired(uint32_t id, uint32_t* bits);
  Status setFired(uint32_t id, uint32_t bits);
  std::u16string folder() const;
  bool isOpen() const;

 private:
  Status exec(const char* sql);
  Status writeFields(uint32_t id, const std::map<uint32_t, std::string>& fields);
  mutable std::recursive_mutex mutex_;
  std::string fileName_;
  std::u16string folder_;
  sqlite3* db_ = nullptr;
  int depth_ = 0;
};

// Converts a stored 24-byte time value (local time) to UTC; false when invalid.
bool timeValueToUtc(const std::string& bytes, plat::FileTime* utc);

}  // namespace zansk
