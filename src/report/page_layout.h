// The printed page: how a text is split into pages and where header, bars, footer and body sit
// on a printable area of W x H device units. All divisions truncate.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace heatdiag {

inline constexpr int kLinesPerPage = 75;
// The body's character height is its height divided by this.
inline constexpr int kBodyLineDivisor = 79;
// The longest line of a summary: two blanks, name, dots and value in 90, a blank, a unit of 12.
inline constexpr int kBodyLineChars = 105;

// 1 + the number of line feeds.
int TextLineCount(std::string_view text);
// (lines + 74) / 75.
int PageCount(int lines);
// The text of each page: the next 75 lines, joined by line feeds.
std::vector<std::string> SplitPages(std::string_view text);

struct PageRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int Right() const { return left + width; }
  int Bottom() const { return top + height; }
  bool operator==(const PageRect&) const = default;
};

struct PageFrame {
  PageRect title;          // left two thirds of the header
  PageRect companyFirst;   // right third, upper part
  PageRect companySecond;  // right third, below it
  int titleFontHeight = 0;
  PageRect upperBar;
  PageRect lowerBar;
  PageRect footer;  // split into thirds: date and time, product, page number
  PageRect body;
  int bodyCharHeight = 0;
  int bodyCharWidth = 0;
  int bodyTextTop = 0;  // half a line below the upper bar
};

PageFrame ComputePageFrame(int width, int height);

}  // namespace heatdiag
