// An EEPROM image of a control unit's EOL dataset: one cell per address with its value, flags
// and the value it had when it came from the device or a file, plus the checksum areas.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
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

  bool operator==(const ChecksumArea&) const = default;
};

struct DatasetImage {
  std::uint16_t tag = DATASET_IMAGE_TAG;
  std::uint16_t start = 0;         // first address of the dataset area
  std::uint16_t size = 0;          // EEPROM size; addresses 0 .. size - 1
  std::vector<DatasetCell> cells;  // indexed by address; empty while the image has no layout
  std::uint16_t areaCount = 0;
  std::vector<ChecksumArea> areas;

  bool HasCells() const { return !cells.empty(); }
  bool HasAreas() const { return areaCount != 0 && !areas.empty(); }
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

// --- Support routines ---------------------------------------------------------------------------

// Releases cells and areas and sets start, size and areaCount to 0; the tag stays.
void FreeDatasetImage(DatasetImage* image);
// dst becomes a copy of src (layout, all cells, areas).
void CopyDatasetImage(DatasetImage* dst, const DatasetImage* src);
// dst gets src's layout and, for every address of the dataset area, src's alt as value and alt
// with the flags CELL_VALID only: what the device held before the user edited it.
void CopyOriginalsToImage(DatasetImage* dst, const DatasetImage* src);
void MarkAllForRead(DatasetImage* image);       // CELL_READ on the dataset area
void MarkChangedForWrite(DatasetImage* image);  // CELL_WRITE on every CELL_CHANGED cell
void MarkAllForWrite(DatasetImage* image);      // CELL_WRITE on the dataset area
void MarkAllChanged(DatasetImage* image);       // CELL_CHANGED, value copied into alt

// Bytes a checksum of the type occupies: 1 or 2; 0 for an unknown type.
int ChecksumBytes(std::uint16_t type);
// The checksum of the type over the cells first..last (whatever their flags); nullopt for an
// unknown type or an area that does not lie inside the image's cells.
std::optional<std::uint16_t> ComputeChecksum(const DatasetImage& image, const ChecksumArea& area);
// The checksum as the image holds it at the area's address (two-byte types in their order);
// nullopt when those cells lie outside the image.
std::optional<std::uint16_t> StoredChecksum(const DatasetImage& image, const ChecksumArea& area);
// Recomputes every area in order and stores each result where it lies inside the dataset area;
// an area of unknown type stops it.
void RecalculateChecksums(DatasetImage* image);
// True if the address lies in an area or is one of an area's checksum bytes.
bool IsChecksumRelevant(const DatasetImage& image, std::uint16_t address);
// The first area that holds the address or whose checksum bytes it is.
const ChecksumArea* AreaOfAddress(const DatasetImage& image, std::uint16_t address);
// Adjusts the checksum bytes (one, or two for the 16-bit types) for one byte that changes from
// oldValue to newValue; true when the checksum bytes changed.
bool AdjustChecksum(const ChecksumArea& area, std::uint8_t oldValue, std::uint8_t newValue,
                    std::uint8_t* checksumBytes);
// The first address of an area that is not CELL_VALID; nullopt when every area is complete.
std::optional<std::uint16_t> FirstIncompleteAddress(const DatasetImage& image);
// False, after the warning "Dataset not complete within checksum area.\nChecksum cannot be
// calculated!" (through the frame's error box), when an area holds a cell not read.
bool CheckChecksumAreaComplete(const DatasetImage& image);

// Why a layout cannot be used, or an empty text when it can: the dataset area must lie inside
// the cells and every area must run forwards inside the cells with its checksum bytes there too.
std::string LayoutProblem(const DatasetImage& image);

// The fixed layout of a device family without a layout telegram (D01, D03..D11, D13, D14): fills
// the image as GetDatasetLayout does. False for an image without tag 20 or a family that has no
// dataset function.
bool GetFixedDatasetLayout(std::uint32_t device, DatasetImage* image);

// Checksum type names as the command line writes them ("SUM8" ...); empty for an unknown type.
std::string ChecksumTypeName(std::uint16_t type);
std::optional<std::uint16_t> ChecksumTypeFromName(const std::string& name);

}  // namespace heatdiag
