// The geometry and colours of the overview schematic, apart from any drawing library: where an
// element lies at a given client size, its 3D frame, the bar's fill, the scale's ticks, the lamp's
// shades, and what each element shows of its store row. The painter (views/qtgui) draws from
// these; the window (views/gui) and the command line place and invalidate by them.
//
// Choices of this program where the element types leave room:
// - Scale: the middle label shows the middle of the range; the row's third limit (its step) sets
//   the decimals of all three labels; the scale draws no "[%]" of its own (a unit element beside
//   it names the unit). Labels stand on the major ticks.
// - Lamp: lit is the foreground brightened (each component + 1/4 + 32), unlit the foreground at a
//   third, the highlight spot halfway between lit and white.
// - Bar: equal limits (or a value that is no number) show the bar empty.
// - Text: the font's em height is the inner height of the element.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "views/overview_element.h"

namespace heatdiag {

// Client background of the overview: RGB(192, 192, 192).
inline constexpr std::uint32_t kOverviewBackground = 0xC0C0C0;

// A rectangle in client pixels; right and bottom are exclusive.
struct OverviewRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool Intersects(const OverviewRect& other) const;
  friend bool operator==(const OverviewRect&, const OverviewRect&) = default;
};

// The element's edges at client width w and height h: (edge x size + 5000) / 10000.
OverviewRect OverviewElementRect(const OverviewElement& element, int width, int height);

// Thickness of the 3D frame: (min(width, height) + 17) / 20.
int OverviewFrameThickness(const OverviewRect& rect);
// Each component doubled (at most 255), and each halved.
std::uint32_t OverviewLightColour(std::uint32_t colour);
std::uint32_t OverviewDarkColour(std::uint32_t colour);

enum class OverviewFrameKind { kNone, kRaised, kSunken };
// Frame lines are drawn for a style with a frame bit unless it only asks for an indent.
OverviewFrameKind OverviewFrameOf(std::uint32_t style);
// Where the content goes: inside the frame, or indented by the frame width on the sides the
// indent bits name.
OverviewRect OverviewInnerRect(const OverviewRect& rect, std::uint32_t style);

enum class OverviewAlign { kLeft, kCentre, kRight };
OverviewAlign OverviewAlignOf(std::uint32_t style);

// The right end of a bar's filled part inside `inner`: left + (v - lo) / (hi - lo) x width,
// clamped to the element. Equal limits (and values that are not numbers) leave the bar empty.
int OverviewBarFillRight(const OverviewRect& inner, double value, double lower, double upper);

// Major and minor tick step of a scale over `span` (upper - lower, rounded); minor 0: none.
struct OverviewTickSteps {
  long long major = 1;
  long long minor = 0;
};
OverviewTickSteps OverviewScaleSteps(long long span);
// Tick positions run from the left edge in proportion to the span; a series is drawn only if it
// has at most half as many ticks as the element is pixels wide.
bool OverviewTickSeriesFits(long long span, long long step, int width);
int OverviewTickX(const OverviewRect& inner, long long offset, long long span);
// Scale labels need an element more than 7 pixels high; their font height.
inline constexpr int kOverviewScaleLabelMinHeight = 8;
int OverviewScaleLabelHeight(const OverviewRect& inner);

// Lamp shades of a foreground colour: lit brightened, unlit darkened, and the highlight spot.
std::uint32_t OverviewLampLitColour(std::uint32_t colour);
std::uint32_t OverviewLampUnlitColour(std::uint32_t colour);
std::uint32_t OverviewLampHighlightColour(std::uint32_t colour);

// What an element shows of its store row, read under the store's lock.
struct OverviewElementState {
  bool draw = false;   // types 0..5: the row is present; type 10: always
  bool valid = false;  // the row's value is valid (its shown flag); type 10: always
  std::string text;    // types 0, 1, 2, 10; type 4: the middle label
  double value = 0.0;  // type 3
  double lower = 0.0;  // types 3, 4
  double upper = 0.0;
  double resolution = 0.0;  // type 4: the third limit, the labels' step
  bool lit = false;         // type 5: the value is not 0
};
OverviewElementState ReadOverviewElement(const OverviewElement& element);

// The scale's labels: lower, middle and upper limit formatted with the row's step.
std::string OverviewScaleLabel(double value, double resolution);

// The colour an element's content is drawn in.
inline std::uint32_t OverviewForeground(const OverviewElement& element, bool valid) {
  return valid ? element.valid : element.invalid;
}

// The element under a client point at the given size (the last one drawn wins), or -1.
int OverviewElementAt(std::span<const OverviewElement> elements, int width, int height, int x,
                      int y);

// The elements of the selected driver (empty without a device or an overview).
std::span<const OverviewElement> SelectedOverviewElements();

}  // namespace heatdiag
