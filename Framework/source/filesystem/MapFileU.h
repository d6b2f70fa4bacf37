#pragma once
// Reader of the linker's detailed text map file, translating code offsets into unit, routine
// and line.
#include <cstdint>
#include <string>
#include <vector>

struct TUnitItem {
  std::string Name;
  uint32_t Start = 0;
  uint32_t End = 0;  // Start + Length
};
struct TProcedureItem {
  std::string Name;
  uint32_t Address = 0;
};
struct TLineNumberItem {
  std::string Unit;
  std::string Line;
  uint32_t Address = 0;
};

class TMapFile {
 public:
  // True when all three lists ended up non-empty; false at once when the file does not exist.
  // A malformed number in a parsed line raises EConvertError.
  bool Load(const std::string& path);
  bool LoadFromText(const std::string& text);

  std::string UnitAt(uint32_t offset) const;
  std::string RoutineAt(uint32_t offset) const;
  std::string LineAt(uint32_t offset) const;
  // "Program: %s\nFile: %s\nProcedure: %s\nLine: %s\n"
  std::string LocationText(const std::string& program, uint32_t offset) const;

  std::vector<TUnitItem> Units;
  std::vector<TProcedureItem> Procedures;
  std::vector<TLineNumberItem> Lines;
};

// The map file read at start-up from beside the executable (same name, ".map"), or null.
const TMapFile* ProgramMapFile();
// Reads the map file beside the executable once; called by the framework's start-up. A damaged
// map is reported on standard error and left unused.
void LoadProgramMapFile();
// Frees the lists at the framework's shutdown; a later LoadProgramMapFile reads the file again.
void FreeProgramMapFile();

std::string LocationText(const std::string& program, const std::string& unit,
                         const std::string& routine, const std::string& line);
