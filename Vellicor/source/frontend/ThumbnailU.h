#pragma once
// Thumbnails for the desktop's file managers: the first frame of a collection's first image (in
// name order), fitted into a square with nearest-neighbour scaling, as an RGBA PNG whose empty
// pixels are transparent. Only that frame is read from the file.
#include <cstdint>
#include <vector>

#include "ImageManagerU.h"
#include "PictureU.h"

// Thumbnails are at most this many pixels on a side; larger requests get this size.
inline constexpr int32_t MaxThumbnailSize = 1024;
// No sprite comes near this many pixels (4096 x 4096); a frame that claims more is refused before
// its pixels are read, so a small file that lies cannot cost much time or memory.
inline constexpr int64_t MaxThumbnailFramePixels = int64_t{4096} * 4096;

// The thumbnail in palette indices, at most side x side (side capped to MaxThumbnailSize).
// Raises EImageFileError when the collection holds no image or its first frame is empty or
// larger than MaxThumbnailFramePixels, and the frame's load error when its data are broken.
TPicture ThumbnailIndices(TImageClass& images, int32_t side);

// The thumbnail as a PNG file, coloured with the process palette (ImageLoaderU).
std::vector<uint8_t> ThumbnailPng(TImageClass& images, int32_t side);
