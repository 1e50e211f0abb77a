#include "dataset/eol_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dataset/dataset_texts.h"

namespace heatdiag {
namespace {

DatasetImage Image(std::uint16_t start, std::uint16_t size) {
  DatasetImage image;
  image.start = start;
  image.size = size;
  image.cells.assign(size, DatasetCell{});
  return image;
}

struct Parsed {
  bool ok;
  EolFileError error;
  DatasetImage image;
};

Parsed Parse(const std::string& text, std::uint16_t start = 1, std::uint16_t size = 0x200) {
  Parsed p{false, {}, Image(start, size)};
  std::istringstream in(text);
  p.ok = ParseEolText(in, &p.image, &p.error);
  return p;
}

TEST(EolReadTest, LinesAndTheirSyntax) {
  struct Case {
    const char* what;
    const char* text;
    int errorLine;  // 0: reads
  } const cases[] = {
      {"comments only", "; header\n\n   \n\"quoted\n", 0},
      {"plain", "0010    5A    90\n", 0},
      {"prefixes and trailing text", "  0x10  0x5a  anything at all\n", 0},
      {"address at size", "0010 5A\n0200 01\n", 2},
      {"no hex digit with start 0", "zz 01\n", 1},
      {"no value", "0010\n", 1},
      {"value of 100", "; c\n0010 100\n", 2},
      {"same address twice", "0010 01\n0011 02\n0x10 03\n", 3},
      {"below start ignored", "0000 FF\n0010 01\n", 0},
  };
  for (const Case& c : cases) {
    const std::uint16_t start = std::string(c.what) == "no hex digit with start 0" ? 0 : 1;
    const Parsed p = Parse(c.text, start);
    EXPECT_EQ(p.ok, c.errorLine == 0) << c.what;
    if (c.errorLine != 0) {
      EXPECT_EQ(p.error.line, c.errorLine) << c.what;
      EXPECT_EQ(p.error.text, "Syntax error in line " + std::to_string(c.errorLine) + "!");
      EXPECT_EQ(p.error.captionId, kTextReadEolCaption);
    }
  }
}

TEST(EolReadTest, CellsReadAndCleared) {
  Parsed p = Parse("0010    5A    90\n");
  Parsed q = Parse("0x10 0x5a ; with a wrong decimal 1\n");
  ASSERT_TRUE(p.ok && q.ok);
  EXPECT_EQ(p.image.cells[0x10].value, 0x5A);
  EXPECT_EQ(p.image.cells[0x10].alt, 0x5A);
  EXPECT_EQ(p.image.cells[0x10].flags, CELL_VALID | CELL_CHANGED);
  EXPECT_EQ(q.image.cells[0x10].value, p.image.cells[0x10].value);
  EXPECT_EQ(p.image.cells[0x11].flags, 0);

  // Reading clears what the image held, and a start of 1 ignores address 0.
  DatasetImage image = Image(1, 0x200);
  image.cells[5] = {1, CELL_VALID, 1};
  std::istringstream in("0000 01\n; nothing else\n");
  ASSERT_TRUE(ParseEolText(in, &image, nullptr));
  for (const DatasetCell& cell : image.cells) EXPECT_EQ(cell.flags, 0);
}

TEST(EolWriteTest, ExactFormat) {
  DatasetImage image = Image(1, 512);
  image.cells[1].value = 0xAB;
  image.cells[0x1FF].value = 7;
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 9;
  t.tm_wday = 3;
  t.tm_hour = 7;
  t.tm_min = 16;
  t.tm_sec = 20;
  std::ostringstream out;
  FormatEolText(out, image, t);
  std::istringstream lines(out.str());
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  const std::string separator = ";" + std::string(73, '*');
  ASSERT_EQ(all.size(), 3u + 511u + 1u);
  EXPECT_EQ(all[0], separator);
  EXPECT_EQ(all[0].size(), 74u);
  EXPECT_EQ(all[1], "; Wed Dec  9 07:16:20 2026");
  EXPECT_EQ(all[2], separator);
  EXPECT_EQ(all[3], "0001    AB    171");
  EXPECT_EQ(all[4], "0002    00    0");
  EXPECT_EQ(all[513], "01FF    07    7");
  EXPECT_EQ(all.back(), separator);

  // What is written reads back the same.
  DatasetImage back = Image(1, 512);
  std::istringstream in(out.str());
  ASSERT_TRUE(ParseEolText(in, &back, nullptr));
  EXPECT_EQ(back.cells[1].value, 0xAB);
  EXPECT_EQ(back.cells[0x1FF].value, 7);
  EXPECT_EQ(back.cells[0x100].flags, CELL_VALID | CELL_CHANGED);
}

class EolFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("eol_file_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(EolFileTest, WritesAtomicallyAndReadsBack) {
  const std::string path = (dir_ / "a.eol").string();
  DatasetImage image = Image(0, 16);
  image.cells[3].value = 0x33;
  ASSERT_TRUE(WriteEolFile(path, image, nullptr));
  DatasetImage back = Image(0, 16);
  ASSERT_TRUE(ReadEolFile(path, &back, nullptr));
  EXPECT_EQ(back.cells[3].value, 0x33);
  // Only the file itself is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(EolFileTest, FailuresNameTheFileAndKeepTheOldOne) {
  EolFileError error;
  DatasetImage image = Image(0, 16);
  const std::string missing = (dir_ / "missing.eol").string();
  EXPECT_FALSE(ReadEolFile(missing, &image, &error));
  EXPECT_EQ(error.text, "Cannot open file " + missing + "!");
  EXPECT_EQ(error.captionId, kTextReadEolCaption);

  const std::string nowhere = (dir_ / "no" / "such" / "dir.eol").string();
  EXPECT_FALSE(WriteEolFile(nowhere, image, &error));
  EXPECT_EQ(error.captionId, kTextWriteEolCaption);
  EXPECT_NE(error.text.find(nowhere), std::string::npos);

  // A directory that cannot take the temporary file leaves the good file untouched.
  const std::string good = (dir_ / "good.eol").string();
  { std::ofstream(good) << "0001 01\n"; }
  if (::geteuid() != 0) {
    ::chmod(dir_.c_str(), 0500);
    EXPECT_FALSE(WriteEolFile(good, image, &error));
    ::chmod(dir_.c_str(), 0700);
    std::ifstream in(good);
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "0001 01\n");
  }
}

}  // namespace
}  // namespace heatdiag
