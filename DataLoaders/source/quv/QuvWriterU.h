#pragma once
// Writing Quv images: frame tables, frame headers and run-length rows, each compressed row
// proven by decoding it again; and whole files around them.
#include <cstdint>
#include <vector>

#include "QuvManagerU.h"
#include "QuvModelU.h"

// The Compression written for a frame under a manager's CompressionMode.
uint8_t CompressionFor(uint8_t compressionMode, uint8_t frameCompression);

// Fills a 24-byte header from the frame. Fields that do not fit their width raise ERangeError.
void FillFrameHeader(const TQuvFrame& frame, uint8_t* header);
// Raises EQuvFileError naming image, frame and row (after an assertion report) when a frame
// without sub-frames, or a sub-frame of the frame, lacks a pixel row or has a short one; the
// writers check before they write anything.
void CheckFramePixels(TQuvFrame& frame);
// The same for every frame of an image (fetching each).
void CheckImagePixels(TQuvImage& image);
// Writes the rows of a frame without sub-frames, raw or run-length by its Compression.
void WriteFramePixels(TQuvFrame& frame, IStream& writer);
// Encodes one row of frame.Width bytes into code (cleared first). allowEmpty lets a wholly
// transparent row be written with length 0.
void CompressScanLine(TQuvFrame& frame, const uint8_t* row, std::vector<uint8_t>& code,
                      int32_t& length, bool allowEmpty, int32_t rowNumber);

// Writes a whole file: header, entry offset table, and per image its 40-byte entry followed by
// the image itself. Names must hold 1 to 31 characters.
void SaveQuvFile(IStream& writer, const std::vector<TQuvImage*>& images);
// The images of a collection, in the order they were added.
void SaveQuvFile(IStream& writer, TQuvImages& images);

// A whole file of the images, as a collection whose manager has the given CompressionMode and
// TransparentIndex writes it.
std::vector<uint8_t> EncodeQuvFile(const std::vector<TQuvImageModel>& images,
                                   uint8_t compressionMode, uint8_t transparentIndex);
