// A zip archive read from memory with minizip, independently of the
// installer's own archive layer: the tests check what the resource holds, not
// how the product reads it.
#pragma once

#include <string>
#include <vector>

namespace test {

class MemoryZip {
 public:
  explicit MemoryZip(std::string bytes);
  ~MemoryZip();
  MemoryZip(const MemoryZip&) = delete;
  MemoryZip& operator=(const MemoryZip&) = delete;

  bool ok() const { return archive_ != nullptr; }
  // Entry names in archive order.
  std::vector<std::string> Names() const;
  // Uncompresses one entry (exact, case-sensitive name); false if it is
  // missing or damaged (minizip checks the CRC at the end of the entry).
  bool Read(const std::string& name, std::string* data) const;

  // Read position inside the bytes, used by the memory callbacks.
  struct Cursor {
    const std::string* bytes;
    unsigned long long position;
  };

 private:
  std::string bytes_;
  Cursor cursor_;
  void* archive_ = nullptr;
};

}  // namespace test
