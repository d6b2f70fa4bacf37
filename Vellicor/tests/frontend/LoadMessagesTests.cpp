#include <gtest/gtest.h>

#include "LoadMessagesU.h"

TEST(LoadMessagesTest, EachKnownLoadErrorGetsItsSentenceAndOthersNone) {
  EXPECT_EQ(ExplainLoadError("Stream read error"),
            "The file ends before its data does: it is cut short or not a Quv file.");
  EXPECT_NE(ExplainLoadError("File \"a.quv\" has a zero length").find("empty"), std::string::npos);
  EXPECT_NE(ExplainLoadError("In file \"a\" : Number Of entries( 9 ) in Quv header is invalid ")
                .find("not a Quv file"),
            std::string::npos);
  // The archive path's own error is not mistaken for a missing file inside it.
  EXPECT_NE(ExplainLoadError("Can not find file path \"x/y\".").find("folder or archive"),
            std::string::npos);
  EXPECT_NE(ExplainLoadError("Could not find tank.quv").find("moved, renamed"), std::string::npos);
  EXPECT_NE(ExplainLoadError("HPI Decompression error").find("archive"), std::string::npos);
  EXPECT_EQ(ExplainLoadError("Something else entirely"), "");
}

TEST(LoadMessagesTest, OnlyTheReadersWarningsCountAsLoadWarnings) {
  EXPECT_TRUE(IsLoadWarning(
      "In file \"a\" : Quv header version was $00010101 expecting $00010100. Trying to continue."));
  EXPECT_TRUE(IsLoadWarning("In file \"a\" : Quv entry has a null name, Ignoring image"));
  EXPECT_TRUE(IsLoadWarning("In file \"a\" : Quv entry \"b\" has zero frames, Ignoring image"));
  EXPECT_TRUE(IsLoadWarning("Duplicate Image \"b\" in Image Class \"a\", ignoring"));
  EXPECT_FALSE(IsLoadWarning("Added search path \"/tmp\""));
}
