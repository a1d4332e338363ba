// The start-up windows shown while the player connects to the engine and
// builds its main window: a still splash (VexoSplashWindow) or an animated
// waiting window (VexoWaitingWindow), chosen by the common configuration's
// "WaitingWindow"/"Existed".
//
// The waiting window animates on a user-interface timer, one frame every
// 300 ms. If nobody hides it for more than 100 steps it ends the program
// (quit code 1), so a start that hangs does not leave the user staring at
// the animation forever. Whoever closes the splash closes either kind
// through the same Hide, so the waiting window is hidden like the splash
// when playback starts.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "plat/geometry.h"
#include "plat/gfx/image.h"
#include "plat/message.h"

namespace tunora::skin {
class SkinDocument;
}

namespace tunora {

class VexoSplash {
 public:
  virtual ~VexoSplash() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetRect(const plat::Rect& rect) = 0;
  virtual plat::Rect GetRect() const = 0;
  virtual plat::Window GetWindowHandle() const = 0;
};

inline constexpr uint32_t kMsgWaitingTimeout = plat::kMsgUser + 0x11;
inline constexpr uintptr_t kWaitingTimerId = 1;
inline constexpr uint32_t kWaitingFrameMs = 300;
// Steps after which an unhidden waiting window ends the program.
inline constexpr uint32_t kWaitingMaxSteps = 100;
inline constexpr int kWaitingTimeoutExitCode = 1;

class VexoSplashWindow final : public VexoSplash {
 public:
  // Reads "SplashWindow"/"BkImage" of the common configuration.
  explicit VexoSplashWindow(skin::SkinDocument& commConfig);
  ~VexoSplashWindow() override;
  void Show() override;
  void Hide() override;
  void SetRect(const plat::Rect& rect) override;
  plat::Rect GetRect() const override;
  plat::Window GetWindowHandle() const override { return window_; }

 private:
  static plat::LResult proc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp);
  void paint();
  plat::Window window_;
  plat::ImagePtr background_;
};

class VexoWaitingWindow final : public VexoSplash {
 public:
  // Reads "WaitingWindow": "BkImage", "WaitingImgNum", "WaitingImg1".. and
  // "WaitingRect" of the common configuration.
  explicit VexoWaitingWindow(skin::SkinDocument& commConfig);
  ~VexoWaitingWindow() override;
  void Show() override;
  void Hide() override;
  void SetRect(const plat::Rect& rect) override;
  plat::Rect GetRect() const override;
  plat::Window GetWindowHandle() const override { return window_; }

  size_t frameCount() const { return frames_.size(); }
  size_t currentFrame() const { return frame_; }
  uint32_t steps() const { return steps_; }
  // Where the current frame is drawn, in client coordinates.
  plat::Rect frameRect() const;

 private:
  static plat::LResult proc(plat::Window w, uint32_t msg, plat::WParam wp, plat::LParam lp);
  void paint();
  void step();
  plat::Window window_;
  plat::ImagePtr background_;
  std::vector<plat::ImagePtr> frames_;  // frames that are missing stay empty
  plat::Rect frameRect_;
  size_t frame_ = 0;
  uint32_t steps_ = 0;
  bool animating_ = false;
};

// Creates the start-up window the common configuration asks for.
std::unique_ptr<VexoSplash> createStartupWindow(skin::SkinDocument& commConfig);

}  // namespace tunora
