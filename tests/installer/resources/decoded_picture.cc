#include "tests/installer/resources/decoded_picture.h"

#include <windows.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <cstring>

namespace test {
namespace {

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

}  // namespace

bool DecodedPicture::Decode(const std::string& bytes) {
  width_ = height_ = 0;
  pixels_.clear();
  GdiplusSession session;
  if (!session.ok()) return false;
  IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
  if (!stream) return false;
  bool ok = false;
  {
    Gdiplus::Bitmap bitmap(stream);
    if (bitmap.GetLastStatus() == Gdiplus::Ok) {
      Gdiplus::Rect rect(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
      Gdiplus::BitmapData data;
      if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
        width_ = rect.Width;
        height_ = rect.Height;
        pixels_.resize(static_cast<size_t>(width_) * height_);
        for (int y = 0; y < height_; ++y) {
          std::memcpy(&pixels_[static_cast<size_t>(y) * width_], static_cast<const char*>(data.Scan0) + y * data.Stride,
                      static_cast<size_t>(width_) * 4);
        }
        bitmap.UnlockBits(&data);
        ok = true;
      }
    }
  }
  stream->Release();
  return ok;
}

bool PngHeaderSize(const std::string& bytes, int* width, int* height) {
  static const char kSignature[] = "\x89PNG\r\n\x1a\n";
  if (bytes.size() < 24 || bytes.compare(0, 8, kSignature, 8) != 0 || bytes.compare(12, 4, "IHDR") != 0) {
    return false;
  }
  auto big_endian = [&](size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) | (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
  };
  *width = static_cast<int>(big_endian(16));
  *height = static_cast<int>(big_endian(20));
  return true;
}

}  // namespace test
