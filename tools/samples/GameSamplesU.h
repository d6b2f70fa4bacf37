#pragma once
// A game install made in code, for the tests and benchmarks of the merged game folder: disk
// files and three archives where the same names stand in several places.
#include <string>
#include <vector>

// A file of the sample game and the image names it holds.
struct TSampleGameQuv {
  std::string Where;  // "" for the disk, else the archive's path below the game folder
  std::string Path;   // below the game folder, or inside the archive
  std::vector<std::string> Images;
};

// The Quv files of the sample game (the damaged "units/broken.quv" of mods/extra.ufo aside).
std::vector<TSampleGameQuv> SampleGameQuvs();

// Writes the sample game into folder (made when missing):
//   readme.txt, units/tank.quv                     on disk
//   base.hpi        readme.txt, sounds/boom.wav, units/tank.quv, units/armcom.quv
//   mods/extra.ufo  units/tank.quv, units/armcom.quv, units/scout.quv, units/broken.quv
//                   (not a Quv file), units/Plane.QUV
//   mods/patch.hpi  sounds/boom.wav, units/scout.quv
void WriteSampleGame(const std::string& folder);

// archives archives "pack00.hpi".. in folder, together filesPerArchive x archives small files
// under a few folders each, one in fifty a Quv file named after its image, stored or in
// chunks as an install has them.
void WriteManyEntryGame(const std::string& folder, int archives, int filesPerArchive);
