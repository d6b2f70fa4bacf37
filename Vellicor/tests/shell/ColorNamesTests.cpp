#include <gtest/gtest.h>

#include "ColorNamesU.h"
#include "ExceptionsU.h"

TEST(ColorNames, NamedColoursRoundTripByName) {
  ASSERT_EQ(PredefinedColors().size(), 20u);
  for (const TColorName& entry : PredefinedColors()) {
    EXPECT_EQ(ColorToString(entry.Color), entry.Name);
    EXPECT_EQ(StringToColor(entry.Name), entry.Color);
  }
  EXPECT_EQ(ColorToString(0xF0CAA6), "clSkyBlue");
  EXPECT_EQ(ColorToString(0x0000FF), "clRed");
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(StringToColor("CLWHITE"), clWhite);
}

TEST(ColorNames, CustomColoursAreWrittenAsEightHexDigits) {
  EXPECT_EQ(ColorToString(0x00123456), "$00123456");
  EXPECT_EQ(ColorToString(0x00ABCDEF), "$00ABCDEF");
  EXPECT_EQ(StringToColor("$00123456"), 0x123456);
  EXPECT_EQ(StringToColor("0x00ABCDEF"), 0xABCDEF);
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(StringToColor(ColorToString(static_cast<TColor>(0x8000FF00u))),
            static_cast<TColor>(0x8000FF00u));
}

TEST(ColorNames, TextThatIsNeitherNameNorNumberIsRejected) {
  TColor color = 7;
  EXPECT_FALSE(TryStringToColor("clPuce", color));
  EXPECT_FALSE(TryStringToColor("", color));
  EXPECT_EQ(color, 7);
  EXPECT_THROW(StringToColor("12zz"), EConvertError);
}

TEST(ColorNames, SystemColoursResolveToDrawableValues) {
  EXPECT_EQ(ColorToRGB(clBtnFace), 0xC8D0D4);
  EXPECT_EQ(ColorToRGB(clNone), clWhite);
  EXPECT_EQ(ColorToRGB(clTeal), clTeal);
  EXPECT_EQ(ColorToRGB(clSystemColor | 200), clWhite);
}
