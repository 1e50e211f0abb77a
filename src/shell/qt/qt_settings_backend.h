// The settings store of the programs: QSettings with organisation "Kelvar" and application
// "Kelvar Heatdiag" (the per-user registry key on Windows, an INI file under ~/.config on
// Linux), one group per section, every value a text.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "base/settings.h"

namespace heatdiag {

class QtSettingsBackend : public SettingsBackend {
 public:
  // The user's own store.
  QtSettingsBackend();
  // An INI file of its own (tests, or a run with settings kept apart).
  explicit QtSettingsBackend(const QString& iniFile);

  std::optional<std::string> ReadText(std::string_view section, std::string_view value) override;
  bool WriteText(std::string_view section, std::string_view value, std::string_view text) override;

  // Writes pending values to the store; false when the store could not be written.
  bool Sync();

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace heatdiag
