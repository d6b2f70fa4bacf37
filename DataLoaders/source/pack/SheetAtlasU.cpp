#include "SheetAtlasU.h"

#include <nlohmann/json.hpp>

#include "ExceptionsU.h"
#include "StringUtilsU.h"

namespace {

using TJson = nlohmann::ordered_json;

// Coordinates beyond this are refused: no sheet is that large.
constexpr int64_t CoordinateLimit = int64_t{1} << 24;
constexpr size_t MaxFrames = 65535;
constexpr int MaxDepth = 32;

// JSON nesting deeper than any atlas needs is refused before parsing, so that no input can
// make the parser or the document's destruction go deep.
bool NestingWithin(std::string_view text, int limit) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

class TAtlasParser {
 public:
  explicit TAtlasParser(const std::string& name) : FName(name) {}

  Exception Error(const std::string& what) const {
    return Exception(Format("Atlas \"%s\": %s", FName.c_str(), what.c_str()));
  }

  int32_t Int(const TJson& object, const char* key, const std::string& where, int64_t min) const {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number())
      throw Error(Format("%s has no number \"%s\"", where.c_str(), key));
    const double value = found->get<double>();
    if (!(value >= double(min) && value <= double(CoordinateLimit)) ||
        value != double(int64_t(value)))
      throw Error(Format("%s: \"%s\" is not a whole number from %lld to %lld", where.c_str(), key,
                         (long long)min, (long long)CoordinateLimit));
    return int32_t(value);
  }

  const TJson* Object(const TJson& parent, const char* key, const std::string& where,
                      bool required) const {
    const auto found = parent.find(key);
    if (found == parent.end()) {
      if (required) throw Error(Format("%s has no \"%s\"", where.c_str(), key));
      return nullptr;
    }
    if (!found->is_object()) throw Error(Format("%s: \"%s\" is not an object", where.c_str(), key));
    return &*found;
  }

  TAtlasRect Rect(const TJson& object, const std::string& where, int64_t minSize) const {
    return {Int(object, "x", where, 0), Int(object, "y", where, 0),
            Int(object, "w", where, minSize), Int(object, "h", where, minSize)};
  }

  TAtlasFrame Frame(const TJson& item, std::string name, size_t index) const {
    const std::string where = Format("frame %zu", index);
    if (!item.is_object()) throw Error(where + " is not an object");
    if (name.empty())
      if (auto found = item.find("filename"); found != item.end() && found->is_string())
        name = found->get<std::string>();
    if (auto rotated = item.find("rotated");
        rotated != item.end() && rotated->is_boolean() && rotated->get<bool>())
      throw Error(where + " is rotated, which is not read");
    TAtlasFrame frame;
    frame.Name = std::move(name);
    frame.Cell = Rect(*Object(item, "frame", where, true), where + " \"frame\"", 1);
    if (const TJson* source = Object(item, "spriteSourceSize", where, false)) {
      frame.HasSource = true;
      frame.Source = Rect(*source, where + " \"spriteSourceSize\"", 1);
    }
    if (const TJson* hot = Object(item, "hotspot", where, false)) {
      frame.HasHotSpot = true;
      frame.HotX = Int(*hot, "x", where + " \"hotspot\"", -CoordinateLimit);
      frame.HotY = Int(*hot, "y", where + " \"hotspot\"", -CoordinateLimit);
    }
    return frame;
  }

 private:
  const std::string& FName;
};

}  // namespace

TSheetAtlas ParseSheetAtlas(std::string_view text, const std::string& name) {
  const TAtlasParser parser(name);
  if (!NestingWithin(text, MaxDepth)) throw parser.Error("nested too deeply");
  TJson doc = TJson::parse(text.begin(), text.end(), nullptr, false);
  if (doc.is_discarded()) throw parser.Error("not valid JSON");
  if (!doc.is_object()) throw parser.Error("not a JSON object");
  TSheetAtlas atlas;
  const auto frames = doc.find("frames");
  if (frames == doc.end() || !(frames->is_array() || frames->is_object()))
    throw parser.Error("no \"frames\" list");
  if (frames->size() > MaxFrames)
    throw parser.Error(Format("%zu frames; an image holds at most %zu", frames->size(), MaxFrames));
  if (frames->empty()) throw parser.Error("no frames");
  size_t index = 0;
  // The hash form keys each frame by its name; the array form names it in "filename".
  for (auto item = frames->begin(); item != frames->end(); ++item, ++index)
    atlas.Frames.push_back(parser.Frame(*item, frames->is_object() ? item.key() : "", index));
  if (const TJson* meta = parser.Object(doc, "meta", "the atlas", false)) {
    if (auto image = meta->find("image"); image != meta->end() && image->is_string())
      atlas.Image = image->get<std::string>();
    if (meta->contains("scale")) {
      atlas.Scale = parser.Int(*meta, "scale", "\"meta\"", 1);
      if (atlas.Scale > 16) throw parser.Error("\"meta\": \"scale\" is above 16");
    }
  }
  return atlas;
}
