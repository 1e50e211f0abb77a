#include "shell/gui/program.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "dataset/gui/dataset_menu.h"
#include "debug/gui/debug_window.h"
#include "drivers/device_search.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"
#include "drivers/diagnosis.h"
#include "link/serial_port.h"
#include "report/gui/report_window.h"
#include "service/gui/service_functions.h"
#include "shell/gui/commands.h"
#include "shell/gui/core_shell.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/help_controller.h"
#include "shell/gui/search_window.h"
#include "shell/program_settings.h"
#include "shell/qt/qt_settings_backend.h"
#include "views/gui/fault_view.h"
#include "views/gui/list_view.h"
#include "views/gui/overview_view.h"
#include "views/gui/protocol_dialogs.h"
#include "views/gui/protocol_view.h"
#include "views/gui/trend_view.h"
#include "views/measurement_log.h"
#include "virtual_heater.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kVirtualHeaterStatusId = 32340;
constexpr std::uint32_t kVirtualHeaterDevice = 0;  // D00, the H-Bus driver
constexpr std::uint32_t kVirtualHeaterFailedId = 32341;

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// SIGTERM and SIGINT close the frame as its close box would, so that the diagnosis ends and the
// settings are saved (a session logout, Ctrl+C in the terminal). The handler only writes a byte;
// the GUI thread does the rest.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

std::unique_ptr<QSocketNotifier> InstallTerminationHandler(QWidget& frame) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return nullptr;
  auto notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, &frame, [&frame] {
    char byte = 0;
    [[maybe_unused]] const auto read = ::read(g_signalPipe[0], &byte, 1);
    frame.close();
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  return notifier;
}

void RemoveTerminationHandler() {
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  for (int& fd : g_signalPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace

ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments) {
  ProgramOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--virtual-heater") {
      options.virtualHeater = true;
      // The scenario is optional: the next argument is taken when it is not an option.
      if (i + 1 < arguments.size() && !StartsWith(arguments[i + 1], "-"))
        options.scenario = arguments[++i];
    } else if (StartsWith(argument, "--virtual-heater=")) {
      options.virtualHeater = true;
      options.scenario = argument.substr(std::string("--virtual-heater=").size());
      if (options.scenario.empty()) options.error = "--virtual-heater= needs a scenario";
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else {
      options.error = "unknown argument: " + argument;
    }
    if (!options.error.empty()) break;
  }
  return options;
}

std::string ProgramUsage() {
  std::string usage =
      "Usage: heatdiag [--virtual-heater [SCENARIO]]\n"
      "  --virtual-heater [SCENARIO]  run on the built-in virtual heater (a pseudo-terminal\n"
      "                               used as the selected COM port for this run only);\n"
      "                               SCENARIO is a scenario file or one of:";
  for (const std::string& name : heatsim::BuiltInScenarioNames()) usage += " " + name;
  usage +=
      "\n"
      "  --version                    print the version\n"
      "  --help                       print this help\n";
  return usage;
}

int RunProgram(int argc, char** argv) {
  QApplication app(argc, argv);  // takes Qt's own options out of argv
  QCoreApplication::setOrganizationName(QStringLiteral("Kelvar"));
  QCoreApplication::setApplicationName(QStringLiteral(HEATDIAG_PRODUCT_NAME));
  QCoreApplication::setApplicationVersion(QStringLiteral(HEATDIAG_PRODUCT_VERSION));

  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());
  const ProgramOptions options = ParseProgramOptions(arguments);
  if (!options.error.empty()) {
    std::fprintf(stderr, "heatdiag: %s\n%s", options.error.c_str(), ProgramUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(ProgramUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s %s\n", HEATDIAG_PRODUCT_NAME, HEATDIAG_PRODUCT_VERSION);
    return 0;
  }

  // Settings first: the frame's rectangle and the selected device come from them.
  QtSettingsBackend settingsStore;
  LoadSettings(settingsStore);
  ProtocolUseSettings(ProgramSettings());

  // The virtual heater stands in for the selected port for this run; the saved port paths are
  // not touched.
  std::unique_ptr<heatsim::VirtualHeater> heater;
  std::string heaterError;
  if (options.virtualHeater) {
    heatsim::VirtualHeaterOptions heaterOptions;
    heaterOptions.scenario = options.scenario;
    heater = heatsim::VirtualHeater::Start(heaterOptions, &heaterError);
    if (heater) {
      Settings& settings = ProgramSettings();
      if (settings.comPort < 1 || settings.comPort > static_cast<int>(kLastPortNumber))
        settings.comPort = 1;
      SetPortPath(static_cast<std::uint32_t>(settings.comPort), heater->PtyPath());
    } else {
      std::fprintf(stderr, "heatdiag: %s\n",
                   FormatText(LoadString(kVirtualHeaterFailedId, 255), heaterError).c_str());
    }
  }

  WidgetDialogs dialogs;
  std::unique_ptr<FrameWindow> frame;
  SearchWindowBridge searchWindow(
      nullptr,
      [&frame] {
        if (frame) frame->UpdateCommandUI();
      },
      [&frame] {
        if (frame) frame->UpdateWindowTitle();
      });
  CoreShell core(searchWindow);
  frame = std::make_unique<FrameWindow>(core, dialogs);
  searchWindow.SetOwner(frame.get());
  RegisterListViews(*frame);
  RegisterHelp(*frame);
  RegisterFaultView(*frame);
  RegisterOverview(*frame);
  RegisterDebugMode(*frame);
  RegisterReport(*frame);
  WidgetProtocolDialogs protocolDialogs;
  RegisterProtocolView(*frame, protocolDialogs, ProgramMeasurementLog());
  RegisterTrendView(*frame);
  RegisterServiceFunctions(*frame);
  frame->ApplySavedPlacement();
  frame->show();
  SetFrameTarget(&frame->Target());
  SetErrorBoxPresenter(&frame->ErrorBoxes());

  // The subsystems, in their order.
  ClearPortTable();
  StoreStartup();
  InitDrivers();
  DatasetFunctions* dataset = RegisterDatasetFunctions(*frame);
  core.SetTemporaryStorageReset([dataset] { dataset->Worker().ResetTemporaryStorage(); });
  ProgramMeasurementLog().StartThread();
  frame->UpdateWindowTitle();

  if (heater) {
    frame->SetStatusText(FormatText(LoadString(kVirtualHeaterStatusId, 255), heater->PtyPath()));
  } else if (options.virtualHeater) {
    frame->SetStatusText(FormatText(LoadString(kVirtualHeaterFailedId, 255), heaterError));
  }
  frame->Target().Send(UM_STARTUP, 0, 0);
  frame->StartFrameTimer();
  // The virtual heater is an H-Bus control unit: diagnose it at once, so that the program shows
  // a running heater without any set-up.
  if (heater) {
    SelectDevice(kVirtualHeaterDevice);
    frame->UpdateWindowTitle();
    frame->HandleCommand(kCmdStartDiagnosis);
    const bool anyViewOpen = std::any_of(kReopenOrder.begin(), kReopenOrder.end(),
                                         [&](ViewKind kind) { return frame->IsViewOpen(kind); });
    if (!anyViewOpen) frame->OpenView(ViewKind::kParameterList);
  }
  auto termination = InstallTerminationHandler(*frame);

  const int result = QApplication::exec();
  termination.reset();
  RemoveTerminationHandler();

  // Shutdown: the frame's close handling has finished the diagnosis and recorded the views.
  ShutdownServiceFunctions();
  frame->CloseMessageTargets();
  dataset->Stop();
  ProgramMeasurementLog().StopThread();
  StopAutomaticSearch();
  SaveSettings(settingsStore);
  settingsStore.Sync();
  ShutdownDrivers();
  StoreShutdown();
  ProtocolCloseFile();
  ClearPortTable();
  SetErrorBoxPresenter(nullptr);
  SetFrameTarget(nullptr);
  if (heater) heater->Stop();
  frame.reset();
  return result;
}

}  // namespace heatdiag
