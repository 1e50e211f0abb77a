#include "base/settings.h"
#include "shell/program_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace heatdiag {
namespace {

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
using K = SettingKind;

// Existing installations hold these names: their order, spelling and kinds must not drift.
TEST(SettingsTable, NamesKindsAndSizesInTableOrder) {
  struct Row {
    const char* section;
    const char* value;
    K kind;
    std::uint32_t count;
  };
  const Row expected[] = {
      {"Setting", "COM Port", K::kInteger, 0},
      {"Setting", "ReadEOL", K::kText, 0},
      {"Setting", "WriteEOL", K::kText, 0},
      {"Setting", "HBusBlock", K::kInteger, 0},
      {"Setting", "HBusBlockBaud", K::kInteger, 0},
      {"Setting", "AutoStart", K::kInteger, 0},
      {"Setting", "LastDevice", K::kInteger, 0},
      {"Setting", "EOLBackup", K::kInteger, 0},
      {"Setting", "LastReport", K::kText, 0},
      {"Window", "Left", K::kInteger, 0},
      {"Window", "Right", K::kInteger, 0},
      {"Window", "Top", K::kInteger, 0},
      {"Window", "Bottom", K::kInteger, 0},
      {"ParView", "Pos", K::kByteBlock, 44},
      {"ParView", "Clm1", K::kDouble, 0},
      {"ParView", "Clm2", K::kDouble, 0},
      {"ParView", "Open", K::kInteger, 0},
      {"Overview", "Pos", K::kByteBlock, 44},
      {"Overview", "Open", K::kInteger, 0},
      {"InfoView", "Pos", K::kByteBlock, 44},
      {"InfoView", "Clm1", K::kDouble, 0},
      {"InfoView", "Clm2", K::kDouble, 0},
      {"InfoView", "Open", K::kInteger, 0},
      {"WorkView", "Pos", K::kByteBlock, 44},
      {"WorkView", "Clm1", K::kDouble, 0},
      {"WorkView", "Clm2", K::kDouble, 0},
      {"WorkView", "Open", K::kInteger, 0},
      {"ErrorView", "Pos", K::kByteBlock, 44},
      {"ErrorView", "Clm1", K::kDouble, 0},
      {"ErrorView", "Clm2", K::kDouble, 0},
      {"ErrorView", "Open", K::kInteger, 0},
      {"TrendView", "Pos", K::kByteBlock, 44},
      {"TrendView", "Open", K::kInteger, 0},
      {"TrendView", "Tiled", K::kInteger, 0},
      {"TrendView", "Active", K::kInteger, 0},
      {"ProtView", "Pos", K::kByteBlock, 44},
      {"ProtView", "Open", K::kInteger, 0},
      {"ProtView", "Sequence", K::kInteger, 0},
      {"ProtView", "RxTx", K::kInteger, 0},
      {"ProtView", "Log", K::kInteger, 0},
      {"ProtView", "File", K::kText, 0},
      {"LastInput", "FillTime", K::kInteger, 0},
      {"LastInput", "AdjVoltage", K::kInteger, 0},
      {"LastInput", "AdjGlowPlug", K::kInteger, 0},
      {"LastInput", "FreeTele", K::kByteBlock, 264},
      {"LastInput", "ProtoFile", K::kText, 0},
      {"LastInput", "ProtoTime", K::kInteger, 0},
      {"Print", "FontProp", K::kText, 0},
      {"Print", "FontMono", K::kText, 0},
      {"Debug", "Pos", K::kByteBlock, 8},
      {"Debug", "Header", K::kText, 0},
      {"EEPROM", "Start", K::kInteger, 0},
      {"EEPROM", "Size", K::kInteger, 0},
      {"EEPROM", "CheckStart", K::kInteger, 0},
      {"EEPROM", "CheckEnd", K::kInteger, 0},
      {"EEPROM", "CheckSum", K::kInteger, 0},
  };
  const auto table = SettingsTable();
  ASSERT_EQ(table.size(), std::size(expected));
  for (std::size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(table[i].section, expected[i].section);
    EXPECT_STREQ(table[i].value, expected[i].value);
    EXPECT_EQ(table[i].kind, expected[i].kind);
    EXPECT_EQ(table[i].count, expected[i].count);
    EXPECT_LE(std::strlen(table[i].section), 15u);
    EXPECT_LE(std::strlen(table[i].value), 15u);
    EXPECT_LE(std::strlen(table[i].defaultText), 79u);
  }
}

TEST(SettingsLoad, FreshStoreLoadsEveryDefault) {
  MemorySettingsBackend store;
  Settings s;
  s.comPort = 7;  // must be replaced, not kept
  s.parViewPos[3] = 0xFF;
  ReadSettings(store, s);

  EXPECT_EQ(s.comPort, 1);
  EXPECT_EQ(s.readEol, "*.EOL");
  EXPECT_EQ(s.writeEol, "*.EOL");
  EXPECT_EQ(s.hbusBlock, 1);
  EXPECT_EQ(s.hbusBlockBaud, 9600);
  EXPECT_EQ(s.autoStart, 0);
  EXPECT_EQ(s.lastDevice, 0);
  EXPECT_EQ(s.eolBackup, 0);
  EXPECT_EQ(s.lastReport, "*.TXT");
  EXPECT_EQ(s.windowLeft, 0);
  EXPECT_EQ(s.windowTop, 0);
  EXPECT_EQ(s.windowRight, 698);
  EXPECT_EQ(s.windowBottom, 644);

  for (double fraction : {s.parViewClm1, s.infoViewClm1, s.workViewClm1, s.errorViewClm1})
    EXPECT_DOUBLE_EQ(fraction, 0.5);
  for (double fraction : {s.parViewClm2, s.infoViewClm2, s.workViewClm2, s.errorViewClm2})
    EXPECT_DOUBLE_EQ(fraction, 0.3);
  EXPECT_EQ(s.overviewOpen, 1);
  for (std::int32_t open : {s.parViewOpen, s.infoViewOpen, s.workViewOpen, s.errorViewOpen,
                            s.trendViewOpen, s.protViewOpen})
    EXPECT_EQ(open, 0);
  const PlacementBlock none{};
  for (const PlacementBlock& pos : {s.parViewPos, s.overviewPos, s.infoViewPos, s.workViewPos,
                                    s.errorViewPos, s.trendViewPos, s.protViewPos})
    EXPECT_EQ(pos, none);
  EXPECT_EQ(UnpackPlacement(s.parViewPos).length, 0u);  // "no placement saved"

  EXPECT_EQ(s.trendViewTiled, 1);
  EXPECT_EQ(s.trendViewActive, 65535);
  EXPECT_EQ(s.protViewSequence, 1);
  EXPECT_EQ(s.protViewRxTx, 1);
  EXPECT_EQ(s.protViewLog, 0);
  EXPECT_EQ(s.protViewFile, "HDG.LOG");
  EXPECT_EQ(s.fillTime, 158);
  EXPECT_EQ(s.adjVoltage, 12000);
  EXPECT_EQ(s.adjGlowPlug, 500);
  EXPECT_EQ(s.freeTele, FreeTelegramBlock{});
  EXPECT_EQ(s.protoFile, "*.LOG");
  EXPECT_EQ(s.protoTime, 10);
  EXPECT_EQ(s.fontProp, "Arial");
  EXPECT_EQ(s.fontMono, "Courier New");
  EXPECT_EQ(s.debugPos, DebugPosBlock{});
  EXPECT_EQ(s.debugHeader, "*.H");
  EXPECT_EQ(s.eepromStart, 1);
  EXPECT_EQ(s.eepromSize, 512);
  EXPECT_EQ(s.eepromCheckStart, 1);
  EXPECT_EQ(s.eepromCheckEnd, 403);
  EXPECT_EQ(s.eepromCheckSum, 404);
  for (const std::string& path : s.portPaths) EXPECT_EQ(path, "");
  EXPECT_EQ(store.Size(), 0u);  // loading writes nothing
}

Settings NonDefaultSettings() {
  Settings s;
  MemorySettingsBackend empty;
  ReadSettings(empty, s);
  s.comPort = 3;
  s.readEol = "/home/tech/EOL files/unit 7.eol";
  s.lastDevice = 18;
  s.windowLeft = -8;
  s.windowBottom = kIntMax;
  s.windowTop = kIntMin;
  WindowPlacement p;
  p.length = 44;
  p.showCommand = 1;
  p.minX = -1;
  p.minY = -1;
  p.left = 22;
  p.top = 22;
  p.right = 500;
  p.bottom = 400;
  s.parViewPos = PackPlacement(p);
  s.parViewClm1 = 0.125;
  s.errorViewClm2 = -0.75;
  s.trendViewActive = 0x0F0F;
  s.protViewFile = "Protokoll \xC3\xA4.log";  // UTF-8 umlaut
  for (std::size_t i = 0; i < s.freeTele.size(); ++i)
    s.freeTele[i] = static_cast<std::uint8_t>(255 - i);
  s.fontMono = "";
  s.debugPos = {1, 2, 3, 4, 0xFE, 0xFF, 0, 9};
  s.eepromSize = 1024;
  s.portPaths[0] = "/dev/ttyUSB3";
  s.portPaths[8] = "/tmp/virtual heater";
  return s;
}

TEST(SettingsSave, RoundTripKeepsEveryKind) {
  const Settings original = NonDefaultSettings();
  MemorySettingsBackend store;
  WriteSettings(store, original);
  EXPECT_EQ(store.Size(), SettingsTable().size() + kPortCount + ExtraSettingsTable().size());
  Settings loaded;
  ReadSettings(store, loaded);
  EXPECT_EQ(loaded, original);
  EXPECT_EQ(UnpackPlacement(loaded.parViewPos).right, 500);
}

TEST(SettingsSave, StoredTextsUseTheTextFormats) {
  const Settings s = NonDefaultSettings();
  MemorySettingsBackend store;
  WriteSettings(store, s);
  struct Case {
    const char* section;
    const char* value;
    std::string text;
  };
  const Case cases[] = {
      {"Setting", "COM Port", "3"},
      {"Window", "Left", "-8"},
      {"Window", "Top", "-2147483648"},
      {"Window", "Right", "698"},
      {"ParView", "Clm1", "0.125000"},
      {"ErrorView", "Clm2", "-0.750000"},
      {"InfoView", "Clm2", "0.300000"},
      {"Debug", "Pos", "01,02,03,04,FE,FF,00,09,"},
      {"Print", "FontMono", ""},
      {"Ports", "COM1", "/dev/ttyUSB3"},
      {"Ports", "COM2", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.value);
    const std::optional<std::string> stored = store.ReadText(c.section, c.value);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, c.text);
  }
  // A never-saved placement is still written in full: 44 bytes, 132 characters.
  std::string zeros;
  for (int i = 0; i < 44; ++i) zeros += "00,";
  EXPECT_EQ(store.ReadText("Overview", "Pos"), zeros);
  EXPECT_EQ(store.ReadText("LastInput", "FreeTele")->size(), 264u * 3);
}

TEST(SettingsLoad, StoredValuesOverrideDefaultsPerKind) {
  MemorySettingsBackend store;
  store.WriteText("Setting", "COM Port", " 4");
  store.WriteText("Setting", "ReadEOL", "a.eol");
  store.WriteText("ParView", "Clm1", "0.25");
  store.WriteText("Debug", "Pos", "0A,0B");              // no trailing comma
  store.WriteText("ParView", "Pos", "2C,00,00,00,01,");  // shorter than the block
  Settings s;
  ReadSettings(store, s);
  EXPECT_EQ(s.comPort, 4);
  EXPECT_EQ(s.readEol, "a.eol");
  EXPECT_DOUBLE_EQ(s.parViewClm1, 0.25);
  EXPECT_EQ(s.debugPos, (DebugPosBlock{0x0A, 0x0B, 0, 0, 0, 0, 0, 0}));
  PlacementBlock expected{};
  expected[0] = 0x2C;
  expected[4] = 0x01;
  EXPECT_EQ(s.parViewPos, expected);
  EXPECT_DOUBLE_EQ(s.parViewClm2, 0.3);  // untouched neighbour keeps its default
}

TEST(SettingsLoad, NonTextValueFallsBackToDefault) {
  MemorySettingsBackend store;
  store.StoreNonText("Window", "Right");
  store.StoreNonText("Print", "FontProp");
  store.StoreNonText("ParView", "Clm2");
  Settings s;
  ReadSettings(store, s);
  EXPECT_EQ(s.windowRight, 698);
  EXPECT_EQ(s.fontProp, "Arial");
  EXPECT_DOUBLE_EQ(s.parViewClm2, 0.3);
}

TEST(SettingsLoad, UnusableNumbersAndOverlongTextsStaySafe) {
  MemorySettingsBackend store;
  store.WriteText("ParView", "Clm1", "nan");
  store.WriteText("InfoView", "Clm1", "1e999");
  store.WriteText("WorkView", "Clm1", "-inf");
  store.WriteText("Setting", "HBusBlockBaud", "99999999999999999999");
  store.WriteText("Setting", "ReadEOL", std::string(5000, 'p'));
  store.WriteText("LastInput", "FreeTele", std::string(100000, 'F'));
  store.WriteText("Debug", "Pos", std::string(3000, ',') + "01,");
  Settings s;
  ReadSettings(store, s);
  EXPECT_DOUBLE_EQ(s.parViewClm1, 0.5);
  EXPECT_DOUBLE_EQ(s.infoViewClm1, 0.5);
  EXPECT_DOUBLE_EQ(s.workViewClm1, 0.5);
  EXPECT_EQ(s.hbusBlockBaud, kIntMax);
  EXPECT_EQ(s.readEol, std::string(255, 'p'));
  // One endless hex number is one byte.
  FreeTelegramBlock tele{};
  tele[0] = 0xFF;
  EXPECT_EQ(s.freeTele, tele);
  EXPECT_EQ(s.debugPos, DebugPosBlock{});
}

TEST(SettingsSave, UnwritableSectionKeepsItsOldValues) {
  MemorySettingsBackend store;
  store.WriteText("Window", "Left", "100");
  store.RefuseWrites("Window");
  Settings s = NonDefaultSettings();
  WriteSettings(store, s);
  EXPECT_EQ(store.ReadText("Window", "Left"), "100");
  EXPECT_FALSE(store.Contains("Window", "Right"));
  EXPECT_EQ(store.ReadText("EEPROM", "Size"), "1024");  // later sections still written
}

TEST(SettingsProgram, LoadAndSaveUseTheProgramsVariables) {
  MemorySettingsBackend store;
  store.WriteText("Setting", "LastDevice", "5");
  store.WriteText("Ports", "COM2", "/dev/ttyS7");
  store.WriteText("Ports", "COM9", "");
  SetPortPath(9, "/dev/left-over");  // an empty stored path restores the default
  LoadSettings(store);
  EXPECT_EQ(ProgramSettings().lastDevice, 5);
  EXPECT_EQ(ProgramSettings().portPaths[1], "/dev/ttyS7");
  // The serial layer now opens the stored paths, and the defaults elsewhere.
  EXPECT_EQ(PortPath(2), "/dev/ttyS7");
  EXPECT_EQ(PortPath(1), DefaultPortPath(1));
  EXPECT_EQ(PortPath(9), DefaultPortPath(9));

  ProgramSettings().lastDevice = 12;
  SetPortPath(3, "/tmp/pty-of-this-run");  // a path for this run only is not saved
  SaveSettings(store);
  EXPECT_EQ(store.ReadText("Setting", "LastDevice"), "12");
  EXPECT_EQ(store.ReadText("Ports", "COM2"), "/dev/ttyS7");
  EXPECT_EQ(store.ReadText("Ports", "COM3"), "");
  ProgramSettings() = Settings{};
  for (std::uint32_t port = 1; port <= 9; ++port) SetPortPath(port, "");
}

TEST(SettingsFormat, IntegerTexts) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"0", 0},
      {"42", 42},
      {"  \t17", 17},
      {"-9600", -9600},
      {"+5", 5},
      {"12abc", 12},
      {"3.7", 3},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"- 4", 0},
      {"2147483647", kIntMax},
      {"2147483648", kIntMax},
      {"-2147483648", kIntMin},
      {"-2147483649", kIntMin},
      {"000000000000000000000123", 123},
      {"99999999999999999999999999", kIntMax},
      {"-99999999999999999999999999", kIntMin},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseSettingInteger(c.text), c.value);
  }
  for (std::int32_t value : {0, 1, -1, 698, kIntMax, kIntMin})
    EXPECT_EQ(ParseSettingInteger(FormatSettingInteger(value)), value);
}

TEST(SettingsFormat, DoubleTexts) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"0.5", 0.5},
      {" 0.300000", 0.3},
      {"-1.25", -1.25},
      {"+2", 2.0},
      {"1e2", 100.0},
      {"0,5", 0.0},
      {"abc", 0.0},
      {"", 0.0},
      {"--1", 0.0},
      {".5", 0.5},
      {"1e-400", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"1e400", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<double> parsed = ParseSettingDouble(c.text);
    ASSERT_EQ(parsed.has_value(), c.value.has_value());
    if (c.value) {
      EXPECT_DOUBLE_EQ(*parsed, *c.value);
    }
  }
  struct Out {
    double value;
    const char* text;
  };
  const Out outs[] = {
      {0.5, "0.500000"},       {0.3, "0.300000"},       {-0.75, "-0.750000"},     {0.0, "0.000000"},
      {1.0 / 3.0, "0.333333"}, {2.0000005, "2.000001"}, {1e7, "10000000.000000"},
  };
  for (const Out& o : outs) EXPECT_EQ(FormatSettingDouble(o.value), o.text);
}

TEST(SettingsFormat, ByteBlockTexts) {
  struct Case {
    const char* text;
    std::vector<std::uint8_t> bytes;  // the 4-byte block after parsing
    std::size_t read;
  };
  const Case cases[] = {
      {"01,02,03,04,", {1, 2, 3, 4}, 4},
      {"01,02,03,04", {1, 2, 3, 4}, 4},
      {"0A,0b,", {0x0A, 0x0B, 0, 0}, 2},
      {" 1, 2,", {1, 2, 0, 0}, 2},
      {"01,02,03,04,05,06,", {1, 2, 3, 4}, 4},
      {"", {0, 0, 0, 0}, 0},
      {"zz,01,", {0, 0, 0, 0}, 0},
      {"01,,02,", {1, 0, 0, 0}, 1},
      {"FF,G0,", {0xFF, 0, 0, 0}, 1},
      {"1234,", {0x34, 0, 0, 0}, 1},
      {"0102", {0x02, 0, 0, 0}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::uint8_t> block(4, 0);
    EXPECT_EQ(ParseSettingBlock(c.text, block), c.read);
    EXPECT_EQ(block, c.bytes);
  }
  const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
  EXPECT_EQ(FormatSettingBlock(bytes), "00,0F,A5,FF,");
  EXPECT_EQ(FormatSettingBlock({}), "");
}

TEST(SettingsFormat, TextsAreCutToTheirVariable) {
  struct Case {
    std::string text;
    std::string cut;
  };
  const std::string twoByte = "\xC3\xA4";  // one character, two bytes
  const Case cases[] = {
      {"HDG.LOG", "HDG.LOG"},
      {std::string(255, 'a'), std::string(255, 'a')},
      {std::string(256, 'a'), std::string(255, 'a')},
      // The character that would straddle the 255th byte is dropped whole.
      {std::string(254, 'a') + twoByte, std::string(254, 'a')},
      {std::string(253, 'a') + twoByte + "b", std::string(253, 'a') + twoByte},
      {std::string("ab\0cd", 5), "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(CutSettingText(c.text), c.cut);
}

TEST(SettingsFormat, PlacementRecordLayout) {
  WindowPlacement p;
  p.length = 44;
  p.flags = 2;
  p.showCommand = 3;
  p.minX = -32000;
  p.minY = -32000;
  p.maxX = -1;
  p.maxY = -1;
  p.left = 10;
  p.top = 20;
  p.right = 0x01020304;
  p.bottom = -2;
  const PlacementBlock block = PackPlacement(p);
  EXPECT_EQ(block[0], 44);
  EXPECT_EQ(block[4], 2);
  EXPECT_EQ(block[8], 3);
  EXPECT_EQ(block[36], 0x04);  // right, little-endian
  EXPECT_EQ(block[39], 0x01);
  EXPECT_EQ(block[40], 0xFE);  // bottom -2
  EXPECT_EQ(block[43], 0xFF);
  const WindowPlacement back = UnpackPlacement(block);
  EXPECT_EQ(back.minX, -32000);
  EXPECT_EQ(back.maxY, -1);
  EXPECT_EQ(back.right, 0x01020304);
  EXPECT_EQ(back.bottom, -2);
  EXPECT_EQ(PackPlacement(back), block);
}

}  // namespace
}  // namespace heatdiag
