// String ids of the protocol's and the measurement log's own texts (views/texts.cpp).
#pragma once

#include <cstdint>

namespace heatdiag {

inline constexpr std::uint32_t kTextStateChange = 33400;        // "%s -> %s (%ds)"
inline constexpr std::uint32_t kTextProtocolFileTitle = 23007;  // "Protocol file"
inline constexpr std::uint32_t kTextProtocolDialogCaption = 33401;
inline constexpr std::uint32_t kTextProtocolFileLabel = 33402;
inline constexpr std::uint32_t kTextSearchButton = 33403;
inline constexpr std::uint32_t kTextWriteInterval = 33404;
inline constexpr std::uint32_t kTextSaveProtocolAs = 33405;
inline constexpr std::uint32_t kTextShowTimeStamps = 33406;
inline constexpr std::uint32_t kTextCopyLines = 33407;
inline constexpr std::uint32_t kTextSelectAllLines = 33408;
inline constexpr std::uint32_t kTextProtocolFilter = 33409;
inline constexpr std::uint32_t kTextSaveProtocolCaption = 33410;
inline constexpr std::uint32_t kTextCannotCreateFile = 33411;  // "Cannot create file %s!"

}  // namespace heatdiag
