#pragma once
// Colour values as the settings file stores them: 0x00BBGGRR, with the platform's colour names
// for the standard colours and for the system colours (0x80000000 | index).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

struct TColorName {
  TColor Color;
  const char* Name;
};

// The colours the colour chooser offers, in its order.
std::span<const TColorName> PredefinedColors();
// The platform's system colours (clScrollBar ... clMenuBar).
std::span<const TColorName> SystemColors();

// The colour's name where it has one, otherwise "$" and eight upper-case hexadecimal digits.
std::string ColorToString(TColor color);
// A colour name (any letter case), else a number: decimal, "$" or "0x" hexadecimal.
bool TryStringToColor(std::string_view text, TColor& color);
// As TryStringToColor; raises EConvertError for text that is neither.
TColor StringToColor(std::string_view text);

// The red/green/blue value to draw with (0x00BBGGRR): system colours resolve to the classic
// desktop scheme, clNone and clDefault to white.
TColor ColorToRGB(TColor color);
