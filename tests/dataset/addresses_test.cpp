#include "dataset/addresses.h"

#include <gtest/gtest.h>

#include "base/settings.h"
#include "dataset/dataset_texts.h"

namespace heatdiag {
namespace {

Settings StoredDefaults() {
  Settings s;
  s.eepromStart = 1;
  s.eepromSize = 512;
  s.eepromCheckStart = 1;
  s.eepromCheckEnd = 403;
  s.eepromCheckSum = 404;
  return s;
}

TEST(AddressFieldTest, ParsesInItsBase) {
  struct Case {
    const char* text;
    int base;
    std::optional<std::uint16_t> value;
  } const cases[] = {
      {"1F", 16, 0x1F},
      {" 1f ", 16, 0x1F},
      {"FFFF", 16, 0xFFFF},
      {"10000", 16, std::nullopt},
      {"", 16, std::nullopt},
      {"12x", 16, std::nullopt},
      {"512", 10, 512},
      {"5A", 10, std::nullopt},
      {"65536", 10, std::nullopt},
      {"-1", 10, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseAddressField(c.text, c.base), c.value) << c.text;
}

TEST(AddressesDialogTest, OpensWithImageOrSettings) {
  const Settings settings = StoredDefaults();
  DatasetImage empty;
  const AddressFields fromSettings = InitialAddressFields(empty, settings);
  EXPECT_EQ(fromSettings.start, "1");
  EXPECT_EQ(fromSettings.size, "512");
  EXPECT_EQ(fromSettings.checkEnd, "193");
  EXPECT_EQ(fromSettings.checksum, "194");

  DatasetImage image;
  image.start = 0x20;
  image.size = 1024;
  image.areas = {{0x20, 0x3FE, 0x3FF, SUM8}};
  image.areaCount = 1;
  const AddressFields fromImage = InitialAddressFields(image, settings);
  EXPECT_EQ(fromImage.start, "20");
  EXPECT_EQ(fromImage.size, "1024");
  EXPECT_EQ(fromImage.checkStart, "20");
  EXPECT_EQ(fromImage.checksum, "3FF");
}

TEST(AddressesDialogTest, OkChecksInOrder) {
  struct Case {
    AddressFields fields;
    std::uint32_t result;
  } const cases[] = {
      {{"1", "512", "1", "193", "194"}, 0},
      {{"200", "512", "1", "193", "194"}, kTextDatasetAreaImplausible},   // start not below size
      {{"1", "0", "1", "193", "194"}, kTextDatasetAreaImplausible},       // size 0
      {{"10", "512", "8", "193", "194"}, kTextChecksumAreaImplausible},   // check start < start
      {{"1", "512", "193", "193", "194"}, kTextChecksumAreaImplausible},  // end not above start
      {{"1", "512", "1", "193", "100"}, kTextChecksumAreaImplausible},    // checksum inside
      {{"1", "512", "1", "193", "x"}, kTextChecksumAreaImplausible},      // invalid field
      {{"1", "512", "1", "200", "201"}, kTextChecksumAreaImplausible},    // end past the EEPROM
      {{"1", "512", "1", "1FF", "0"}, 0},  // checksum outside the dataset area is allowed
  };
  for (const Case& c : cases) {
    DatasetImage image;
    Settings settings = StoredDefaults();
    EXPECT_EQ(ApplyAddressesOk(&image, 0, c.fields, &settings), c.result) << c.fields.start;
    if (c.result != 0) {
      EXPECT_FALSE(image.HasCells());
      EXPECT_EQ(settings, StoredDefaults());
    }
  }
}

TEST(AddressesDialogTest, OkSetsLayoutAndSettings) {
  Settings settings = StoredDefaults();
  DatasetImage image;
  ASSERT_EQ(ApplyAddressesOk(&image, 0, {"10", "256", "10", "FD", "FE"}, &settings), 0u);
  EXPECT_EQ(image.start, 0x10);
  EXPECT_EQ(image.size, 256);
  EXPECT_EQ(image.cells.size(), 256u);
  ASSERT_EQ(image.areaCount, 1);
  EXPECT_EQ(image.areas[0], (ChecksumArea{0x10, 0xFD, 0xFE, SUM8}));
  EXPECT_EQ(settings.eepromStart, 0x10);
  EXPECT_EQ(settings.eepromSize, 256);
  EXPECT_EQ(settings.eepromCheckSum, 0xFE);

  // Only the checksum fields change with the same size: the loaded cells stay.
  image.cells[0x20].value = 0x5A;
  ASSERT_EQ(ApplyAddressesOk(&image, 256, {"10", "256", "10", "80", "81"}, &settings), 0u);
  EXPECT_EQ(image.cells[0x20].value, 0x5A);
  // A new size gives new cells.
  ASSERT_EQ(ApplyAddressesOk(&image, 256, {"10", "512", "10", "80", "81"}, &settings), 0u);
  EXPECT_EQ(image.cells.size(), 512u);
  EXPECT_EQ(image.cells[0x20].value, 0);
}

TEST(AddressesDialogTest, WithoutChecksumLeavesAreasAndSettings) {
  Settings settings = StoredDefaults();
  DatasetImage image;
  EXPECT_EQ(ApplyAddressesWithoutChecksum(&image, 0, {"1", "512", "zz", "", ""}), 0u);
  EXPECT_EQ(image.size, 512);
  EXPECT_FALSE(image.HasAreas());
  EXPECT_EQ(ApplyAddressesWithoutChecksum(&image, 512, {"1", "0", "", "", ""}),
            kTextDatasetAreaImplausible);
  EXPECT_EQ(ApplyAddressesWithoutChecksum(&image, 512, {"200", "200", "", "", ""}),
            kTextDatasetAreaImplausible);
}

TEST(BlockBaudRateTest, MultiplesOf300From2400To38400) {
  struct Case {
    const char* text;
    std::optional<int> rate;
  } const cases[] = {{"9600", 9600},         {"2400", 2400},         {"38400", 38400},
                     {"9601", std::nullopt}, {"2100", std::nullopt}, {"38700", std::nullopt},
                     {"", std::nullopt},     {"19200 baud", 19200}};
  for (const Case& c : cases) EXPECT_EQ(ParseBlockBaudRate(c.text), c.rate) << c.text;
}

}  // namespace
}  // namespace heatdiag
