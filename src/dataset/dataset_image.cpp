#include "dataset/dataset_image.h"

#include <algorithm>

#include "base/frame_sink.h"
#include "base/string_table.h"
#include "dataset/dataset_texts.h"

namespace heatdiag {
namespace {

// The addresses of the dataset area that the image's cells hold.
template <typename Fn>
void ForDatasetArea(DatasetImage* image, Fn fn) {
  if (image == nullptr) return;
  const std::size_t end = std::min<std::size_t>(image->size, image->cells.size());
  for (std::size_t a = image->start; a < end; ++a) fn(image->cells[a]);
}

void CopyLayoutAndAreas(DatasetImage* dst, const DatasetImage* src) {
  if (src->HasCells()) {
    dst->start = src->start;
    dst->size = src->size;
  }
  dst->areaCount = src->areaCount;
  if (!src->areas.empty()) dst->areas = src->areas;
}

// Stores one checksum byte when it differs.
void StoreChecksumByte(DatasetCell& cell, std::uint8_t value) {
  if (cell.value == value) return;
  cell.value = value;
  cell.flags |= CELL_VALID | CELL_CHANGED;
}

bool IsTwoByte(std::uint16_t type) {
  return type == SUM16_HILO || type == SUM16_LOHI;
}

}  // namespace

void FreeDatasetImage(DatasetImage* image) {
  if (image == nullptr) return;
  image->cells.clear();
  image->cells.shrink_to_fit();
  image->areas.clear();
  image->start = 0;
  image->size = 0;
  image->areaCount = 0;
}

void CopyDatasetImage(DatasetImage* dst, const DatasetImage* src) {
  if (dst == nullptr || src == nullptr || dst == src) return;
  FreeDatasetImage(dst);
  if (src->HasCells()) dst->cells = src->cells;
  CopyLayoutAndAreas(dst, src);
}

void CopyOriginalsToImage(DatasetImage* dst, const DatasetImage* src) {
  if (dst == nullptr || src == nullptr || dst == src) return;
  FreeDatasetImage(dst);
  if (src->HasCells()) {
    dst->cells.assign(src->cells.size(), DatasetCell{});
    const std::size_t end = std::min<std::size_t>(src->size, src->cells.size());
    for (std::size_t a = src->start; a < end; ++a) {
      const std::uint8_t alt = src->cells[a].alt;
      dst->cells[a] = DatasetCell{alt, CELL_VALID, alt};
    }
  }
  CopyLayoutAndAreas(dst, src);
}

void MarkAllForRead(DatasetImage* image) {
  ForDatasetArea(image, [](DatasetCell& c) { c.flags |= CELL_READ; });
}

void MarkChangedForWrite(DatasetImage* image) {
  ForDatasetArea(image, [](DatasetCell& c) {
    if ((c.flags & CELL_CHANGED) != 0) c.flags |= CELL_WRITE;
  });
}

void MarkAllForWrite(DatasetImage* image) {
  ForDatasetArea(image, [](DatasetCell& c) { c.flags |= CELL_WRITE; });
}

void MarkAllChanged(DatasetImage* image) {
  ForDatasetArea(image, [](DatasetCell& c) {
    c.flags |= CELL_CHANGED;
    c.alt = c.value;
  });
}

int ChecksumBytes(std::uint16_t type) {
  if (type >= SUM8 && type <= XNOR8) return IsTwoByte(type) ? 2 : 1;
  return 0;
}

std::optional<std::uint16_t> ComputeChecksum(const DatasetImage& image, const ChecksumArea& area) {
  if (ChecksumBytes(area.type) == 0) return std::nullopt;
  if (area.first > area.last || area.last >= image.cells.size()) return std::nullopt;
  std::uint32_t s = 0;
  for (std::size_t a = area.first; a <= area.last; ++a) {
    const std::uint8_t b = image.cells[a].value;
    switch (area.type) {
      case SUM8:
        s = (s + b) & 0xFF;
        break;
      case XOR8:
        s ^= b;
        break;
      case SUM16_HILO:
      case SUM16_LOHI:
        s = (s + b) & 0xFFFF;
        break;
      case XNOR8:
        s = ~(s ^ b) & 0xFF;
        break;
      default:
        break;
    }
  }
  return static_cast<std::uint16_t>(s);
}

std::optional<std::uint16_t> StoredChecksum(const DatasetImage& image, const ChecksumArea& area) {
  const int bytes = ChecksumBytes(area.type);
  const std::size_t at = area.checksumAddress;
  if (bytes == 0 || at + static_cast<std::size_t>(bytes) > image.cells.size()) return std::nullopt;
  const std::uint8_t b0 = image.cells[at].value;
  if (bytes == 1) return b0;
  const std::uint8_t b1 = image.cells[at + 1].value;
  return static_cast<std::uint16_t>(area.type == SUM16_HILO ? (b0 << 8 | b1) : (b1 << 8 | b0));
}

void RecalculateChecksums(DatasetImage* image) {
  if (image == nullptr || !image->HasCells()) return;
  const std::size_t count = std::min<std::size_t>(image->areaCount, image->areas.size());
  const std::size_t limit = std::min<std::size_t>(image->size, image->cells.size());
  for (std::size_t i = 0; i < count; ++i) {
    const ChecksumArea& area = image->areas[i];
    if (ChecksumBytes(area.type) == 0) return;
    const std::optional<std::uint16_t> sum = ComputeChecksum(*image, area);
    if (!sum) continue;  // an area outside the cells has nothing to sum
    const std::size_t at = area.checksumAddress;
    if (!IsTwoByte(area.type)) {
      if (at >= image->start && at < limit)
        StoreChecksumByte(image->cells[at], static_cast<std::uint8_t>(*sum));
      continue;
    }
    if (at < image->start || at + 1 >= limit) continue;
    const auto high = static_cast<std::uint8_t>(*sum >> 8);
    const auto low = static_cast<std::uint8_t>(*sum & 0xFF);
    StoreChecksumByte(image->cells[at], area.type == SUM16_HILO ? high : low);
    StoreChecksumByte(image->cells[at + 1], area.type == SUM16_HILO ? low : high);
  }
}

const ChecksumArea* AreaOfAddress(const DatasetImage& image, std::uint16_t address) {
  const std::size_t count = std::min<std::size_t>(image.areaCount, image.areas.size());
  for (std::size_t i = 0; i < count; ++i) {
    const ChecksumArea& area = image.areas[i];
    if (area.first <= address && address <= area.last) return &area;
    if (address == area.checksumAddress) return &area;
    if (IsTwoByte(area.type) && address == area.checksumAddress + 1u) return &area;
  }
  return nullptr;
}

bool IsChecksumRelevant(const DatasetImage& image, std::uint16_t address) {
  return AreaOfAddress(image, address) != nullptr;
}

bool AdjustChecksum(const ChecksumArea& area, std::uint8_t oldValue, std::uint8_t newValue,
                    std::uint8_t* checksumBytes) {
  if (checksumBytes == nullptr) return false;
  switch (area.type) {
    case SUM8: {
      const auto c = static_cast<std::uint8_t>(checksumBytes[0] - oldValue + newValue);
      if (c == checksumBytes[0]) return false;
      checksumBytes[0] = c;
      return true;
    }
    case XOR8:
    case XNOR8: {
      const auto c = static_cast<std::uint8_t>(checksumBytes[0] ^ oldValue ^ newValue);
      if (c == checksumBytes[0]) return false;
      checksumBytes[0] = c;
      return true;
    }
    case SUM16_HILO:
    case SUM16_LOHI: {
      const bool hilo = area.type == SUM16_HILO;
      const std::uint16_t before =
          hilo ? static_cast<std::uint16_t>(checksumBytes[0] << 8 | checksumBytes[1])
               : static_cast<std::uint16_t>(checksumBytes[1] << 8 | checksumBytes[0]);
      const auto after = static_cast<std::uint16_t>(before + newValue - oldValue);
      if (after == before) return false;
      const auto high = static_cast<std::uint8_t>(after >> 8);
      const auto low = static_cast<std::uint8_t>(after & 0xFF);
      checksumBytes[0] = hilo ? high : low;
      checksumBytes[1] = hilo ? low : high;
      return true;
    }
    default:
      return false;
  }
}

std::optional<std::uint16_t> FirstIncompleteAddress(const DatasetImage& image) {
  const std::size_t count = std::min<std::size_t>(image.areaCount, image.areas.size());
  for (std::size_t i = 0; i < count; ++i) {
    const ChecksumArea& area = image.areas[i];
    for (std::size_t a = area.first; a <= area.last; ++a) {
      if (a >= image.cells.size() || (image.cells[a].flags & CELL_VALID) == 0)
        return static_cast<std::uint16_t>(a);
    }
  }
  return std::nullopt;
}

bool CheckChecksumAreaComplete(const DatasetImage& image) {
  if (!FirstIncompleteAddress(image)) return true;
  ShowThreadError(kTextDatasetIncomplete);
  return false;
}

std::string LayoutProblem(const DatasetImage& image) {
  if (image.size == 0 || image.start >= image.size || image.cells.size() != image.size)
    return LoadString(kTextLayoutImplausible);
  const std::size_t count = std::min<std::size_t>(image.areaCount, image.areas.size());
  for (std::size_t i = 0; i < count; ++i) {
    const ChecksumArea& area = image.areas[i];
    const int bytes = ChecksumBytes(area.type);
    if (bytes == 0 || area.last < area.first || area.last >= image.size ||
        area.checksumAddress + static_cast<std::uint32_t>(bytes) > image.size)
      return LoadString(kTextLayoutImplausible);
  }
  return {};
}

bool GetFixedDatasetLayout(std::uint32_t device, DatasetImage* image) {
  if (image == nullptr || image->tag != DATASET_IMAGE_TAG) return false;
  std::uint16_t start = 0;
  std::uint16_t size = 256;
  std::vector<ChecksumArea> areas;
  switch (device) {
    case 9:
      areas = {{0, 234, 235, XNOR8}};
      break;
    case 8:
      areas = {{0, 68, 69, SUM16_HILO}, {71, 238, 239, SUM16_HILO}};
      break;
    case 13:
      areas = {{48, 165, 166, SUM16_HILO}};
      break;
    case 14:
      areas = {{0, 42, 43, SUM16_LOHI}};
      break;
    case 10:
    case 11:
      start = 1;
      size = 246;
      break;
    case 1:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
      start = 1;
      break;
    default:
      return false;
  }
  FreeDatasetImage(image);
  image->start = start;
  image->size = size;
  image->cells.assign(size, DatasetCell{});
  image->areas = std::move(areas);
  image->areaCount = static_cast<std::uint16_t>(image->areas.size());
  return true;
}

std::string ChecksumTypeName(std::uint16_t type) {
  switch (type) {
    case SUM8:
      return "SUM8";
    case XOR8:
      return "XOR8";
    case SUM16_HILO:
      return "SUM16_HILO";
    case SUM16_LOHI:
      return "SUM16_LOHI";
    case XNOR8:
      return "XNOR8";
    default:
      return {};
  }
}

std::optional<std::uint16_t> ChecksumTypeFromName(const std::string& name) {
  for (std::uint16_t t = SUM8; t <= XNOR8; ++t)
    if (ChecksumTypeName(t) == name) return t;
  return std::nullopt;
}

}  // namespace heatdiag
