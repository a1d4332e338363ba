// The file kind of the settings store: "Setting.xml" in
// <resident flash path><company>\<product>\, loaded at creation, changed in
// memory, written back by Save in one atomic step.
//
// A store file that is not empty but does not parse cleanly as a settings
// document would make every get fail and every later save overwrite the
// user's values; it is instead kept beside the store as "Setting.xml.damaged"
// and replaced by the factory-defaults store (company\Default), or failing
// that by the program folder's "Setting.xml", and the event is reported on
// the debug output.
#include <new>

#include "plat/debug.h"
#include "plat/file.h"
#include "plat/paths.h"
#include "setting_store.h"

namespace vexo {
namespace {

constexpr char16_t kStoreFileName[] = u"Setting.xml";
constexpr char16_t kDamagedSuffix[] = u".damaged";
constexpr char kDefaultsProduct[] = "Default";

std::string narrow(plat::StringView16 s) { return plat::utf16ToUtf8(s); }

// Reads a store file; an absent file is created empty. Fails on I/O errors.
// A file too large to be a settings file of ours is not read (*oversized).
Status readStoreFile(const plat::String16& path, std::string* bytes, bool* oversized) {
  *oversized = false;
  plat::File file;
  Status st = file.open(path, plat::FileAccess::ReadWrite, plat::FileDisposition::OpenAlways);
  if (plat::failed(st)) return st;
  uint64_t size = 0;
  st = file.size(&size);
  if (plat::failed(st)) return st;
  if (size > xml::kMaxFileBytes) {
    *oversized = true;
    return plat::S_OK;
  }
  bytes->resize(static_cast<size_t>(size));
  size_t total = 0;
  while (total < bytes->size()) {
    size_t done = 0;
    st = file.read(bytes->data() + total, bytes->size() - total, &done);
    if (plat::failed(st)) return st;
    if (done == 0) break;
    total += done;
  }
  bytes->resize(total);
  return plat::S_OK;
}

// A cleanly parsed settings document, or null.
std::unique_ptr<SettingDocument> parseClean(const std::string& bytes) {
  if (bytes.empty()) return nullptr;
  xml::Parsed parsed = xml::parseMemory(bytes, "setting.xml");
  if (!parsed.wellFormed) return nullptr;
  return SettingDocument::adopt(std::move(parsed.doc));
}

class FileSettingStore final : public SettingStore {
 public:
  FileSettingStore(uint32_t rootSelector, std::string company, std::string product)
      : SettingStore(kSettingKindFile, rootSelector, std::move(company), std::move(product)) {
    plat::String16 flash = residentFlashPath();
    companyFolder_ = flash + plat::utf8ToUtf16(this->company());
    folder_ = companyFolder_ + u"\\" + plat::utf8ToUtf16(this->product());
    file_ = folder_ + u"\\" + kStoreFileName;
    Status st = plat::createDirectories(folder_);
    if (plat::failed(st))
      plat::debugOut("UI: cannot create the settings folder " + narrow(folder_) + ": " + plat::statusName(st));
    load();
  }

  int32_t Exists() override {
    plat::FindEntry info;
    if (plat::failed(plat::getFileInfo(file_, &info))) return 0;
    return (info.attributes & plat::kAttrDirectory) == 0 && info.size != 0 ? 1 : 0;
  }

  Status Save() override {
    if (!doc_) return plat::E_FAIL;
    if (damagedCopyPending_ && plat::failed(keepDamagedCopy())) return plat::E_FAIL;
    plat::createDirectories(folder_);
    Status st = plat::atomicReplaceWith(file_, [this](const std::filesystem::path& temp) { return doc_->saveTo(temp); });
    if (plat::failed(st)) {
      plat::debugOut("UI: saving " + narrow(file_) + " failed: " + plat::statusName(st));
      return plat::E_FAIL;
    }
    return plat::S_OK;
  }

 protected:
  Status readBool(std::string_view path, bool* value) override {
    return doc_ ? doc_->getBool(path, value) : plat::E_FAIL;
  }
  Status readDword(std::string_view path, uint32_t* value) override {
    return doc_ ? doc_->getDword(path, value) : plat::E_FAIL;
  }
  Status readString(std::string_view path, plat::String16* text) override {
    if (!doc_) return plat::E_FAIL;
    std::string utf8;
    Status st = doc_->getString(path, &utf8);
    if (plat::succeeded(st)) *text = plat::utf8ToUtf16(utf8);
    return st;
  }
  Status writeBool(std::string_view path, bool value) override {
    return doc_ ? doc_->setBool(path, value) : plat::E_FAIL;
  }
  Status writeDword(std::string_view path, uint32_t value) override {
    return doc_ ? doc_->setDword(path, value) : plat::E_FAIL;
  }
  Status writeString(std::string_view path, plat::StringView16 text) override {
    return doc_ ? doc_->setString(path, plat::utf16ToUtf8(text)) : plat::E_FAIL;
  }

 private:
  void load() {
    doc_.reset();
    std::string bytes;
    bool oversized = false;
    Status st = readStoreFile(file_, &bytes, &oversized);
    if (plat::failed(st)) {
      // Without a document every call fails and Save leaves the file alone.
      plat::debugOut("UI: cannot read " + narrow(file_) + ": " + plat::statusName(st));
      return;
    }
    if (oversized) {
      recoverDamaged();
      return;
    }
    if (bytes.empty()) {
      doc_ = SettingDocument::createEmpty();
      return;
    }
    doc_ = parseClean(bytes);
    if (!doc_) recoverDamaged();
  }

  void recoverDamaged() {
    damagedCopyPending_ = true;
    Status kept = keepDamagedCopy();
    std::string source;
    std::string bytes;
    for (const plat::String16& candidate : replacementCandidates()) {
      bytes.clear();
      if (plat::failed(plat::readWholeFile(candidate, &bytes, xml::kMaxFileBytes))) continue;
      doc_ = parseClean(bytes);
      if (doc_) {
        source = narrow(candidate);
        break;
      }
    }
    if (!doc_) {
      doc_ = SettingDocument::createEmpty();
      source = "an empty store";
    } else if (plat::succeeded(kept)) {
      // The damaged bytes are safe beside it: put the replacement on disk now,
      // so the next start finds a sound file even if this run never saves.
      Status st = plat::atomicReplace(file_, bytes);
      if (plat::failed(st)) plat::debugOut("UI: writing the replacement settings failed: " + std::string(plat::statusName(st)));
    }
    plat::debugOut("UI: " + narrow(file_) + " is damaged; " +
                   (plat::succeeded(kept) ? "kept as " + narrow(file_ + kDamagedSuffix) : std::string("could not keep a copy")) +
                   "; replaced from " + source);
  }

  // Copies the damaged file aside once; until that succeeds nothing may
  // overwrite it.
  Status keepDamagedCopy() {
    Status st = plat::copyFile(file_, file_ + kDamagedSuffix, false);
    if (plat::succeeded(st)) damagedCopyPending_ = false;
    return st;
  }

  std::vector<plat::String16> replacementCandidates() const {
    std::vector<plat::String16> list;
    if (!plat::equalsNoCase(product(), kDefaultsProduct))
      list.push_back(companyFolder_ + u"\\" + plat::utf8ToUtf16(kDefaultsProduct) + u"\\" + kStoreFileName);
    list.push_back(plat::programDirectory() + kStoreFileName);
    return list;
  }

  plat::String16 companyFolder_;
  plat::String16 folder_;
  plat::String16 file_;
  std::unique_ptr<SettingDocument> doc_;
  bool damagedCopyPending_ = false;
};

}  // namespace

SettingStore* createFileStore(uint32_t rootSelector, std::string company, std::string product) {
  return new (std::nothrow) FileSettingStore(rootSelector, std::move(company), std::move(product));
}

}  // namespace vexo
