// The skin archive as the built installer carries it (resource "ZIP" 135):
// exactly the files of the skin tree, every picture decodable by GDI+ at the
// size its layout expects, sprite states that really differ, and text areas
// that keep their contrast.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tests/installer/resources/decoded_picture.h"
#include "tests/installer/resources/installer_module.h"
#include "tests/installer/resources/memory_zip.h"
#include "tests/support/file_util.h"

namespace {

constexpr int kSkinZipId = 135;

const char* const kSkinTree[] = {
    "themes/default/global.xml",
    "themes/default/shadow/shadow.xml",
    "themes/default/public/bk/bk_shadow.png",
    "themes/default/public/bk/bg_image_mask.png",
    "themes/default/public/vscrollbar/thumb_normal.png",
    "themes/default/public/vscrollbar/thumb_hovered.png",
    "themes/default/public/vscrollbar/bk_normal.png",
    "themes/default/public/vscrollbar/bk_hovered.png",
    "themes/default/public/hscrollbar/thumb_normal.png",
    "themes/default/public/hscrollbar/thumb_hovered.png",
    "themes/default/public/hscrollbar/bk_normal.png",
    "themes/default/public/hscrollbar/bk_hovered.png",
    "themes/default/vorandel/controls.xml",
    "themes/default/vorandel/popwnd.xml",
    "themes/default/vorandel/bg.png",
    "themes/default/vorandel/bg2.png",
    "themes/default/vorandel/bg4.png",
    "themes/default/vorandel/logo.png",
    "themes/default/vorandel/guanbi.png",
    "themes/default/vorandel/guanbi2.png",
    "themes/default/vorandel/bt2.png",
    "themes/default/vorandel/bt1.png",
    "themes/default/vorandel/bt3.png",
    "themes/default/vorandel/common_choose.png",
    "themes/default/vorandel/xk1.png",
    "themes/default/vorandel/Pb_Bkg_Green.png",
    "themes/default/vorandel/Pb_Green.png",
    "themes/default/vorandel/tishi.png",
    "themes/default/vorandel/shadow.png",
};

const struct {
  const char* path;
  int width, height;
} kPictureSizes[] = {
    {"public/bk/bk_shadow.png", 68, 68},
    {"public/bk/bg_image_mask.png", 500, 130},
    {"public/vscrollbar/thumb_normal.png", 14, 54},
    {"public/vscrollbar/thumb_hovered.png", 14, 54},
    {"public/vscrollbar/bk_normal.png", 14, 50},
    {"public/vscrollbar/bk_hovered.png", 14, 54},
    {"public/hscrollbar/thumb_normal.png", 54, 14},
    {"public/hscrollbar/thumb_hovered.png", 54, 14},
    {"public/hscrollbar/bk_normal.png", 50, 14},
    {"public/hscrollbar/bk_hovered.png", 54, 14},
    {"vorandel/bg.png", 600, 400},
    {"vorandel/bg2.png", 600, 400},
    {"vorandel/bg4.png", 600, 400},
    {"vorandel/logo.png", 30, 30},
    {"vorandel/guanbi.png", 10, 20},
    {"vorandel/guanbi2.png", 10, 20},
    {"vorandel/bt2.png", 219, 192},
    {"vorandel/bt1.png", 13, 39},
    {"vorandel/bt3.png", 94, 114},
    {"vorandel/common_choose.png", 16, 32},
    {"vorandel/xk1.png", 348, 108},
    {"vorandel/Pb_Bkg_Green.png", 76, 12},
    {"vorandel/Pb_Green.png", 76, 12},
    {"vorandel/tishi.png", 36, 36},
    {"vorandel/shadow.png", 150, 150},
};

struct Rect {
  int left, top, right, bottom;
};

class SkinArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(module_.ok()) << "cannot open " << test::Narrow(test::InstallerModule::Path());
    bool found = false;
    std::string bytes = module_.Resource(L"ZIP", kSkinZipId, &found);
    ASSERT_TRUE(found) << "no resource ZIP 135";
    zip_.reset(new test::MemoryZip(bytes));
    ASSERT_TRUE(zip_->ok()) << "resource ZIP 135 is not a zip archive";
  }

  // Decodes themes/default/<path> with GDI+.
  test::DecodedPicture Picture(const std::string& path) {
    std::string bytes;
    test::DecodedPicture picture;
    EXPECT_TRUE(zip_->Read("themes/default/" + path, &bytes)) << path;
    EXPECT_TRUE(picture.Decode(bytes)) << path << " does not decode";
    return picture;
  }

  test::InstallerModule module_;
  std::unique_ptr<test::MemoryZip> zip_;
};

// Relative luminance (WCAG) of an sRGB pixel.
double Luminance(uint32_t argb) {
  auto linear = [](int c) {
    double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear((argb >> 16) & 0xFF) + 0.7152 * linear((argb >> 8) & 0xFF) + 0.0722 * linear(argb & 0xFF);
}

double Contrast(double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); }

TEST_F(SkinArchiveTest, HoldsExactlyTheFilesOfTheSkinTree) {
  std::vector<std::string> names = zip_->Names();
  std::multiset<std::string> actual(names.begin(), names.end());
  std::multiset<std::string> expected(std::begin(kSkinTree), std::end(kSkinTree));
  EXPECT_EQ(expected, actual);
  // Every entry also uncompresses with a correct checksum.
  for (const std::string& name : names) {
    std::string data;
    EXPECT_TRUE(zip_->Read(name, &data)) << name;
    EXPECT_FALSE(data.empty()) << name;
  }
}

TEST_F(SkinArchiveTest, PicturesHaveTheSizesTheirLayoutsExpectAndDecode) {
  for (const auto& c : kPictureSizes) {
    SCOPED_TRACE(c.path);
    std::string bytes;
    ASSERT_TRUE(zip_->Read(std::string("themes/default/") + c.path, &bytes));
    int width = 0, height = 0;
    ASSERT_TRUE(test::PngHeaderSize(bytes, &width, &height)) << "not a PNG";
    EXPECT_EQ(c.width, width);
    EXPECT_EQ(c.height, height);
    test::DecodedPicture picture;
    ASSERT_TRUE(picture.Decode(bytes));
    EXPECT_EQ(c.width, picture.width());
    EXPECT_EQ(c.height, picture.height());
  }
}

// Each state of a sprite is drawn (not an empty cell) and differs from every
// other state of the same sprite, so hovering and pressing visibly respond.
TEST_F(SkinArchiveTest, SpriteStatesAreDrawnAndDistinct) {
  const struct {
    const char* path;
    std::vector<Rect> states;  // source rectangles the layouts name
  } kSprites[] = {
      {"vorandel/bt2.png", {{0, 0, 219, 64}, {0, 64, 219, 128}, {0, 128, 219, 192}}},
      {"vorandel/bt3.png", {{0, 0, 94, 38}, {0, 38, 94, 76}, {0, 76, 94, 114}}},
      {"vorandel/bt1.png", {{0, 0, 13, 13}, {0, 13, 13, 26}, {0, 26, 13, 39}}},
      {"vorandel/guanbi.png", {{0, 0, 10, 10}, {0, 10, 10, 20}}},
      {"vorandel/guanbi2.png", {{0, 0, 10, 10}, {0, 10, 10, 20}}},
      {"vorandel/common_choose.png", {{0, 0, 16, 16}, {0, 16, 16, 32}}},
      {"vorandel/xk1.png", {{0, 0, 348, 36}, {0, 36, 348, 72}, {0, 72, 348, 108}}},
  };
  for (const auto& sprite : kSprites) {
    SCOPED_TRACE(sprite.path);
    test::DecodedPicture picture = Picture(sprite.path);
    ASSERT_GT(picture.width(), 0);
    for (size_t i = 0; i < sprite.states.size(); ++i) {
      const Rect& r = sprite.states[i];
      int drawn = 0;
      for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) drawn += (picture.Pixel(x, y) >> 24) >= 128;
      }
      EXPECT_GE(drawn * 10, (r.right - r.left) * (r.bottom - r.top)) << "state " << i << " is nearly empty";
      for (size_t j = i + 1; j < sprite.states.size(); ++j) {
        const Rect& s = sprite.states[j];
        double difference = 0;
        for (int y = 0; y < r.bottom - r.top; ++y) {
          for (int x = 0; x < r.right - r.left; ++x) {
            uint32_t a = picture.Pixel(r.left + x, r.top + y), b = picture.Pixel(s.left + x, s.top + y);
            for (int shift = 0; shift < 32; shift += 8) {
              difference += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
            }
          }
        }
        difference /= 4.0 * (r.right - r.left) * (r.bottom - r.top);
        EXPECT_GT(difference, 2.0) << "states " << i << " and " << j << " look the same";
      }
    }
  }
}

// Where the layouts put text on a picture, the picture keeps it legible:
// white titles on the band of bg.png and bg4.png, dark body text ("darkcolor"
// #333333) on their light lower area, white labels on the buttons.
TEST_F(SkinArchiveTest, TextAreasKeepTheirContrast) {
  const double kWhite = 1.0;
  const double kDark = Luminance(0xFF333333);
  const struct {
    const char* what;
    const char* path;
    Rect area;
    double text;
    double worst_pixel;  // minimum contrast of any pixel, 0: not checked
    double mean;         // minimum contrast of the area's mean luminance
  } kAreas[] = {
      {"page 0 title", "vorandel/bg.png", {45, 10, 200, 35}, kWhite, 4.5, 4.5},
      {"page 3 title", "vorandel/bg4.png", {40, 10, 200, 45}, kWhite, 4.5, 4.5},
      {"page 0 consent row", "vorandel/bg.png", {20, 370, 580, 400}, kDark, 4.5, 4.5},
      {"page 2 progress text", "vorandel/bg2.png", {55, 295, 545, 325}, kDark, 4.5, 4.5},
      {"large button, normal", "vorandel/bt2.png", {70, 17, 150, 38}, kWhite, 0, 3.0},
      {"large button, pushed", "vorandel/bt2.png", {70, 81, 150, 102}, kWhite, 0, 3.0},
      {"large button, hot", "vorandel/bt2.png", {70, 145, 150, 166}, kWhite, 0, 3.0},
      {"small button, normal", "vorandel/bt3.png", {25, 11, 70, 27}, kWhite, 0, 4.5},
      {"small button, pushed", "vorandel/bt3.png", {25, 49, 70, 65}, kWhite, 0, 3.0},
      {"small button, hot", "vorandel/bt3.png", {25, 87, 70, 103}, kWhite, 0, 3.0},
  };
  for (const auto& c : kAreas) {
    SCOPED_TRACE(c.what);
    test::DecodedPicture picture = Picture(c.path);
    ASSERT_GE(picture.width(), c.area.right);
    double sum = 0, worst = 1e9;
    int count = 0;
    for (int y = c.area.top; y < c.area.bottom; ++y) {
      for (int x = c.area.left; x < c.area.right; ++x) {
        uint32_t pixel = picture.Pixel(x, y);
        ASSERT_EQ(0xFFu, pixel >> 24) << "text sits on a transparent pixel at " << x << "," << y;
        double l = Luminance(pixel);
        sum += l;
        ++count;
        worst = std::min(worst, Contrast(l, c.text));
      }
    }
    if (c.worst_pixel > 0) {
      EXPECT_GE(worst, c.worst_pixel);
    }
    EXPECT_GE(Contrast(sum / count, c.text), c.mean);
  }
}

}  // namespace
