// Message boxes that a worker thread puts to the user through the frame: a driver's guided
// component test asks with OK and Cancel, the CO2 adjustment reports a refusal. As with the
// worker error box, the calling thread blocks until the user has closed the box, and one box is
// shown at a time.
#pragma once

#include <cstdint>
#include <string_view>

namespace heatdiag::service {

enum class PromptButtons { kOk, kOkCancel };
enum class PromptIcon { kInformation, kExclamation };

// Shows the box and returns when it is closed: true for OK.
class PromptPresenter {
 public:
  virtual ~PromptPresenter() = default;
  virtual bool Prompt(std::string_view caption, std::string_view text, PromptButtons buttons,
                      PromptIcon icon) = 0;
};

// Installs the frame's presenter (nullptr removes it). Not while a prompt is being shown.
void SetPromptPresenter(PromptPresenter* presenter);

// Shows `text` with the caption of string id `captionId`. Without a presenter nobody can answer:
// the answer is Cancel (false).
bool PromptUser(std::uint32_t captionId, std::string_view text, PromptButtons buttons,
                PromptIcon icon);
// The same with the text of a string id.
bool PromptUserById(std::uint32_t captionId, std::uint32_t textId, PromptButtons buttons,
                    PromptIcon icon);

}  // namespace heatdiag::service
