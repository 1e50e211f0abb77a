// String ids of the dataset texts.
#pragma once

#include <cstdint>

namespace heatdiag {

inline constexpr std::uint32_t kTextDatasetIncomplete = 34001;
inline constexpr std::uint32_t kTextWrongInput = 34002;
inline constexpr std::uint32_t kTextDatasetAreaImplausible = 34003;
inline constexpr std::uint32_t kTextChecksumAreaImplausible = 34004;
inline constexpr std::uint32_t kTextReadEolCaption = 34005;
inline constexpr std::uint32_t kTextWriteEolCaption = 34006;
inline constexpr std::uint32_t kTextCannotOpenFile = 34007;
inline constexpr std::uint32_t kTextCannotCreateFile = 34008;
inline constexpr std::uint32_t kTextSyntaxError = 34009;
inline constexpr std::uint32_t kTextCannotWriteFile = 34010;
inline constexpr std::uint32_t kTextEolDatasetTitle = 34011;
inline constexpr std::uint32_t kTextFilterEol = 34012;
inline constexpr std::uint32_t kTextFilterPrn = 34013;
inline constexpr std::uint32_t kTextFilterTxt = 34014;
inline constexpr std::uint32_t kTextFilterAll = 34015;
inline constexpr std::uint32_t kTextLayoutImplausible = 34016;
inline constexpr std::uint32_t kTextPageNotSelectable = 34017;
inline constexpr std::uint32_t kTextTransferRunning = 34018;
inline constexpr std::uint32_t kTextInvalidBaudRate = 34019;
inline constexpr std::uint32_t kTextAddressesCaption = 34020;
inline constexpr std::uint32_t kTextEepromTooLarge = 34021;

// The dataset dialogs.
inline constexpr std::uint32_t kTextEditorTitle = 34100;
inline constexpr std::uint32_t kTextProgramButton = 34101;
inline constexpr std::uint32_t kTextSaveIntoFile = 34102;
inline constexpr std::uint32_t kTextCancelButton = 34103;
inline constexpr std::uint32_t kTextStartField = 34104;
inline constexpr std::uint32_t kTextSizeField = 34105;
inline constexpr std::uint32_t kTextCheckStartField = 34106;
inline constexpr std::uint32_t kTextCheckEndField = 34107;
inline constexpr std::uint32_t kTextChecksumField = 34108;
inline constexpr std::uint32_t kTextOkButton = 34109;
inline constexpr std::uint32_t kTextWithoutChecksum = 34110;
inline constexpr std::uint32_t kTextCellTitle = 34111;
inline constexpr std::uint32_t kTextCellAddressRow = 34112;
inline constexpr std::uint32_t kTextCellCurrentRow = 34113;
inline constexpr std::uint32_t kTextCellNewRow = 34114;
inline constexpr std::uint32_t kTextCellHex = 34115;
inline constexpr std::uint32_t kTextCellDec = 34116;
inline constexpr std::uint32_t kTextCellBin = 34117;
inline constexpr std::uint32_t kTextReadButton = 34118;
inline constexpr std::uint32_t kTextWriteButton = 34119;
inline constexpr std::uint32_t kTextBaudTitle = 34120;
inline constexpr std::uint32_t kTextBaudField = 34121;

}  // namespace heatdiag
