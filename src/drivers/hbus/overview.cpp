#include "drivers/hbus/overview.h"

#include <array>
#include <cstdint>

#include "drivers/hbus/texts.h"

namespace heatdiag::hbus {
namespace {

// Colours 0x00BBGGRR.
constexpr std::uint32_t kPanel = 0xC0C0C0;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kDarkBlue = 0x800000;
constexpr std::uint32_t kGreen = 0x00C000;
constexpr std::uint32_t kOrange = 0x0080FF;

constexpr std::uint32_t kNameStyle = kOverviewTransparent | kOverviewLeft | kOverviewShortName;
constexpr std::uint32_t kValueStyle = kOverviewSunken | kOverviewRight;
constexpr std::uint32_t kUnitStyle = kOverviewTransparent | kOverviewLeft;
constexpr std::uint32_t kHeaderStyle = kOverviewBold | kOverviewTransparent | kOverviewLeft;

constexpr std::uint16_t kRowHeight = 400;
constexpr std::uint16_t kRowGap = 80;

struct Box {
  std::uint16_t left, right, top, bottom;
};

constexpr OverviewElement Element(std::uint16_t type, Box box, std::uint32_t item,
                                  std::uint32_t background, std::uint32_t valid,
                                  std::uint32_t invalid, std::uint32_t style) {
  return {type, box.left, box.right, box.top, box.bottom, item, background, valid, invalid, style};
}

class Builder {
 public:
  constexpr void Header(std::uint16_t left, std::uint16_t top, std::uint32_t textId) {
    Add(Element(kOverviewText,
                {left, static_cast<std::uint16_t>(left + 4400), top,
                 static_cast<std::uint16_t>(top + kRowHeight)},
                textId, kPanel, kDarkBlue, kDarkBlue, kHeaderStyle));
  }
  // Name, value, unit and, optionally, a bar over the row's range.
  constexpr void Measured(std::uint16_t left, std::uint16_t top, std::uint32_t row, bool bar) {
    const auto bottom = static_cast<std::uint16_t>(top + kRowHeight);
    Add(Element(kOverviewName, {left, static_cast<std::uint16_t>(left + 1500), top, bottom}, row,
                kPanel, kBlack, kGrey, kNameStyle));
    Add(Element(kOverviewValue,
                {static_cast<std::uint16_t>(left + 1550), static_cast<std::uint16_t>(left + 2600),
                 top, bottom},
                row, kWhite, kBlack, kGrey, kValueStyle));
    Add(Element(kOverviewUnit,
                {static_cast<std::uint16_t>(left + 2650), static_cast<std::uint16_t>(left + 3250),
                 top, bottom},
                row, kPanel, kBlack, kGrey, kUnitStyle));
    if (bar) {
      Add(Element(kOverviewBar,
                  {static_cast<std::uint16_t>(left + 3300), static_cast<std::uint16_t>(left + 4400),
                   static_cast<std::uint16_t>(top + 60), static_cast<std::uint16_t>(bottom - 60)},
                  row, kWhite, kOrange, kGrey, kValueStyle));
    }
  }
  // A lamp and the row's short name beside it.
  constexpr void Lamp(std::uint16_t left, std::uint16_t top, std::uint32_t row) {
    const auto bottom = static_cast<std::uint16_t>(top + kRowHeight);
    Add(Element(kOverviewLamp, {left, static_cast<std::uint16_t>(left + 350), top, bottom}, row,
                kPanel, kGreen, kGrey, kOverviewSunken));
    Add(Element(kOverviewName,
                {static_cast<std::uint16_t>(left + 400), static_cast<std::uint16_t>(left + 2150),
                 top, bottom},
                row, kPanel, kBlack, kGrey, kNameStyle));
  }
  // A text value over the whole width, with its long name.
  constexpr void Wide(std::uint16_t top, std::uint32_t row) {
    const auto bottom = static_cast<std::uint16_t>(top + kRowHeight);
    Add(Element(kOverviewName, {200, 2400, top, bottom}, row, kPanel, kBlack, kGrey,
                kOverviewTransparent | kOverviewLeft));
    Add(Element(kOverviewValue, {2450, 9800, top, bottom}, row, kWhite, kBlack, kGrey,
                kOverviewSunken | kOverviewLeft));
  }
  constexpr void Add(const OverviewElement& element) { elements[count++] = element; }

  std::array<OverviewElement, kOverviewElements> elements{};
  std::size_t count = 0;
};

constexpr std::uint16_t RowTop(std::uint16_t sectionTop, int index) {
  return static_cast<std::uint16_t>(sectionTop + kRowHeight + kRowGap +
                                    index * (kRowHeight + kRowGap));
}

constexpr Builder Build() {
  Builder b;
  // Measured values, left top.
  constexpr std::uint16_t kMeasuredTop = 200;
  b.Header(200, kMeasuredTop, kTextOverviewMeasured);
  constexpr struct {
    std::uint32_t row;
    bool bar;
  } kMeasured[] = {{30, true}, {31, true}, {33, false}, {34, false}, {35, false}, {140, false}};
  for (int i = 0; i < 6; ++i)
    b.Measured(200, RowTop(kMeasuredTop, i), kMeasured[i].row, kMeasured[i].bar);

  // Actuator levels, left bottom.
  constexpr std::uint16_t kActuatorTop = 3500;
  b.Header(200, kActuatorTop, kTextOverviewActuators);
  constexpr std::uint32_t kActuators[] = {3, 4, 5, 6, 7};
  for (int i = 0; i < 5; ++i) b.Measured(200, RowTop(kActuatorTop, i), kActuators[i], true);

  // Component states, right top: two columns of lamps.
  constexpr std::uint16_t kComponentTop = 200;
  b.Header(5300, kComponentTop, kTextOverviewComponents);
  constexpr std::uint32_t kComponents[] = {17, 18, 19, 20, 21, 22, 23, 24, 25, 32};
  for (int i = 0; i < 10; ++i)
    b.Lamp(static_cast<std::uint16_t>(5300 + (i / 5) * 2300), RowTop(kComponentTop, i % 5),
           kComponents[i]);

  // Inputs, right bottom.
  constexpr std::uint16_t kInputTop = 3500;
  b.Header(5300, kInputTop, kTextOverviewInputs);
  constexpr std::uint32_t kInputs[] = {8, 9, 10, 11, 12, 13, 14, 15, 16};
  for (int i = 0; i < 9; ++i)
    b.Lamp(static_cast<std::uint16_t>(5300 + (i / 5) * 2300), RowTop(kInputTop, i % 5), kInputs[i]);

  // Operating state and device state across the bottom.
  b.Wide(6900, 52);
  b.Wide(6900 + kRowHeight + kRowGap, 143);
  return b;
}

constexpr Builder kOverview = Build();
static_assert(kOverview.count == kOverviewElements);

}  // namespace

std::span<const OverviewElement> HBusOverview() {
  return kOverview.elements;
}

}  // namespace heatdiag::hbus
