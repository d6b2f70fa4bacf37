#pragma once
// --frames FIRST-LAST of the commands that work on some frames of an image: 0-based, inclusive,
// as export file names count them.
#include <cstdint>
#include <string>

struct TRange {
  int32_t First = 0;
  int32_t Last = INT32_MAX;
};

// "FIRST-LAST" or "N". Raises Exception "Invalid frame range ..." for anything else.
TRange ParseRange(const std::string& text);
