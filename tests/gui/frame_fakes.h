// Stand-ins for the core and the dialogs, so that the frame's commands run without a driver and
// without a user.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

#include "shell/gui/document_view.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/shell_core.h"

namespace heatdiag::test {

class FakeCore final : public ShellCore {
 public:
  std::uint32_t selected = 0;
  bool session = false;
  bool dataValid = false;
  bool search = false;
  std::array<int, 19> available{};
  std::uint32_t mode = 0;
  std::vector<std::string> calls;
  MessageTarget* subscriber = nullptr;
  std::uint32_t subscribedMask = 0xFFFFFFFF;

  std::uint32_t SelectedDevice() const override { return selected; }
  void SelectDevice(std::uint32_t index) override {
    selected = index;
    calls.push_back("SelectDevice " + std::to_string(index));
  }
  std::string DeviceName(std::uint32_t index) const override {
    return index < 19 ? "Device " + std::to_string(index) : std::string();
  }
  bool SessionActive() const override { return session; }
  bool StoreDataValid() const override { return dataValid; }
  bool SearchRunning() const override { return search; }
  int FunctionAvailable(std::uint32_t function) const override {
    return function < available.size() ? available[function] : 0;
  }
  std::uint32_t OperatingMode() const override { return mode; }
  void SetOperatingMode(std::uint32_t m) override {
    calls.push_back("SetOperatingMode " + std::to_string(m));
  }
  void ClearFaults() override { calls.push_back("ClearFaults"); }
  int RunOwnComponentTest() override {
    calls.push_back("RunOwnComponentTest");
    return 1;
  }
  void StartDiagnosis() override { calls.push_back("StartDiagnosis"); }
  void FinishDiagnosis() override {
    calls.push_back("FinishDiagnosis");
    session = false;
  }
  void StartAutomaticSearch() override { calls.push_back("StartAutomaticSearch"); }
  void CancelSearch() override { calls.push_back("CancelSearch"); }
  void ResetTemporaryStorage() override { calls.push_back("ResetTemporaryStorage"); }
  void Subscribe(MessageTarget* target, std::uint32_t mask, std::intptr_t) override {
    subscriber = target;
    subscribedMask = mask;
    calls.push_back("Subscribe");
  }
  void Unsubscribe(MessageTarget*) override {
    subscriber = nullptr;
    calls.push_back("Unsubscribe");
  }
};

class FakeDialogs final : public FrameDialogs {
 public:
  int deviceResult = 19;
  std::uint32_t portResult = 0;
  bool yes = true;
  bool ok = true;
  std::vector<std::string> shown;  // "SelectDevice 3", "Error caption|text", ...

  int SelectDevice(QWidget*, std::uint32_t current) override {
    shown.push_back("SelectDevice " + std::to_string(current));
    return deviceResult;
  }
  std::uint32_t SelectComPort(QWidget*, std::uint32_t current) override {
    shown.push_back("SelectComPort " + std::to_string(current));
    return portResult;
  }
  bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
    shown.push_back("YesNo " + caption.toStdString() + "|" + text.toStdString());
    return yes;
  }
  bool AskOkCancel(QWidget*, const QString& caption, const QString&) override {
    shown.push_back("OkCancel " + caption.toStdString());
    return ok;
  }
  void ShowError(QWidget*, const QString& caption, const QString& text) override {
    shown.push_back("Error " + caption.toStdString() + "|" + text.toStdString());
  }
  void ShowAbout(QWidget*) override { shown.push_back("About"); }
};

// A document view with nothing in it, for the views other modules build.
class PlainView final : public DocumentView {
 public:
  PlainView(ViewKind kind, FrameMenu menu) : DocumentView(kind), menu_(menu) {}
  FrameMenu MenuBar() const override { return menu_; }

 private:
  FrameMenu menu_;
};

}  // namespace heatdiag::test
