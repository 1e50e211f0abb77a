// The overview schematic as a PNG file, drawn offscreen: for the command line, which has no
// windows.
#pragma once

#include <span>
#include <string>

#include "views/overview_element.h"

namespace heatdiag {

// Draws the elements from the store at width x height and writes the picture to `path` through a
// temporary file beside it, so that a picture already there stays whole if writing fails. Starts
// an offscreen QGuiApplication for the drawing when the program has none. False, with the reason
// in `error`, when the picture cannot be made or written.
bool SaveOverviewPicture(std::span<const OverviewElement> elements, int width, int height,
                         const std::string& path, std::string& error);

}  // namespace heatdiag
