// Fonts through FreeType and fontconfig. Faces are located by family name
// (private font resources first, then fontconfig), opened once per size and
// style as a "strike" with its own glyph cache, and shared by every font that
// asks for the same strike.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

#include "gfx/font_impl.h"
#include "gfx/gdi_counts.h"
#include "plat/paths.h"
#include "plat/text.h"

namespace plat {

namespace {

constexpr int32_t kDefaultCellHeight = 16;
constexpr int32_t kMaxPixelsPerEm = 512;
constexpr size_t kMaxCachedGlyphs = 8192;

struct FaceLocation {
  std::string file;
  int index = 0;
  std::string family;
  bool bold = false;
  bool italic = false;
};

struct PrivateFace {
  std::filesystem::path file;
  int index = 0;
  std::string family;
  bool bold = false;
  bool italic = false;
};

struct PrivateFile {
  std::filesystem::path file;
  int references = 0;
  std::vector<PrivateFace> faces;
};

// Process-wide text state: the FreeType library, private font resources and
// the live strikes. Guarded by textMutex().
struct TextState {
  FT_Library library = nullptr;
  bool fontconfigReady = false;
  std::vector<PrivateFile> privateFiles;
  std::map<std::string, std::weak_ptr<Strike>> strikes;
};

TextState& state() {
  static TextState* s = new TextState();  // lives for the process
  return *s;
}

FT_Library library() {
  TextState& s = state();
  if (!s.library && FT_Init_FreeType(&s.library) != 0) s.library = nullptr;
  return s.library;
}

std::optional<FaceLocation> findPrivateFace(const std::string& family, bool bold, bool italic) {
  const PrivateFace* best = nullptr;
  int bestScore = -1;
  for (const PrivateFile& f : state().privateFiles)
    for (const PrivateFace& face : f.faces) {
      if (!equalsNoCase(face.family, family)) continue;
      int score = (face.bold == bold ? 2 : 0) + (face.italic == italic ? 1 : 0);
      if (score > bestScore) {
        best = &face;
        bestScore = score;
      }
    }
  if (!best) return std::nullopt;
  return FaceLocation{best->file.string(), best->index, best->family, best->bold, best->italic};
}

// Asks fontconfig for the family; with `exact` the match must carry that
// family name, otherwise fontconfig's best substitute is accepted.
std::optional<FaceLocation> findSystemFace(const std::string& family, bool bold, bool italic,
                                           bool exact) {
  TextState& s = state();
  if (!s.fontconfigReady) s.fontconfigReady = FcInit() == FcTrue;
  if (!s.fontconfigReady) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return std::nullopt;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return std::nullopt;
  std::optional<FaceLocation> location;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
    bool familyMatches = !exact;
    FcChar8* name = nullptr;
    std::string firstFamily;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      std::string n = reinterpret_cast<const char*>(name);
      if (i == 0) firstFamily = n;
      if (equalsNoCase(n, family)) {
        familyMatches = true;
        firstFamily = n;
      }
    }
    if (familyMatches) {
      int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(match, FC_SLANT, 0, &slant);
      location = FaceLocation{reinterpret_cast<const char*>(file), index, firstFamily,
                              weight >= FC_WEIGHT_DEMIBOLD, slant != FC_SLANT_ROMAN};
    }
  }
  FcPatternDestroy(match);
  return location;
}

const char* standInFamily(int32_t charset) {
  switch (charset) {
    case kCharsetSimplifiedChinese: return "Noto Sans CJK SC";
    case kCharsetTraditionalChinese: return "Noto Sans CJK TC";
    default: return "Noto Sans CJK JP";
  }
}

std::optional<FaceLocation> findStandIn(int32_t charset, bool bold, bool italic) {
  if (auto exact = findSystemFace(standInFamily(charset), bold, italic, true)) return exact;
  return findSystemFace("sans-serif", bold, italic, false);
}

}  // namespace

std::mutex& textMutex() {
  static std::mutex* m = new std::mutex();
  return *m;
}

std::u32string decodeUtf16(StringView16 text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back(0xFFFD);
    } else {
      out.push_back(u);
    }
  }
  return out;
}

// One face opened at one pixel size and style, with its glyph cache.
class Strike {
 public:
  Strike(FT_Face face, double ppem, bool emboldenSynth, bool obliqueSynth, bool antialias)
      : face_(face), ppem_(ppem), embolden_(emboldenSynth), oblique_(obliqueSynth),
        antialias_(antialias) {}
  ~Strike() { FT_Done_Face(face_); }
  Strike(const Strike&) = delete;
  Strike& operator=(const Strike&) = delete;

  bool hasGlyph(char32_t cp) const { return FT_Get_Char_Index(face_, cp) != 0; }

  const Glyph& glyph(char32_t cp) {
    auto it = cache_.find(cp);
    if (it != cache_.end()) return it->second;
    if (cache_.size() >= kMaxCachedGlyphs) cache_.clear();
    return cache_.emplace(cp, render(cp)).first->second;
  }

  TextMetrics metrics() {
    const double upem = face_->units_per_EM > 0 ? face_->units_per_EM : 1000;
    double asc = face_->ascender, desc = -face_->descender;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        os2 && os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
    TextMetrics m;
    m.ascent = static_cast<int32_t>(std::lround(asc * ppem_ / upem));
    m.descent = static_cast<int32_t>(std::lround(desc * ppem_ / upem));
    m.height = m.ascent + m.descent;
    m.internalLeading = std::max<int32_t>(0, m.height - static_cast<int32_t>(std::lround(ppem_)));
    const double lineGap = face_->height - (face_->ascender - face_->descender);
    m.externalLeading = std::max<int32_t>(0, static_cast<int32_t>(std::lround(lineGap * ppem_ / upem)));
    m.maxCharWidth = static_cast<int32_t>(std::lround(face_->max_advance_width * ppem_ / upem));
    if (hasGlyph(U'x')) m.aveCharWidth = glyph(U'x').advance;
    if (m.aveCharWidth <= 0) m.aveCharWidth = std::max<int32_t>(1, static_cast<int32_t>(ppem_ / 2));
    if (embolden_) m.maxCharWidth += 1;
    return m;
  }

 private:
  Glyph render(char32_t cp) {
    Glyph g;
    const FT_UInt index = FT_Get_Char_Index(face_, cp);
    const FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP |
                           (antialias_ ? FT_LOAD_TARGET_LIGHT : FT_LOAD_TARGET_MONO);
    if (FT_Load_Glyph(face_, index, flags) != 0) return g;
    FT_GlyphSlot slot = face_->glyph;
    if (embolden_) FT_GlyphSlot_Embolden(slot);
    if (oblique_) FT_GlyphSlot_Oblique(slot);
    g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, antialias_ ? FT_RENDER_MODE_LIGHT : FT_RENDER_MODE_MONO) != 0)
      return g;
    const FT_Bitmap& bm = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int32_t>(bm.width);
    g.height = static_cast<int32_t>(bm.rows);
    g.coverage.assign(static_cast<size_t>(g.width) * g.height, 0);
    for (int32_t y = 0; y < g.height; ++y) {
      const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      uint8_t* dst = g.coverage.data() + static_cast<size_t>(y) * g.width;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        for (int32_t x = 0; x < g.width; ++x) dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        std::copy(src, src + g.width, dst);
      }
    }
    return g;
  }

  FT_Face face_;
  double ppem_;
  bool embolden_;
  bool oblique_;
  bool antialias_;
  std::unordered_map<char32_t, Glyph> cache_;
};

namespace {

// Pixels per em for a requested height on this face (see font.h).
double pixelsPerEm(FT_Face face, int32_t height) {
  if (height < 0) return std::min<double>(-static_cast<int64_t>(height), kMaxPixelsPerEm);
  const double cell = height == 0 ? kDefaultCellHeight : height;
  double asc = face->ascender, desc = -face->descender;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      os2 && os2->usWinAscent + os2->usWinDescent > 0) {
    asc = os2->usWinAscent;
    desc = os2->usWinDescent;
  }
  const double upem = face->units_per_EM > 0 ? face->units_per_EM : 1000;
  const double extent = asc + desc > 0 ? asc + desc : upem;
  return std::clamp(cell * upem / extent, 1.0, double{kMaxPixelsPerEm});
}

std::shared_ptr<Strike> openStrike(const FaceLocation& loc, const FontSpec& spec) {
  const bool wantBold = spec.weight >= 600;
  const std::string key = loc.file + "#" + std::to_string(loc.index) + "#" +
                          std::to_string(spec.height) + "#" + (wantBold ? "b" : "") +
                          (spec.italic ? "i" : "") + (spec.antialias ? "a" : "");
  TextState& s = state();
  if (auto it = s.strikes.find(key); it != s.strikes.end())
    if (auto strike = it->second.lock()) return strike;
  FT_Library lib = library();
  if (!lib) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, loc.file.c_str(), loc.index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);
    return nullptr;
  }
  const double ppem = pixelsPerEm(face, spec.height);
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64)), 72, 72) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);
  auto strike = std::make_shared<Strike>(face, ppem, wantBold && !loc.bold,
                                         spec.italic && !loc.italic, spec.antialias);
  // Drop entries whose strikes are gone before adding, so the map stays small.
  std::erase_if(s.strikes, [](const auto& entry) { return entry.second.expired(); });
  s.strikes[key] = strike;
  return strike;
}

}  // namespace

FontImpl::FontImpl(std::shared_ptr<Strike> own, std::shared_ptr<Strike> standIn,
                   std::string family, bool isStandIn)
    : own_(std::move(own)), standIn_(std::move(standIn)), family_(std::move(family)),
      isStandIn_(isStandIn) {
  metrics_ = own_->metrics();
}

FontImpl::~FontImpl() {
  std::lock_guard lock(textMutex());
  own_.reset();
  standIn_.reset();
}

const Glyph& FontImpl::glyph(char32_t cp) {
  if (cp == U'\t') cp = U' ';
  if (own_->hasGlyph(cp) || !standIn_ || !standIn_->hasGlyph(cp)) return own_->glyph(cp);
  return standIn_->glyph(cp);
}

Font::Font(FontSpec spec, std::unique_ptr<FontImpl> impl)
    : spec_(std::move(spec)), impl_(std::move(impl)) {
  gdi_counts::fonts.fetch_add(1);
}

Font::~Font() { gdi_counts::fonts.fetch_sub(1); }

const std::string& Font::familyUsed() const { return impl_->family(); }
bool Font::isStandIn() const { return impl_->isStandIn(); }
TextMetrics Font::metrics() const { return impl_->metrics(); }

Size Font::measure(StringView16 text) const {
  std::lock_guard lock(textMutex());
  int64_t width = 0;
  for (char32_t cp : decodeUtf16(text)) width += impl_->advance(cp);
  return Size{static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX)), impl_->metrics().height};
}

FontPtr createFont(const FontSpec& requested) {
  FontSpec spec = requested;
  if (spec.face.size() > kMaxFaceNameLength) spec.face.resize(kMaxFaceNameLength);
  const bool bold = spec.weight >= 600;
  std::lock_guard lock(textMutex());
  const std::string family = utf16ToUtf8(spec.face);
  std::optional<FaceLocation> own;
  if (!family.empty()) {
    own = findPrivateFace(family, bold, spec.italic);
    if (!own) own = findSystemFace(family, bold, spec.italic, true);
  }
  std::optional<FaceLocation> standIn = findStandIn(spec.charset, bold, spec.italic);
  std::shared_ptr<Strike> ownStrike = own ? openStrike(*own, spec) : nullptr;
  std::shared_ptr<Strike> standInStrike = standIn ? openStrike(*standIn, spec) : nullptr;
  const bool isStandIn = !ownStrike;
  if (isStandIn) {
    if (!standInStrike) return nullptr;
    ownStrike = standInStrike;
    own = standIn;
  }
  auto impl = std::make_unique<FontImpl>(ownStrike, isStandIn ? nullptr : standInStrike,
                                         own->family, isStandIn);
  return FontPtr(new Font(std::move(spec), std::move(impl)));
}

FontPtr defaultFont() {
  static FontPtr font = [] {
    FontPtr f = createFont(FontSpec{u"", kDefaultCellHeight});
    if (f) gdi_counts::fonts.fetch_sub(1);  // process-lifetime object, not a leak
    return f;
  }();
  return font;
}

Status addFontResource(const std::filesystem::path& hostPath) {
  std::error_code ec;
  const auto canonical = std::filesystem::weakly_canonical(hostPath, ec);
  if (ec || !std::filesystem::is_regular_file(canonical, ec)) return E_FILE_NOT_FOUND;
  std::lock_guard lock(textMutex());
  TextState& s = state();
  for (PrivateFile& f : s.privateFiles)
    if (f.file == canonical) {
      ++f.references;
      return S_OK;
    }
  FT_Library lib = library();
  if (!lib) return E_FAIL;
  PrivateFile file{canonical, 1, {}};
  FT_Long count = 1;
  for (FT_Long i = 0; i < count && i < 64; ++i) {
    FT_Face face = nullptr;
    if (FT_New_Face(lib, canonical.c_str(), i, &face) != 0) break;
    count = face->num_faces;
    if (face->family_name && FT_IS_SCALABLE(face))
      file.faces.push_back(PrivateFace{canonical, static_cast<int>(i), face->family_name,
                                       (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                                       (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0});
    FT_Done_Face(face);
  }
  if (file.faces.empty()) return E_DATA_INVALID;
  s.privateFiles.push_back(std::move(file));
  return S_OK;
}

Status addDeviceFontResource(StringView16 devicePath) {
  const auto host = toHostPath(devicePath);
  return host ? addFontResource(*host) : E_PATH_NOT_FOUND;
}

Status removeDeviceFontResource(StringView16 devicePath) {
  const auto host = toHostPath(devicePath);
  return host ? removeFontResource(*host) : E_PATH_NOT_FOUND;
}

Status removeFontResource(const std::filesystem::path& hostPath) {
  std::error_code ec;
  const auto canonical = std::filesystem::weakly_canonical(hostPath, ec);
  std::lock_guard lock(textMutex());
  auto& files = state().privateFiles;
  for (auto it = files.begin(); it != files.end(); ++it)
    if (it->file == canonical) {
      if (--it->references == 0) files.erase(it);
      return S_OK;
    }
  return E_FILE_NOT_FOUND;
}

}  // namespace plat
