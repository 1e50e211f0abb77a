// The frame's own dialogs: "COM port selection", "Device selection" and the About box.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "link/port_selection.h"

class QComboBox;
class QListWidget;

namespace heatdiag {

// Lists the usable ports as "COM1  /dev/ttyUSB0"; the result is the chosen port number 1..9, or
// 0 when cancelled. Opens centred on the screen.
class ComPortDialog final : public QDialog {
  Q_OBJECT
 public:
  ComPortDialog(const PortChoice& choice, QWidget* parent = nullptr);
  // The port number the dialog ended with (after exec()).
  std::uint32_t Result() const { return result_; }
  QComboBox* Ports() const { return ports_; }

  // The help context id of the dialog.
  static constexpr std::uint32_t kHelpContext = 0x2008D;

 private:
  QComboBox* ports_ = nullptr;
  std::uint32_t result_ = 0;
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
