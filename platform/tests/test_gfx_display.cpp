// The SDL2 back end on SDL's dummy video driver and dummy audio driver:
// frames are shown, mouse input becomes touch input in frame pixels (through
// the scale), keys are named, closing the window is a quit request.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "plat/gfx/sdl_display.h"

namespace plat {
namespace {

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  std::vector<DisplayEvent> drain(SdlDisplay& d) {
    std::vector<DisplayEvent> events;
    d.poll([&](const DisplayEvent& e) { events.push_back(e); });
    return events;
  }
  static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
  static SDL_Event mouse(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
      e.motion.x = x;
      e.motion.y = y;
    } else {
      e.button.button = SDL_BUTTON_LEFT;
      e.button.x = x;
      e.button.y = y;
    }
    return e;
  }
};

TEST_F(DisplayTest, PointerAndKeysArriveInFramePixels) {
  std::string error;
  auto display = SdlDisplay::open(Size{800, 480}, 2, "test", &error);
  ASSERT_TRUE(display) << error;
  Surface frame;
  ASSERT_EQ(frame.reset(800, 480, makePixel(10, 20, 30)), S_OK);
  EXPECT_EQ(display->present(frame), S_OK);
  Surface wrong;
  ASSERT_EQ(wrong.reset(10, 10), S_OK);
  EXPECT_EQ(display->present(wrong), E_INVALIDARG);
  drain(*display);

  push(mouse(SDL_MOUSEMOTION, 10, 10));          // hovering: no touch
  push(mouse(SDL_MOUSEBUTTONDOWN, 201, 101));
  push(mouse(SDL_MOUSEMOTION, 401, 301));
  push(mouse(SDL_MOUSEBUTTONUP, 1700, 2000));    // beyond the window: clamped
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_q;
  push(key);
  key.key.keysym.sym = SDLK_LEFT;
  push(key);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  push(quit);

  const auto events = drain(*display);
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].kind, DisplayEvent::Kind::PointerDown);
  EXPECT_EQ(events[0].position, (Point{100, 50}));
  EXPECT_EQ(events[1].kind, DisplayEvent::Kind::PointerMove);
  EXPECT_EQ(events[1].position, (Point{200, 150}));
  EXPECT_EQ(events[2].kind, DisplayEvent::Kind::PointerUp);
  EXPECT_EQ(events[2].position, (Point{799, 479}));
  EXPECT_EQ(events[3].key, DisplayKey::Character);
  EXPECT_EQ(events[3].character, u'Q');
  EXPECT_EQ(events[4].key, DisplayKey::Left);
  EXPECT_EQ(events[5].kind, DisplayEvent::Kind::Quit);
}

TEST_F(DisplayTest, RefusesBadParameters) {
  std::string error;
  EXPECT_EQ(SdlDisplay::open(Size{800, 480}, 3, "x", &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(SdlDisplay::open(Size{0, 480}, 1, "x", &error), nullptr);
}

TEST_F(DisplayTest, NoDisplayServerIsReported) {
  unsetenv("SDL_VIDEODRIVER");
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const std::string savedDisplay = display ? display : "", savedWayland = wayland ? wayland : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  std::string reason;
  EXPECT_FALSE(displayAvailable(&reason));
  EXPECT_NE(reason.find("DISPLAY"), std::string::npos);
  if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
  if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
}

TEST_F(DisplayTest, AudioAcceptsPcm) {
  Status st = E_FAIL;
  auto audio = AudioOutput::open(48000, 2, &st);
  ASSERT_TRUE(audio);
  EXPECT_TRUE(succeeded(st));
  std::vector<int16_t> pcm(2 * 480, 1000);
  EXPECT_EQ(audio->write(pcm.data(), 480), S_OK);
  EXPECT_EQ(audio->framesWritten(), 480u);
  EXPECT_EQ(audio->write(nullptr, 4), E_POINTER);
  audio->flush();
  EXPECT_EQ(audio->queuedFrames(), 0u);
  EXPECT_EQ(AudioOutput::open(48000, 0, &st), nullptr);
  EXPECT_EQ(st, E_INVALIDARG);
}

}  // namespace
}  // namespace plat
