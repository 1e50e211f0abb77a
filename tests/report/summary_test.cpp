#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "report/summary.h"

namespace heatdiag {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SummaryItemLine, ValuesEndInColumn92) {
  struct Case {
    const char* name;
    std::string itemName, value, unit, line;
  };
  const Case cases[] = {
      {"Plain", "Supply voltage", "12.5", "[V]",
       "  Supply voltage" + std::string(72, '.') + "12.5 [V]\n"},
      {"NoUnit", "Name", "x", "", "  Name" + std::string(85, '.') + "x \n"},
      {"UnitCutAt12", "N", "1", "[abcdefghijklmnop]",
       "  N" + std::string(88, '.') + "1 [abcdefghijk\n"},
      // A long name loses characters down to 20 before the value loses any.
      {"LongName", std::string(80, 'n'), std::string(60, 'v'), "",
       "  " + std::string(26, 'n') + "...." + std::string(60, 'v') + " \n"},
      {"LongNameAndValue", std::string(80, 'n'), std::string(90, 'v'), "",
       "  " + std::string(20, 'n') + "...." + std::string(66, 'v') + " \n"},
      {"LineBreaksInside", "a\nb", "1\r\n2", "[\t]", "  a b" + std::string(83, '.') + "1  2 [ ]\n"},
      // Characters, not bytes: "°" is one column.
      {"Utf8", "T\xC2\xB0", "5",
       "[\xC2\xB0"
       "C]",
       "  T\xC2\xB0" + std::string(87, '.') +
           "5 [\xC2\xB0"
           "C]\n"},
  };
  for (const Case& c : cases) {
    const std::string line = SummaryItemLine(c.itemName, c.value, c.unit);
    EXPECT_EQ(line, c.line) << c.name;
  }
  // The value's last character sits in column 92 (1-based).
  const std::string line = SummaryItemLine("Name", "value", "[h]");
  EXPECT_EQ(line.substr(87, 5), "value");
}

TEST(SummaryFile, TitleFooterAndPadding) {
  EXPECT_EQ(CompanyText(), "KELVAR Calorics");
  EXPECT_EQ(PadBetween("Diagnosis report", CompanyText()),
            "Diagnosis report" + std::string(69, ' ') + "KELVAR Calorics");
  // A title plus company text of more than 100 characters goes without padding.
  const std::string longTitle(90, 'T');
  EXPECT_EQ(PadBetween(longTitle, CompanyText()), longTitle + "KELVAR Calorics");
  EXPECT_EQ(PadBetween(std::string(85, 'T'), CompanyText()).size(), 100u);

  const std::string text = SummaryFileText("line one\r\nline two", "11.12.26  13:05:09");
  const std::string dashes(100, '-');
  const std::string product = ProductText();
  EXPECT_EQ(text, PadBetween("Diagnosis report", "KELVAR Calorics") + "\n" + dashes +
                      "\n\nline one\nline two\n" + dashes + "\n" + "11.12.26  13:05:09" +
                      std::string(100 - 18 - product.size(), ' ') + product);
  EXPECT_EQ(product, HEATDIAG_PRODUCT_NAME "  " HEATDIAG_PRODUCT_VERSION);
}

TEST(SummaryFile, DateAndTimeForm) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 0;
  local.tm_mday = 3;
  local.tm_hour = 7;
  local.tm_min = 4;
  local.tm_sec = 5;
  local.tm_isdst = -1;
  EXPECT_EQ(ReportDateTime(std::mktime(&local)), "03.01.26  07:04:05");
}

class SummaryFileWrite : public ::testing::Test {
 protected:
  SummaryFileWrite() {
    dir_ = fs::temp_directory_path() / ("heatdiag_report_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  ~SummaryFileWrite() override { fs::remove_all(dir_); }
  std::size_t FilesInDir() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }
  fs::path dir_;
};

TEST_F(SummaryFileWrite, ReplacesTheOldFileOnlyWhenComplete) {
  const fs::path file = dir_ / "report.txt";
  { std::ofstream(file) << "old report"; }
  {
    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Create(file.string()));
    EXPECT_EQ(FilesInDir(), 2u);  // the temporary file sits beside the target
    EXPECT_EQ(Read(file), "old report");
    // Given up before the text was complete: the old file stays, the temporary one goes.
  }
  EXPECT_EQ(Read(file), "old report");
  EXPECT_EQ(FilesInDir(), 1u);

  ASSERT_TRUE(WriteSummaryFile(file.string(), "body", 0));
  const std::string text = Read(file);
  EXPECT_EQ(text.substr(0, 16), "Diagnosis report");
  EXPECT_NE(text.find("\n\nbody\n"), std::string::npos);
  EXPECT_EQ(FilesInDir(), 1u);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

TEST_F(SummaryFileWrite, FolderThatDoesNotExistCannotBeCreated) {
  EXPECT_FALSE(WriteSummaryFile((dir_ / "missing" / "report.txt").string(), "body", 0));
  EXPECT_FALSE(WriteSummaryFile("", "body", 0));
  bool ok = true;
  EXPECT_EQ(ReadFileHead((dir_ / "missing.txt").string(), 10, &ok), "");
  EXPECT_FALSE(ok);
}

TEST_F(SummaryFileWrite, ReadFileHeadStopsAtTheLimit) {
  const fs::path file = dir_ / "big.txt";
  { std::ofstream(file) << std::string(70000, 'x'); }
  bool ok = false;
  EXPECT_EQ(ReadFileHead(file.string(), kTextViewBytes, &ok).size(), 65535u);
  EXPECT_TRUE(ok);
}

// --- The summary of a store ------------------------------------------------------------------

constexpr std::uint32_t kConfig = kViewDeviceInfo | kViewReport;
constexpr std::uint32_t kOperating = kViewOperatingData | kViewReport;

// Names are taken from texts the program has anyway.
constexpr std::uint32_t kNameOverview = 20101;   // "Overview"
constexpr std::uint32_t kNameParameter = 20102;  // "Parameter list"
constexpr std::uint32_t kNameFault = 20105;      // "Fault list"
constexpr std::uint32_t kNameProtocol = 20107;   // "Protocol"

const ParameterDescriptor kRows[] = {
    {ValueKind::kText, 16, "", "", "", kNameOverview, kUnitNone, kConfig},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameParameter, kUnitHour, kOperating},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameParameter, kUnitHour,
     kViewOperatingData},  // not in it
    {ValueKind::kUnsigned, 1, "0", "255", "1", kNameFault, kUnitNone, kViewFaultHeading},
    {ValueKind::kUnsigned, 1, "0", "4", "1", kNameProtocol, kUnitNone, kViewFaultState},
    {ValueKind::kUnsigned, 2, "0", "100", "1", kNameProtocol, kUnitCelsius, kViewFaultDetail},
    {ValueKind::kUnsigned, 1, "0", "255", "1", kNameFault, kUnitNone,
     kViewFaultHeading},  // not present
};

class SummaryText : public ::testing::Test {
 protected:
  SummaryText() { StoreStartup(); }
  ~SummaryText() override { StoreShutdown(); }

  static void Set(std::uint32_t row, std::uint32_t value) {
    StoreWrite(row, kStoreU32, 0, &value);
    StoreSetPresent(row, 1);
    StoreSetShown(row, 1);
  }
  void Fill(std::size_t rows) {
    ASSERT_EQ(StoreInit(ParameterCatalogue(kRows, rows)), 1);
    StoreWriteText(0, "D00 3.2");
    StoreSetPresent(0, 1);
    StoreSetShown(0, 1);
    Set(1, 42);
    Set(2, 7);
    Set(3, 3);
    Set(4, 2);
    Set(5, 80);
  }
};

TEST_F(SummaryText, SectionsInStoreOrder) {
  Fill(std::size(kRows));
  const std::string expected =
      "Workshop 4\nsecond line\n"
      "\nConfiguration:\n--------------\n" +
      SummaryItemLine("Overview", "D00 3.2", "") + "\nOperating data:\n---------------\n" +
      SummaryItemLine("Parameter list", "42", "[h]") + "\nError:\n------\n" +
      SummaryItemLine("Fault list", "Flame failure", "") +
      SummaryItemLine("  Protocol", "actual", "") +
      SummaryItemLine("  Protocol", "80",
                      "[\xC2\xB0"
                      "C]");
  EXPECT_EQ(BuildSummary("Workshop 4\nsecond line"), expected.substr(0, expected.size() - 1));
}

TEST_F(SummaryText, WithoutReportItemsOnlyTheErrorSection) {
  ASSERT_EQ(StoreInit(ParameterCatalogue(kRows + 2, 1)), 1);
  Set(0, 5);  // an operating data row without the report bit
  EXPECT_EQ(BuildSummary(""), "\nError:\n------");
  StoreRelease();
  // Without any items nothing is produced.
  EXPECT_EQ(BuildSummary("description"), "");
}

TEST_F(SummaryText, HiddenValueIsLeftEmptyAndOddCodesRead) {
  Fill(std::size(kRows));
  StoreSetShown(1, 0);
  const std::uint32_t badState = 9;
  StoreWrite(4, kStoreU32, 0, &badState);
  const std::string text = BuildSummary("");
  EXPECT_NE(text.find(SummaryItemLine("Parameter list", "", "[h]")), std::string::npos);
  EXPECT_NE(text.find(SummaryItemLine("  Protocol", "?", "")), std::string::npos);
}

}  // namespace
}  // namespace heatdiag
