// The toolbar's command images and the program icon, drawn as vector images so that they stay
// crisp at every screen scale.
#pragma once

#include <QIcon>
#include <QString>
#include <cstdint>

namespace heatdiag {

// The resource path of a command's image; empty for a command without one.
QString CommandIconPath(std::uint32_t command);
// The command's image rendered at 16, 24, 32 and 48 pixels; a null icon without an image.
QIcon CommandIcon(std::uint32_t command);
QIcon ProgramIcon();

}  // namespace heatdiag
