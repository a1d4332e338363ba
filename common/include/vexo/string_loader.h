// The string table: every text of the user interface, looked up by a slash key
// ("/MainWindow/NoChannel") in the current language of "String.xml", which
// holds one <Locale LCID="..."> tree per language under the root <String>.
// A text that is missing shows as its key. Created by
// CoCreateVexoCmnStringLoader (cmn_factories.h); used from one thread.
#pragma once
#include <cstdint>

#include "vexo/cmn_factories.h"
#include "vexo/mc.h"

class IVexoCmnStringLoader : public IMcUnknown {
 public:
  static constexpr Guid iid = IID_IVexoCmnStringLoader;

  // Loads the file at a device path, replacing what was loaded before, and
  // selects the current language in it. E_INVALIDARG for a null path, E_FAIL
  // when the file cannot be read or parsed (nothing is loaded then).
  virtual Status Load(const char16_t* path) = 0;
  // The languages of the file, in file order.
  virtual uint32_t GetLocaleCount() = 0;
  // The LCID at index; 0 for an index not below GetLocaleCount().
  virtual int32_t GetLocale(uint32_t index) = 0;
  virtual int32_t GetLCID() = 0;
  // Selects the language; always S_OK (an LCID the file lacks makes every
  // lookup fail until another is selected).
  virtual Status SetLCID(int32_t lcid) = 0;
  // S_OK with the text (cut to capacity characters including the
  // terminator); E_FAIL with the key itself when there is no text; and
  // E_INVALIDARG, buffer untouched, for a key not starting with '/', a null
  // buffer or a capacity of 0.
  virtual Status GetString(const char* key, char16_t* buffer, uint32_t capacity) = 0;

 protected:
  ~IVexoCmnStringLoader() = default;
};
