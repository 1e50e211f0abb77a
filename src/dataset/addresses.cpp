#include "dataset/addresses.h"

#include <cctype>
#include <cstdio>

#include "base/settings.h"
#include "dataset/dataset_texts.h"

namespace heatdiag {
namespace {

std::string Hex(std::int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

void SetStartAndSize(DatasetImage* image, std::uint16_t openedSize, std::uint16_t start,
                     std::uint16_t size) {
  image->start = start;
  image->size = size;
  if (!image->HasCells() || size != openedSize || image->cells.size() != size)
    image->cells.assign(size, DatasetCell{});
}

}  // namespace

std::optional<std::uint16_t> ParseAddressField(const std::string& text, int base) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    int digit = -1;
    if (std::isdigit(c)) digit = c - '0';
    if (base == 16 && std::isxdigit(c) && !std::isdigit(c)) digit = std::toupper(c) - 'A' + 10;
    if (digit < 0 || digit >= base) break;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    if (value >= 0x10000) return std::nullopt;
    ++digits;
  }
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (digits == 0 || i != text.size()) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

AddressFields InitialAddressFields(const DatasetImage& image, const Settings& settings) {
  AddressFields f;
  if (image.start != 0 || image.size != 0) {
    f.start = Hex(image.start);
    f.size = std::to_string(image.size);
  } else {
    f.start = Hex(settings.eepromStart);
    f.size = std::to_string(settings.eepromSize);
  }
  if (image.HasAreas()) {
    const ChecksumArea& area = image.areas.front();
    f.checkStart = Hex(area.first);
    f.checkEnd = Hex(area.last);
    f.checksum = Hex(area.checksumAddress);
  } else {
    f.checkStart = Hex(settings.eepromCheckStart);
    f.checkEnd = Hex(settings.eepromCheckEnd);
    f.checksum = Hex(settings.eepromCheckSum);
  }
  return f;
}

std::uint32_t ApplyAddressesOk(DatasetImage* image, std::uint16_t openedSize,
                               const AddressFields& fields, Settings* settings) {
  if (image == nullptr) return kTextDatasetAreaImplausible;
  // Each field as a number, 0 when invalid (the checks compare what was read).
  bool allValid = true;
  const auto read = [&allValid](const std::string& text, int base) -> std::uint16_t {
    const std::optional<std::uint16_t> v = ParseAddressField(text, base);
    if (!v) allValid = false;
    return v.value_or(0);
  };
  const std::uint16_t start = read(fields.start, 16);
  const std::uint16_t size = read(fields.size, 10);
  const std::uint16_t checkStart = read(fields.checkStart, 16);
  const std::uint16_t checkEnd = read(fields.checkEnd, 16);
  const std::uint16_t checksum = read(fields.checksum, 16);
  if (!(start < size)) return kTextDatasetAreaImplausible;
  if (!(checkEnd > checkStart && checkStart >= start)) return kTextChecksumAreaImplausible;
  // The area must also end inside the EEPROM: a sum over it would read past the cells.
  if (checkEnd >= size) return kTextChecksumAreaImplausible;
  if (checksum >= checkStart && checksum <= checkEnd) return kTextChecksumAreaImplausible;
  if (!allValid) return kTextChecksumAreaImplausible;

  if (image->areas.empty()) image->areas.resize(1);
  image->areaCount = static_cast<std::uint16_t>(image->areas.size());
  SetStartAndSize(image, openedSize, start, size);
  image->areas.front() = ChecksumArea{checkStart, checkEnd, checksum, SUM8};
  if (settings != nullptr) {
    settings->eepromStart = start;
    settings->eepromSize = size;
    settings->eepromCheckStart = checkStart;
    settings->eepromCheckEnd = checkEnd;
    settings->eepromCheckSum = checksum;
  }
  return 0;
}

std::uint32_t ApplyAddressesWithoutChecksum(DatasetImage* image, std::uint16_t openedSize,
                                            const AddressFields& fields) {
  if (image == nullptr) return kTextDatasetAreaImplausible;
  const auto start = ParseAddressField(fields.start, 16);
  const auto size = ParseAddressField(fields.size, 10);
  if (!start || !size || *size == 0 || *start >= *size) return kTextDatasetAreaImplausible;
  SetStartAndSize(image, openedSize, *start, *size);
  return 0;
}

std::optional<int> ParseBlockBaudRate(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  long rate = 0;
  std::size_t digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    rate = rate * 10 + (text[i] - '0');
    if (rate > 1000000) return std::nullopt;
  }
  if (digits == 0 || rate % 300 != 0 || rate < 2400 || rate > 38400) return std::nullopt;
  return static_cast<int>(rate);
}

}  // namespace heatdiag
