// The logic of the "EOL dataset addresses" dialog, shared by the dialog and the command line: the
// five fields as text, what they show on opening, and what "OK" and "without check sum" do.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "dataset/dataset_image.h"

namespace heatdiag {

struct Settings;

// What the dataset worker hands to the dialog (message UM_EOLADDRESSES).
struct AddressRequest {
  DatasetImage* image = nullptr;
  std::atomic<bool> abort{false};
  std::atomic<bool> done{false};
};

struct AddressFields {
  std::string start;       // hexadecimal
  std::string size;        // decimal
  std::string checkStart;  // hexadecimal
  std::string checkEnd;    // hexadecimal
  std::string checksum;    // hexadecimal
};

// A field as an unsigned number in its base: nullopt when no digit was read, characters follow
// the number, or it is 0x10000 or more. Blanks before and after the number are allowed.
std::optional<std::uint16_t> ParseAddressField(const std::string& text, int base);

// The fields as the dialog shows them on opening the image: start and size from the image when
// either is non-zero, else from the settings; the checksum fields from the image's first area,
// else from the settings.
AddressFields InitialAddressFields(const DatasetImage& image, const Settings& settings);

// The outcome of a button: 0 when the dialog ends with OK, else the string id of the message
// ("Invalid input!\nDataset area is not plausible!" or the checksum message) shown under the
// caption "Wrong input!" while the dialog stays open.
//
// `openedSize` is the image's size when the dialog was opened: the cells are kept when the size
// stays, else they are allocated anew for the new size.
std::uint32_t ApplyAddressesOk(DatasetImage* image, std::uint16_t openedSize,
                               const AddressFields& fields, Settings* settings);
std::uint32_t ApplyAddressesWithoutChecksum(DatasetImage* image, std::uint16_t openedSize,
                                            const AddressFields& fields);

// The "Baud rate for block mode" dialog: a run of decimal digits, accepted when it is a multiple
// of 300 from 2400 to 38400; nullopt otherwise ("Invalid baud rate!").
std::optional<int> ParseBlockBaudRate(const std::string& text);

}  // namespace heatdiag
