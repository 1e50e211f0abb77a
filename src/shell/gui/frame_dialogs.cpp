#include "shell/gui/frame_dialogs.h"

#include <QMessageBox>

#include "base/settings.h"
#include "base/string_table.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"
#include "link/port_selection.h"
#include "shell/gui/dialogs.h"

namespace heatdiag {

QString Text(std::uint32_t id, std::size_t maxChars) {
  return QString::fromStdString(LoadString(id, maxChars));
}

int WidgetDialogs::SelectDevice(QWidget* owner, std::uint32_t current) {
  std::vector<std::string> names;
  for (std::uint32_t index = 0; index < kDeviceCount; ++index) names.push_back(DeviceName(index));
  DeviceSelectionDialog dialog(names, current, owner);
  dialog.exec();
  return dialog.Result();
}

std::uint32_t WidgetDialogs::SelectComPort(QWidget* owner, std::uint32_t current) {
  PortFlags usable{};
  ListPorts(usable);
  ComPortDialog dialog(BuildPortChoice(usable, current, DiscoverPorts()), owner);
  dialog.exec();
  // The adapter found by its stable name (or again by its device) from now on.
  if (const std::uint32_t port = dialog.Result(); port != 0 && !dialog.PathResult().empty()) {
    ProgramSettings().portPaths[port - 1] = dialog.PathResult();
    SetPortPath(port, dialog.PathResult());
  }
  return dialog.Result();
}

bool WidgetDialogs::AskYesNo(QWidget* owner, const QString& caption, const QString& text) {
  return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

bool WidgetDialogs::AskOkCancel(QWidget* owner, const QString& caption, const QString& text) {
  return QMessageBox::warning(owner, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                              QMessageBox::Ok) == QMessageBox::Ok;
}

void WidgetDialogs::ShowError(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox::warning(owner, caption, text);
}

void WidgetDialogs::ShowAbout(QWidget* owner) {
  AboutDialog dialog(owner);
  dialog.exec();
}

}  // namespace heatdiag
