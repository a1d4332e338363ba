#include "plat/gfx/sdl_display.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace plat {

namespace {

constexpr int32_t kMaxAudioChannels = 8;
constexpr size_t kMaxAudioWriteFrames = size_t{1} << 20;

DisplayKey keyFor(SDL_Keycode k, char16_t* character) {
  *character = 0;
  if (k >= SDLK_a && k <= SDLK_z) {
    *character = static_cast<char16_t>(u'A' + (k - SDLK_a));
    return DisplayKey::Character;
  }
  if (k >= SDLK_0 && k <= SDLK_9) {
    *character = static_cast<char16_t>(u'0' + (k - SDLK_0));
    return DisplayKey::Character;
  }
  if (k >= SDLK_F1 && k <= SDLK_F12)
    return static_cast<DisplayKey>(static_cast<uint32_t>(DisplayKey::F1) + (k - SDLK_F1));
  switch (k) {
    case SDLK_BACKSPACE: return DisplayKey::Back;
    case SDLK_TAB: return DisplayKey::Tab;
    case SDLK_RETURN: case SDLK_KP_ENTER: return DisplayKey::Return;
    case SDLK_ESCAPE: return DisplayKey::Escape;
    case SDLK_SPACE: return DisplayKey::Space;
    case SDLK_LEFT: return DisplayKey::Left;
    case SDLK_RIGHT: return DisplayKey::Right;
    case SDLK_UP: return DisplayKey::Up;
    case SDLK_DOWN: return DisplayKey::Down;
    case SDLK_PAGEUP: return DisplayKey::PageUp;
    case SDLK_PAGEDOWN: return DisplayKey::PageDown;
    case SDLK_HOME: return DisplayKey::Home;
    case SDLK_END: return DisplayKey::End;
    case SDLK_DELETE: return DisplayKey::Delete;
    case SDLK_LCTRL: case SDLK_RCTRL: return DisplayKey::Control;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return DisplayKey::Shift;
    default: return DisplayKey::None;
  }
}

}  // namespace

bool displayAvailable(std::string* reason) {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const bool offscreen = driver && (std::string(driver) == "offscreen" || std::string(driver) == "dummy");
  if (!offscreen && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    if (reason) *reason = "no display server (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (reason) *reason = std::string("SDL video could not start: ") + SDL_GetError();
    return false;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return true;
}

struct SdlDisplay::Impl {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  ~Impl() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
};

SdlDisplay::SdlDisplay(Size frameSize, int scale, std::unique_ptr<Impl> impl)
    : frameSize_(frameSize), scale_(scale), impl_(std::move(impl)) {}

SdlDisplay::~SdlDisplay() = default;

std::unique_ptr<SdlDisplay> SdlDisplay::open(Size frameSize, int scale, const std::string& title,
                                             std::string* error) {
  auto fail = [&](const std::string& what) -> std::unique_ptr<SdlDisplay> {
    if (error) *error = what + ": " + SDL_GetError();
    return nullptr;
  };
  if (scale != 1 && scale != 2) {
    if (error) *error = "scale must be 1 or 2";
    return nullptr;
  }
  if (frameSize.width <= 0 || frameSize.height <= 0 ||
      !Surface::validDimensions(int64_t{frameSize.width} * scale, int64_t{frameSize.height} * scale)) {
    if (error) *error = "bad frame size";
    return nullptr;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail("SDL video could not start");
  auto impl = std::make_unique<Impl>();  // from here on, Impl's destructor quits the subsystem
  impl->window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  frameSize.width * scale, frameSize.height * scale, 0);
  if (!impl->window) return fail("no window");
  impl->renderer = SDL_CreateRenderer(impl->window, -1, 0);
  if (!impl->renderer) impl->renderer = SDL_CreateRenderer(impl->window, -1, SDL_RENDERER_SOFTWARE);
  if (!impl->renderer) return fail("no renderer");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  impl->texture = SDL_CreateTexture(impl->renderer, SDL_PIXELFORMAT_ARGB8888,
                                    SDL_TEXTUREACCESS_STREAMING, frameSize.width, frameSize.height);
  if (!impl->texture) return fail("no texture");
  SDL_StartTextInput();
  return std::unique_ptr<SdlDisplay>(new SdlDisplay(frameSize, scale, std::move(impl)));
}

Status SdlDisplay::present(const Surface& frame) {
  if (frame.width() != frameSize_.width || frame.height() != frameSize_.height) return E_INVALIDARG;
  if (SDL_UpdateTexture(impl_->texture, nullptr, frame.data(),
                        frame.width() * static_cast<int>(sizeof(Pixel))) != 0)
    return E_FAIL;
  SDL_RenderClear(impl_->renderer);
  SDL_RenderCopy(impl_->renderer, impl_->texture, nullptr, nullptr);
  SDL_RenderPresent(impl_->renderer);
  return S_OK;
}

bool SdlDisplay::translate(const void* raw, DisplayEvent* out) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(raw);
  const SDL_Keymod mods = SDL_GetModState();
  out->control = (mods & KMOD_CTRL) != 0;
  out->shift = (mods & KMOD_SHIFT) != 0;
  auto toFrame = [&](int x, int y) {
    return Point{std::clamp(x / scale_, 0, frameSize_.width - 1),
                 std::clamp(y / scale_, 0, frameSize_.height - 1)};
  };
  switch (e.type) {
    case SDL_QUIT:
      out->kind = DisplayEvent::Kind::Quit;
      return true;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button != SDL_BUTTON_LEFT) return false;
      pointerDown_ = true;
      out->kind = DisplayEvent::Kind::PointerDown;
      out->position = toFrame(e.button.x, e.button.y);
      return true;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT || !pointerDown_) return false;
      pointerDown_ = false;
      out->kind = DisplayEvent::Kind::PointerUp;
      out->position = toFrame(e.button.x, e.button.y);
      return true;
    case SDL_MOUSEMOTION:
      // A touch screen only reports movement while touched.
      if (!pointerDown_) return false;
      out->kind = DisplayEvent::Kind::PointerMove;
      out->position = toFrame(e.motion.x, e.motion.y);
      return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out->key = keyFor(e.key.keysym.sym, &out->character);
      if (out->key == DisplayKey::None) return false;
      out->kind = e.type == SDL_KEYDOWN ? DisplayEvent::Kind::KeyDown : DisplayEvent::Kind::KeyUp;
      return true;
    case SDL_TEXTINPUT: {
      // One UTF-16 unit per event: the keyboard input needs ASCII and kana at most.
      const auto* s = reinterpret_cast<const unsigned char*>(e.text.text);
      char32_t cp = 0;
      if (s[0] < 0x80) cp = s[0];
      else if ((s[0] & 0xE0) == 0xC0 && s[1]) cp = ((s[0] & 0x1Fu) << 6) | (s[1] & 0x3Fu);
      else if ((s[0] & 0xF0) == 0xE0 && s[1] && s[2])
        cp = ((s[0] & 0x0Fu) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
      if (cp == 0 || cp > 0xFFFF) return false;
      out->kind = DisplayEvent::Kind::Text;
      out->character = static_cast<char16_t>(cp);
      return true;
    }
    default:
      return false;
  }
}

int SdlDisplay::poll(const DisplayEventSink& sink) {
  int count = 0;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    DisplayEvent out;
    if (translate(&e, &out)) {
      ++count;
      if (sink) sink(out);
    }
  }
  return count;
}

int SdlDisplay::wait(int timeoutMs, const DisplayEventSink& sink) {
  SDL_Event e;
  if (!SDL_WaitEventTimeout(&e, std::max(0, timeoutMs))) return 0;
  int count = 0;
  DisplayEvent out;
  if (translate(&e, &out)) {
    ++count;
    if (sink) sink(out);
  }
  return count + poll(sink);
}

AudioOutput::AudioOutput(uint32_t device, int32_t sampleRate, int32_t channels)
    : device_(device), sampleRate_(sampleRate), channels_(channels) {}

AudioOutput::~AudioOutput() {
  if (device_) {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

std::unique_ptr<AudioOutput> AudioOutput::open(int32_t sampleRate, int32_t channels,
                                               Status* status) {
  if (sampleRate < 8000 || sampleRate > 192000 || channels < 1 || channels > kMaxAudioChannels) {
    if (status) *status = E_INVALIDARG;
    return nullptr;
  }
  uint32_t device = 0;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 1024;
    SDL_AudioSpec have{};
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device) SDL_PauseAudioDevice(device, 0);
    else SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  if (status) *status = device ? S_OK : S_FALSE;  // S_FALSE: silent output
  return std::unique_ptr<AudioOutput>(new AudioOutput(device, sampleRate, channels));
}

Status AudioOutput::write(const int16_t* samples, size_t frames) {
  if (frames == 0) return S_OK;
  if (!samples) return E_POINTER;
  if (frames > kMaxAudioWriteFrames) return E_INVALIDARG;
  written_ += frames;
  if (!device_) return S_OK;
  const size_t bytes = frames * static_cast<size_t>(channels_) * sizeof(int16_t);
  return SDL_QueueAudio(device_, samples, static_cast<Uint32>(bytes)) == 0 ? S_OK : E_FAIL;
}

size_t AudioOutput::queuedFrames() const {
  if (!device_) return 0;
  return SDL_GetQueuedAudioSize(device_) / (static_cast<size_t>(channels_) * sizeof(int16_t));
}

void AudioOutput::pause(bool paused) {
  if (device_) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

void AudioOutput::flush() {
  if (device_) SDL_ClearQueuedAudio(device_);
}

}  // namespace plat
