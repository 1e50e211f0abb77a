// EOL dataset files, read into an image with a layout as the dataset worker reads them: the
// first two bytes choose the dataset start and the EEPROM size, the rest is the file's text.
// What was read is written out and read again and must give the same cells.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <sstream>
#include <string>

#include "dataset/dataset_image.h"
#include "dataset/eol_file.h"

using namespace heatdiag;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  DatasetImage image;
  image.size = static_cast<std::uint16_t>(16u << (data[0] % 7));  // 16 .. 1024 cells
  image.start = static_cast<std::uint16_t>(data[1] % image.size);
  image.cells.assign(image.size, DatasetCell{});
  std::istringstream in(std::string(reinterpret_cast<const char*>(data + 2), size - 2));
  EolFileError error;
  if (!ParseEolText(in, &image, &error)) return 0;

  std::ostringstream out;
  std::tm when{};
  FormatEolText(out, image, when);
  DatasetImage again = image;
  for (DatasetCell& cell : again.cells) cell = DatasetCell{};
  std::istringstream back(out.str());
  if (!ParseEolText(back, &again, &error)) __builtin_trap();
  for (std::size_t a = image.start; a < image.size; ++a)
    if ((image.cells[a].flags & CELL_VALID) != 0 && again.cells[a].value != image.cells[a].value)
      __builtin_trap();
  return 0;
}
