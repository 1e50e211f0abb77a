#include "shell/qt/qt_settings_backend.h"

#include <QStringList>
#include <QVariant>

namespace heatdiag {
namespace {

QString Key(std::string_view section, std::string_view value) {
  return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + u'/' +
         QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

}  // namespace

QtSettingsBackend::QtSettingsBackend()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Kelvar"),
                                            QStringLiteral("Kelvar Heatdiag"))) {}

QtSettingsBackend::QtSettingsBackend(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

std::optional<std::string> QtSettingsBackend::ReadText(std::string_view section,
                                                       std::string_view value) {
  const QVariant stored = settings_->value(Key(section, value));
  switch (stored.typeId()) {
    case QMetaType::QString:
      return stored.toString().toStdString();
    case QMetaType::QStringList:
      // An INI line edited by hand without quotes reads as a list split at its commas (a byte
      // block such as 01,02,03,); joined again it is the text that was typed, less any blanks
      // around the commas.
      return stored.toStringList().join(u',').toStdString();
    default:
      // Missing, or stored as another type (a byte array, a number written by another tool).
      return std::nullopt;
  }
}

bool QtSettingsBackend::WriteText(std::string_view section, std::string_view value,
                                  std::string_view text) {
  if (!settings_->isWritable()) return false;
  settings_->setValue(Key(section, value),
                      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  return true;
}

bool QtSettingsBackend::Sync() {
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace heatdiag
