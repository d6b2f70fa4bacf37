#include "CliFrameRangeU.h"

#include "ExceptionsU.h"
#include "StringUtilsU.h"

TRange ParseRange(const std::string& text) {
  TRange range;
  const size_t dash = text.find('-');
  int64_t first = 0, last = 0;
  const bool ok = dash == std::string::npos ? TryStrToInt(text, first) && (last = first, true)
                                            : TryStrToInt(text.substr(0, dash), first) &&
                                                  TryStrToInt(text.substr(dash + 1), last);
  if (!ok || first < 0 || last < first || last > INT32_MAX)
    throw Exception(Format(
        "Invalid frame range \"%s\": expected FIRST-LAST with 0 <= FIRST <= LAST", text.c_str()));
  range.First = int32_t(first);
  range.Last = int32_t(last);
  return range;
}
