// A 24-bit bitmap: BGR byte order, rows top-down, each row padded to a
// multiple of 4 bytes. The GUI wraps Bits() in a QImage (Format_BGR888 with
// Stride()) without copying. Lock it (std::lock_guard<TBitmap>) while
// drawing into it or reading it from another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height) { SetSize(width, height); }
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // New size; the contents become black. Negative sizes count as 0.
  void SetSize(int width, int height) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    stride_ = RowBytes(width_);
    pixels_.assign(size_t(stride_) * size_t(height_), 0);
  }

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes per row: 3 * Width rounded up to a multiple of 4.
  int Stride() const { return stride_; }
  size_t SizeInBytes() const { return pixels_.size(); }
  uint8_t* Bits() { return pixels_.data(); }
  const uint8_t* Bits() const { return pixels_.data(); }
  uint8_t* Scanline(int row) { return pixels_.data() + size_t(row) * size_t(stride_); }
  const uint8_t* Scanline(int row) const { return pixels_.data() + size_t(row) * size_t(stride_); }

  static int RowBytes(int width) { return (width * 3 + 3) & ~3; }

  // The drawing lock (BasicLockable).
  void lock() { lock_.lock(); }
  void unlock() { lock_.unlock(); }

 private:
  std::mutex lock_;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<uint8_t> pixels_;  // guarded by lock_ while shared between threads
};
