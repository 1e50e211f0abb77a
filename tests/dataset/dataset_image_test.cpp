#include "dataset/dataset_image.h"

#include <gtest/gtest.h>

#include <numeric>

namespace heatdiag {
namespace {

DatasetImage Image(std::uint16_t start, std::uint16_t size, std::vector<ChecksumArea> areas = {}) {
  DatasetImage image;
  image.start = start;
  image.size = size;
  image.cells.assign(size, DatasetCell{});
  image.areas = std::move(areas);
  image.areaCount = static_cast<std::uint16_t>(image.areas.size());
  return image;
}

void Fill(DatasetImage& image, std::initializer_list<std::uint8_t> values, std::uint16_t at) {
  for (std::uint8_t v : values) image.cells[at++].value = v;
}

TEST(ChecksumTest, EachTypeFoldsAndStoresInItsOrder) {
  struct Case {
    std::uint16_t type;
    std::vector<std::uint8_t> stored;  // at the checksum address and the next
  };
  // Bytes 0x80, 0x90, 0xA0, 0x01 over addresses 1..4, checksum at 5.
  const Case cases[] = {
      {SUM8, {0xB1, 0x00}},        // 0x1B1 mod 256
      {XOR8, {0xB1, 0x00}},        // 0x80^0x90^0xA0^0x01
      {SUM16_HILO, {0x01, 0xB1}},  // 0x01B1
      {SUM16_LOHI, {0xB1, 0x01}},
      // XNOR: ~(0^80)=7F, ~(7F^90)=10, ~(10^A0)=4F, ~(4F^01)=B1
      {XNOR8, {0xB1, 0x00}},
  };
  for (const Case& c : cases) {
    DatasetImage image = Image(1, 8, {{1, 4, 5, c.type}});
    Fill(image, {0x80, 0x90, 0xA0, 0x01}, 1);
    RecalculateChecksums(&image);
    EXPECT_EQ(image.cells[5].value, c.stored[0]) << c.type;
    EXPECT_EQ(image.cells[6].value, c.stored[1]) << c.type;
    EXPECT_EQ(image.cells[5].flags & (CELL_VALID | CELL_CHANGED), CELL_VALID | CELL_CHANGED);
    EXPECT_EQ(StoredChecksum(image, image.areas[0]), ComputeChecksum(image, image.areas[0]));
  }
}

TEST(ChecksumTest, StoresOnlyInsideTheDatasetArea) {
  // Checksum address below start: summed, not stored.
  DatasetImage below = Image(4, 16, {{4, 8, 2, SUM8}});
  Fill(below, {1, 2, 3}, 4);
  RecalculateChecksums(&below);
  EXPECT_EQ(below.cells[2].value, 0);
  EXPECT_EQ(below.cells[2].flags, 0);
  EXPECT_EQ(ComputeChecksum(below, below.areas[0]), 6);

  // A two-byte checksum whose second byte would be at size is not stored at all.
  DatasetImage atEnd = Image(0, 16, {{0, 3, 15, SUM16_HILO}});
  Fill(atEnd, {1, 2, 3}, 0);
  RecalculateChecksums(&atEnd);
  EXPECT_EQ(atEnd.cells[15].value, 0);
  EXPECT_EQ(atEnd.cells[15].flags, 0);

  // An unchanged checksum byte gains no flag.
  DatasetImage same = Image(0, 8, {{0, 1, 2, SUM8}});
  RecalculateChecksums(&same);
  EXPECT_EQ(same.cells[2].flags, 0);
}

TEST(ChecksumTest, UnknownTypeStopsTheRecalculation) {
  DatasetImage image = Image(0, 32, {{0, 1, 2, SUM8}, {4, 5, 6, 9}, {8, 9, 10, SUM8}});
  Fill(image, {1, 2}, 0);
  Fill(image, {3, 4}, 8);
  RecalculateChecksums(&image);
  EXPECT_EQ(image.cells[2].value, 3);
  EXPECT_EQ(image.cells[10].value, 0);
}

TEST(ChecksumTest, AdjustFollowsOneByteLikeARecalculation) {
  for (std::uint16_t type = SUM8; type <= XNOR8; ++type) {
    DatasetImage image = Image(0, 32, {{0, 9, 10, type}});
    for (std::uint8_t a = 0; a < 10; ++a) image.cells[a].value = static_cast<std::uint8_t>(a * 37);
    RecalculateChecksums(&image);
    std::uint8_t bytes[2] = {image.cells[10].value, image.cells[11].value};
    const std::uint8_t old = image.cells[3].value;
    EXPECT_TRUE(AdjustChecksum(image.areas[0], old, 0xFE, bytes)) << type;
    image.cells[3].value = 0xFE;
    RecalculateChecksums(&image);
    EXPECT_EQ(bytes[0], image.cells[10].value) << type;
    if (ChecksumBytes(type) == 2) {
      EXPECT_EQ(bytes[1], image.cells[11].value) << type;
    }
    EXPECT_FALSE(AdjustChecksum(image.areas[0], 5, 5, bytes)) << "no change, type " << type;
  }
  std::uint8_t bytes[2] = {};
  EXPECT_FALSE(AdjustChecksum({0, 1, 2, 7}, 1, 2, bytes));
}

TEST(ChecksumTest, RelevantAddressesAndTheirArea) {
  const DatasetImage image = Image(0, 64, {{0, 9, 10, SUM8}, {20, 29, 30, SUM16_LOHI}});
  struct Case {
    std::uint16_t address;
    int area;  // -1: none
  } const cases[] = {{0, 0}, {9, 0}, {10, 0}, {11, -1}, {20, 1}, {30, 1}, {31, 1}, {32, -1}};
  for (const Case& c : cases) {
    const ChecksumArea* area = AreaOfAddress(image, c.address);
    EXPECT_EQ(IsChecksumRelevant(image, c.address), c.area >= 0) << c.address;
    if (c.area >= 0) {
      ASSERT_NE(area, nullptr);
      EXPECT_EQ(area, &image.areas[static_cast<std::size_t>(c.area)]);
    }
  }
}

TEST(DatasetImageTest, CopiesAndMarks) {
  DatasetImage src = Image(2, 8, {{2, 5, 6, SUM8}});
  src.cells[1] = {9, CELL_VALID, 9};  // below start: never copied as an original
  src.cells[3] = {0x44, CELL_VALID | CELL_CHANGED, 0x40};
  src.cells[4] = {0x50, CELL_VALID, 0x50};

  DatasetImage copy;
  CopyDatasetImage(&copy, &src);
  EXPECT_EQ(copy.start, 2);
  EXPECT_EQ(copy.size, 8);
  EXPECT_EQ(copy.cells[1].value, 9);
  EXPECT_EQ(copy.areas, src.areas);

  DatasetImage originals;
  CopyOriginalsToImage(&originals, &src);
  EXPECT_EQ(originals.cells[1].value, 0);
  EXPECT_EQ(originals.cells[3].value, 0x40);
  EXPECT_EQ(originals.cells[3].alt, 0x40);
  EXPECT_EQ(originals.cells[3].flags, CELL_VALID);
  EXPECT_EQ(originals.areaCount, 1);

  MarkChangedForWrite(&src);
  EXPECT_EQ(src.cells[3].flags & CELL_WRITE, CELL_WRITE);
  EXPECT_EQ(src.cells[4].flags & CELL_WRITE, 0);
  MarkAllForRead(&src);
  EXPECT_EQ(src.cells[1].flags & CELL_READ, 0);
  EXPECT_EQ(src.cells[7].flags & CELL_READ, CELL_READ);
  MarkAllChanged(&src);
  EXPECT_EQ(src.cells[3].alt, 0x44);
  MarkAllForWrite(&src);
  EXPECT_EQ(src.cells[2].flags & CELL_WRITE, CELL_WRITE);

  FreeDatasetImage(&src);
  EXPECT_EQ(src.tag, DATASET_IMAGE_TAG);
  EXPECT_FALSE(src.HasCells());
  EXPECT_EQ(src.areaCount, 0);
  FreeDatasetImage(nullptr);
  CopyDatasetImage(nullptr, &copy);
}

TEST(DatasetImageTest, IncompleteAreaIsFound) {
  DatasetImage image = Image(0, 16, {{2, 5, 6, SUM8}});
  EXPECT_EQ(FirstIncompleteAddress(image), 2);
  for (std::uint16_t a = 2; a <= 5; ++a) image.cells[a].flags = CELL_VALID;
  EXPECT_EQ(FirstIncompleteAddress(image), std::nullopt);
  EXPECT_TRUE(CheckChecksumAreaComplete(Image(0, 4)));
}

TEST(DatasetLayoutTest, ProblemsAreFound) {
  struct Case {
    const char* what;
    DatasetImage image;
    bool usable;
  } const cases[] = {
      {"whole EEPROM summed", Image(0x10, 256, {{0x10, 0xFE, 0xFF, SUM8}}), true},
      {"no areas", Image(1, 512), true},
      {"area past the cells", Image(0x10, 256, {{0x10, 0x1FE, 0x1FF, SUM8}}), false},
      {"checksum past the cells", Image(0x10, 256, {{0x10, 0xF0, 0x100, SUM8}}), false},
      {"second byte past the cells", Image(0, 256, {{0, 0xF0, 0xFF, SUM16_HILO}}), false},
      {"area backwards", Image(0x10, 256, {{0x80, 0x20, 0xFF, SUM8}}), false},
      {"start not below size", Image(256, 256), false},
      {"unknown type", Image(0, 256, {{0, 1, 2, 0}}), false},
  };
  for (const Case& c : cases) EXPECT_EQ(LayoutProblem(c.image).empty(), c.usable) << c.what;
}

TEST(DatasetLayoutTest, FixedLayoutsOfTheFamilies) {
  struct Case {
    std::uint32_t device;
    std::uint16_t start, size;
    std::vector<ChecksumArea> areas;
  } const cases[] = {
      {9, 0, 256, {{0, 234, 235, XNOR8}}},
      {8, 0, 256, {{0, 68, 69, SUM16_HILO}, {71, 238, 239, SUM16_HILO}}},
      {13, 0, 256, {{48, 165, 166, SUM16_HILO}}},
      {14, 0, 256, {{0, 42, 43, SUM16_LOHI}}},
      {10, 1, 246, {}},
      {11, 1, 246, {}},
      {1, 1, 256, {}},
      {7, 1, 256, {}},
  };
  for (const Case& c : cases) {
    DatasetImage image;
    ASSERT_TRUE(GetFixedDatasetLayout(c.device, &image)) << c.device;
    EXPECT_EQ(image.start, c.start);
    EXPECT_EQ(image.size, c.size);
    EXPECT_EQ(image.cells.size(), c.size);
    EXPECT_EQ(image.areas, c.areas);
    EXPECT_EQ(image.areaCount, c.areas.size());
    EXPECT_TRUE(LayoutProblem(image).empty());
  }
  for (std::uint32_t device : {0u, 2u, 12u, 15u, 18u}) {
    DatasetImage image;
    EXPECT_FALSE(GetFixedDatasetLayout(device, &image)) << device;
  }
  DatasetImage wrongTag;
  wrongTag.tag = 7;
  EXPECT_FALSE(GetFixedDatasetLayout(9, &wrongTag));
}

}  // namespace
}  // namespace heatdiag
