#pragma once
// Where the running program lives: the map file and the assertion reports name it.
#include <string>

// The executable's full path.
std::string ProgramFilePath();
// The executable's file name without folder.
std::string ProgramFileName();
