#include "shell/gui/command_icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <array>
#include <utility>

#include "shell/gui/commands.h"

// The images are compiled into this library; a static library's resources must be registered
// by hand.
static void RegisterIconResources() {
  Q_INIT_RESOURCE(icons);
}

namespace heatdiag {
namespace {

constexpr std::array<std::pair<std::uint32_t, const char*>, 25> kIcons = {{
    {kCmdDeviceSelection, "device_selection"},
    {kCmdStartDiagnosis, "start"},
    {kCmdStopDiagnosis, "stop"},
    {kCmdComponentTest, "component_test"},
    {kCmdFuelPrime, "fuel_prime"},
    {kCmdOverview, "overview"},
    {kCmdParameterList, "parameter_list"},
    {kCmdOperatingData, "operating_data"},
    {kCmdDeviceInfo, "device_info"},
    {kCmdGraph, "graph"},
    {kCmdProtocol, "protocol"},
    {kCmdViewFaults, "faults"},
    {kCmdClearFaults, "clear_faults"},
    {kCmdPrintSummary, "print"},
    {kCmdModeOff, "off"},
    {kCmdModeOn, "on"},
    {kCmdModeParking, "parking"},
    {kCmdModeSupplemental, "supplemental"},
    {kCmdModeVentilating, "ventilating"},
    {kCmdCo2Adjustment, "co2"},
    {kCmdEolCell, "eol_cell"},
    {kCmdFreeTelegram, "free_telegram"},
    {kCmdDebugMode, "debug"},
    {kCmdAbout, "about"},
    {kCmdHelpMode, "help_mode"},
}};

void EnsureResources() {
  static const bool registered = [] {
    RegisterIconResources();
    return true;
  }();
  (void)registered;
}

QIcon RenderIcon(const QString& path) {
  EnsureResources();
  QSvgRenderer renderer(path);
  if (!renderer.isValid()) return {};
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QString CommandIconPath(std::uint32_t command) {
  for (const auto& [id, name] : kIcons) {
    if (id == command)
      return QStringLiteral(":/heatdiag/icons/%1.svg").arg(QString::fromLatin1(name));
  }
  return {};
}

QIcon CommandIcon(std::uint32_t command) {
  const QString path = CommandIconPath(command);
  return path.isEmpty() ? QIcon() : RenderIcon(path);
}

QIcon ProgramIcon() {
  return RenderIcon(QStringLiteral(":/heatdiag/icons/app.svg"));
}

}  // namespace heatdiag
