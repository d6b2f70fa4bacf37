#include "ColorNamesU.h"

#include <cstdio>

#include "ExceptionsU.h"
#include "IniFileU.h"

namespace {

constexpr TColorName KPredefined[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
};

constexpr TColorName KSystem[] = {
    {clSystemColor | 0, "clScrollBar"},
    {clSystemColor | 1, "clBackground"},
    {clSystemColor | 2, "clActiveCaption"},
    {clSystemColor | 3, "clInactiveCaption"},
    {clSystemColor | 4, "clMenu"},
    {clSystemColor | 5, "clWindow"},
    {clSystemColor | 6, "clWindowFrame"},
    {clSystemColor | 7, "clMenuText"},
    {clSystemColor | 8, "clWindowText"},
    {clSystemColor | 9, "clCaptionText"},
    {clSystemColor | 10, "clActiveBorder"},
    {clSystemColor | 11, "clInactiveBorder"},
    {clSystemColor | 12, "clAppWorkSpace"},
    {clSystemColor | 13, "clHighlight"},
    {clSystemColor | 14, "clHighlightText"},
    {clSystemColor | 15, "clBtnFace"},
    {clSystemColor | 16, "clBtnShadow"},
    {clSystemColor | 17, "clGrayText"},
    {clSystemColor | 18, "clBtnText"},
    {clSystemColor | 19, "clInactiveCaptionText"},
    {clSystemColor | 20, "clBtnHighlight"},
    {clSystemColor | 21, "cl3DDkShadow"},
    {clSystemColor | 22, "cl3DLight"},
    {clSystemColor | 23, "clInfoText"},
    {clSystemColor | 24, "clInfoBk"},
    {clSystemColor | 26, "clHotLight"},
    {clSystemColor | 27, "clGradientActiveCaption"},
    {clSystemColor | 28, "clGradientInactiveCaption"},
    {clSystemColor | 29, "clMenuHighlight"},
    {clSystemColor | 30, "clMenuBar"},
};

constexpr TColorName KSpecial[] = {{clNone, "clNone"}, {clDefault, "clDefault"}};

// The classic desktop scheme, indexed by system colour number.
constexpr TColor KSystemRGB[] = {
    0xC8C8C8, 0x000000, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0x6A240A, 0xC8D0D4,
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

template <typename F>
bool EachName(F&& visit) {
  for (const TColorName& entry : KPredefined)
    if (visit(entry)) return true;
  for (const TColorName& entry : KSystem)
    if (visit(entry)) return true;
  for (const TColorName& entry : KSpecial)
    if (visit(entry)) return true;
  return false;
}

}  // namespace

std::span<const TColorName> PredefinedColors() {
  return KPredefined;
}
std::span<const TColorName> SystemColors() {
  return KSystem;
}

std::string ColorToString(TColor color) {
  std::string name;
  if (EachName([&](const TColorName& entry) {
        if (entry.Color != color) return false;
        name = entry.Name;
        return true;
      }))
    return name;
  char text[16];
  std::snprintf(text, sizeof text, "$%.8X", static_cast<unsigned>(color));
  return text;
}

bool TryStringToColor(std::string_view text, TColor& color) {
  if (EachName([&](const TColorName& entry) {
        if (!SameName(entry.Name, text)) return false;
        color = entry.Color;
        return true;
      }))
    return true;
  int value = 0;
  if (!TIniFile::TryParseInteger(text, value)) return false;
  color = value;
  return true;
}

TColor StringToColor(std::string_view text) {
  TColor color = 0;
  if (!TryStringToColor(text, color))
    throw EConvertError("'" + std::string(text) + "' is not a valid color value");
  return color;
}

TColor ColorToRGB(TColor color) {
  if (color == clNone || color == clDefault) return clWhite;
  if (color < 0) {
    uint32_t index = static_cast<uint32_t>(color) & 0xFF;
    return index < std::size(KSystemRGB) ? KSystemRGB[index] : clWhite;
  }
  return color & 0xFFFFFF;
}
