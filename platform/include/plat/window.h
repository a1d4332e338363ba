// Windows: classes registered by name, top-level pop-ups (with owners) and
// child windows (with control ids), their procedures, text, visibility,
// enabled state, geometry, z-order, tree walks, shapes, and the painting
// protocol. A window belongs to the thread that created it; every function
// here that changes a window or calls its procedure expects that thread,
// except where a comment says otherwise. Queries are safe from any thread.
//
// Geometry: a top-level window's rectangle is in screen coordinates, a
// child's in its parent's client coordinates. Windows have no frame, so the
// client area is the whole window: client coordinates start at the window's
// top-left corner.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "plat/geometry.h"
#include "plat/message.h"
#include "plat/region.h"
#include "plat/text.h"

namespace plat {

class DeviceContext;  // drawing surface of a window; provided by the graphics layer

using WindowProc = std::function<LResult(Window, uint32_t message, WParam, LParam)>;

// Class styles.
enum ClassStyle : uint32_t {
  kClassDoubleClicks = 0x1,  // a second tap close in time and place arrives as kMsgMouseDoubleClick
  kClassRedrawOnResize = 0x2,  // a size change invalidates the whole window
};

// How a class erases its background on kMsgEraseBackground (default procedure).
struct ClassBackground {
  enum class Kind { None, Color, SystemWindow } kind = Kind::None;
  uint32_t rgb = 0;  // 0x00RRGGBB, for Kind::Color
};

struct WindowClass {
  String16 name;  // compared without regard to ASCII case
  uint32_t style = 0;
  WindowProc proc;
  ClassBackground background;
};

// False when the name is empty, the procedure missing or the name taken.
bool registerClass(const WindowClass& windowClass);
// False when the class is unknown or windows of it still exist.
bool unregisterClass(StringView16 name);
bool isClassRegistered(StringView16 name);

// Window styles.
enum WindowStyle : uint32_t {
  kStyleChild = 0x1,         // a child of parent; otherwise a top-level pop-up owned by owner
  kStyleVisible = 0x2,
  kStyleDisabled = 0x4,
  kStyleClipChildren = 0x8,  // painting of the parent leaves the children's areas alone
  kStyleTopmost = 0x10,      // a top-level window that stays above the others
  kStyleNoActivate = 0x20,   // showing or tapping it does not make it the active window
};

struct CreateWindowParams {
  StringView16 className;
  StringView16 title;
  uint32_t style = 0;
  Rect rect;              // screen (top-level) or parent client coordinates (child)
  Window parent;          // children only
  Window owner;           // top-level only
  int32_t controlId = 0;  // children only
  LParam createParam = 0; // handed to kMsgCreate as lParam
};

// Creates the window on the calling thread and sends kMsgCreate. A null
// window when the class is unknown, a child has no valid parent, or the
// procedure answers kMsgCreate with -1 (the window is then destroyed).
Window createWindow(const CreateWindowParams& params);
// Destroys the window, the top-level windows it owns and its children:
// kMsgDestroy to each (parents before children), then kMsgFinalDestroy
// (children before parents). Timers, capture, focus and activation held by
// them go. False when the window does not exist.
bool destroyWindow(Window window);
bool windowExists(Window window);

// The procedure every window procedure passes unhandled messages on to.
LResult defaultWindowProc(Window window, uint32_t message, WParam wParam, LParam lParam);
// Replaces the window's procedure (subclassing) and returns the previous one,
// which the new procedure calls for whatever it does not handle.
WindowProc setWindowProc(Window window, WindowProc proc);
WindowProc windowProc(Window window);
LResult callWindowProc(const WindowProc& proc, Window window, uint32_t message, WParam wParam, LParam lParam);

// The user-data slot (any thread). setUserData returns the old value.
uintptr_t setUserData(Window window, uintptr_t value);
uintptr_t userData(Window window);
int32_t controlId(Window window);
String16 className(Window window);
uint32_t windowStyle(Window window);
// The thread (currentThreadId()) that owns the window; 0 if none.
uint32_t windowThreadId(Window window);

// Text goes through kMsgSetText / kMsgGetText, so procedures may intercept.
bool setWindowText(Window window, StringView16 text);
String16 windowText(Window window);

// Shows or hides (kMsgShowWindow). Returns whether it was visible before.
bool showWindow(Window window, bool show);
// The window and all its ancestors are shown.
bool isWindowVisible(Window window);
// Enables or disables; kMsgEnable and a repaint only when the state changes.
// Returns whether the window was disabled before.
bool enableWindow(Window window, bool enable);
bool isWindowEnabled(Window window);

// Moves and sizes (kMsgMove / kMsgSize when they change).
bool moveWindow(Window window, const Rect& rect, bool repaint = true);
Rect windowRect(Window window);        // in screen coordinates
Rect windowRectInParent(Window window);  // as given to createWindow / moveWindow
Rect clientRect(Window window);        // {0, 0, width, height}
Point clientToScreen(Window window, Point p);
Point screenToClient(Window window, Point p);

// Z-order. Top-level windows: topmost ones above the others, newest on top.
// Children: the first child is the top of its siblings; new children go to
// the bottom, so the walk runs in creation order.
bool bringToTop(Window window);
bool sendToBottom(Window window);
bool setTopmost(Window window, bool topmost);

Window parentOf(Window window);  // null for a top-level window
Window ownerOf(Window window);
Window firstChild(Window window);
Window nextSibling(Window window);
Window childById(Window parent, int32_t controlId);
// Top-level windows, topmost first (visible or not).
std::vector<Window> topLevelWindows();
// A top-level window whose class and title match (empty means any; class
// without regard to case, title exactly). Topmost first.
Window findWindow(StringView16 className, StringView16 title);

// Shape: the window shows and takes input only inside the region (window
// coordinates). nullopt removes the shape.
bool setWindowShape(Window window, std::optional<Region> shape, bool repaint = true);
std::optional<Region> windowShape(Window window);

// Mouse capture: while set, all mouse input goes to that window.
Window setCapture(Window window);  // returns the previous capture window
void releaseCapture();
Window captureWindow();

// Keyboard focus (keys go to the focus window, else the active window) and
// the active top-level window.
Window setFocus(Window window);  // returns the previous focus window
Window focusWindow();
Window setActiveWindow(Window window);
Window activeWindow();
// Raises the window's top-level window to the front of its band and activates it.
bool setForegroundWindow(Window window);

// Painting. Invalidated parts collect per window (client coordinates) until
// the owner thread's queue produces kMsgPaint, or update() sends it at once.
// beginPaint validates the window and hands out a device context clipped to
// the invalid part; when erase was asked for it first sends kMsgEraseBackground.
bool invalidate(Window window, const Rect* rect = nullptr, bool erase = true);
bool validate(Window window);
bool updateWindow(Window window);
bool needsPaint(Window window);

struct PaintInfo {
  DeviceContext* dc = nullptr;  // null when no graphics layer is installed
  Rect paintRect;               // bounds of the part to paint, client coordinates
  Region paintRegion;
  bool erased = false;
};
bool beginPaint(Window window, PaintInfo* info);
void endPaint(Window window, PaintInfo* info);
// A device context for drawing outside kMsgPaint; release it when done.
DeviceContext* acquireWindowDC(Window window);
void releaseWindowDC(Window window, DeviceContext* dc);

// Other processes. Only processes that publish their windows take part (so
// test programs stay to themselves); publish before registering messages.
// Once published, other published processes of the same user can find its
// top-level windows (findWindow gives a handle
// that stands for the remote window), post and send to them (parameters are
// passed as numbers, so pointers do not cross), and its windows receive
// their broadcasts. Registered message numbers agree across them. The
// meeting place is a private directory: $TUNORA_WINDOW_PEER_DIR, else
// $XDG_RUNTIME_DIR/tunora-windows, else /tmp/tunora-<uid>-windows.
// A send to another process waits at most kRemoteSendTimeoutMs (result 0).
inline constexpr uint32_t kRemoteSendTimeoutMs = 5000;
bool publishWindows();
void unpublishWindows();

// The graphics layer plugs its device contexts in here. clip is in the
// window's client coordinates. Calls come on the window's owner thread with
// no window-system lock held.
class PaintBackend {
 public:
  virtual ~PaintBackend() = default;
  virtual DeviceContext* acquire(Window window, const Region& clip) = 0;
  virtual void release(Window window, DeviceContext* dc) = 0;
  virtual void eraseBackground(DeviceContext* dc, const Rect& rect, const ClassBackground& background) = 0;
};
// Installs the back end (nullptr removes it); the caller keeps it alive.
void setPaintBackend(PaintBackend* backend);

}  // namespace plat
