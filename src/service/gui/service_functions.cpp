#include "service/gui/service_functions.h"

#include <QMessageBox>
#include <QPointer>
#include <memory>

#include "base/messages.h"
#include "drivers/device_table.h"
#include "service/co2_worker.h"
#include "service/gui/service_dialogs.h"
#include "service/service_texts.h"
#include "service/thread_prompt.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/queued_target.h"
#include "shell/gui/view_kind.h"

namespace heatdiag {
namespace {

using service::Calibration;

// The boxes a worker thread puts to the user, shown on the GUI thread while the worker waits.
class PromptBridge final : public service::PromptPresenter {
 public:
  explicit PromptBridge(FrameWindow& frame) : frame_(frame) {}
  bool Prompt(std::string_view caption, std::string_view text, service::PromptButtons buttons,
              service::PromptIcon icon) override {
    const QString captionText =
        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    const QString bodyText = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    bool ok = false;
    QueuedMessageTarget* target = &frame_.Target();
    RunOnGuiThreadAndWait(
        &frame_,
        [&] {
          QMessageBox box(icon == service::PromptIcon::kExclamation ? QMessageBox::Warning
                                                                    : QMessageBox::Information,
                          captionText, bodyText,
                          buttons == service::PromptButtons::kOkCancel
                              ? QMessageBox::Ok | QMessageBox::Cancel
                              : QMessageBox::Ok,
                          &frame_);
          ok = box.exec() == QMessageBox::Ok;
        },
        [target] { return target->IsClosed(); });
    return ok;
  }

 private:
  FrameWindow& frame_;
};

struct ServiceModule {
  FrameWindow* frame = nullptr;
  std::unique_ptr<PromptBridge> prompts;
  std::unique_ptr<service::Co2Worker> co2;
  QPointer<service::ComponentTestDialog> componentTest;
  QPointer<service::Co2Dialog> co2Dialog;
  QPointer<service::FreeTelegramDialog> freeTelegram;
};

ServiceModule& Module() {
  static ServiceModule module;
  return module;
}

bool SessionActive() {
  return SelectedSessionActive();
}

void OpenComponentTest(FrameWindow& frame) {
  ServiceModule& m = Module();
  // Drivers with a guided test run it on their own thread (asked for by the frame itself).
  if (const DeviceDriver* driver = SelectedDriver();
      driver != nullptr && driver->IsFunctionAvailable(kFnOwnComponentTest) != 0)
    return;
  if (m.componentTest) return;  // one at a time
  m.componentTest = new service::ComponentTestDialog(&frame);
  m.componentTest->show();
}

void ToggleFreeTelegram(FrameWindow& frame) {
  ServiceModule& m = Module();
  if (m.freeTelegram) {
    m.freeTelegram->close();
    return;
  }
  m.freeTelegram = new service::FreeTelegramDialog(&frame, [&frame] {
    // The answer is seen in the Protocol view: open it; its recording runs once it is open.
    if (frame.HasView(ViewKind::kProtocol) && !frame.IsViewOpen(ViewKind::kProtocol))
      frame.OpenView(ViewKind::kProtocol);
  });
  QObject::connect(m.freeTelegram, &QObject::destroyed, &frame,
                   [&frame] { frame.UpdateCommandUI(); });
  m.freeTelegram->show();
}

}  // namespace

void RegisterServiceFunctions(FrameWindow& frame) {
  ServiceModule& m = Module();
  m.frame = &frame;
  frame.AddCommandStateSource([](CommandState& state) {
    state.co2Command = static_cast<int>(service::Co2Command());
    state.freeTelegramOpen = FreeTelegramDialogOpen();
  });
  frame.SetCommandHandler(kCmdComponentTest, [&frame](std::uint32_t) { OpenComponentTest(frame); });
  frame.SetCommandHandler(kCmdFuelPrime, [&frame](std::uint32_t) {
    if (!SessionActive()) return;
    service::FuelPrimeDialog dialog(&frame);
    dialog.exec();
  });
  const auto calibration = [&frame](Calibration kind) {
    return [&frame, kind](std::uint32_t) {
      if (!SessionActive()) return;
      service::CalibrationDialog dialog(&frame, kind);
      dialog.exec();
    };
  };
  frame.SetCommandHandler(kCmdVoltageAdjustment, calibration(Calibration::kVoltage));
  frame.SetCommandHandler(kCmdFlameSensorAdjustment, calibration(Calibration::kGlowPlug));
  frame.SetCommandHandler(kCmdCo2Adjustment, [](std::uint32_t) {
    if (SessionActive()) service::ToggleCo2Command(service::kCo2Normal);
  });
  frame.SetCommandHandler(kCmdCo2AdjustmentCold, [](std::uint32_t) {
    if (SessionActive()) service::ToggleCo2Command(service::kCo2Cold);
  });
  frame.SetCommandHandler(kCmdFreeTelegram, [&frame](std::uint32_t) { ToggleFreeTelegram(frame); });
  frame.SetMessageHandler(UM_OPENCO2DIALOG, [&frame](std::intptr_t a, std::intptr_t) {
    auto* request = reinterpret_cast<service::Co2Request*>(a);
    ServiceModule& module = Module();
    if (request == nullptr) return;
    if (module.co2Dialog) {
      // One at a time: the worker waits for the dialog it has just asked for.
      request->closed = 1;
      return;
    }
    module.co2Dialog = new service::Co2Dialog(&frame, request);
    module.co2Dialog->show();
  });
  m.prompts = std::make_unique<PromptBridge>(frame);
  service::SetPromptPresenter(m.prompts.get());
  m.co2 = std::make_unique<service::Co2Worker>();
  m.co2->Start();
}

void ShutdownServiceFunctions() {
  ServiceModule& m = Module();
  // The CO2 dialog holds the worker's request: it goes first, telling the worker it has closed.
  if (m.co2Dialog) delete m.co2Dialog.data();
  if (m.componentTest) delete m.componentTest.data();
  if (m.freeTelegram) delete m.freeTelegram.data();
  if (m.co2) m.co2->Stop();
  m.co2.reset();
  service::SetCo2Command(service::kCo2Idle);
  service::SetPromptPresenter(nullptr);
  m.prompts.reset();
  m.frame = nullptr;
}

bool FreeTelegramDialogOpen() {
  return !Module().freeTelegram.isNull();
}

}  // namespace heatdiag
