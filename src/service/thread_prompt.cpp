#include "service/thread_prompt.h"

#include <atomic>
#include <mutex>

#include "base/string_table.h"

namespace heatdiag::service {
namespace {

std::atomic<PromptPresenter*> g_presenter{nullptr};
std::mutex g_oneBox;

}  // namespace

void SetPromptPresenter(PromptPresenter* presenter) {
  g_presenter.store(presenter);
}

bool PromptUser(std::uint32_t captionId, std::string_view text, PromptButtons buttons,
                PromptIcon icon) {
  std::lock_guard lock(g_oneBox);
  PromptPresenter* presenter = g_presenter.load();
  if (presenter == nullptr) return false;
  return presenter->Prompt(LoadString(captionId, 255), text, buttons, icon);
}

bool PromptUserById(std::uint32_t captionId, std::uint32_t textId, PromptButtons buttons,
                    PromptIcon icon) {
  return PromptUser(captionId, LoadString(textId), buttons, icon);
}

}  // namespace heatdiag::service
