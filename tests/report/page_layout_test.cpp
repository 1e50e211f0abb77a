#include <gtest/gtest.h>

#include <string>

#include "report/page_layout.h"

namespace heatdiag {
namespace {

std::string Lines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) {
    if (i > 1) text += '\n';
    text += "line " + std::to_string(i);
  }
  return text;
}

TEST(PageLayout, SeventyFiveLinesAPage) {
  const std::pair<int, int> cases[] = {{1, 1}, {75, 1}, {76, 2}, {150, 2}, {151, 3}};
  for (const auto& [lines, pages] : cases) {
    const std::string text = Lines(lines);
    EXPECT_EQ(TextLineCount(text), lines);
    EXPECT_EQ(PageCount(lines), pages) << lines;
    EXPECT_EQ(static_cast<int>(SplitPages(text).size()), pages) << lines;
  }
  const auto pages = SplitPages(Lines(76));
  EXPECT_EQ(TextLineCount(pages[0]), 75);
  EXPECT_EQ(pages[1], "line 76");
  // An empty text is one empty line on one page; a final line feed starts an empty line.
  EXPECT_EQ(SplitPages(""), std::vector<std::string>{""});
  EXPECT_EQ(TextLineCount("a\n"), 2);
}

TEST(PageLayout, FrameOfAnA4PageAt600Dpi) {
  // 4960 x 7016 device units.
  const PageFrame frame = ComputePageFrame(4960, 7016);
  const int vertical = 7016 / 40;         // 175
  const int inner = 7016 - 2 * vertical;  // 6666
  const int header = inner / 25;          // 266
  EXPECT_EQ(frame.title, (PageRect{496, vertical, 4340 - 1446, header}));
  EXPECT_EQ(frame.titleFontHeight, header / 2);
  EXPECT_EQ(frame.companyFirst, (PageRect{496 + 2894, vertical, 1446, 177}));
  EXPECT_EQ(frame.companySecond, (PageRect{496 + 2894, vertical + 177, 1446, header - 177}));
  EXPECT_EQ(frame.upperBar, (PageRect{496, vertical + header, 4340, inner / 400}));
  EXPECT_EQ(frame.footer, (PageRect{496, 7016 - vertical - inner / 80, 4340, inner / 80}));
  EXPECT_EQ(frame.lowerBar.Bottom(), frame.footer.top);
  EXPECT_EQ(frame.body.top, frame.upperBar.Bottom());
  EXPECT_EQ(frame.body.Bottom(), frame.lowerBar.top);
  EXPECT_EQ(frame.bodyCharHeight, frame.body.height / 79);
  // W/100 would carry a summary line of 105 characters past the right margin.
  EXPECT_EQ(frame.bodyCharWidth, 4340 / 105);
  EXPECT_EQ(ComputePageFrame(200, 300).bodyCharWidth, 1);
  EXPECT_EQ(frame.bodyTextTop, frame.body.top + frame.bodyCharHeight / 2);
  // 75 lines fit into the body below the half-line start.
  EXPECT_LE(frame.bodyTextTop + 75 * frame.bodyCharHeight, frame.body.Bottom());
}

}  // namespace
}  // namespace heatdiag
