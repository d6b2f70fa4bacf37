#pragma once
// The memory figure of the main window's status bar.
#include <cstdint>
#include <string>

// A byte count in the largest unit it exceeds ("bytes", "kb", "mb", "gb"), with three
// significant digits: 512 -> "512bytes", 1536 -> "1.5kb", 1024 -> "1.02E+003bytes".
std::string FormatMemorySize(uint64_t bytes);

// The status-bar text: "Memory used: %s" with FormatMemorySize.
std::string MemoryUsedText(uint64_t bytes);

// A number in general format with `precision` significant digits: fixed notation while the
// integer part has at most `precision` digits, otherwise scientific with at least
// `exponentDigits` exponent digits. Trailing zeros are dropped.
std::string FormatGeneral(double value, int precision, int exponentDigits);

// Bytes currently handed out by the C library's allocator.
uint64_t AllocatedBytes();
