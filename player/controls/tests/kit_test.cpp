#include <gtest/gtest.h>

#include <cstring>

#include "controls/info_bar.h"
#include "controls/kit.h"
#include "fixture.h"

namespace tunora::controls {
namespace {

using testing::KitFixture;
using testing::rgb;

TEST(RegionName, FromImagePath) {
  struct Case {
    std::u16string image, region;
  } cases[] = {
      {u"\\skin\\play.png", u"\\skin\\play.rgn"},
      {u"\\skin\\play", u"\\skin\\play.rgn"},            // no '.' at all
      {u"\\skin.v1\\play", u"\\skin.v1\\play.rgn"},      // a '.' only in a folder name
      {u"\\skin\\play.big.bmp", u"\\skin\\play.big.rgn"},
  };
  for (const Case& c : cases) EXPECT_EQ(skin::regionPathForImage(c.image), c.region);
}

std::string regionBytes(const std::vector<plat::Rect>& rects) {
  std::vector<int32_t> words = {32, 1, static_cast<int32_t>(rects.size()), 0, 0, 0, 0, 0};
  for (const plat::Rect& r : rects) words.insert(words.end(), {r.left, r.top, r.right, r.bottom});
  std::string bytes(words.size() * 4, '\0');
  std::memcpy(bytes.data(), words.data(), bytes.size());  // little-endian host
  return bytes;
}

TEST_F(KitFixture, RegionModeShapesTheButtonByTheNormalImage) {
  dev.write("img/n.rgn", regionBytes({{0, 0, 10, 10}}));
  const plat::Window b = CreateSkinButton(host, 3, plat::Rect{0, 0, 50, 50}, std::nullopt, nullptr, true);
  SetSkinButtonImage(b, 0, png("n.png", 10, 10, 10));
  const auto shape = plat::windowShape(b);
  ASSERT_TRUE(shape);
  EXPECT_TRUE(shape->contains(plat::Point{5, 5}));
  EXPECT_FALSE(shape->contains(plat::Point{20, 20}));
  // An image without a region file leaves the button rectangular.
  SetSkinButtonImage(b, 0, png("other.png", 10, 10, 10));
  EXPECT_FALSE(plat::windowShape(b));
}

class Recorder {
 public:
  static inline std::vector<uint32_t>* order = nullptr;
  static plat::Window make(plat::Window parent, int32_t id) {
    if (!plat::isClassRegistered(u"KitRecorder")) {
      plat::WindowClass c;
      c.name = u"KitRecorder";
      c.proc = [](plat::Window w, uint32_t m, plat::WParam wp, plat::LParam lp) -> plat::LResult {
        if (m == WM_SKINCHANGED && order) order->push_back(static_cast<uint32_t>(plat::controlId(w)));
        return plat::defaultWindowProc(w, m, wp, lp);
      };
      plat::registerClass(c);
    }
    plat::CreateWindowParams p;
    p.className = u"KitRecorder";
    p.style = parent ? static_cast<uint32_t>(plat::kStyleChild) : 0u;
    p.rect = plat::Rect{0, 0, 10, 10};
    p.parent = parent;
    p.controlId = id;
    return plat::createWindow(p);
  }
};

TEST_F(KitFixture, SkinBroadcastReachesGrandchildrenDepthFirst) {
  std::vector<uint32_t> order;
  Recorder::order = &order;
  const plat::Window top = Recorder::make({}, 0);
  const plat::Window list = Recorder::make(top, 1);
  Recorder::make(list, 11);  // the scroll bar inside the list
  Recorder::make(top, 2);
  const plat::Window label = CreateInformationBar(top, plat::Rect{0, 0, 5, 5}, 3, nullptr);
  skin::SkinDocument doc;
  BroadcastSkinChanged(top, &doc);
  EXPECT_EQ(order, (std::vector<uint32_t>{0, 1, 11, 2}));
  bool changed = false;
  EXPECT_EQ(InformationBarSkin(label, &changed), &doc);
  EXPECT_TRUE(changed);

  // Without a document nothing is sent, and a message without one (the
  // battery's charging flag) is not taken for a skin change.
  order.clear();
  BroadcastSkinChanged(top, nullptr);
  EXPECT_TRUE(order.empty());
  const plat::Window label2 = CreateInformationBar(top, plat::Rect{0, 0, 5, 5}, 4, &doc);
  plat::sendMessage(label2, WM_SKINCHANGED, 1, 0);
  EXPECT_EQ(InformationBarSkin(label2, &changed), &doc);
  EXPECT_FALSE(changed);
  EXPECT_FALSE(IsSkinBroadcast(WM_SKINCHANGED, 0));
  Recorder::order = nullptr;
  plat::destroyWindow(top);
}

TEST_F(KitFixture, LabelDrawsOverItsBackgroundPiece) {
  // A parent-sized background: left half green, right half blue.
  plat::Surface s;
  s.reset(400, 300, plat::makePixel(0, 200, 0));
  for (int y = 0; y < 300; ++y)
    for (int x = 200; x < 400; ++x) s.setPixel(x, y, plat::makePixel(0, 0, 200));
  std::string bytes;
  ASSERT_FALSE(plat::failed(plat::encodePng(s, false, &bytes)));
  dev.write("img/bg.png", bytes);
  const plat::ImagePtr bg = skin::imageCache().load(dev.progDevice() + u"img\\bg.png");
  ASSERT_TRUE(bg);
  const plat::Window label = CreateInformationBar(host, plat::Rect{150, 100, 250, 140}, 5, nullptr);
  EXPECT_EQ(pixelAt(160, 120), 0u);  // no background yet: black
  plat::sendMessage(label, kMsgLabelSetImage, 0, reinterpret_cast<plat::LParam>(&bg));
  EXPECT_EQ(pixelAt(152, 102), rgb(0, 200, 0));  // the piece under the label
  EXPECT_EQ(pixelAt(248, 138), rgb(0, 0, 200));
}

TEST_F(KitFixture, PlaceholderPanelPaintsNothing) {
  const plat::Window panel = CreatePlaceholderPanel(host, 10, 10, 50, 50);
  ASSERT_TRUE(panel);
  EXPECT_EQ(plat::className(panel), u"PlenRichList0.1");
  EXPECT_TRUE(plat::isWindowVisible(panel));
  EXPECT_FALSE(plat::needsPaint(panel));
}

TEST(SkinColor, PacksRedGreenBlue) { EXPECT_EQ(skinColor(0x30, 0x48, 0x60), 0x604830u); }

}  // namespace
}  // namespace tunora::controls
