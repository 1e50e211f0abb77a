// The frame as the core's threads see it: the target of worker messages and the presenter of
// worker error boxes. The desktop program installs its frame window; headless front ends and
// tests install their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/messages.h"

namespace heatdiag {

// Shows a worker's error box and returns when the user has closed it.
class ErrorBoxPresenter {
 public:
  virtual ~ErrorBoxPresenter() = default;
  virtual void ShowError(std::string_view caption, std::string_view text) = 0;
};

// Installs the frame's message target and error-box presenter (nullptr removes them). The
// presenter is installed from the thread that shows the boxes: calls on that thread do not wait
// for the boxes of workers.
void SetFrameTarget(MessageTarget* target);
void SetErrorBoxPresenter(ErrorBoxPresenter* presenter);

// Posts / sends a message to the frame; does nothing while no frame is installed.
void PostToFrame(std::uint32_t message, std::intptr_t a = 0, std::intptr_t b = 0);
void SendToFrame(std::uint32_t message, std::intptr_t a = 0, std::intptr_t b = 0);

// Shows the text with the given string id, formatted with its single printf argument, as an
// error box ("Error!") and adds it to the protocol as an error entry. Blocks the calling worker
// until the box is closed; one box at a time. A text id of 0 or an unknown id does nothing.
void ShowThreadError(std::uint32_t textId);
void ShowThreadError(std::uint32_t textId, long argument);
void ShowThreadError(std::uint32_t textId, std::string_view argument);

// The same with a caption of its own (a string id) and the text already formatted from textId.
void ShowThreadMessage(std::uint32_t captionId, std::uint32_t textId, const std::string& text);

// printf-style formatting of a string-table text with one argument.
std::string FormatText(std::string_view format, long argument);
std::string FormatText(std::string_view format, std::string_view argument);

constexpr std::uint32_t kErrorCaptionId = 21001;  // "Error!"

}  // namespace heatdiag
