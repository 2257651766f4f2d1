// Reading the tools' numeric options: whole numbers within bounds, and screen sizes "WxH".
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

inline constexpr int MinSide = 16;
inline constexpr int MaxSide = 8192;

// The whole text is one decimal number from lowest to highest; value is set only then.
inline bool ParseLong(const char* text, long lowest, long highest, long& value) {
  if (!text || !*text) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno == ERANGE || *end != '\0' || parsed < lowest || parsed > highest) return false;
  value = parsed;
  return true;
}

// The same for a number from 0 to 2^32 - 1, which a long holds only where it has 64 bits.
inline bool ParseUnsigned32(const char* text, unsigned& value) {
  if (!text || *text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = std::strtoull(text, &end, 10);
  if (errno == ERANGE || *end != '\0' || parsed > 0xFFFFFFFFull) return false;
  value = static_cast<unsigned>(parsed);
  return true;
}

// "WxH" (or "WXH") with each side from MinSide to MaxSide.
inline bool ParseSize(const char* text, int& width, int& height) {
  const char* separator = text ? std::strpbrk(text, "xX") : nullptr;
  if (!separator) return false;
  const std::string widthText(text, separator);
  long parsedWidth = 0;
  long parsedHeight = 0;
  if (!ParseLong(widthText.c_str(), MinSide, MaxSide, parsedWidth) ||
      !ParseLong(separator + 1, MinSide, MaxSide, parsedHeight)) {
    return false;
  }
  width = static_cast<int>(parsedWidth);
  height = static_cast<int>(parsedHeight);
  return true;
}
