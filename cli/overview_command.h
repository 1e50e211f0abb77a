// heatdiag-cli overview: renders the overview schematic of the live data into a PNG picture.
#pragma once

#include <functional>
#include <ostream>
#include <span>
#include <string>

#include "base/settings.h"
#include "cli/connected_run.h"
#include "views/overview_element.h"

namespace heatdiag::cli {

struct OverviewOptions : ConnectedRunOptions {
  std::string out;   // the PNG file
  std::string size;  // "WxH"; empty: the default size
  int seconds = 2;   // polling after the connection pass, so that the values are live
  bool json = false;
};

inline constexpr int kOverviewDefaultWidth = 800;
inline constexpr int kOverviewDefaultHeight = 600;
inline constexpr int kOverviewMinExtent = 16;
inline constexpr int kOverviewMaxExtent = 8192;

// "640x480" to a size within 16..8192 on each side; false for anything else.
bool ParseOverviewSize(const std::string& text, int& width, int& height);

// Draws the elements from the store at the given size into a picture file; false with the
// reason in `error`. The program installs one that paints with QtGui; without one the
// subcommand reports that it cannot render.
using OverviewPictureWriter =
    std::function<bool(std::span<const OverviewElement> elements, int width, int height,
                       const std::string& path, std::string& error)>;
void SetOverviewPictureWriter(OverviewPictureWriter writer);

// Returns 0 when the picture was written from complete data, 1 when the connection pass did not
// complete or the picture could not be written, 2 for unusable options.
int RunOverview(const OverviewOptions& options, SettingsBackend& store, std::ostream& out,
                std::ostream& err);
int RunOverview(const OverviewOptions& options, std::ostream& out, std::ostream& err);

}  // namespace heatdiag::cli
