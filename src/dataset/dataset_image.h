// An EEPROM image of a control unit's EOL dataset: one cell per address with its value, flags
// and the value it had when it came from the device or a file, plus the checksum areas.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace heatdiag {

inline constexpr std::uint16_t DATASET_IMAGE_TAG = 20;

enum DatasetCellFlag : std::uint8_t {
  CELL_VALID = 0x01,    // read from the device or a file
  CELL_CHANGED = 0x02,  // differs from what the device holds
  CELL_READ = 0x04,     // to be read from the device
  CELL_WRITE = 0x08,    // to be written to the device
};

struct DatasetCell {
  std::uint8_t value = 0;
  std::uint8_t flags = 0;
  std::uint8_t alt = 0;
};

enum ChecksumType : std::uint16_t {
  SUM8 = 1,
  XOR8 = 2,
  SUM16_HILO = 3,
  SUM16_LOHI = 4,
  XNOR8 = 5,
};

struct ChecksumArea {
  std::uint16_t first = 0;
  std::uint16_t last = 0;  // inclusive
  std::uint16_t checksumAddress = 0;
  std::uint16_t type = 0;
};

struct DatasetImage {
  std::uint16_t tag = DATASET_IMAGE_TAG;
  std::uint16_t start = 0;         // first address of the dataset area
  std::uint16_t size = 0;          // EEPROM size; addresses 0 .. size - 1
  std::vector<DatasetCell> cells;  // indexed by address; empty while the image has no layout
  std::uint16_t areaCount = 0;
  std::vector<ChecksumArea> areas;
};

// A transfer of cells between an image and the device: the driver walks the cells from first
// up to (not including) end and touches those marked CELL_READ or CELL_WRITE.
struct DatasetRequest {
  std::uint16_t first = 0;
  std::uint16_t end = 0;
  DatasetCell* cells = nullptr;  // at least end cells
  // Where the driver publishes the address it is working on, for the progress display.
  std::atomic<std::uint32_t>* currentAddress = nullptr;
};

}  // namespace heatdiag
