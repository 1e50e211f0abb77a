#include "drivers/diag_store.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "drivers/catalogue/name_ids.h"
#include "store/recorders.h"

namespace heatdiag {
namespace {

using testing::FrameRecorders;
using testing::Message;
using testing::RecordingTarget;

// A store with a few rows of every kind.
enum Row : std::uint32_t {
  kTemp,      // int -40..120
  kLevel,     // uint 0..100
  kVolt,      // real 0..20, step 0.01
  kCode,      // text, 8 bytes
  kIdent,     // text, 20 bytes
  kTiny,      // int declared with 1 byte
  kTinyText,  // text declared with 0 bytes
  kTinyReal,  // real declared with 2 bytes
  kNoRange,   // uint without range texts
  kFault2,    // fault list heading of the second fault
  kRowCount
};

const ParameterDescriptor kCatalogue[kRowCount] = {
    {ValueKind::kSigned, 4, "-40", "120", "1", kNameTemperature, kUnitCelsius, 0x5001},
    {ValueKind::kUnsigned, 4, "0", "100", "1", kNameGlowPlug, kUnitPercent, 0x5004},
    {ValueKind::kReal, 8, "0", "20", "0.01", kNameSupplyVoltage, kUnitVolt, 0x5001},
    {ValueKind::kText, 8, "", "", "", kNameHBusVersion, kUnitNone, 0x0040},
    {ValueKind::kText, 20, "", "", "", kNameFuelType, kUnitNone, 0x2040},
    {ValueKind::kSigned, 1, "", "", "", kNameTemperature, kUnitNone, 0x0001},
    {ValueKind::kText, 0, "", "", "", kNameDeviceName, kUnitNone, 0x0040},
    {ValueKind::kReal, 2, "", "", "0.001", kNameFlameDetector, kUnitOhm, 0x0002},
    {ValueKind::kUnsigned, 4, "", "", "", kNameGlowPlug, kUnitNone, 0x0008},
    {ValueKind::kUnsigned, 4, "", "", "", kNameFault1, kUnitNone, 0x10100},
};

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { StoreStartup(); }
  void TearDown() override { StoreStartup(); }
  void Init() { ASSERT_EQ(StoreInit(kCatalogue), 1); }
  FrameRecorders recorders;
};

template <typename T>
int Write(std::uint32_t row, std::uint32_t format, T value) {
  return StoreWrite(row, format, 0, &value);
}

template <typename T>
T Read(std::uint32_t row, std::uint32_t format) {
  T value{};
  StoreRead(row, format, 0, &value);
  return value;
}

// ---- Session lifecycle --------------------------------------------------------------------

TEST_F(StoreTest, InitAndReleaseAnnounceTheSessionData) {
  RecordingTarget a, b;
  StoreSubscribe(&a, 0x0001, 11);
  StoreSubscribe(&b, 0x0F00, 22);
  Init();
  EXPECT_EQ(StoreRowCount(), kRowCount);
  EXPECT_EQ(a.Take(), (std::vector<Message>{{UM_DATAINIT, kRowCount, 11}}));
  EXPECT_EQ(b.Take(), (std::vector<Message>{{UM_DATAINIT, kRowCount, 22}}));

  StoreSetDataValid();
  EXPECT_TRUE(StoreIsDataValid());
  EXPECT_EQ(a.Take(), (std::vector<Message>{{UM_DATAREADY, 0, 0}}));
  EXPECT_EQ(b.Take(), (std::vector<Message>{{UM_DATAREADY, 0, 0}}));

  // A second session cannot start over the first one, and the first stays as it was.
  EXPECT_EQ(StoreInit(kCatalogue), 0);
  EXPECT_TRUE(StoreIsDataValid());
  EXPECT_TRUE(a.Take().empty());

  StoreRelease();
  EXPECT_FALSE(StoreIsDataValid());
  EXPECT_EQ(StoreRowCount(), 0u);
  EXPECT_EQ(a.Take(), (std::vector<Message>{{UM_DATARELEASED, 0, 11}}));
  EXPECT_EQ(b.Take(), (std::vector<Message>{{UM_DATARELEASED, 0, 22}}));
  StoreRelease();
  EXPECT_TRUE(a.Take().empty());

  EXPECT_EQ(StoreInit({}), 0);
  EXPECT_TRUE(a.Take().empty());
  EXPECT_TRUE(recorders.boxes.Texts().empty());
}

TEST_F(StoreTest, NoSessionDataReadsZeroAndIgnoresWrites) {
  std::uint32_t number = 0xAAAAAAAA;
  char text[8] = "junk";
  std::uint8_t bytes[2] = {0x11, 0x22};
  EXPECT_EQ(Write(kTemp, kStoreS32, 5), 0);
  EXPECT_EQ(StoreRead(kTemp, kStoreU32, 0, &number), 0);
  EXPECT_EQ(number, 0u);
  EXPECT_EQ(StoreRead(kCode, kStoreText, sizeof text, text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(StoreRead(kCode, kStoreHex, 2, bytes), 0);
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(StoreSetShown(kTemp, 1), 0);
  EXPECT_EQ(StoreGetShown(kTemp), 0);
  EXPECT_EQ(StoreGetViewMask(kTemp), 0u);
  EXPECT_EQ(StoreReadText(kTemp), "");

  Init();
  EXPECT_EQ(Write(kRowCount, kStoreS32, 5), 0);
  EXPECT_EQ(StoreRead(kRowCount, kStoreU32, 0, &number), 0);
  EXPECT_EQ(StoreSetPresent(kRowCount, 1), 0);
  EXPECT_EQ(StoreGetPresent(kRowCount), 0);
}

TEST_F(StoreTest, AllocationFailureSaysSoAndLeavesNoSession) {
  RecordingTarget view;
  StoreSubscribe(&view, 0xFFFF, 0);
  const ParameterDescriptor huge[] = {
      kCatalogue[0], {ValueKind::kText, 0xFFFFFFFF, "", "", "", kNameFuelType, 0, 0x40}};
  EXPECT_EQ(StoreInit(huge), 0);
  EXPECT_EQ(StoreRowCount(), 0u);
  EXPECT_EQ(recorders.boxes.Texts(), std::vector<std::string>{"Insufficient free memory!"});
  EXPECT_TRUE(view.Take().empty());
  Init();
}

// ---- Row sizes ----------------------------------------------------------------------------

TEST_F(StoreTest, RowSizesAreRaisedToWhatTheKindNeeds) {
  Init();
  EXPECT_EQ(Write(kTiny, kStoreS32, std::int32_t{-123456789}), 1);
  EXPECT_EQ(Read<std::int32_t>(kTiny, kStoreS32), -123456789);
  EXPECT_EQ(Write(kTinyReal, kStoreDouble, 1.234), 1);
  EXPECT_EQ(Read<double>(kTinyReal, kStoreDouble), 1.234);
  EXPECT_EQ(StoreWriteText(kTinyText, "XYZ"), 1);
  EXPECT_EQ(StoreReadText(kTinyText), "X");
  // Neighbouring rows are untouched by the raised rows.
  EXPECT_EQ(StoreWriteText(kCode, "1234567"), 1);
  EXPECT_EQ(Write(kNoRange, kStoreU32, 7u), 1);
  EXPECT_EQ(StoreReadText(kCode), "1234567");
  EXPECT_EQ(StoreReadText(kTiny), "-123456789");
}

// ---- Conversions on the way in --------------------------------------------------------------

struct WriteCase {
  const char* name;
  std::uint32_t row;
  std::uint32_t format;
  std::vector<std::uint8_t> source;
  const char* shown;  // the display text afterwards
};

std::vector<std::uint8_t> Bytes(const void* p, std::size_t n) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  return std::vector<std::uint8_t>(b, b + n);
}
template <typename T>
std::vector<std::uint8_t> Of(T v) {
  return Bytes(&v, sizeof v);
}
std::vector<std::uint8_t> Text(const char* s) {
  return Bytes(s, std::strlen(s) + 1);
}

class StoreWriteConversion : public StoreTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(StoreWriteConversion, IntoTheRowKind) {
  Init();
  const WriteCase& c = GetParam();
  const std::uint32_t length =
      (c.format & 0xFFFF) == kStoreText ? static_cast<std::uint32_t>(c.source.size() - 1) : 0;
  EXPECT_EQ(StoreWrite(c.row, c.format, length, c.source.data()), 1);
  EXPECT_EQ(StoreReadText(c.row), c.shown);
}

const WriteCase kWriteCases[] = {
    // numbers into integer rows: C conversions, reals truncated toward zero and saturated
    {"U8IntoInt", kTemp, kStoreU8, Of<std::uint8_t>(200), "200"},
    {"S8IntoInt", kTemp, kStoreS8, Of<std::int8_t>(-7), "-7"},
    {"U16BigEndian", kTemp, kStoreU16 | kStoreBigEndian, {0x01, 0x02}, "258"},
    {"S16BigEndian", kTemp, kStoreS16 | kStoreBigEndian, {0xFF, 0xFE}, "-2"},
    {"U16LittleEndian", kTemp, kStoreU16, {0x01, 0x02}, "513"},
    {"U32BigEndian", kLevel, kStoreU32 | kStoreBigEndian, {0x00, 0x01, 0x00, 0x00}, "65536"},
    {"S32BigEndian", kTemp, kStoreS32 | kStoreBigEndian, {0xFF, 0xFF, 0xFF, 0xD8}, "-40"},
    {"U32WrapsIntoInt", kTemp, kStoreU32, Of<std::uint32_t>(0xFFFFFFFF), "-1"},
    {"S8WrapsIntoUint", kLevel, kStoreS8, Of<std::int8_t>(-1), "4294967295"},
    {"RealTruncatedIntoInt", kTemp, kStoreDouble, Of(-1.7), "-1"},
    {"RealSaturatesInt", kTemp, kStoreDouble, Of(5e12), "2147483647"},
    {"NegativeRealIntoUint", kLevel, kStoreDouble, Of(-3.0), "0"},
    {"NanIntoInt", kTemp, kStoreDouble, Of(std::nan("")), "0"},
    {"BigEndianIgnoredForU8", kTemp, kStoreU8 | kStoreBigEndian, {0x05}, "5"},
    // numbers into a real row
    {"S16IntoReal", kVolt, kStoreS16, Of<std::int16_t>(-12), "-12"},
    {"U32IntoReal", kVolt, kStoreU32, Of<std::uint32_t>(4000000000u), "4000000000"},
    {"RealIntoReal", kVolt, kStoreDouble, Of(12.345), "12,35"},
    // numbers into text rows as decimal text, cut to the row
    {"U8IntoText", kIdent, kStoreU8, Of<std::uint8_t>(255), "255"},
    {"S16IntoText", kIdent, kStoreS16, Of<std::int16_t>(-300), "-300"},
    {"U32IntoText", kIdent, kStoreU32, Of<std::uint32_t>(4000000000u), "4000000000"},
    {"S32IntoText", kIdent, kStoreS32, Of<std::int32_t>(-2000000000), "-2000000000"},
    {"RealIntoText", kIdent, kStoreDouble, Of(1.5), "1.500000"},
    {"RealCutToTextRow", kCode, kStoreDouble, Of(-1234.5), "-1234.5"},
    // text parsed for numeric rows
    {"TextIntoInt", kTemp, kStoreText, Text("  -42 degrees"), "-42"},
    {"TextSaturatesInt", kTemp, kStoreText, Text("99999999999"), "2147483647"},
    {"NegativeTextIntoUint", kLevel, kStoreText, Text("-1"), "4294967295"},
    {"TextOverflowIntoUint", kLevel, kStoreText, Text("99999999999"), "4294967295"},
    {"TextIntoReal", kVolt, kStoreText, Text("12.5"), "12,5"},
    {"GarbageIntoInt", kTemp, kStoreText, Text("abc"), "0"},
    // text into text rows
    {"TextIntoText", kIdent, kStoreText, Text("Diesel"), "Diesel"},
    {"TextCutToRowSize", kCode, kStoreText, Text("ABCDEFGHIJ"), "ABCDEFG"},
    {"EmptyText", kIdent, kStoreText, Text(""), ""},
};

INSTANTIATE_TEST_SUITE_P(Formats, StoreWriteConversion, ::testing::ValuesIn(kWriteCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StoreTest, TextWriteEndsAtItsLengthOrItsTerminator) {
  Init();
  EXPECT_EQ(StoreWrite(kIdent, kStoreText, 3, "Gasoline"), 1);
  EXPECT_EQ(StoreReadText(kIdent), "Gas");
  const char withNul[] = "AB\0CD";
  EXPECT_EQ(StoreWrite(kIdent, kStoreText, 5, withNul), 1);
  EXPECT_EQ(StoreReadText(kIdent), "AB");
  // A shorter text leaves nothing of the longer one behind.
  EXPECT_EQ(StoreWriteText(kIdent, "ABCDEFGH"), 1);
  EXPECT_EQ(StoreWriteText(kIdent, "XY"), 1);
  char raw[20];
  EXPECT_EQ(StoreRead(kIdent, kStoreText, sizeof raw, raw), 1);
  EXPECT_STREQ(raw, "XY");
  // A missing text stores an empty value.
  EXPECT_EQ(StoreWrite(kIdent, kStoreText, 5, nullptr), 1);
  EXPECT_EQ(StoreReadText(kIdent), "");
  EXPECT_EQ(StoreWrite(kTemp, kStoreText, 0, nullptr), 1);
  EXPECT_EQ(StoreReadText(kTemp), "0");
}

TEST_F(StoreTest, UnknownFormatsAndMissingNumbersAreRefused) {
  Init();
  EXPECT_EQ(Write(kTemp, kStoreS32, 9), 1);
  const std::uint32_t value = 5;
  EXPECT_EQ(StoreWrite(kTemp, 9, 0, &value), 0);
  EXPECT_EQ(StoreWrite(kTemp, kStoreU32, 0, nullptr), 0);
  std::uint32_t out = 7;
  EXPECT_EQ(StoreRead(kTemp, 9, 0, &out), 0);
  EXPECT_EQ(StoreRead(kTemp, kStoreU32, 0, nullptr), 0);
  EXPECT_EQ(StoreReadText(kTemp), "9");
}

// ---- Raw bytes as hex digits ----------------------------------------------------------------

TEST_F(StoreTest, RawBytesAreHeldAsHexDigitsInTextRows) {
  Init();
  RecordingTarget view;
  StoreSubscribe(&view, 0xFFFF, 0);
  const std::uint8_t bytes[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
  struct Case {
    std::uint32_t row;
    std::uint32_t digits;
    const char* shown;
  };
  const Case kCases[] = {{kIdent, 8, "DEADBEEF"},
                         {kIdent, 3, "DEA"},
                         {kIdent, 0, ""},
                         {kCode, 10, "DEADBEE"},  // at most the row size less one
                         {kIdent, 10, "DEADBEEF01"}};
  for (const auto& c : kCases) {
    EXPECT_EQ(StoreWrite(c.row, kStoreHex, c.digits, bytes), 1) << c.shown;
    EXPECT_EQ(StoreReadText(c.row), c.shown);
  }
  view.Take();
  // Numeric rows take no raw bytes and stay as they were.
  ASSERT_EQ(Write(kTemp, kStoreS32, 12), 1);
  view.Take();
  EXPECT_EQ(StoreWrite(kTemp, kStoreHex, 4, bytes), 0);
  EXPECT_EQ(StoreReadText(kTemp), "12");
  EXPECT_TRUE(view.Take().empty());
}

TEST_F(StoreTest, HexDigitsReadBackIntoBytes) {
  Init();
  struct Case {
    const char* text;
    std::uint32_t digits;
    std::array<std::uint8_t, 4> bytes;  // target prefilled with 0x55
  };
  const Case kCases[] = {
      {"DEADBEEF", 0, {0xDE, 0xAD, 0xBE, 0xEF}},
      {"DEADBEEF", 4, {0xDE, 0xAD, 0x55, 0x55}},
      {"DEADBEEF", 3, {0xDE, 0xA0, 0x55, 0x55}},
      {"AB", 8, {0xAB, 0x55, 0x55, 0x55}},    // the terminator ends the conversion
      {"1G2x", 0, {0x10, 0x20, 0x55, 0x55}},  // other characters count as 0
      {"", 0, {0x55, 0x55, 0x55, 0x55}},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(StoreWriteText(kIdent, c.text), 1);
    std::array<std::uint8_t, 4> out;
    out.fill(0x55);
    EXPECT_EQ(StoreRead(kIdent, kStoreHex, c.digits, out.data()), 1);
    EXPECT_EQ(out, c.bytes) << c.text << " " << c.digits;
  }
  std::uint8_t untouched = 0x55;
  EXPECT_EQ(StoreRead(kTemp, kStoreHex, 2, &untouched), 0);
  EXPECT_EQ(untouched, 0x55);
}

// ---- Conversions on the way out -----------------------------------------------------------

struct ReadCase {
  const char* name;
  std::uint32_t row;
  std::vector<std::uint8_t> text;  // written as text first
  std::uint32_t format;
  std::vector<std::uint8_t> expected;
};

class StoreReadConversion : public StoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(StoreReadConversion, ToTheTargetFormat) {
  Init();
  const ReadCase& c = GetParam();
  ASSERT_EQ(
      StoreWrite(c.row, kStoreText, static_cast<std::uint32_t>(c.text.size() - 1), c.text.data()),
      1);
  std::vector<std::uint8_t> out(c.expected.size(), 0xCC);
  EXPECT_EQ(StoreRead(c.row, c.format, 0, out.data()), 1);
  EXPECT_EQ(out, c.expected);
}

const ReadCase kReadCases[] = {
    {"IntToU8", kTemp, Text("-2"), kStoreU8, {0xFE}},
    {"IntToS16BigEndian", kTemp, Text("-2"), kStoreS16 | kStoreBigEndian, {0xFF, 0xFE}},
    {"IntToU32", kTemp, Text("-2"), kStoreU32, Of<std::uint32_t>(0xFFFFFFFE)},
    {"IntToU32BigEndian", kTemp, Text("258"), kStoreU32 | kStoreBigEndian, {0, 0, 1, 2}},
    {"IntToDouble", kTemp, Text("-2"), kStoreDouble, Of(-2.0)},
    {"UintToDouble", kLevel, Text("4294967295"), kStoreDouble, Of(4294967295.0)},
    {"UintCutToU16", kLevel, Text("70000"), kStoreU16, Of<std::uint16_t>(4464)},
    {"RealTruncatedToS8", kVolt, Text("3.99"), kStoreS8, Of<std::int8_t>(3)},
    {"NegativeRealTruncated", kVolt, Text("-3.99"), kStoreS32, Of<std::int32_t>(-3)},
    {"RealCutToU8", kVolt, Text("300.5"), kStoreU8, {44}},
    {"RealToDouble", kVolt, Text("12.345"), kStoreDouble, Of(12.345)},
    {"TextToU16BigEndian", kIdent, Text("1234"), kStoreU16 | kStoreBigEndian, {0x04, 0xD2}},
    {"NegativeTextUnsigned", kIdent, Text("-5"), kStoreU32, Of<std::uint32_t>(0xFFFFFFFB)},
    {"NegativeTextSigned", kIdent, Text("-5"), kStoreS32, Of<std::int32_t>(-5)},
    {"TextToDouble", kIdent, Text("2.5"), kStoreDouble, Of(2.5)},
    {"GarbageTextIsZero", kIdent, Text("n/a"), kStoreS16, Of<std::int16_t>(0)},
    // the range selectors, formats 4 to 6 only
    {"LowerBound", kTemp, Text("0"), kStoreS32 | kStoreLowerBound, Of<std::int32_t>(-40)},
    {"UpperBoundBigEndian",
     kTemp,
     Text("0"),
     kStoreU32 | kStoreUpperBound | kStoreBigEndian,
     {0, 0, 0, 120}},
    {"IntResolutionAsDouble", kTemp, Text("0"), kStoreDouble | kStoreResolution, Of(1.0)},
    {"RealUpperBound", kVolt, Text("0"), kStoreDouble | kStoreUpperBound, Of(20.0)},
    {"RealResolution", kVolt, Text("0"), kStoreDouble | kStoreResolution, Of(0.01)},
    {"RealBoundTruncated", kVolt, Text("0"), kStoreS32 | kStoreResolution, Of<std::int32_t>(0)},
    {"TextRowHasNoRange", kIdent, Text("77"), kStoreS32 | kStoreUpperBound, Of<std::int32_t>(0)},
    {"SelectorIgnoredBelowFormat4", kTemp, Text("9"), kStoreU8 | kStoreLowerBound, {9}},
};

INSTANTIATE_TEST_SUITE_P(Formats, StoreReadConversion, ::testing::ValuesIn(kReadCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StoreTest, DisplayTextFollowsTheRowKindAndIsBounded) {
  Init();
  struct Case {
    std::uint32_t row;
    const char* written;
    std::uint32_t length;
    const char* expected;
  };
  const Case kCases[] = {
      {kTemp, "-40", 20, "-40"},        {kLevel, "4294967295", 20, "4294967295"},
      {kVolt, "12.5", 20, "12,5"},      {kVolt, "3", 20, "3"},
      {kVolt, "-0.004", 20, "0"},       {kTinyReal, "1.2345", 20, "1,235"},
      {kIdent, "Diesel", 20, "Diesel"}, {kIdent, "Diesel", 4, "Die"},
      {kTemp, "-12345", 3, "-1"},       {kIdent, "Diesel", 1, ""},
  };
  for (const auto& c : kCases) {
    ASSERT_EQ(StoreWriteText(c.row, c.written), 1);
    char out[32];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(StoreRead(c.row, kStoreText, c.length, out), 1);
    EXPECT_STREQ(out, c.expected) << c.written;
  }
  char none = 'x';
  EXPECT_EQ(StoreRead(kIdent, kStoreText, 0, &none), 0);
  EXPECT_EQ(none, 'x');
}

// ---- Graph range ----------------------------------------------------------------------------

struct RangeCase {
  const char* name;
  std::uint32_t row;
  const char* value;
  double lower;
  double upper;
};

class StoreRangeWidening : public StoreTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(StoreRangeWidening, ToOneSignificantDigit) {
  Init();
  const RangeCase& c = GetParam();
  ASSERT_EQ(StoreWriteText(c.row, c.value), 1);
  EXPECT_DOUBLE_EQ(Read<double>(c.row, kStoreDouble | kStoreLowerBound), c.lower);
  EXPECT_DOUBLE_EQ(Read<double>(c.row, kStoreDouble | kStoreUpperBound), c.upper);
}

const RangeCase kRangeCases[] = {
    {"InsideStays", kTemp, "50", -40, 120},
    {"UpperTo400", kLevel, "347", 0, 400},
    {"NegativeLowerTo400", kTemp, "-347", -400, 120},
    {"RealLowerToHundredths", kVolt, "-0.042", -0.05, 20},
    {"RealUpper", kVolt, "20.5", 0, 30},
    {"RealUpperThousands", kVolt, "1234.5", 0, 2000},
    {"ExactPowerOfTen", kLevel, "1000", 0, 1000},
    {"EmptyRangeGrows", kNoRange, "5", 0, 5},
    {"ZeroKeepsEmptyRange", kNoRange, "0", 0, 0},
    {"SignedSaturates", kTemp, "2147483647", -40, 2147483647.0},
    {"SignedLowestSaturates", kTemp, "-2147483648", -2147483648.0, 120},
    {"UnsignedSaturates", kLevel, "4294967295", 0, 4294967295.0},
    {"InfinityLeavesRange", kVolt, "inf", 0, 20},
};

INSTANTIATE_TEST_SUITE_P(Values, StoreRangeWidening, ::testing::ValuesIn(kRangeCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StoreTest, RangeOnlyWidens) {
  Init();
  ASSERT_EQ(StoreWriteText(kLevel, "347"), 1);
  ASSERT_EQ(StoreWriteText(kLevel, "50"), 1);
  ASSERT_EQ(StoreWriteText(kLevel, "1234"), 1);
  EXPECT_EQ(Read<std::int32_t>(kLevel, kStoreS32 | kStoreUpperBound), 2000);
  EXPECT_EQ(Read<std::int32_t>(kLevel, kStoreS32 | kStoreLowerBound), 0);
}

// ---- Notifications --------------------------------------------------------------------------

class StoreNotifications : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    StoreSubscribe(&measured, 0x0001, 1);
    StoreSubscribe(&faults, 0x0F00, 2);
    StoreSubscribe(&everything, 0xFFFFFFFF, 3);
    Init();
    measured.Take();
    faults.Take();
    everything.Take();
  }
  RecordingTarget measured, faults, everything;
};

TEST_F(StoreNotifications, AChangeIsPostedOnceToTheRowsGroups) {
  struct Step {
    std::uint32_t row;
    const char* value;
    bool toMeasured, toFaults;
  };
  const Step kSteps[] = {
      {kTemp, "21", true, false},    {kTemp, "21", false, false},   // same value: nothing
      {kTemp, "22", true, false},    {kFault2, "17", false, true},  // slot bits don't hide it
      {kFault2, "17", false, false}, {kIdent, "x", false, false},
      {kTemp, "0", true, false},  // back to the first value still counts as a change
  };
  for (const auto& s : kSteps) {
    ASSERT_EQ(StoreWriteText(s.row, s.value), 1);
    const Message change{UM_VALUECHANGED, static_cast<std::intptr_t>(s.row), 0};
    auto expect = [&](RecordingTarget& t, bool posted, std::intptr_t user) {
      std::vector<Message> want;
      if (posted) want.push_back({change.message, change.a, user});
      EXPECT_EQ(t.Take(), want) << s.row << " " << s.value;
    };
    expect(measured, s.toMeasured, 1);
    expect(faults, s.toFaults, 2);
    expect(everything, s.toMeasured || s.toFaults || s.row == kIdent, 3);
  }
}

TEST_F(StoreNotifications, FirstWriteOfZeroEqualsTheClearedValue) {
  ASSERT_EQ(Write(kTemp, kStoreS32, 0), 1);
  EXPECT_TRUE(measured.Take().empty());
}

TEST_F(StoreNotifications, ShownAndPresentFlagsPostOnChangeOnly) {
  struct Step {
    int (*set)(std::uint32_t, int);
    int (*get)(std::uint32_t);
    std::uint32_t message;
    int flag;
    int old;
    bool posted;
  };
  const Step kSteps[] = {
      {StoreSetShown, StoreGetShown, UM_SHOWNCHANGED, 1, 0, true},
      {StoreSetShown, StoreGetShown, UM_SHOWNCHANGED, 5, 1, false},
      {StoreSetShown, StoreGetShown, UM_SHOWNCHANGED, 0, 1, true},
      {StoreSetPresent, StoreGetPresent, UM_PRESENTCHANGED, 0, 0, false},
      {StoreSetPresent, StoreGetPresent, UM_PRESENTCHANGED, 1, 0, true},
      {StoreSetPresent, StoreGetPresent, UM_PRESENTCHANGED, 1, 1, false},
  };
  for (const auto& s : kSteps) {
    EXPECT_EQ(s.set(kVolt, s.flag), s.old);
    EXPECT_EQ(s.get(kVolt), s.flag != 0 ? 1 : 0);
    std::vector<Message> want;
    if (s.posted) want.push_back({s.message, kVolt, 1});
    EXPECT_EQ(measured.Take(), want);
    EXPECT_TRUE(faults.Take().empty());
  }
  // The two flags are independent.
  EXPECT_EQ(StoreGetShown(kVolt), 0);
  EXPECT_EQ(StoreGetPresent(kVolt), 1);
}

TEST_F(StoreNotifications, GroupQueries) {
  EXPECT_EQ(StoreGetViewMask(kFault2), 0x10100u);
  EXPECT_EQ(StoreRowInGroup(kFault2, 0x0F00), 1);
  EXPECT_EQ(StoreRowInGroup(kFault2, 0x00FF), 0);
  EXPECT_EQ(StoreRowInGroup(kRowCount, 0xFFFFFFFF), 0);
}

TEST_F(StoreNotifications, DataReadyToAllAndAtOnceToLateSubscribers) {
  StoreSetDataValid();
  for (RecordingTarget* t : {&measured, &faults, &everything})
    EXPECT_EQ(t->Take(), (std::vector<Message>{{UM_DATAREADY, 0, 0}}));
  RecordingTarget late;
  StoreSubscribe(&late, 0x0020, 9);
  EXPECT_EQ(late.Take(), (std::vector<Message>{{UM_DATAREADY, 0, 0}}));
  // Subscribing again keeps the one entry and repeats the message.
  StoreSubscribe(&late, 0x0001, 10);
  EXPECT_EQ(late.Take(), (std::vector<Message>{{UM_DATAREADY, 0, 0}}));
  ASSERT_EQ(StoreWriteText(kTemp, "30"), 1);
  EXPECT_TRUE(late.Take().empty());  // still subscribed to 0x0020 only

  // Before the connection pass is complete nobody is told so.
  StoreRelease();
  late.Take();
  RecordingTarget early;
  StoreSubscribe(&early, 0x0020, 0);
  EXPECT_TRUE(early.Take().empty());
  StoreUnsubscribe(&early);
  StoreUnsubscribe(&late);
}

TEST_F(StoreNotifications, TheEleventhWindowIsRefused) {
  std::array<RecordingTarget, 8> more;  // three are subscribed by the fixture
  for (auto& t : more) StoreSubscribe(&t, 0x0001, 0);
  ASSERT_EQ(StoreWriteText(kTemp, "1"), 1);
  for (std::size_t i = 0; i < more.size(); ++i)
    EXPECT_EQ(more[i].Take().size(), i < 7 ? 1u : 0u) << i;
  // A free entry is taken again after an unsubscription.
  StoreUnsubscribe(&faults);
  StoreSubscribe(&more[7], 0x0001, 0);
  ASSERT_EQ(StoreWriteText(kTemp, "2"), 1);
  EXPECT_EQ(more[7].Take().size(), 1u);
  EXPECT_TRUE(faults.Take().empty());
  for (auto& t : more) StoreUnsubscribe(&t);
}

TEST_F(StoreNotifications, UnsubscribedWindowsHearNothing) {
  StoreUnsubscribe(&measured);
  StoreUnsubscribe(nullptr);
  ASSERT_EQ(StoreWriteText(kTemp, "5"), 1);
  StoreSetDataValid();
  StoreRelease();
  EXPECT_TRUE(measured.Take().empty());
  EXPECT_EQ(everything.Take().size(), 3u);
}

// A window whose Post calls back into the store is refused instead of locking it twice.
class ReentrantTarget : public MessageTarget {
 public:
  void Post(std::uint32_t message, std::intptr_t a, std::intptr_t) override {
    if (message != UM_VALUECHANGED) return;
    std::int32_t value = -1;
    results.push_back(StoreRead(static_cast<std::uint32_t>(a), kStoreS32, 0, &value));
    results.push_back(value);
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  std::vector<int> results;
};

TEST_F(StoreTest, SubscriberCallingBackIsRefusedNotDeadlocked) {
  ReentrantTarget target;
  StoreSubscribe(&target, 0x0001, 0);
  Init();
  ASSERT_EQ(Write(kTemp, kStoreS32, 17), 1);
  EXPECT_EQ(target.results, (std::vector<int>{0, 0}));
  // Outside the notification the store answers as usual.
  EXPECT_EQ(Read<std::int32_t>(kTemp, kStoreS32), 17);
  StoreUnsubscribe(&target);
}

// ---- Names and units ------------------------------------------------------------------------

TEST_F(StoreTest, NamesAndUnitsOfARow) {
  Init();
  struct Case {
    std::uint32_t row;
    int shortName;
    std::size_t size;
    int result;
    const char* name;
  };
  const Case kCases[] = {
      {kVolt, 0, 64, 1, "Supply voltage"}, {kVolt, 1, 64, 1, "SV"}, {kIdent, 0, 64, 1, "Fuel type"},
      {kIdent, 1, 64, 1, "Fuel type"},     {kVolt, 0, 4, 1, "Sup"}, {kRowCount, 0, 64, 0, ""},
  };
  for (const auto& c : kCases) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(StoreGetName(c.row, buffer, c.size, c.shortName), c.result);
    EXPECT_STREQ(buffer, c.name);
  }
  EXPECT_EQ(StoreGetName(kVolt, NameForm::kShort), "SV");

  char unit[16];
  EXPECT_EQ(StoreGetUnit(kVolt, unit, sizeof unit), 3u);
  EXPECT_STREQ(unit, "[V]");
  EXPECT_EQ(StoreGetUnit(kTemp, unit, 3), 2u);
  EXPECT_STREQ(unit, "[\xC2");  // cut by bytes, as the buffer demands
  EXPECT_EQ(StoreGetUnit(kIdent, unit, sizeof unit), 0u);
  EXPECT_STREQ(unit, "");
  EXPECT_EQ(StoreGetUnit(kRowCount, unit, sizeof unit), 0u);
  EXPECT_EQ(StoreGetUnit(kTemp), "[°C]");
}

// ---- Threads --------------------------------------------------------------------------------

// One writer (the link thread), one reader (the GUI) and a subscriber: the reader never sees a
// half-written value and every change is announced exactly once.
TEST_F(StoreTest, WriterReaderAndSubscriberAgree) {
  RecordingTarget view;
  StoreSubscribe(&view, 0x0001, 0);
  Init();
  constexpr int kWrites = 20000;
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const double v = Read<double>(kVolt, kStoreDouble);
      // The writer only ever writes k + k / 1000 for whole k.
      const double k = std::round(v / 1.001);
      if (std::fabs(k * 1.001 - v) > 1e-9) torn.fetch_add(1);
      char text[32];
      StoreRead(kTemp, kStoreText, sizeof text, text);
      if (text[0] == 0) torn.fetch_add(1);
    }
  });
  int changes = 0;
  double last = 0.0;
  for (int i = 1; i <= kWrites; ++i) {
    const double v = (i / 3) * 1.001;  // every value three times
    ASSERT_EQ(Write(kVolt, kStoreDouble, v), 1);
    ASSERT_EQ(Write(kTemp, kStoreS32, i), 1);
    changes += v != last ? 1 : 0;
    last = v;
  }
  done.store(true);
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  std::size_t voltChanges = 0;
  for (const auto& m : view.Messages())
    if (m.message == UM_VALUECHANGED && m.a == kVolt) ++voltChanges;
  EXPECT_EQ(voltChanges, static_cast<std::size_t>(changes));
  StoreUnsubscribe(&view);
}

TEST_F(StoreTest, ReleaseWhileWritingIsSafe) {
  Init();
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; !done.load(); ++i) {
      Write(kTemp, kStoreS32, i);
      StoreWriteText(kIdent, "abc");
      StoreSetPresent(kVolt, i & 1);
    }
  });
  for (int i = 0; i < 200; ++i) {
    StoreRelease();
    ASSERT_EQ(StoreInit(kCatalogue), 1);
  }
  done.store(true);
  writer.join();
}

}  // namespace
}  // namespace heatdiag
