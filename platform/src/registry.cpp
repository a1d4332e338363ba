// The registry, kept in "registry.txt" under the device root.
//
// File format (UTF-8, one record per line, LF or CRLF):
//   tunora-registry 1                 header with the format version
//   key HKLM "Software" "Norvale"     a key: root, then each path component
//   dword "Language" 17               a value of the key above (decimal)
//   string "Title" "a\\b\nline 2"     a string value of the key above
// Names and strings are quoted; inside quotes \\ \" \n \r \t and \xHH (for
// other control bytes) are the only escapes. Every key is written, even an
// empty one, before its values. Blank lines and lines starting with '#' are
// ignored. Anything else makes the file damaged: it is reported on the debug
// output, moved aside to "registry.txt.bad" and replaced by an empty registry.
//
// The whole registry is held in memory behind one mutex and the file is
// rewritten through an atomic replace after every change. The text is built
// under the lock; the write happens under a separate save lock with a change
// counter, so a slow save never blocks readers and an older snapshot never
// overwrites a newer one.
#include "plat/registry.h"

#include <memory>
#include <mutex>
#include <string>

#include "plat/debug.h"
#include "plat/file.h"
#include "plat/paths.h"

namespace plat {
namespace fs = std::filesystem;

namespace {

constexpr char kFileName[] = "registry.txt";
constexpr char kHeader[] = "tunora-registry";
constexpr int kVersion = 1;
constexpr uint64_t kMaxFileBytes = 16ull << 20;

struct Key {
  String16 name;
  std::vector<RegValue> values;
  std::vector<std::unique_ptr<Key>> subKeys;

  Key* findSub(StringView16 n) const {
    for (const auto& k : subKeys)
      if (equalsNoCase(k->name, n)) return k.get();
    return nullptr;
  }
  RegValue* findValue(StringView16 n) {
    for (auto& v : values)
      if (equalsNoCase(v.name, n)) return &v;
    return nullptr;
  }
};

struct Registry {
  std::mutex mutex;
  bool loaded = false;
  fs::path file;
  Key roots[2];
  uint64_t changeCount = 0;

  std::mutex saveMutex;
  uint64_t savedCount = 0;
};

Registry& reg() {
  static Registry r;
  return r;
}

Key& rootKey(RegRoot root) { return reg().roots[root == RegRoot::LocalMachine ? 0 : 1]; }

const char* rootTag(int index) { return index == 0 ? "HKLM" : "HKCU"; }

std::vector<String16> splitKeyPath(StringView16 path) {
  std::vector<String16> parts;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == u'\\') ++i;
    size_t start = i;
    while (i < path.size() && path[i] != u'\\') ++i;
    if (i > start) parts.emplace_back(path.substr(start, i - start));
  }
  return parts;
}

Key* findKey(RegRoot root, StringView16 path) {
  Key* k = &rootKey(root);
  for (const auto& part : splitKeyPath(path)) {
    k = k->findSub(part);
    if (!k) return nullptr;
  }
  return k;
}

Key* createKey(RegRoot root, StringView16 path, bool* created) {
  Key* k = &rootKey(root);
  for (const auto& part : splitKeyPath(path)) {
    Key* sub = k->findSub(part);
    if (!sub) {
      k->subKeys.push_back(std::make_unique<Key>());
      sub = k->subKeys.back().get();
      sub->name = part;
      if (created) *created = true;
    }
    k = sub;
  }
  return k;
}

// ---- text form ------------------------------------------------------------

void appendQuoted(std::string& out, StringView16 text) {
  static const char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (unsigned char c : utf16ToUtf8(text)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void appendKey(std::string& out, int rootIndex, const Key& key, std::vector<const String16*>& path) {
  out += "key ";
  out += rootTag(rootIndex);
  for (const String16* p : path) {
    out += ' ';
    appendQuoted(out, *p);
  }
  out += '\n';
  for (const auto& v : key.values) {
    out += v.type == RegType::Dword ? "dword " : "string ";
    appendQuoted(out, v.name);
    out += ' ';
    if (v.type == RegType::Dword) {
      out += std::to_string(v.dword);
    } else {
      appendQuoted(out, v.string);
    }
    out += '\n';
  }
  for (const auto& sub : key.subKeys) {
    path.push_back(&sub->name);
    appendKey(out, rootIndex, *sub, path);
    path.pop_back();
  }
}

std::string serializeLocked() {
  std::string out = std::string(kHeader) + " " + std::to_string(kVersion) + "\n";
  for (int i = 0; i < 2; ++i) {
    std::vector<const String16*> path;
    appendKey(out, i, reg().roots[i], path);
  }
  return out;
}

// Splits one record into bare words and quoted fields (quotes removed,
// escapes resolved). Returns false with a reason on malformed text.
struct Field {
  std::string text;
  bool quoted = false;
};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool tokenize(std::string_view line, std::vector<Field>* fields, std::string* why) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    Field f;
    if (line[i] != '"') {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
        if (line[i] == '"' || line[i] == '\\') {
          *why = "stray quote or backslash";
          return false;
        }
        f.text += line[i++];
      }
      fields->push_back(std::move(f));
      continue;
    }
    f.quoted = true;
    ++i;
    bool closed = false;
    while (i < line.size()) {
      char c = line[i++];
      if (c == '"') {
        closed = true;
        break;
      }
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        *why = "raw control character";  // the writer escapes every one
        return false;
      }
      if (c != '\\') {
        f.text += c;
        continue;
      }
      if (i >= line.size()) break;
      char e = line[i++];
      switch (e) {
        case '\\': f.text += '\\'; break;
        case '"': f.text += '"'; break;
        case 'n': f.text += '\n'; break;
        case 'r': f.text += '\r'; break;
        case 't': f.text += '\t'; break;
        case 'x': {
          int hi = i < line.size() ? hexDigit(line[i]) : -1;
          int lo = i + 1 < line.size() ? hexDigit(line[i + 1]) : -1;
          if (hi < 0 || lo < 0) {
            *why = "bad \\x escape";
            return false;
          }
          f.text += static_cast<char>(hi * 16 + lo);
          i += 2;
          break;
        }
        default:
          *why = "unknown escape";
          return false;
      }
    }
    if (!closed) {
      *why = "unterminated quote";
      return false;
    }
    if (i < line.size() && line[i] != ' ' && line[i] != '\t') {
      *why = "text after closing quote";
      return false;
    }
    fields->push_back(std::move(f));
  }
  return true;
}

bool parseDword(const std::string& s, uint32_t* out) {
  if (s.empty() || s.size() > 10) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFull) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

// Parses the file text into the roots; on failure returns false with the
// line number and the reason.
bool parseLocked(std::string_view text, std::string* why) {
  Key* current = nullptr;
  size_t lineNo = 0;
  bool sawHeader = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    auto fail = [&](const std::string& reason) {
      *why = "line " + std::to_string(lineNo) + ": " + reason;
      return false;
    };
    if (!sawHeader) {
      if (line != std::string(kHeader) + " " + std::to_string(kVersion))
        return fail("missing or unknown header");
      sawHeader = true;
      continue;
    }
    if (line.empty() || line.front() == '#') continue;
    std::vector<Field> fields;
    std::string reason;
    if (!tokenize(line, &fields, &reason)) return fail(reason);
    if (fields.empty()) continue;
    const std::string& kind = fields[0].text;
    if (fields[0].quoted) return fail("record kind is quoted");
    if (kind == "key") {
      if (fields.size() < 2 || fields[1].quoted) return fail("key without root");
      RegRoot root;
      if (fields[1].text == "HKLM") {
        root = RegRoot::LocalMachine;
      } else if (fields[1].text == "HKCU") {
        root = RegRoot::CurrentUser;
      } else {
        return fail("unknown root");
      }
      Key* k = &rootKey(root);
      for (size_t i = 2; i < fields.size(); ++i) {
        if (!fields[i].quoted || fields[i].text.empty()) return fail("bad key name");
        String16 name = utf8ToUtf16(fields[i].text);
        if (name.find(u'\\') != String16::npos) return fail("key name holds a backslash");
        Key* sub = k->findSub(name);
        if (!sub) {
          k->subKeys.push_back(std::make_unique<Key>());
          sub = k->subKeys.back().get();
          sub->name = std::move(name);
        }
        k = sub;
      }
      current = k;
    } else if (kind == "dword" || kind == "string") {
      if (!current) return fail("value before any key");
      if (fields.size() != 3 || !fields[1].quoted) return fail("bad value record");
      RegValue v;
      v.name = utf8ToUtf16(fields[1].text);
      if (kind == "dword") {
        v.type = RegType::Dword;
        if (fields[2].quoted || !parseDword(fields[2].text, &v.dword)) return fail("bad number");
      } else {
        v.type = RegType::String;
        if (!fields[2].quoted) return fail("string value not quoted");
        v.string = utf8ToUtf16(fields[2].text);
      }
      if (RegValue* existing = current->findValue(v.name)) {
        v.name = existing->name;
        *existing = std::move(v);
      } else {
        current->values.push_back(std::move(v));
      }
    } else {
      return fail("unknown record");
    }
  }
  if (!sawHeader) {
    *why = "empty file";
    return false;
  }
  return true;
}

void clearLocked() {
  for (auto& r : reg().roots) {
    r.values.clear();
    r.subKeys.clear();
  }
}

// Debug lines gathered under the lock and written after it is released,
// since the debug sink is a callback.
using Notes = std::vector<std::string>;

void flushNotes(const Notes& notes) {
  for (const auto& n : notes) debugOut(n);
}

// Loads the file on first use. A damaged file is moved aside and replaced.
// Returns the text to save when the registry was reset (empty otherwise).
void ensureLoadedLocked(Notes* notes, bool* needsSave) {
  Registry& r = reg();
  if (r.loaded) return;
  r.loaded = true;
  clearLocked();
  r.file = currentPathConfig().deviceRoot / kFileName;
  std::string bytes;
  Status s = readWholeFileHost(r.file, &bytes, kMaxFileBytes);
  if (s == E_FILE_NOT_FOUND || s == E_PATH_NOT_FOUND) return;  // a fresh registry
  std::string why;
  if (failed(s)) {
    why = s == E_DATA_INVALID ? "file too large" : std::string("cannot read: ") + statusName(s);
  } else if (parseLocked(bytes, &why)) {
    return;
  }
  clearLocked();
  fs::path bad = r.file;
  bad += ".bad";
  std::error_code ec;
  fs::rename(r.file, bad, ec);
  notes->push_back("registry: " + r.file.string() + " is damaged (" + why + "); kept as " +
                   bad.string() + (ec ? " failed: " + ec.message() : std::string()) +
                   ", starting with an empty registry");
  *needsSave = true;
}

// Runs op on the loaded registry under the lock; when op reports a change
// the registry is saved. Debug lines are written after the lock is released.
template <typename Op>
Status withRegistry(Op op) {
  Notes notes;
  std::string text;
  fs::path file;
  uint64_t count = 0;
  bool save = false;
  Status result;
  {
    std::lock_guard lock(reg().mutex);
    ensureLoadedLocked(&notes, &save);
    bool changed = false;
    result = op(&changed);
    if (changed || save) {
      save = true;
      text = serializeLocked();
      file = reg().file;
      count = ++reg().changeCount;
    }
  }
  if (save) {
    std::lock_guard saveLock(reg().saveMutex);
    if (count > reg().savedCount) {
      Status s = atomicReplaceHost(file, text);
      if (failed(s)) {
        notes.push_back("registry: cannot save " + file.string() + ": " + statusName(s));
        if (succeeded(result)) result = s;
      } else {
        reg().savedCount = count;
      }
    }
  }
  flushNotes(notes);
  return result;
}

bool validName(StringView16 name) { return name.find(u'\0') == StringView16::npos; }

Status setValue(RegRoot root, StringView16 keyPath, RegValue value) {
  if (!validName(keyPath) || !validName(value.name)) return E_INVALIDARG;
  return withRegistry([&](bool* changed) -> Status {
    Key* k = createKey(root, keyPath, changed);
    if (RegValue* existing = k->findValue(value.name)) {
      value.name = existing->name;  // keep the first spelling
      if (existing->type != value.type || existing->dword != value.dword ||
          existing->string != value.string) {
        *existing = std::move(value);
        *changed = true;
      }
    } else {
      k->values.push_back(std::move(value));
      *changed = true;
    }
    return S_OK;
  });
}

}  // namespace

Status regCreateKey(RegRoot root, StringView16 keyPath) {
  if (!validName(keyPath)) return E_INVALIDARG;
  return withRegistry([&](bool* changed) -> Status {
    createKey(root, keyPath, changed);
    return S_OK;
  });
}

bool regKeyExists(RegRoot root, StringView16 keyPath) {
  Status s = withRegistry([&](bool*) -> Status { return findKey(root, keyPath) ? S_OK : E_FILE_NOT_FOUND; });
  return succeeded(s);
}

Status regDeleteKey(RegRoot root, StringView16 keyPath) {
  std::vector<String16> parts = splitKeyPath(keyPath);
  if (parts.empty()) return E_INVALIDARG;  // a root cannot be deleted
  String16 last = parts.back();
  parts.pop_back();
  String16 parentPath;
  for (const auto& p : parts) parentPath += p + u"\\";
  return withRegistry([&](bool* changed) -> Status {
    Key* parent = findKey(root, parentPath);
    if (!parent) return E_FILE_NOT_FOUND;
    for (auto it = parent->subKeys.begin(); it != parent->subKeys.end(); ++it) {
      if (equalsNoCase((*it)->name, last)) {
        parent->subKeys.erase(it);
        *changed = true;
        return S_OK;
      }
    }
    return E_FILE_NOT_FOUND;
  });
}

Status regSetDword(RegRoot root, StringView16 keyPath, StringView16 name, uint32_t value) {
  RegValue v;
  v.name = String16(name);
  v.type = RegType::Dword;
  v.dword = value;
  return setValue(root, keyPath, std::move(v));
}

Status regSetString(RegRoot root, StringView16 keyPath, StringView16 name, StringView16 value) {
  RegValue v;
  v.name = String16(name);
  v.type = RegType::String;
  v.string = String16(value);
  return setValue(root, keyPath, std::move(v));
}

Status regGetDword(RegRoot root, StringView16 keyPath, StringView16 name, uint32_t* value) {
  if (!value) return E_POINTER;
  return withRegistry([&](bool*) -> Status {
    Key* k = findKey(root, keyPath);
    RegValue* v = k ? k->findValue(name) : nullptr;
    if (!v) return E_FILE_NOT_FOUND;
    if (v->type != RegType::Dword) return E_DATA_INVALID;
    *value = v->dword;
    return S_OK;
  });
}

Status regGetString(RegRoot root, StringView16 keyPath, StringView16 name, String16* value) {
  if (!value) return E_POINTER;
  return withRegistry([&](bool*) -> Status {
    Key* k = findKey(root, keyPath);
    RegValue* v = k ? k->findValue(name) : nullptr;
    if (!v) return E_FILE_NOT_FOUND;
    if (v->type != RegType::String) return E_DATA_INVALID;
    *value = v->string;
    return S_OK;
  });
}

Status regDeleteValue(RegRoot root, StringView16 keyPath, StringView16 name) {
  return withRegistry([&](bool* changed) -> Status {
    Key* k = findKey(root, keyPath);
    if (!k) return E_FILE_NOT_FOUND;
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
      if (equalsNoCase(it->name, name)) {
        k->values.erase(it);
        *changed = true;
        return S_OK;
      }
    }
    return E_FILE_NOT_FOUND;
  });
}

Status regEnumSubKeys(RegRoot root, StringView16 keyPath, std::vector<String16>* names) {
  if (!names) return E_POINTER;
  return withRegistry([&](bool*) -> Status {
    Key* k = findKey(root, keyPath);
    if (!k) return E_FILE_NOT_FOUND;
    names->clear();
    for (const auto& sub : k->subKeys) names->push_back(sub->name);
    return S_OK;
  });
}

Status regEnumValues(RegRoot root, StringView16 keyPath, std::vector<RegValue>* values) {
  if (!values) return E_POINTER;
  return withRegistry([&](bool*) -> Status {
    Key* k = findKey(root, keyPath);
    if (!k) return E_FILE_NOT_FOUND;
    *values = k->values;
    return S_OK;
  });
}

void regReload() {
  std::lock_guard lock(reg().mutex);
  reg().loaded = false;
  clearLocked();
}

}  // namespace plat
