// The frame's own dialogs: "COM port selection", "Device selection" and the About box.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "link/port_selection.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;

namespace heatdiag {

// Lists the usable ports as "COM1  /dev/ttyUSB0" with the adapter's name; the result is the
// chosen port number 1..9, or 0 when cancelled. Below the list, the selected adapter's stable
// name and whether the port number is to find the adapter by it. Opens centred on the screen.
class ComPortDialog final : public QDialog {
  Q_OBJECT
 public:
  ComPortDialog(const PortChoice& choice, QWidget* parent = nullptr);
  // The port number the dialog ended with (after exec()).
  std::uint32_t Result() const { return result_; }
  // The device path to store for the port of the result when the user changed whether its
  // adapter is found by the stable name; empty when it is to stay as it is.
  const std::string& PathResult() const { return pathResult_; }
  QComboBox* Ports() const { return ports_; }
  QCheckBox* ByStableName() const { return byStableName_; }
  QLabel* StableName() const { return stableName_; }

  // The help context id of the dialog.
  static constexpr std::uint32_t kHelpContext = 0x2008D;

 private:
  void ShowEntry(int index);

  PortChoice choice_;
  QComboBox* ports_ = nullptr;
  QLabel* stableName_ = nullptr;
  QCheckBox* byStableName_ = nullptr;
  std::uint32_t result_ = 0;
  std::string pathResult_;
};

// The device list: OK or a double-click gives the selected record index (-1 when none is
// selected), "automatic search" gives -1, Cancel gives 19. Opens centred over its owner.
class DeviceSelectionDialog final : public QDialog {
  Q_OBJECT
 public:
  DeviceSelectionDialog(const std::vector<std::string>& names, std::uint32_t current,
                        QWidget* parent = nullptr);
  int Result() const { return result_; }
  QListWidget* Devices() const { return list_; }

  static constexpr std::uint32_t kHelpContext = 0x2008E;

  // Ends the dialog as the button or double-click would.
  void AcceptSelection();
  void RequestSearch();
  void Cancel();

 private:
  QListWidget* list_ = nullptr;
  int result_ = 19;
};

class AboutDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDialog(QWidget* parent = nullptr);
  // "%s [%s]" with the product version and the build date.
  static QString VersionLine();
};

}  // namespace heatdiag
