#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "debug/sequence_header.h"

namespace heatdiag {
namespace {

SequenceNames Read(const std::string& text) {
  SequenceNames names;
  std::istringstream in(text);
  ReadSequenceHeader(in, names);
  return names;
}

TEST(SequenceHeader, ExampleFileNamesStatesAndFunctions) {
  const SequenceNames names = Read(
      "/* $$STATE$$ */\n"
      "#define ST_IDLE 0\n"
      "#define ST_START 4\r\n"
      "int x;\n"
      "// $$FUNC$$\n"
      "#define F_FAN 12 // Combustion air fan\n"
      "#define F_PUMP 13\n");
  EXPECT_EQ(names.stateNames[0], "ST_IDLE");
  EXPECT_EQ(names.stateNames[4], "ST_START");
  EXPECT_EQ(names.stateNames[1], "<1>");
  EXPECT_EQ(names.stateCount, 5);
  EXPECT_EQ(names.functionNames[12], "Combustion air fan");
  EXPECT_EQ(names.functionNames[13], "F_PUMP");
  EXPECT_EQ(names.functionCount, 14);
}

TEST(SequenceHeader, WithoutMarkersEveryEntryIsItsNumber) {
  const SequenceNames names = Read("#define ST_IDLE 0\n#define F_FAN 12 // Fan\n");
  for (std::size_t n = 0; n < kSequenceNumbers; ++n) {
    EXPECT_EQ(names.stateNames[n], "<" + std::to_string(n) + ">");
    EXPECT_EQ(names.functionNames[n], "<" + std::to_string(n) + ">");
  }
  EXPECT_EQ(names.stateCount, 0);
  EXPECT_EQ(names.functionCount, 0);
}

TEST(SequenceHeader, BlocksInEitherOrder) {
  const SequenceNames names = Read(
      "// $$FUNC$$\n"
      "#define F_GLOW 3 //   Glow plug\n"
      "\n"
      "#define F_BAD 0x\n"
      "#define F_BIG 300\n"
      "#define F_FAN 7U // \n"
      "/* $$STATE$$ */\n"
      "\t #define ST_OFF 2\n"
      "};\n"
      "#define F_LATE 9\n");
  EXPECT_EQ(names.functionNames[3], "Glow plug");
  // "0x" reads as 0; a value of 256 or more only skips its line.
  EXPECT_EQ(names.functionNames[0], "F_BAD");
  EXPECT_EQ(names.functionNames[7], "F_FAN");  // an empty comment keeps the identifier
  EXPECT_EQ(names.stateNames[2], "ST_OFF");
  EXPECT_EQ(names.stateCount, 3);
  // The state block ends at "};", which the state block keeps for itself; the function block,
  // started first, then goes on.
  EXPECT_EQ(names.functionNames[9], "F_LATE");
  EXPECT_EQ(names.functionCount, 10);
}

TEST(SequenceHeader, RulesAtTheEdges) {
  const std::string hundred(100, 'N');
  const SequenceNames names = Read(
      "$$STATE$$\n"
      "#define A 5\n"
      "#define B 5\n"  // a duplicate keeps the later name
      "#define " +
      hundred +
      " 6\n"
      "#define LAST 255\n"
      "#define AFTER 7\n"  // the count is 256: the block has ended
      "$$FUNC$$\n"
      "#define X 1\n"
      "not a define\n"
      "#define Y 2\n");
  EXPECT_EQ(names.stateNames[5], "B");
  EXPECT_EQ(names.stateNames[6], std::string(79, 'N'));
  EXPECT_EQ(names.stateNames[255], "LAST");
  EXPECT_EQ(names.stateNames[7], "<7>");
  EXPECT_EQ(names.stateCount, 256);
  // "#define AFTER 7" ended the state block; the function marker came after it.
  EXPECT_EQ(names.functionNames[1], "X");
  EXPECT_EQ(names.functionNames[2], "<2>");
  EXPECT_EQ(names.functionCount, 2);
}

TEST(SequenceHeader, StateValueOutOfRangeEndsTheStateBlock) {
  const SequenceNames names = Read("$$STATE$$\n#define A 1\n#define B 256\n#define C 2\n");
  EXPECT_EQ(names.stateNames[1], "A");
  EXPECT_EQ(names.stateNames[2], "<2>");
  EXPECT_EQ(names.stateCount, 2);
}

TEST(SequenceHeader, UnreadableFileLeavesTheTablesReset) {
  SequenceNames names;
  names.stateNames[3] = "OLD";
  names.stateCount = 4;
  LoadSequenceHeader("/nonexistent/dir/seq.h", names);
  EXPECT_EQ(names.stateNames[3], "<3>");
  EXPECT_EQ(names.stateCount, 0);

  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  LoadSequenceHeader(dir.string(), names);  // a directory reads as nothing
  EXPECT_EQ(names.stateCount, 0);

  const std::filesystem::path file =
      dir / ("heatdiag_sequence_header_test_" + std::to_string(::getpid()) + ".h");
  {
    std::ofstream out(file);
    out << "/* $$STATE$$ */\n#define ST_RUN 1\n";
  }
  LoadSequenceHeader(file.string(), names);
  EXPECT_EQ(names.stateNames[1], "ST_RUN");
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace heatdiag
