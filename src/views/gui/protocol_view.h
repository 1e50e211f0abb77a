// The Protocol view: the MDI document window around the protocol's text window. While it is
// open it is the protocol's view (entries added from any thread are handed to it and shown on
// the GUI thread in one go per burst); menu 106 is the frame's menu bar while it is active.
//
// RegisterProtocolView also gives the frame the protocol's commands (32834..32839), the
// measurement log's (32816, 32817) and messages 1035 and 1036.
#pragma once

#include <QPointer>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "base/protocol.h"
#include "shell/gui/document_view.h"

class QAction;

namespace heatdiag {

class FrameWindow;
class MeasurementLog;
class ProtocolDialogs;
class TerminalWindow;

class ProtocolView final : public DocumentView {
  Q_OBJECT
 public:
  static constexpr std::size_t kCapacity = 1000;
  static constexpr int kMargin = 6;

  explicit ProtocolView(QWidget* parent = nullptr);
  ~ProtocolView() override;

  FrameMenu MenuBar() const override { return FrameMenu::kProtocol; }
  TerminalWindow* Terminal() const { return terminal_; }

  bool IsStopped() const;
  // Stops a running protocol, starts a stopped one.
  void ToggleRecording();
  void Clear();
  // Shows the entries that have arrived from other threads (the view does it on its own).
  void ShowPending();

 private:
  class Sink;
  std::unique_ptr<Sink> sink_;
  TerminalWindow* terminal_ = nullptr;
};

// Writes every line the view holds, as shown, to `path` (replacing it whole or not at all).
bool SaveProtocolLines(const TerminalWindow& terminal, const QString& path);

// Installs the Protocol view, its commands and messages, and the measurement log's commands
// into the frame; `dialogs` and `log` must outlive the frame.
void RegisterProtocolView(FrameWindow& frame, ProtocolDialogs& dialogs, MeasurementLog& log);

}  // namespace heatdiag
