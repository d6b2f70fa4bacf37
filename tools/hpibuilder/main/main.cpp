// hpibuild: writes an HPI archive from disk files, in one storage form or a mix of all of them.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "HpiBuilderU.h"

namespace fs = std::filesystem;

namespace {

// Every storage form in turn, so that one archive exercises them all.
const std::vector<THpiFileOptions> MixedForms = {
    {0, {}, false},
    {1, {THpiChunkKind::LZ77}, false},
    {2, {THpiChunkKind::ZLib}, true},
    {1, {THpiChunkKind::Stored}, false},
    {1, {THpiChunkKind::LZ77}, true},
    {2, {THpiChunkKind::ZLib, THpiChunkKind::Plain, THpiChunkKind::LZ77}, false},
};

THpiFileOptions FormByName(const std::string& name, size_t index, bool encrypt) {
  if (name == "mixed") return MixedForms[index % MixedForms.size()];
  if (name == "stored") return {0, {}, false};
  if (name == "chunks") return {1, {THpiChunkKind::Stored}, encrypt};
  if (name == "lz77") return {1, {THpiChunkKind::LZ77}, encrypt};
  if (name == "zlib") return {2, {THpiChunkKind::ZLib}, encrypt};
  if (name == "plain") return {1, {THpiChunkKind::Plain}, false};
  throw std::invalid_argument("unknown storage form \"" + name + "\"");
}

std::vector<uint8_t> ReadDiskFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

bool HasExtension(const fs::path& path, const std::string& ext) {
  std::string actual = path.extension().string();
  std::transform(actual.begin(), actual.end(), actual.begin(), ::tolower);
  std::string wanted = ext;
  std::transform(wanted.begin(), wanted.end(), wanted.begin(), ::tolower);
  return ext.empty() || actual == wanted;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"hpibuild: write an HPI archive from disk files"};
  std::string output, folder, spread, extension = ".quv", storage = "mixed";
  std::vector<std::string> spreadFolders = {"anims/units", "anims", "anims/units/tanks"};
  std::vector<std::string> adds;
  uint32_t headerKey = 0;
  bool encrypt = false, dataFirst = false;
  app.add_option("output", output, "Archive to write")->required();
  app.add_option("--folder", folder, "Add every file below this folder at its relative path");
  app.add_option("--spread", spread,
                 "Add the files of this folder (with --ext) round-robin into --into folders");
  app.add_option("--ext", extension, "Extension of the files --spread takes (\"\" for all)");
  app.add_option("--into", spreadFolders, "Archive folders that --spread fills");
  app.add_option("--add", adds, "DISKFILE=INNER/PATH: add one file at an inner path");
  app.add_option("--key", headerKey, "Header key (0: nothing scrambled)");
  app.add_option("--storage", storage, "mixed, stored, chunks, lz77, zlib or plain");
  app.add_flag("--encrypt", encrypt, "Scramble the chunk payloads too");
  app.add_flag("--data-first", dataFirst, "Put the file data before the directory");
  CLI11_PARSE(app, argc, argv);

  try {
    THpiBuilder builder;
    builder.HeaderKey = headerKey;
    builder.DataBeforeDirectory = dataFirst;
    size_t index = 0;
    if (!folder.empty())
      builder.AddFolder(folder, [&](const std::string&, size_t) {
        return FormByName(storage, index++, encrypt);
      });
    if (!spread.empty()) {
      std::vector<fs::path> files;
      for (const auto& item : fs::directory_iterator(spread))
        if (item.is_regular_file() && HasExtension(item.path(), extension))
          files.push_back(item.path());
      std::sort(files.begin(), files.end());
      for (size_t i = 0; i < files.size(); ++i) {
        const std::string& into = spreadFolders[i % spreadFolders.size()];
        builder.AddFile(into + "/" + files[i].filename().string(), ReadDiskFile(files[i]),
                        FormByName(storage, index++, encrypt));
      }
    }
    for (const std::string& add : adds) {
      const size_t eq = add.find('=');
      if (eq == std::string::npos) throw std::invalid_argument("--add needs DISKFILE=INNER/PATH");
      builder.AddFile(add.substr(eq + 1), ReadDiskFile(add.substr(0, eq)),
                      FormByName(storage, index++, encrypt));
    }
    if (index == 0) throw std::invalid_argument("no files to add");
    fs::path out(output);
    if (out.has_parent_path()) fs::create_directories(out.parent_path());
    builder.WriteFile(output);
    std::printf("%s: %zu files\n", output.c_str(), index);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hpibuild: %s\n", e.what());
    return 1;
  }
  return 0;
}
