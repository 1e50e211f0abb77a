// The boxes and modal dialogs the frame's commands open. WidgetDialogs shows them; tests answer
// them with a fake so that a command runs without a user.
#pragma once

#include <QString>
#include <cstdint>

class QWidget;

namespace heatdiag {

class FrameDialogs {
 public:
  virtual ~FrameDialogs() = default;
  // "Device selection": a device index 0..18, -1 for the automatic search, 19 for Cancel.
  virtual int SelectDevice(QWidget* owner, std::uint32_t current) = 0;
  // "COM port selection": the chosen port 1..9, or 0 when cancelled.
  virtual std::uint32_t SelectComPort(QWidget* owner, std::uint32_t current) = 0;
  // A Yes/No question with the question icon; true for Yes.
  virtual bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) = 0;
  // An OK/Cancel warning with the exclamation icon; true for OK.
  virtual bool AskOkCancel(QWidget* owner, const QString& caption, const QString& text) = 0;
  // An error box with the exclamation icon.
  virtual void ShowError(QWidget* owner, const QString& caption, const QString& text) = 0;
  virtual void ShowAbout(QWidget* owner) = 0;
};

class WidgetDialogs final : public FrameDialogs {
 public:
  int SelectDevice(QWidget* owner, std::uint32_t current) override;
  std::uint32_t SelectComPort(QWidget* owner, std::uint32_t current) override;
  bool AskYesNo(QWidget* owner, const QString& caption, const QString& text) override;
  bool AskOkCancel(QWidget* owner, const QString& caption, const QString& text) override;
  void ShowError(QWidget* owner, const QString& caption, const QString& text) override;
  void ShowAbout(QWidget* owner) override;
};

// A string-table text as a QString (UTF-8), cut to maxChars bytes.
QString Text(std::uint32_t id, std::size_t maxChars = 1023);

}  // namespace heatdiag
