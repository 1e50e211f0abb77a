#include "shell/qt/qt_settings_backend.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QSize>
#include <QTemporaryDir>
#include <QVariant>

#include "base/settings.h"

namespace heatdiag {
namespace {

class QtSettingsBackendTest : public ::testing::Test {
 protected:
  QString IniPath() const { return dir_.filePath(QStringLiteral("heatdiag.ini")); }

  void WriteIni(const QByteArray& contents) {
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
  }

  QTemporaryDir dir_;
};

TEST_F(QtSettingsBackendTest, MissingFileLoadsDefaults) {
  QtSettingsBackend backend(IniPath());
  Settings s;
  ReadSettings(backend, s);
  EXPECT_EQ(s.windowRight, 698);
  EXPECT_EQ(s.windowBottom, 644);
  EXPECT_DOUBLE_EQ(s.parViewClm1, 0.5);
  EXPECT_DOUBLE_EQ(s.parViewClm2, 0.3);
  EXPECT_FALSE(QFile::exists(IniPath()));
}

TEST_F(QtSettingsBackendTest, RoundTripThroughTheFile) {
  Settings original;
  {
    QtSettingsBackend empty(IniPath());
    ReadSettings(empty, original);
  }
  original.comPort = 2;
  original.readEol = "/home/tech/Datensätze/unit, 7.eol";  // comma and umlaut
  original.parViewPos = PackPlacement(WindowPlacement{44, 0, 1, -1, -1, -1, -1, 5, 6, 700, 500});
  original.infoViewClm1 = 0.625;
  original.freeTele[263] = 0xAB;
  original.portPaths[3] = "/dev/ttyACM7";
  {
    QtSettingsBackend backend(IniPath());
    WriteSettings(backend, original);
    EXPECT_TRUE(backend.Sync());
  }
  QtSettingsBackend reread(IniPath());
  Settings loaded;
  ReadSettings(reread, loaded);
  EXPECT_EQ(loaded, original);

  // One group per section, every value a text.
  QSettings raw(IniPath(), QSettings::IniFormat);
  EXPECT_EQ(raw.value(QStringLiteral("Setting/COM Port")).toString(), QStringLiteral("2"));
  EXPECT_EQ(raw.value(QStringLiteral("InfoView/Clm1")).toString(), QStringLiteral("0.625000"));
  EXPECT_EQ(raw.value(QStringLiteral("Ports/COM4")).toString(), QStringLiteral("/dev/ttyACM7"));
}

TEST_F(QtSettingsBackendTest, NonTextValueFallsBackToDefault) {
  {
    QSettings raw(IniPath(), QSettings::IniFormat);
    raw.setValue(QStringLiteral("Window/Right"), QByteArray("\x01\x02", 2));
    raw.setValue(QStringLiteral("Print/FontProp"), QVariant::fromValue(QSize(3, 4)));
    raw.setValue(QStringLiteral("Window/Bottom"), QStringLiteral("480"));
  }
  QtSettingsBackend backend(IniPath());
  EXPECT_EQ(backend.ReadText("Window", "Right"), std::nullopt);
  Settings s;
  ReadSettings(backend, s);
  EXPECT_EQ(s.windowRight, 698);
  EXPECT_EQ(s.fontProp, "Arial");
  EXPECT_EQ(s.windowBottom, 480);
}

TEST_F(QtSettingsBackendTest, HandEditedFileReadsAsTyped) {
  // Byte blocks typed without quotes, with and without the trailing comma; a short block.
  WriteIni(
      "[ParView]\n"
      "Pos=2C,00,00,00,02,00,00,00\n"
      "[Debug]\n"
      "Pos=01,02,03,\n"
      "[Setting]\n"
      "COM%20Port=5\n"
      "LastReport=report.txt\n");
  QtSettingsBackend backend(IniPath());
  Settings s;
  ReadSettings(backend, s);
  PlacementBlock pos{};
  pos[0] = 0x2C;
  pos[4] = 0x02;
  EXPECT_EQ(s.parViewPos, pos);
  EXPECT_EQ(s.debugPos, (DebugPosBlock{1, 2, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.comPort, 5);
  EXPECT_EQ(s.lastReport, "report.txt");
}

TEST_F(QtSettingsBackendTest, GarbageFileNeverBreaksTheLoad) {
  WriteIni(QByteArray("\x00\xFF[[[\n=\n[Window]\nRight=@Variant(\x01\x02)\nLeft=\"unclosed\n", 44));
  QtSettingsBackend backend(IniPath());
  Settings s;
  ReadSettings(backend, s);
  EXPECT_EQ(s.windowRight, 698);
  EXPECT_EQ(s.eepromSize, 512);
}

}  // namespace
}  // namespace heatdiag
