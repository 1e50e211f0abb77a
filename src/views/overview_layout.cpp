#include "views/overview_layout.h"

#include <algorithm>
#include <cmath>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kIndentOnly = kOverviewIndentSides | kOverviewIndentTopBottom;
constexpr std::size_t kTextChars = 255;

int Scale(std::uint16_t edge, int size) {
  return static_cast<int>((static_cast<long long>(edge) * size + 5000) / 10000);
}

std::uint32_t MapComponents(std::uint32_t colour, std::uint32_t (*map)(std::uint32_t)) {
  std::uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t c = (colour >> shift) & 0xFF;
    result |= std::min<std::uint32_t>(map(c), 255) << shift;
  }
  return result;
}

double ReadDouble(std::uint32_t item, std::uint32_t selector) {
  double value = 0.0;
  StoreRead(item, kStoreDouble | selector, sizeof value, &value);
  return value;
}

}  // namespace

bool OverviewRect::Intersects(const OverviewRect& other) const {
  return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
}

OverviewRect OverviewElementRect(const OverviewElement& element, int width, int height) {
  return {Scale(element.left, width), Scale(element.top, height), Scale(element.right, width),
          Scale(element.bottom, height)};
}

int OverviewFrameThickness(const OverviewRect& rect) {
  const int extent = std::max(0, std::min(rect.Width(), rect.Height()));
  return (extent + 17) / 20;
}

std::uint32_t OverviewLightColour(std::uint32_t colour) {
  return MapComponents(colour, [](std::uint32_t c) { return c * 2; });
}

std::uint32_t OverviewDarkColour(std::uint32_t colour) {
  return MapComponents(colour, [](std::uint32_t c) { return c / 2; });
}

OverviewFrameKind OverviewFrameOf(std::uint32_t style) {
  if ((style & kOverviewFrame) == 0 || (style & kIndentOnly) != 0) return OverviewFrameKind::kNone;
  return (style & kOverviewSunken) != 0 ? OverviewFrameKind::kSunken : OverviewFrameKind::kRaised;
}

OverviewRect OverviewInnerRect(const OverviewRect& rect, std::uint32_t style) {
  if ((style & kOverviewFrame) == 0) return rect;
  const int t = OverviewFrameThickness(rect);
  const bool sides = (style & kOverviewIndentSides) != 0;
  const bool topBottom = (style & kOverviewIndentTopBottom) != 0;
  const bool all = !sides && !topBottom;  // a drawn frame: the content goes inside it
  OverviewRect inner = rect;
  if (all || sides) {
    inner.left += t;
    inner.right -= t;
  }
  if (all || topBottom) {
    inner.top += t;
    inner.bottom -= t;
  }
  if (inner.right < inner.left) inner.right = inner.left;
  if (inner.bottom < inner.top) inner.bottom = inner.top;
  return inner;
}

OverviewAlign OverviewAlignOf(std::uint32_t style) {
  if ((style & kOverviewLeft) != 0) return OverviewAlign::kLeft;
  if ((style & kOverviewRight) != 0) return OverviewAlign::kRight;
  return OverviewAlign::kCentre;
}

int OverviewBarFillRight(const OverviewRect& inner, double value, double lower, double upper) {
  const double range = upper - lower;
  if (!std::isfinite(value) || !std::isfinite(range) || range == 0.0) return inner.left;
  const double fraction = std::clamp((value - lower) / range, 0.0, 1.0);
  return inner.left + static_cast<int>(std::lround(fraction * inner.Width()));
}

OverviewTickSteps OverviewScaleSteps(long long span) {
  struct Step {
    long long below;
    OverviewTickSteps steps;
  };
  constexpr Step kSteps[] = {
      {10, {1, 0}},         {100, {10, 1}},          {500, {10, 5}},
      {1000, {100, 10}},    {5000, {100, 50}},       {10000, {1000, 100}},
      {50000, {1000, 500}}, {100000, {10000, 1000}}, {500000, {10000, 5000}},
  };
  for (const Step& step : kSteps) {
    if (span < step.below) return step.steps;
  }
  return {100000, 10000};
}

bool OverviewTickSeriesFits(long long span, long long step, int width) {
  if (span <= 0 || step <= 0 || width <= 0) return false;
  const long long ticks = span / step + 1;
  return ticks <= width / 2;
}

int OverviewTickX(const OverviewRect& inner, long long offset, long long span) {
  if (span <= 0) return inner.left;
  const long long last = std::max(0, inner.Width() - 1);
  return inner.left + static_cast<int>(offset * last / span);
}

int OverviewScaleLabelHeight(const OverviewRect& inner) {
  return (inner.Height() + 1) / 2 + 2;
}

std::uint32_t OverviewLampLitColour(std::uint32_t colour) {
  return MapComponents(colour, [](std::uint32_t c) { return c + c / 4 + 0x20; });
}

std::uint32_t OverviewLampUnlitColour(std::uint32_t colour) {
  return MapComponents(colour, [](std::uint32_t c) { return c / 3; });
}

std::uint32_t OverviewLampHighlightColour(std::uint32_t colour) {
  return MapComponents(OverviewLampLitColour(colour),
                       [](std::uint32_t c) { return (c + 255) / 2; });
}

std::string OverviewScaleLabel(double value, double resolution) {
  return FormatReal(value, resolution > 0.0 ? resolution : 1.0);
}

OverviewElementState ReadOverviewElement(const OverviewElement& element) {
  OverviewElementState state;
  if (element.type == kOverviewText) {
    state.draw = true;
    state.valid = true;
    state.text = LoadString(element.item, kTextChars);
    return state;
  }
  const std::uint32_t item = element.item;
  if (StoreGetPresent(item) == 0) return state;
  state.draw = true;
  state.valid = StoreGetShown(item) != 0;
  switch (element.type) {
    case kOverviewName:
      state.text = StoreGetName(
          item, (element.style & kOverviewShortName) != 0 ? NameForm::kShort : NameForm::kLong);
      break;
    case kOverviewValue:
      state.text = StoreReadText(item).substr(0, 63);
      break;
    case kOverviewUnit:
      state.text = StoreGetUnit(item);
      break;
    case kOverviewBar:
      state.value = ReadDouble(item, 0);
      state.lower = ReadDouble(item, kStoreLowerBound);
      state.upper = ReadDouble(item, kStoreUpperBound);
      break;
    case kOverviewScale:
      state.lower = ReadDouble(item, kStoreLowerBound);
      state.upper = ReadDouble(item, kStoreUpperBound);
      state.resolution = ReadDouble(item, kStoreResolution);
      // The middle label: the middle of the range, in the row's step.
      state.text = OverviewScaleLabel((state.lower + state.upper) / 2.0, state.resolution);
      break;
    case kOverviewLamp: {
      std::int32_t value = 0;
      StoreRead(item, kStoreS32, sizeof value, &value);
      state.lit = value != 0;
      break;
    }
    default:
      state.draw = false;  // a type this program does not know draws nothing
      break;
  }
  return state;
}

int OverviewElementAt(std::span<const OverviewElement> elements, int width, int height, int x,
                      int y) {
  for (std::size_t i = elements.size(); i-- > 0;) {
    if (OverviewElementRect(elements[i], width, height).Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

std::span<const OverviewElement> SelectedOverviewElements() {
  const DeviceDriver* driver = SelectedDriver();
  if (driver == nullptr || driver->GetOverviewElements == nullptr) return {};
  const OverviewElement* elements = nullptr;
  const std::uint32_t count = driver->GetOverviewElements(&elements);
  if (elements == nullptr || count == 0) return {};
  return {elements, count};
}

}  // namespace heatdiag
