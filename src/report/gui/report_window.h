// The summary report on screen and paper: the description dialog, printing with the page frame
// (also into PDF files), the text view, and the frame commands "S&ave summary...", "&Open
// summary...", "Print &summary" and "Save summary as PDF...".
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QPlainTextEdit;
class QPrinter;
class QTextEdit;

namespace heatdiag {

class FrameWindow;

// Dialog 158 "Description for printout": the text typed is always kept, whichever way the
// dialog is closed, and offered again the next time.
class DescriptionDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit DescriptionDialog(QWidget* parent = nullptr);
  QPlainTextEdit* Field() const { return field_; }
  // Closing the dialog in any way keeps the text: the result is always Accepted.
  void reject() override { accept(); }

 private:
  QPlainTextEdit* field_ = nullptr;
};

// The description of this run.
std::string& ReportDescription();

// Dialog 162 "Text view": the text in "Courier New" 9 point, OK and "&Print...".
class TextViewDialog final : public QDialog {
  Q_OBJECT
 public:
  TextViewDialog(const QString& caption, const std::string& text, QWidget* parent = nullptr);
  QTextEdit* View() const { return view_; }

  static constexpr std::uint32_t kHelpContext = 0x200A2;

 private:
  QTextEdit* view_ = nullptr;
  std::string text_;
};

// The text view of a summary file: at most 65535 bytes of it; nothing is shown when nothing
// could be read.
void ShowTextFile(QWidget* owner, const QString& caption, const std::string& text);

// Draws the text on the printer, 75 lines a page with the page frame. False when the document
// could not be started or a page could not be ended.
bool PrintTextOn(QPrinter& printer, const std::string& title, const std::string& text);
// The print dialog, then PrintTextOn; false when cancelled or failed.
bool PrintText(QWidget* owner, const std::string& title, const std::string& text);
// Prints into a PDF file through the same page frame; the file is replaced only when complete.
bool PrintTextToPdf(const std::string& path, const std::string& title, const std::string& text);

// What the commands ask of the user. Tests answer in place of the dialogs.
struct ReportUi {
  // A file dialog: save or open, title, filters ("name (pattern)" lines), default suffix,
  // current file. Nullopt when cancelled.
  std::function<std::optional<QString>(QWidget* owner, bool save, const QString& title,
                                       const QString& filters, const QString& suffix,
                                       const QString& current)>
      chooseFile;
  // Dialog 158.
  std::function<void(QWidget* owner)> askDescription;
  // A warning box.
  std::function<void(QWidget* owner, const QString& caption, const QString& text)> warn;
  // Printing with the print dialog.
  std::function<bool(QWidget* owner, const std::string& title, const std::string& text)> print;
  // Dialog 162.
  std::function<void(QWidget* owner, const QString& caption, const std::string& text)> showText;
};

// The dialogs of the desktop program.
ReportUi WidgetReportUi();
void SetReportUi(ReportUi ui);

// The command handlers; each does nothing without a user's confirmation.
void SaveSummary(QWidget* owner);
void OpenSummary(QWidget* owner);
void PrintSummary(QWidget* owner);
void SaveSummaryAsPdf(QWidget* owner);

// Routes 32867, 32868, 32832 and 32865 to this module and adds "Save summary as PDF..." to the
// "&Print" menu.
void RegisterReport(FrameWindow& frame);

}  // namespace heatdiag
