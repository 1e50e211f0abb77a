// Appending text to a file all at once or not at all.
#pragma once

#include <cstddef>
#include <string>

namespace heatdiag {

// Appends `size` bytes to the file (created when missing). A write that fails part-way is cut
// off again, so that the file never ends in half a line. False when the file cannot be opened
// or the bytes not written.
bool AppendWhole(const std::string& path, const char* data, std::size_t size);

}  // namespace heatdiag
