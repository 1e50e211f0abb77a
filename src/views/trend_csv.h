// The Actual values graph as a CSV file for a repair report: a time column, then one column per
// channel headed by its name and unit. Cells are separated by ";" because the values carry the
// shown decimal comma. The file is written beside the target and renamed over it only when it is
// complete, so that a good file is never replaced by half a file.
#pragma once

#include <cstdint>
#include <string>

#include "views/trend_buffer.h"

namespace heatdiag {

// The samples first..first + count - 1 of channel 0's numbering (0 = the oldest kept); other
// channels are aligned on their newest sample. newestMs: wall-clock time of the newest sample in
// milliseconds since the epoch; the time column then shows local date and time with tenths,
// without it (0) the age of each sample in seconds ("-12,5").
std::string TrendCsvText(const TrendBuffer& buffer, std::uint32_t first, std::uint32_t count,
                         std::int64_t newestMs);

// Writes TrendCsvText to path. False with a reason in *error when the file cannot be written;
// the target is then left as it was.
bool WriteTrendCsv(const std::string& path, const TrendBuffer& buffer, std::uint32_t first,
                   std::uint32_t count, std::int64_t newestMs, std::string* error);

// Writes bytes to path through a temporary file in the same folder, flushed and renamed over the
// target. False with a reason in *error; no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error);

}  // namespace heatdiag
