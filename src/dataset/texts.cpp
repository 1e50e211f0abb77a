#include "base/string_table.h"
#include "dataset/dataset_texts.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {kTextDatasetIncomplete,
     "Dataset not complete within checksum area.\nChecksum cannot be calculated!"},
    {kTextWrongInput, "Wrong input!"},
    {kTextDatasetAreaImplausible, "Invalid input!\nDataset area is not plausible!"},
    {kTextChecksumAreaImplausible, "Invalid input!\nChecksum area is not plausible!"},
    {kTextReadEolCaption, "Read EOL file"},
    {kTextWriteEolCaption, "Write EOL file"},
    {kTextCannotOpenFile, "Cannot open file %s!"},
    {kTextCannotCreateFile, "Cannot create file %s!"},
    {kTextSyntaxError, "Syntax error in line %d!"},
    {kTextCannotWriteFile, "Cannot write file %s!"},
    {kTextEolDatasetTitle, "EOL dataset"},
    {kTextFilterEol, "EOL dataset (*.eol)"},
    {kTextFilterPrn, "Formatted text (*.prn)"},
    {kTextFilterTxt, "Text file (*.txt)"},
    {kTextFilterAll, "All files (*.*)"},
    {kTextLayoutImplausible,
     "The control unit reports a dataset layout that does not fit its EEPROM!\nThe dataset "
     "cannot be transferred."},
    {kTextPageNotSelectable,
     "The control unit cannot select EEPROM page %d!\nThe transfer was stopped."},
    {kTextTransferRunning, "Data transfer running..."},
    {kTextInvalidBaudRate, "Invalid baud rate!"},
    {kTextAddressesCaption, "EOL dataset addresses"},
    {kTextEepromTooLarge,
     "The control unit reports an EEPROM larger than 65535 cells!\nThe dataset cannot be "
     "transferred."},

    // The dataset dialogs.
    {kTextEditorTitle, "EOL data set"},
    {kTextProgramButton, "&Program"},
    {kTextSaveIntoFile, "&save into file..."},
    {kTextCancelButton, "Cancel"},
    {kTextStartField, "Start address dataset (hex):"},
    {kTextSizeField, "Size of EEPROM (dec):"},
    {kTextCheckStartField, "Start address check sum area (hex):"},
    {kTextCheckEndField, "End address check sum area (hex):"},
    {kTextChecksumField, "Address of check sum (hex):"},
    {kTextOkButton, "OK"},
    {kTextWithoutChecksum, "without check sum"},
    {kTextCellTitle, "EOL cell"},
    {kTextCellAddressRow, "Addresse"},
    {kTextCellCurrentRow, "Current value"},
    {kTextCellNewRow, "New value"},
    {kTextCellHex, "hex"},
    {kTextCellDec, "dec"},
    {kTextCellBin, "bin"},
    {kTextReadButton, "&Read"},
    {kTextWriteButton, "&Write"},
    {kTextBaudTitle, "Baud rate for block mode"},
    {kTextBaudField, "Baud rate for H-Bus block mode:"},
};

}  // namespace

std::span<const StringEntry> DatasetTexts() {
  return kTexts;
}

}  // namespace heatdiag
