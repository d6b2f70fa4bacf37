#include "GameSamplesU.h"

#include <filesystem>
#include <map>

#include "HpiBuilderU.h"
#include "QuvSamplesU.h"
#include "SafeFileU.h"

namespace {

namespace fs = std::filesystem;

// A small Quv file whose images have these names.
std::vector<uint8_t> NamedQuv(const std::vector<std::string>& names) {
  std::vector<TSampleImage> images;
  for (size_t i = 0; i < names.size(); ++i)
    images.push_back({names[i], {SolidFrame(4, 3, 1, 1, uint8_t(20 + i))}});
  return BuildQuvFile(images, 1);
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  WriteFileAtomically(path.string(), std::string(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> Text(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

std::vector<TSampleGameQuv> SampleGameQuvs() {
  return {
      {"", "units/tank.quv", {"tank_disk"}},
      {"base.hpi", "units/tank.quv", {"tank", "turret"}},
      {"base.hpi", "units/armcom.quv", {"ARMCOM", "armcom_dead"}},
      {"mods/extra.ufo", "units/tank.quv", {"tank_mod"}},
      {"mods/extra.ufo", "units/armcom.quv", {"armcom_mod"}},
      {"mods/extra.ufo", "units/scout.quv", {"Scout"}},
      {"mods/extra.ufo", "units/Plane.QUV", {"plane", "plane_shadow"}},
      {"mods/patch.hpi", "units/scout.quv", {"scout_patch"}},
  };
}

void WriteSampleGame(const std::string& folder) {
  const fs::path root(folder);
  std::map<std::string, THpiBuilder> archives;
  for (const TSampleGameQuv& quv : SampleGameQuvs()) {
    if (quv.Where.empty())
      WriteBytes(root / quv.Path, NamedQuv(quv.Images));
    else
      archives[quv.Where].AddFile(quv.Path, NamedQuv(quv.Images));
  }
  WriteBytes(root / "readme.txt", Text("disk readme\n"));
  archives["base.hpi"].AddFile("readme.txt", Text("base readme\n"));
  archives["base.hpi"].AddFile("sounds/boom.wav", Text("RIFF base boom"));
  archives["mods/patch.hpi"].AddFile("sounds/boom.wav", Text("RIFF patched boom"),
                                     {1, {THpiChunkKind::ZLib}, true});
  archives["mods/extra.ufo"].AddFile("units/broken.quv", Text("this is not a sprite file"));
  for (auto& [where, builder] : archives) WriteBytes(root / where, builder.Build());
}

void WriteManyEntryGame(const std::string& folder, int archives, int filesPerArchive) {
  const std::vector<uint8_t> small = Text("0123456789abcdef0123456789abcdef");
  for (int a = 0; a < archives; ++a) {
    THpiBuilder builder;
    for (int i = 0; i < filesPerArchive; ++i) {
      const int n = a * filesPerArchive + i;
      const std::string dir = "data" + std::to_string(n % 16) + "/sub" + std::to_string(n % 7);
      if (n % 50 == 0) {
        const std::string name = "unit" + std::to_string(n);
        builder.AddFile(dir + "/" + name + ".quv", NamedQuv({name, name + "_dead"}));
      } else {
        builder.AddFile(dir + "/file" + std::to_string(n) + ".dat", small,
                        {uint8_t(n % 3 == 0 ? 1 : 0), {THpiChunkKind::LZ77}, false});
      }
    }
    const std::string name = (a < 10 ? "pack0" : "pack") + std::to_string(a) + ".hpi";
    WriteBytes(fs::path(folder) / name, builder.Build());
  }
}
