// One display element of the overview schematic: a driver supplies a table of them, each bound
// to a store row, and the overview lays them out in proportion to its size.
#pragma once

#include <cstdint>

namespace heatdiag {

enum OverviewElementType : std::uint16_t {
  kOverviewName = 0,   // the row's name (style bit 27: the short name)
  kOverviewValue = 1,  // the row's value text
  kOverviewUnit = 2,   // the row's unit
  kOverviewBar = 3,    // the value between the row's graph limits
  kOverviewScale = 4,  // a ruler over the row's graph range
  kOverviewLamp = 5,   // lit while the value is not 0
  kOverviewText = 10,  // a fixed text; the item is its string id
};

// Style flags.
enum OverviewStyle : std::uint32_t {
  kOverviewBold = 0x1,
  kOverviewItalic = 0x2,
  kOverviewUnderline = 0x4,
  kOverviewStrikeOut = 0x8,
  kOverviewFrame = 0x00FF0000,        // any bit: a 3D frame around the element
  kOverviewSunken = 0x00010000,       // the frame is sunken instead of raised
  kOverviewIndentSides = 0x00100000,  // only indent left and right by the frame width
  kOverviewIndentTopBottom = 0x00200000,
  kOverviewTransparent = 0x01000000,  // the background is not filled
  kOverviewRight = 0x02000000,
  kOverviewLeft = 0x04000000,
  kOverviewShortName = 0x08000000,
};

struct OverviewElement {
  std::uint16_t type;
  std::uint16_t left;  // edges in 1/10000 of the window's client width and height
  std::uint16_t right;
  std::uint16_t top;
  std::uint16_t bottom;
  std::uint32_t item;        // store row (a string id for kOverviewText)
  std::uint32_t background;  // colours 0x00BBGGRR
  std::uint32_t valid;       // foreground while the value is valid
  std::uint32_t invalid;     // foreground while it is not
  std::uint32_t style;
};

}  // namespace heatdiag
