#include "shell/gui/dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <thread>

#include "gui/qt_app.h"
#include "shell/gui/search_window.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

PortFlags Usable(std::initializer_list<int> ports) {
  PortFlags flags{};
  for (int port : ports) flags[static_cast<std::size_t>(port)] = 1;
  return flags;
}

TEST(ComPortDialog, ListsUsablePortsAndReturnsTheChosenNumber) {
  test::App();
  const struct {
    std::initializer_list<int> usable;
    std::uint32_t current;
    const char* preselected;  // nullptr: nothing selected
    bool ok;
    std::uint32_t result;
  } cases[] = {
      {{2, 4}, 3, "COM2", true, 2},
      {{2, 4}, 4, "COM4", true, 4},
      {{2, 4}, 4, "COM4", false, 0},
      {{}, 1, nullptr, true, 0},
  };
  for (const auto& c : cases) {
    ComPortDialog dialog(BuildPortChoice(Usable(c.usable), c.current));
    QComboBox* ports = dialog.Ports();
    ASSERT_EQ(ports->count(), static_cast<int>(c.usable.size()));
    if (c.preselected == nullptr) {
      EXPECT_EQ(ports->currentIndex(), -1);
    } else {
      EXPECT_TRUE(ports->currentText().startsWith(QString::fromLatin1(c.preselected) + "  /"))
          << ports->currentText().toStdString();
    }
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    if (c.ok) {
      emit buttons->accepted();
    } else {
      emit buttons->rejected();
    }
    EXPECT_EQ(dialog.Result(), c.result);
  }
}

TEST(ComPortDialog, OffersTheStableNameOfTheSelectedAdapter) {
  test::App();
  PortChoice choice;
  choice.ports = {1, 5};
  choice.entries = {"COM1  /dev/ttyUSB0  FTDI FT232R USB UART, serial number A50285BI",
                    "COM5  /dev/ttyS0"};
  choice.selected = 0;
  choice.stableNames = {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", ""};
  choice.devices = {"/dev/ttyUSB0", "/dev/ttyS0"};
  choice.byStableName = {false, false};
  ComPortDialog dialog(choice);
  EXPECT_EQ(dialog.StableName()->text().toStdString(), choice.stableNames[0]);
  EXPECT_TRUE(dialog.ByStableName()->isEnabled());
  EXPECT_FALSE(dialog.ByStableName()->isChecked());
  dialog.Ports()->setCurrentIndex(1);
  EXPECT_EQ(dialog.StableName()->text(), QString());
  EXPECT_FALSE(dialog.ByStableName()->isEnabled());
  dialog.Ports()->setCurrentIndex(0);
  dialog.ByStableName()->setChecked(true);
  emit dialog.findChild<QDialogButtonBox*>()->accepted();
  EXPECT_EQ(dialog.Result(), 1u);
  EXPECT_EQ(dialog.PathResult(), choice.stableNames[0]);
}

TEST(DeviceSelectionDialog, ResultsOfItsButtons) {
  test::App();
  const std::vector<std::string> names = {"H-Bus", "Second", "Third"};
  {
    DeviceSelectionDialog dialog(names, 1);
    EXPECT_EQ(dialog.Devices()->count(), 3);
    EXPECT_EQ(dialog.Devices()->currentRow(), 1);
    dialog.AcceptSelection();
    EXPECT_EQ(dialog.Result(), 1);
  }
  {
    DeviceSelectionDialog dialog(names, 19);  // no device selected yet
    dialog.Devices()->clearSelection();
    dialog.AcceptSelection();
    EXPECT_EQ(dialog.Result(), -1);  // OK without a selection asks for the search
  }
  {
    DeviceSelectionDialog dialog(names, 2);
    dialog.Cancel();
    EXPECT_EQ(dialog.Result(), 19);
  }
  {
    DeviceSelectionDialog dialog(names, 2);
    dialog.RequestSearch();
    EXPECT_EQ(dialog.Result(), -1);
  }
  {
    DeviceSelectionDialog dialog(names, 0);
    dialog.Devices()->setCurrentRow(2);
    emit dialog.Devices()->itemDoubleClicked(dialog.Devices()->item(2));
    EXPECT_EQ(dialog.Result(), 2);
  }
}

TEST(AboutDialog, ShowsVersionAndBuildDate) {
  test::App();
  EXPECT_EQ(AboutDialog::VersionLine().toStdString(),
            std::string(HEATDIAG_PRODUCT_VERSION) + " [" + __DATE__ + "]");
  AboutDialog dialog;
  const auto* disclaimer = dialog.findChild<QLabel*>("Disclaimer");
  ASSERT_NE(disclaimer, nullptr);
  EXPECT_EQ(disclaimer->text(),
            "No reponsibilities for possible damages or even functionality can be taken!");
}

TEST(SearchWindow, WorkerCallsReachTheWindowOnTheGuiThread) {
  test::App();
  int refreshed = 0;
  int titled = 0;
  SearchWindowBridge bridge(
      nullptr, [&refreshed] { ++refreshed; }, [&titled] { ++titled; });
  std::thread search([&bridge] {
    bridge.Open();
    bridge.ShowUnit("H-Bus", 15);
    bridge.RefreshCommands();
    bridge.SelectedDeviceChanged();
  });
  search.join();
  EXPECT_EQ(bridge.Dialog(), nullptr);  // nothing happens on the search thread
  DrainEvents();
  ASSERT_NE(bridge.Dialog(), nullptr);
  EXPECT_EQ(bridge.Dialog()->UnitText(), "H-Bus");
  EXPECT_EQ(bridge.Dialog()->RemainingText(), "15");
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(titled, 1);

  std::thread end([&bridge] { bridge.Close(); });
  end.join();
  DrainEvents();
  EXPECT_EQ(bridge.Dialog(), nullptr);
}

}  // namespace
}  // namespace heatdiag
