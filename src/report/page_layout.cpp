#include "report/page_layout.h"

#include <algorithm>

namespace heatdiag {

int TextLineCount(std::string_view text) {
  int lines = 1;
  for (char c : text)
    if (c == '\n') ++lines;
  return lines;
}

int PageCount(int lines) {
  return (lines + kLinesPerPage - 1) / kLinesPerPage;
}

std::vector<std::string> SplitPages(std::string_view text) {
  std::vector<std::string> pages;
  std::string page;
  int lines = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (lines > 0) page += '\n';
    page += line;
    if (++lines == kLinesPerPage) {
      pages.push_back(std::move(page));
      page.clear();
      lines = 0;
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (lines > 0) pages.push_back(std::move(page));
  return pages;
}

PageFrame ComputePageFrame(int width, int height) {
  const int left = width / 10;
  const int right = width / 40;
  const int vertical = height / 40;
  const int inner = height - 2 * vertical;
  const int header = inner / 25;
  const int bar = inner / 400;
  const int footer = inner / 80;
  const int usable = width - left - right;
  const int third = usable / 3;

  PageFrame frame;
  frame.title = {left, vertical, usable - third, header};
  frame.titleFontHeight = header / 2;
  const int first = 2 * header / 3;
  frame.companyFirst = {left + usable - third, vertical, third, first};
  frame.companySecond = {left + usable - third, vertical + first, third, header - first};
  frame.upperBar = {left, vertical + header, usable, bar};
  frame.footer = {left, height - vertical - footer, usable, footer};
  frame.lowerBar = {left, frame.footer.top - bar, usable, bar};
  frame.body = {left, frame.upperBar.Bottom(), usable,
                frame.lowerBar.top - frame.upperBar.Bottom()};
  frame.bodyCharHeight = frame.body.height / kBodyLineDivisor;
  // W/100, narrower where the longest summary line would run past the right margin.
  frame.bodyCharWidth = std::min(width / 100, usable / kBodyLineChars);
  frame.bodyTextTop = frame.body.top + frame.bodyCharHeight / 2;
  return frame;
}

}  // namespace heatdiag
