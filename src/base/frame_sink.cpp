#include "base/frame_sink.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "base/protocol.h"
#include "base/string_table.h"

namespace heatdiag {
namespace {

std::atomic<MessageTarget*> g_frame{nullptr};
std::atomic<ErrorBoxPresenter*> g_presenter{nullptr};
// The thread that installed the presenter (the GUI thread in the desktop program).
std::atomic<std::thread::id> g_presenterThread{};
// One worker error box at a time.
std::mutex g_errorBox;

template <typename Arg>
std::string FormatWith(std::string_view format, Arg argument) {
  const std::string fmt(format);
  int needed = std::snprintf(nullptr, 0, fmt.c_str(), argument);  // NOLINT
  if (needed < 0) return fmt;
  std::vector<char> out(static_cast<std::size_t>(needed) + 1);
  std::snprintf(out.data(), out.size(), fmt.c_str(), argument);  // NOLINT
  return std::string(out.data(), static_cast<std::size_t>(needed));
}

void ShowFormatted(std::uint32_t textId, const std::string& text,
                   std::uint32_t captionId = kErrorCaptionId) {
  if (textId == 0 || FindString(textId) == nullptr || FindString(captionId) == nullptr) return;
  // Workers take turns; the presenter's own thread never waits for them, since a worker's box
  // may be waiting for that very thread to show it.
  std::unique_lock lock(g_errorBox, std::defer_lock);
  if (std::this_thread::get_id() != g_presenterThread.load()) lock.lock();
  ProtocolAdd(text, kProtocolError);
  if (auto* presenter = g_presenter.load()) presenter->ShowError(LoadString(captionId, 255), text);
}

}  // namespace

void SetFrameTarget(MessageTarget* target) {
  g_frame.store(target);
}
void SetErrorBoxPresenter(ErrorBoxPresenter* presenter) {
  g_presenterThread.store(presenter != nullptr ? std::this_thread::get_id() : std::thread::id{});
  g_presenter.store(presenter);
}

void PostToFrame(std::uint32_t message, std::intptr_t a, std::intptr_t b) {
  if (auto* frame = g_frame.load()) frame->Post(message, a, b);
}

void SendToFrame(std::uint32_t message, std::intptr_t a, std::intptr_t b) {
  if (auto* frame = g_frame.load()) frame->Send(message, a, b);
}

std::string FormatText(std::string_view format, long argument) {
  return FormatWith(format, argument);
}

std::string FormatText(std::string_view format, std::string_view argument) {
  const std::string arg(argument);
  return FormatWith(format, arg.c_str());
}

void ShowThreadError(std::uint32_t textId) {
  ShowFormatted(textId, LoadString(textId, 255));
}

void ShowThreadError(std::uint32_t textId, long argument) {
  ShowFormatted(textId, FormatText(LoadString(textId, 255), argument));
}

void ShowThreadError(std::uint32_t textId, std::string_view argument) {
  ShowFormatted(textId, FormatText(LoadString(textId, 255), argument));
}

void ShowThreadMessage(std::uint32_t captionId, std::uint32_t textId, const std::string& text) {
  ShowFormatted(textId, text, captionId);
}

}  // namespace heatdiag
