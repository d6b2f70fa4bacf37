// The generic image model: registry with use counts, name order, duplicates, renames, lazy
// frames and the conversion to colour rows.
#include "QuvSamplesU.h"
#include "QuvTestSupport.h"

namespace {

std::vector<uint8_t> OneImageFile() {
  return BuildQuvFile({SyntheticImages(1, 2, 4, 3)[0]});
}

class ImageManagerTest : public QuvTest {
 protected:
  TQuvImages& Empty() {
    FCollection = Manager.CreateClass("mem.quv");
    return static_cast<TQuvImages&>(*FCollection);
  }
  std::unique_ptr<TImageClass> FCollection;
};

TEST_F(ImageManagerTest, GetClassSharesOneCollectionUntilTheLastRelease) {
  AddFile("test.quv", OneImageFile());
  TImageClass* first = Manager.GetClass("test.quv");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Manager.GetClass("TEST.QUV"), first);  // letter case ignored
  EXPECT_EQ(first->RefCount, 2);
  EXPECT_EQ(Manager.ClassCount, 1);
  first->Release();
  EXPECT_EQ(Manager.ClassCount, 1);
  EXPECT_EQ(Manager.ClassNames.Find("test.quv"), first);
  first->Release();
  EXPECT_EQ(Manager.ClassCount, 0);
  EXPECT_TRUE(Manager.Classes.empty());
  EXPECT_EQ(Manager.ClassNames.Count(), 0);
}

TEST_F(ImageManagerTest, MissingFileFailsWithCouldNotFindAndRegistersNothing) {
  try {
    Manager.GetClass("absent.quv");
    FAIL() << "no error";
  } catch (const EQuvFileError&) {
    FAIL() << "not a format error";
  } catch (const EImageFileError& e) {
    EXPECT_STREQ(e.what(), "Could not find absent.quv");
  }
  EXPECT_EQ(Manager.ClassCount, 0);
  EXPECT_TRUE(Logged.empty());
}

TEST_F(ImageManagerTest, FinalizeFreesRegisteredCollections) {
  AddFile("test.quv", OneImageFile());
  Manager.GetClass("test.quv");
  Manager.Finalize();
  EXPECT_EQ(Manager.ClassCount, 0);
  EXPECT_TRUE(Manager.Classes.empty());
}

TEST_F(ImageManagerTest, ImagesAreHandedOutInNameOrderIgnoringCase) {
  TQuvImages& images = Empty();
  images.AddImage("b", 1);
  images.AddImage("A", 1);
  images.AddImage("c", 1);
  ASSERT_EQ(images.ImageCount, 3);
  EXPECT_EQ(images.GetImage(0)->Name, "A");
  EXPECT_EQ(images.GetImage(1)->Name, "b");
  EXPECT_EQ(images.GetImage(2)->Name, "c");
  EXPECT_EQ(images.GetImage(3), nullptr);
  EXPECT_EQ(images.GetImage(-1), nullptr);
  EXPECT_EQ(images.Images[0]->Name, "b");  // the owning list keeps the order added
  EXPECT_EQ(images.FindImage("")->Name, "A");
  EXPECT_EQ(images.FindImage("B")->Name, "b");
  EXPECT_EQ(images.FindImage("d"), nullptr);
}

TEST_F(ImageManagerTest, FindImageInEmptyCollectionFindsNothing) {
  EXPECT_EQ(Empty().FindImage(""), nullptr);
}

TEST_F(ImageManagerTest, DuplicateNameIsLoggedAndNotEntered) {
  TQuvImages& images = Empty();
  images.AddImage("SHELL", 1);
  EXPECT_EQ(images.AddImage("Shell", 1), nullptr);
  std::unique_ptr<TImage> rejected;
  TImage* duplicate = images.AddImage("shell", 2, &rejected);
  EXPECT_EQ(duplicate, rejected.get());
  EXPECT_EQ(images.ImageCount, 1);
  EXPECT_EQ(images.Images.size(), 1u);
  ASSERT_EQ(Logged.size(), 2u);
  EXPECT_EQ(Logged[0], "Duplicate Image \"Shell\" in Image Class \"mem.quv\", ignoring");
}

TEST_F(ImageManagerTest, RenameMovesTheNameUnlessItIsTaken) {
  TQuvImages& images = Empty();
  TImage* a = images.AddImage("a", 1);
  images.AddImage("b", 1);
  a->Rename("b");
  EXPECT_EQ(a->Name, "a");
  ASSERT_EQ(Logged.size(), 1u);
  EXPECT_EQ(Logged[0],
            "In image class: \"mem.quv\", Attempting to rename image \"a\" to an existing image "
            "name \"b\"");
  a->Rename("c");
  EXPECT_EQ(a->Name, "c");
  EXPECT_EQ(images.FindImage("c"), a);
  EXPECT_EQ(images.FindImage("a"), nullptr);
  EXPECT_EQ(images.GetImage(1), a);
}

TEST_F(ImageManagerTest, GetFrameOutsideTheFramesGivesNothing) {
  TImage* image = Empty().AddImage("a", 2);
  EXPECT_EQ(image->GetFrame(2), nullptr);
  EXPECT_EQ(image->GetFrame(-1), nullptr);
}

TEST_F(ImageManagerTest, SetFrameCountDropsFramesFromTheEnd) {
  AddFile("test.quv", OneImageFile());
  TImageClass* images = Manager.GetClass("test.quv");
  TImage* image = images->GetImage(0);
  ASSERT_EQ(image->FrameCount, 2);
  image->SetFrameCount(1);
  EXPECT_EQ(image->Frames.size(), 1u);
  EXPECT_EQ(image->GetFrame(1), nullptr);
  EXPECT_NE(image->GetFrame(0), nullptr);
}

TEST_F(ImageManagerTest, ColourRowsHoldThePixelsInReverseColumnOrder) {
  for (int i = 0; i < 256; ++i)
    Manager.Palette[i] = {uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0};
  Manager.SetTrueColour(true);
  TImage* image = Empty().AddImage("a", 0);
  auto& frame = static_cast<TQuvFrame&>(*image->AddFrame());
  frame.SetImageData({3, 1, 1, 3, std::make_shared<TPixelRows>(TPixelRows{{1, 2, 3}})});
  frame.SetWantTrueColour(true);
  EXPECT_EQ(frame.BytesPerPixel, 4);
  EXPECT_FALSE(frame.Converted);
  const TPixelRowsRef& rows = frame.GetPixels();
  ASSERT_EQ(rows->size(), 1u);
  EXPECT_EQ((*rows)[0], (TPixelRow{3, 4, 5, 0, 2, 3, 4, 0, 1, 2, 3, 0}));
  EXPECT_TRUE(frame.Converted);
  EXPECT_EQ((*frame.PalettePixels)[0], (TPixelRow{1, 2, 3}));  // indices kept beside
  EXPECT_EQ(frame.GetPixels(), rows);                          // converted once
}

TEST_F(ImageManagerTest, TrueColourFramesStayPaletteIndicesUntilGetPixels) {
  Manager.SetTrueColour(true);
  AddFile("test.quv", OneImageFile());
  TImageClass* images = Manager.GetClass("test.quv");
  EXPECT_TRUE(images->TrueColour);
  TImageFrame* frame = images->GetImage(0)->GetFrame(0);
  EXPECT_EQ(frame->BytesPerPixel, 4);
  EXPECT_EQ(frame->RowBytes, 16);
  EXPECT_EQ((*frame->Pixels)[0].size(), 4u);
  EXPECT_EQ((*frame->GetPixels())[0].size(), 16u);
}

TEST_F(ImageManagerTest, SetImageDataRefusesPixelSizesOtherThanOneOrFour) {
  TImage* image = Empty().AddImage("a", 0);
  TImageFrame* frame = image->AddFrame();
  try {
    frame->SetImageData({1, 1, 3, 3, std::make_shared<TPixelRows>(1, TPixelRow(3))});
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unknown pixel format");
  }
  EXPECT_TRUE(frame->Loaded);
  EXPECT_EQ(frame->Width, 0);
  frame->SetImageData({2, 1, 4, 8, std::make_shared<TPixelRows>(1, TPixelRow(8))});
  EXPECT_TRUE(frame->Converted);
  EXPECT_TRUE(frame->WantTrueColour);
}

}  // namespace
