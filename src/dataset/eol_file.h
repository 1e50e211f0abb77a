// EOL dataset files: the dataset area of an image as text, one line per address ("%04X    %02X
// %d"), framed by comment lines. The file carries no layout: the image has it before reading.
#pragma once

#include <cstdint>
#include <ctime>
#include <istream>
#include <ostream>
#include <string>

#include "dataset/dataset_image.h"

namespace heatdiag {

// What went wrong with a file: the caption and text of the message box, and its string id.
struct EolFileError {
  std::uint32_t captionId = 0;
  std::uint32_t textId = 0;
  std::string text;
  int line = 0;  // the line of a syntax error, else 0
};

// Reads the lines into the image, which must have its cells: clears every cell, then sets value,
// alt and CELL_VALID | CELL_CHANGED for each address read. False with `error` filled on a syntax
// error (the cells read before it keep their values).
bool ParseEolText(std::istream& in, DatasetImage* image, EolFileError* error);
// Writes the file's text with the given local time in the time line.
void FormatEolText(std::ostream& out, const DatasetImage& image, const std::tm& localTime);

// The 24-character time form, e.g. "Wed Dec  9 07:16:20 2026".
std::string EolTimeText(const std::tm& localTime);

// Reads the file; false with `error` filled when it cannot be opened or has a syntax error.
bool ReadEolFile(const std::string& path, DatasetImage* image, EolFileError* error);
// Writes the file through a temporary file beside it that is flushed and renamed over it, so a
// failure never leaves a half-written file where a good one stood.
bool WriteEolFile(const std::string& path, const DatasetImage& image, EolFileError* error);

// The same, reporting a failure through the frame's message box (as the worker does).
bool ReadEolFileReporting(const std::string& path, DatasetImage* image);
bool WriteEolFileReporting(const std::string& path, const DatasetImage& image);

}  // namespace heatdiag
