#include <gtest/gtest.h>

#include "CoreTestSupport.h"
#include "ExceptionsU.h"
#include "MapFileU.h"

namespace {

// A small detailed map: two code units, one data unit, publics in name order and the line
// numbers of one unit.
const char* const SampleMap =
    "\r\n"
    " Start         Length     Name                   Class\r\n"
    " 0001:00000000 00010000H .text                   CODE\r\n"
    "\r\n"
    "Detailed map of segments\r\n"
    "\r\n"
    " 0001:00000000 00000100 C=CODE     S=.text    G=(none)   M=System   ACBP=A9\r\n"
    " 0001:00000100 00000200 C=CODE     S=.text    G=(none)   M=MainU    ACBP=A9\r\n"
    " 0002:00000000 00000010 C=DATA     S=.data    G=DGROUP   M=Globals  ACBP=A9\r\n"
    "\r\n"
    "  Address         Publics by Name\r\n"
    "\r\n"
    " 0001:00000180       MainU.TMainForm.FormClose\r\n"
    " 0001:00000120       MainU.TMainForm.FormCreate\r\n"
    " 0002:00000004       Globals.Counter\r\n"
    " 0001:00000000       System.Start\r\n"
    "\r\n"
    "  Address         Publics by Value\r\n"
    "\r\n"
    " 0001:00000000       System.Start\r\n"
    "\r\n"
    "Line numbers for MainU(MainU.pas) segment .text\r\n"
    "\r\n"
    "    10 0001:00000110    11 0001:00000118    12 0001:00000130\r\n"
    "    20 0001:00000190\r\n"
    "\r\n"
    "Bound resource files\r\n"
    "\r\n"
    " 0001:00000000 ignored\r\n";

class MapFile : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(map.LoadFromText(SampleMap)); }
  TMapFile map;
};

TEST_F(MapFile, ReadsCodeUnitsPublicsAndLineNumbers) {
  ASSERT_EQ(map.Units.size(), 2u);
  EXPECT_EQ(map.Units[1].Name, "MainU");
  EXPECT_EQ(map.Units[1].Start, 0x100u);
  EXPECT_EQ(map.Units[1].End, 0x300u);
  ASSERT_EQ(map.Procedures.size(), 3u) << "publics of other segments are left out";
  EXPECT_EQ(map.Procedures[0].Name, "MainU.TMainForm.FormClose");
  ASSERT_EQ(map.Lines.size(), 4u);
  EXPECT_EQ(map.Lines[3].Unit, "MainU");
  EXPECT_EQ(map.Lines[3].Line, "20");
  EXPECT_EQ(map.Lines[3].Address, 0x190u);
}

TEST_F(MapFile, UnitLookupPrefersTheLastUnitHoldingTheOffset) {
  EXPECT_EQ(map.UnitAt(0x50), "System");
  EXPECT_EQ(map.UnitAt(0x100), "MainU");
  EXPECT_EQ(map.UnitAt(0x300), "MainU");
  EXPECT_EQ(map.UnitAt(0x301), "");
}

TEST_F(MapFile, RoutineLookupFindsTheRoutineHoldingTheOffset) {
  EXPECT_EQ(map.RoutineAt(0x10), "System.Start");
  EXPECT_EQ(map.RoutineAt(0x130), "MainU.TMainForm.FormCreate");
  EXPECT_EQ(map.RoutineAt(0x190), "MainU.TMainForm.FormClose");
}

TEST_F(MapFile, LineLookupTakesTheLineBeforeTheNextItem) {
  EXPECT_EQ(map.LineAt(0x105), "") << "inside the unit but before its first line item";
  EXPECT_EQ(map.LineAt(0x114), "10");
  EXPECT_EQ(map.LineAt(0x118), "11") << "an item right at the offset is its own line";
  EXPECT_EQ(map.LineAt(0x131), "12");
  EXPECT_EQ(map.LineAt(0x200), "") << "no item at or above the offset";
  EXPECT_EQ(map.LineAt(0x20), "") << "unit without line numbers";
}

TEST_F(MapFile, LocationTextNamesProgramUnitRoutineAndLine) {
  EXPECT_EQ(map.LocationText("Vellicor", 0x131),
            "Program: Vellicor\nFile: MainU\nProcedure: MainU.TMainForm.FormCreate\nLine: 12\n");
  EXPECT_EQ(LocationText("p", "", "", ""), "Program: p\nFile: \nProcedure: \nLine: \n");
}

TEST(MapFileLoad, MissingOrIncompleteMapsAreRejected) {
  TTempDir dir;
  TMapFile map;
  EXPECT_FALSE(map.Load(dir.File("none.map")));
  EXPECT_FALSE(map.Load(dir.Path())) << "a folder is no map";
  TMapFile noLines;
  EXPECT_FALSE(
      noLines.LoadFromText("Detailed map of segments\n 0001:00000000 00000100 C=CODE M=System\n"
                           "Address Publics by Name\n 0001:00000000 System.Start\n"));
  EXPECT_EQ(noLines.Units.size(), 1u);
  TMapFile fromDisk;
  EXPECT_TRUE(fromDisk.Load(dir.Write("program.map", SampleMap)));
}

TEST(MapFileLoad, MalformedNumbersInParsedLinesRaiseConversionErrors) {
  const char* const broken[] = {
      "Detailed map of segments\n 0001:0000XY00 00000100 C=CODE M=System\n",
      "Detailed map of segments\n 0001:00000000 0001 C=CODE\n",
      "Detailed map of segments\n zz:00000000 00000100 C=CODE M=System\n",
      "Address Publics by Name\n 0001:0012\n",
      "Line numbers for A(A.pas)\n 10 0001:00\n",
      "Line numbers for A(A.pas)\n 10 0001:0000001G\n",
  };
  for (const char* text : broken) {
    TMapFile map;
    EXPECT_THROW(map.LoadFromText(text), EConvertError) << text;
  }
  // Lines that are not data lines are skipped without a number being read.
  TMapFile map;
  EXPECT_NO_THROW(map.LoadFromText("Detailed map of segments\nx0001:garbage\n"));
}

}  // namespace
