// The image operations of QuvEditU.h: images added from pictures, renamed, duplicated and
// deleted.
#include "QuvEditU.h"
#include "StringUtilsU.h"

namespace {

constexpr size_t MaxNameBytes = 31;  // an image entry's 32 name bytes end with a zero

// Refuses a name an entry cannot hold, or that another image has (without regard to case, as
// the reader's collection compares names: it would drop the second of the two). self is the
// image being renamed, which may keep its own name.
void CheckName(const TQuvContent& content, const std::string& name, size_t self) {
  if (name.empty()) throw EQuvEditError("An image needs a name");
  if (name.size() > MaxNameBytes)
    throw EQuvEditError(
        Format("The image name \xE2\x80\x98%s\xE2\x80\x99 has %zu bytes: a name "
               "holds at most %zu",
               name.c_str(), name.size(), MaxNameBytes));
  if (name.find('\0') != std::string::npos)
    throw EQuvEditError(
        Format("The image name \xE2\x80\x98%s\xE2\x80\x99 holds a zero byte, "
               "which would end it",
               name.c_str()));
  for (size_t i = 0; i < content.Images.size(); ++i)
    if (i != self && AnsiCompareText(content.Images[i].Name, name) == 0)
      throw EQuvEditError(Format("There is already an image \xE2\x80\x98%s\xE2\x80\x99",
                                 content.Images[i].Name.c_str()));
}

void CheckImage(const TQuvContent& content, size_t image) {
  if (image >= content.Images.size())
    throw EQuvEditError(Format("There is no image number %zu", image));
}

}  // namespace

TQuvEdit AddImage(const TQuvContent& content, const std::string& name,
                  const std::vector<TFramePicture>& pictures, const TPalette& palette) {
  CheckName(content, name, content.Images.size());
  TQuvImageModel image{name, {}};
  CheckFrameCount(image, pictures.size());
  TColourMapper mapper(palette, content.TransparentIndex);
  image.Frames.reserve(pictures.size());
  for (const TFramePicture& picture : pictures)
    image.Frames.push_back(FrameOfPicture(picture, mapper, image, image.Frames.size(), 0, 0));
  TQuvEdit edit;
  edit.Name = "Add Image";
  edit.First = content.Images.size();
  edit.After.push_back(std::move(image));
  return edit;
}

TQuvEdit RenameImage(const TQuvContent& content, size_t image, const std::string& name) {
  CheckImage(content, image);
  CheckName(content, name, image);
  TQuvEdit edit = ImageEdit(content, image, "Rename Image");
  edit.After.front().Name = name;
  return edit;
}

TQuvEdit DuplicateImage(const TQuvContent& content, size_t image, const std::string& name) {
  CheckImage(content, image);
  CheckName(content, name, content.Images.size());
  TQuvEdit edit;
  edit.Name = "Duplicate Image";
  edit.First = image + 1;
  edit.After.push_back(content.Images[image]);
  edit.After.front().Name = name;
  return edit;
}

TQuvEdit DeleteImage(const TQuvContent& content, size_t image) {
  CheckImage(content, image);
  if (content.Images.size() == 1)
    throw EQuvEditError(
        Format("\xE2\x80\x98%s\xE2\x80\x99 is the file's only image: a file "
               "keeps at least one",
               content.Images[image].Name.c_str()));
  TQuvEdit edit = ImageEdit(content, image, "Delete Image");
  edit.After.clear();
  return edit;
}
