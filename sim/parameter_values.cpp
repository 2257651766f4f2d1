// Locale-independent reading and writing of the numbers of parameter-file values.
#include "parameter_values.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

const char* skip_blanks(const char* text, const char* end) {
  while (text < end && (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' ||
                        *text == '\r')) {
    ++text;
  }
  return text;
}

// from_chars takes no plus sign, which the scanf family accepts.
const char* skip_plus(const char* text, const char* end) {
  if (text < end && *text == '+' && text + 1 < end && *(text + 1) != '-' && *(text + 1) != '+') return text + 1;
  return text;
}

template <typename Number, typename Parse>
int read_numbers(const char* text, Number* values, int count, Parse parse) {
  for (int k = 0; k < count; ++k) values[k] = 0;
  if (text == nullptr) return 0;
  const char* end = text + std::strlen(text);
  const char* position = text;
  int found = 0;
  while (found < count) {
    position = skip_plus(skip_blanks(position, end), end);
    Number value{};
    const auto result = parse(position, end, value);
    if (result.ec == std::errc::invalid_argument) break;
    values[found] = result.ec == std::errc() ? value : Number{};
    position = result.ptr;
    ++found;
  }
  return found;
}

}  // namespace

int read_reals(const char* text, float* values, int count) {
  const int found = read_numbers(text, values, count, [](const char* first, const char* last, float& value) {
    return std::from_chars(first, last, value, std::chars_format::general);
  });
  for (int k = 0; k < count; ++k) {
    if (!std::isfinite(values[k])) values[k] = 0.0f;
  }
  return found;
}

int read_integers(const char* text, int* values, int count) {
  return read_numbers(text, values, count,
                      [](const char* first, const char* last, int& value) { return std::from_chars(first, last, value); });
}

std::size_t append_real(char* text, std::size_t size, std::size_t length, double value) {
  if (size == 0) return 0;
  if (length >= size) length = size - 1;
  const auto result = std::to_chars(text + length, text + size - 1, value, std::chars_format::fixed, 6);
  if (result.ec == std::errc()) length = static_cast<std::size_t>(result.ptr - text);
  text[length] = '\0';
  return length;
}
