#pragma once
// Where the program lives and where it keeps its per-user files.
#include <string>

#include "AssertU.h"

// The running executable's full path is ProgramFilePath() of the framework (AssertU.h).
std::string ProgramDir();  // its folder, without trailing separator

// $XDG_CONFIG_HOME, else ~/.config; $XDG_DATA_HOME, else ~/.local/share; $XDG_CACHE_HOME, else
// ~/.cache. Relative values of the variables are ignored, as the XDG rules require.
std::string ConfigHome();
std::string DataHome();
std::string CacheHome();
std::string VellicorConfigDir();     // ConfigHome()/vellicor
std::string VellicorThumbnailDir();  // CacheHome()/vellicor/thumbnails

bool IsDirectoryWritable(const std::string& dir);

// "Vellicor.ini" beside the program when it runs from the folder the build wrote it to (and that
// folder can be written); otherwise, as for an installed copy, the one in the per-user
// configuration folder.
std::string SettingsFileName(const std::string& programDir, const std::string& buildProgramDir);
// The same for this build's own program folder.
std::string SettingsFileName(const std::string& programDir);
