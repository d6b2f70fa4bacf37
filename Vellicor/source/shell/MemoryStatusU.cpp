#include "MemoryStatusU.h"

#include <malloc.h>

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define VELLICOR_SANITIZER_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLICOR_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(VELLICOR_SANITIZER_ALLOCATOR)
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void DropTrailingZeros(std::string& digits) {
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string FormatGeneral(double value, int precision, int exponentDigits) {
  if (precision < 1) precision = 1;
  if (precision > 17) precision = 17;
  if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
  if (value == 0) return "0";

  // Rounding first decides the notation: 999.6 rounds to 1.00E+003.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, std::fabs(value));
  std::string text(buffer);
  size_t ePos = text.find('e');
  int exponent = std::atoi(text.c_str() + ePos + 1);
  std::string digits;
  for (size_t i = 0; i < ePos; ++i)
    if (text[i] >= '0' && text[i] <= '9') digits += text[i];
  DropTrailingZeros(digits);

  std::string result = value < 0 ? "-" : "";
  if (exponent < precision && std::fabs(value) >= 0.00001) {
    if (exponent < 0) {
      result += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
      size_t integerDigits = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= integerDigits) {
        result += digits + std::string(integerDigits - digits.size(), '0');
      } else {
        result += digits.substr(0, integerDigits) + '.' + digits.substr(integerDigits);
      }
    }
    return result;
  }
  result += digits.substr(0, 1);
  if (digits.size() > 1) result += '.' + digits.substr(1);
  char exponentText[16];
  std::snprintf(exponentText, sizeof exponentText, "E%c%0*d", exponent < 0 ? '-' : '+',
                exponentDigits, std::abs(exponent));
  return result + exponentText;
}

std::string FormatMemorySize(uint64_t bytes) {
  static const char* const KUnits[] = {"bytes", "kb", "mb", "gb"};
  float value = static_cast<float>(bytes);
  int unit = 0;
  while (value > 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  return FormatGeneral(value, 3, 3) + KUnits[unit];
}

std::string MemoryUsedText(uint64_t bytes) {
  return "Memory used: " + FormatMemorySize(bytes);
}

uint64_t AllocatedBytes() {
#if defined(VELLICOR_SANITIZER_ALLOCATOR)
  // The sanitizer's allocator replaces the C library's, whose statistics then stay empty.
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 info = ::mallinfo2();
  return static_cast<uint64_t>(info.uordblks) + static_cast<uint64_t>(info.hblkhd);
#endif
}
