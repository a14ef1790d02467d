// Chinese text really renders under this harness: a layered window shows text
// drawn with GDI+ in the skin's face "微软雅黑", and the pixels hold distinct
// glyphs rather than the identical empty boxes a face without CJK glyphs draws.
#include <windows.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kCell = 40;  // one character per 40 x 40 cell

class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusSession() {
    if (ok_) Gdiplus::GdiplusShutdown(token_);
  }
  bool ok() const { return ok_; }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

// A 32-bit top-down DIB selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  uint32_t Pixel(int x, int y) const { return bits_[y * width_ + x]; }
  uint32_t* bits() { return bits_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

bool IsInk(uint32_t pixel) {
  // Dark text on white: count clearly dark pixels.
  int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return r + g + b < 3 * 128;
}

// Draws each character in its own cell, white background, opaque.
void DrawCells(Canvas& canvas, const std::wstring& text) {
  HFONT font = CreateFontW(-26, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, L"微软雅黑");
  LOGFONTW logfont = {};
  GetObjectW(font, sizeof(logfont), &logfont);
  Gdiplus::Graphics graphics(canvas.dc());
  graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
  // Made from the wide logical font: the route that keeps the CJK face.
  Gdiplus::Font gdiplus_font(canvas.dc(), &logfont);
  ASSERT_EQ(Gdiplus::Ok, gdiplus_font.GetLastStatus());
  Gdiplus::SolidBrush brush(Gdiplus::Color(255, 0, 0, 0));
  for (size_t i = 0; i < text.size(); ++i) {
    Gdiplus::PointF origin(static_cast<float>(i * kCell + 4), 4.0f);
    graphics.DrawString(&text[i], 1, &gdiplus_font, origin, &brush);
  }
  graphics.Flush(Gdiplus::FlushIntentionSync);
  DeleteObject(font);
}

// The ink pattern of cell i as a string of 0/1, and its ink count.
std::string CellPattern(const Canvas& canvas, size_t i, int* ink) {
  std::string pattern;
  *ink = 0;
  for (int y = 0; y < kCell; ++y) {
    for (int x = 0; x < kCell; ++x) {
      bool dark = IsInk(canvas.Pixel(static_cast<int>(i) * kCell + x, y));
      pattern += dark ? '1' : '0';
      *ink += dark;
    }
  }
  return pattern;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

TEST(CjkTextTest, LayeredWindowShowsDistinctChineseGlyphs) {
  GdiplusSession gdiplus;
  ASSERT_TRUE(gdiplus.ok());

  // Six different characters of the product name, then one the font lacks
  // (a private-use code point) as the reference for "no glyph".
  const std::wstring text = L"鲁墨文件压缩\xE000";
  Canvas canvas(kCell * static_cast<int>(text.size()), kCell);
  DrawCells(canvas, text);

  std::set<std::string> distinct;
  int missing_ink = 0;
  std::string missing = CellPattern(canvas, text.size() - 1, &missing_ink);
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    int ink = 0;
    std::string pattern = CellPattern(canvas, i, &ink);
    EXPECT_GT(ink, 40) << "character " << i << " drew almost nothing";
    EXPECT_NE(missing, pattern) << "character " << i << " looks like the missing-glyph rendering";
    distinct.insert(pattern);
  }
  // Boxes would all be the same shape; real glyphs differ from each other.
  EXPECT_EQ(text.size() - 1, distinct.size());

  // Show it in a layered window and read the screen back: the window really
  // presents those pixels.
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"HarnessCjkWindow";
  RegisterClassW(&window_class);
  const POINT where = {100, 100};
  HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST, window_class.lpszClassName, L"cjk", WS_POPUP,
                                where.x, where.y, canvas.width(), canvas.height(), nullptr, nullptr,
                                window_class.hInstance, nullptr);
  ASSERT_NE(nullptr, window);
  // Opaque pixels: make the alpha channel 255 everywhere.
  for (int i = 0; i < canvas.width() * canvas.height(); ++i) canvas.bits()[i] |= 0xFF000000u;
  SIZE size = {canvas.width(), canvas.height()};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ASSERT_TRUE(UpdateLayeredWindow(window, nullptr, const_cast<POINT*>(&where), &size, canvas.dc(), &source, 0,
                                  &blend, ULW_ALPHA));
  ShowWindow(window, SW_SHOWNOACTIVATE);
  for (int i = 0; i < 20; ++i) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(25);
  }

  Canvas screen(canvas.width(), canvas.height());
  HDC screen_dc = GetDC(nullptr);
  BitBlt(screen.dc(), 0, 0, canvas.width(), canvas.height(), screen_dc, where.x, where.y, SRCCOPY);
  ReleaseDC(nullptr, screen_dc);
  int agree = 0, total = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      bool drawn = IsInk(canvas.Pixel(x, y));
      total += drawn;
      agree += drawn && IsInk(screen.Pixel(x, y));
    }
  }
  EXPECT_GT(total, 0);
  EXPECT_GT(agree, total * 9 / 10) << "the screen does not show the window's glyphs";
  DestroyWindow(window);
}

}  // namespace
