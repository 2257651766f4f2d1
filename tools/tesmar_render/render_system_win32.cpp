// tesmar-render on Windows: the framework needs no start-up here, since its windows stay hidden; the
// system has no PNG encoder a console program can count on, so the PNG is written here, uncompressed.
#include <io.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "atomic_file.h"
#include "render_system.h"

struct TRenderSystem::TState {};

TRenderSystem::TRenderSystem(int /*width*/, int /*height*/, char* /*argv*/[])
    : State(std::make_unique<TState>()) {}

TRenderSystem::~TRenderSystem() = default;

namespace {

std::uint32_t Crc32(const std::string& bytes, std::size_t from) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc ^= static_cast<unsigned char>(bytes[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBigEndian(std::string& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((value >> shift) & 0xFF);
}

void PutChunk(std::string& file, const char* type, const std::string& data) {
  PutBigEndian(file, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = file.size();
  file += type;
  file += data;
  PutBigEndian(file, Crc32(file, start));
}

// A zlib stream of stored deflate blocks: valid for every reader, no smaller than the pixels.
std::string StoredZlib(const std::string& raw) {
  std::string stream = "\x78\x01";
  constexpr std::size_t BlockSize = 65535;
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(BlockSize, raw.size() - offset);
    const bool last = offset + length == raw.size();
    stream += static_cast<char>(last ? 1 : 0);
    stream += static_cast<char>(length & 0xFF);
    stream += static_cast<char>(length >> 8);
    stream += static_cast<char>(~length & 0xFF);
    stream += static_cast<char>((~length >> 8) & 0xFF);
    stream.append(raw, offset, length);
    offset += length;
  } while (offset < raw.size());
  std::uint32_t a = 1, b = 0;
  for (const char c : raw) {
    a = (a + static_cast<unsigned char>(c)) % 65521u;
    b = (b + a) % 65521u;
  }
  PutBigEndian(stream, (b << 16) | a);
  return stream;
}

}  // namespace

bool WritePngFile(const TDib& picture, const std::string& path) {
  const int width = picture.Width();
  const int height = picture.Height();
  if (width <= 0 || height <= 0) return false;
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits a channel, RGB, no interlace

  std::string rows;
  rows.reserve(static_cast<std::size_t>(height) * (3 * static_cast<std::size_t>(width) + 1));
  const std::uint32_t* pixel = picture.Pixels().data();
  for (int y = 0; y < height; ++y) {
    rows += '\0';  // no filter
    for (int x = 0; x < width; ++x, ++pixel) {
      rows += static_cast<char>((*pixel >> 16) & 0xFF);
      rows += static_cast<char>((*pixel >> 8) & 0xFF);
      rows += static_cast<char>(*pixel & 0xFF);
    }
  }

  std::string file = "\x89PNG\r\n\x1a\n";
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", StoredZlib(rows));
  PutChunk(file, "IEND", "");
  return WriteFileAtomically(path, file);
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
