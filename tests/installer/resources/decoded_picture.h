// A PNG decoded by GDI+ (the decoder the installer draws with) into 32-bit
// ARGB pixels, for checking sizes, sprite states and contrast.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

class DecodedPicture {
 public:
  // False when GDI+ cannot decode the bytes.
  bool Decode(const std::string& bytes);

  int width() const { return width_; }
  int height() const { return height_; }
  // Straight (not premultiplied) ARGB.
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Width and height from a PNG's signature and IHDR chunk; false when the
// bytes do not start like a PNG.
bool PngHeaderSize(const std::string& bytes, int* width, int* height);

}  // namespace test
