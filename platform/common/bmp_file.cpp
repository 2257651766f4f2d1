// The .bmp format of the picture file: 24-bit, bottom-up, rows padded to four bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "drawing.h"

namespace {
void put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
std::uint32_t get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t get32(const unsigned char* p) { return get16(p) | (get16(p + 2) << 16); }
}  // namespace

TDib::TDib(int width, int height, std::vector<std::uint32_t> pixels)
    : PixelWidth(width), PixelHeight(height), Data(std::move(pixels)) {}

bool TDib::WriteFile(const char* path) const {
  if (!path || !*path || PixelWidth <= 0 || PixelHeight <= 0) return false;
  if (Data.size() != static_cast<std::size_t>(PixelWidth) * static_cast<std::size_t>(PixelHeight)) return false;
  const std::size_t rowBytes = (static_cast<std::size_t>(PixelWidth) * 3 + 3) & ~static_cast<std::size_t>(3);
  const std::size_t imageBytes = rowBytes * static_cast<std::size_t>(PixelHeight);
  if (imageBytes > 0x7FFFFFFFu - 54) return false;
  std::string out;
  out.reserve(54 + imageBytes);
  out += "BM";
  put32(out, static_cast<std::uint32_t>(54 + imageBytes));
  put32(out, 0);
  put32(out, 54);
  put32(out, 40);
  put32(out, static_cast<std::uint32_t>(PixelWidth));
  put32(out, static_cast<std::uint32_t>(PixelHeight));
  put16(out, 1);
  put16(out, 24);
  put32(out, 0);  // no compression
  put32(out, static_cast<std::uint32_t>(imageBytes));
  put32(out, 2835);  // 72 dpi
  put32(out, 2835);
  put32(out, 0);
  put32(out, 0);
  for (int y = PixelHeight - 1; y >= 0; --y) {
    const std::uint32_t* row = Data.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(PixelWidth);
    for (int x = 0; x < PixelWidth; ++x) {
      out.push_back(static_cast<char>(row[x] & 0xFF));
      out.push_back(static_cast<char>((row[x] >> 8) & 0xFF));
      out.push_back(static_cast<char>((row[x] >> 16) & 0xFF));
    }
    out.append(rowBytes - static_cast<std::size_t>(PixelWidth) * 3, '\0');
  }
  return WriteFileAtomically(path, out);
}

bool ReadBmpFile(const std::string& path, int& width, int& height, std::vector<std::uint32_t>& pixels) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::vector<unsigned char> bytes;
  unsigned char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(file);
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const std::uint32_t offset = get32(&bytes[10]);
  const auto w = static_cast<std::int32_t>(get32(&bytes[18]));
  const auto h = static_cast<std::int32_t>(get32(&bytes[22]));
  const std::uint32_t bits = get16(&bytes[28]);
  const std::uint32_t compression = get32(&bytes[30]);
  if (w <= 0 || h == 0 || (bits != 24 && bits != 32) || (compression != 0 && compression != 3)) return false;
  const bool bottomUp = h > 0;
  const std::int64_t rows = bottomUp ? h : -static_cast<std::int64_t>(h);
  const std::size_t bytesPerPixel = bits / 8;
  const std::size_t rowBytes = (static_cast<std::size_t>(w) * bytesPerPixel + 3) & ~static_cast<std::size_t>(3);
  if (offset > bytes.size() || (bytes.size() - offset) / rowBytes < static_cast<std::size_t>(rows)) return false;
  width = w;
  height = static_cast<int>(rows);
  pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(rows), 0);
  for (std::int64_t r = 0; r < rows; ++r) {
    const std::int64_t y = bottomUp ? rows - 1 - r : r;
    const unsigned char* src = &bytes[offset + static_cast<std::size_t>(r) * rowBytes];
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = src + static_cast<std::size_t>(x) * bytesPerPixel;
      pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
          (static_cast<std::uint32_t>(p[2]) << 16);
    }
  }
  return true;
}
