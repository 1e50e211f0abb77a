#include "report/gui/report_window.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cstdio>
#include <ctime>

#include "base/frame_sink.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "report/page_layout.h"
#include "report/summary.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/help_controller.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kTextDescriptionCaption = 37000;
constexpr std::uint32_t kTextOk = 37001;
constexpr std::uint32_t kTextCancel = 37002;
constexpr std::uint32_t kTextPrintButton = 37004;
constexpr std::uint32_t kTextPdfTitle = 37010;
constexpr std::uint32_t kTextPdfFilter = 37011;
constexpr std::uint32_t kTextPdfPattern = 37012;
constexpr std::uint32_t kPopupPrint = 32003;
constexpr int kTextViewPointSize = 9;

ReportUi& Ui() {
  static ReportUi ui = WidgetReportUi();
  return ui;
}

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

QString FormatPath(std::uint32_t id, const QString& path) {
  return Utf8(FormatText(LoadString(id, 255), path.toStdString()));
}

// "name (pattern)" lines of the report file dialog, from strings 25004..25007.
QString ReportFilters() {
  QStringList filters;
  for (std::uint32_t id = kTextReportFilterFirst; id < kTextReportFilterFirst + 4; id += 2) {
    const QString name = Text(id, 255);
    const QString pattern = Text(id + 1, 255);
    filters << (name.contains(pattern) ? name : name + " (" + pattern + ")");
  }
  return filters.join(";;");
}

// "txt" from a first pattern "*.txt".
QString DefaultSuffix() {
  const QString pattern = Text(kTextReportFilterFirst + 1, 255);
  return pattern.startsWith("*.") ? pattern.mid(2) : QString();
}

std::optional<QString> ChooseReportFile(QWidget* owner, bool save) {
  Settings& settings = ProgramSettings();
  const std::optional<QString> path =
      Ui().chooseFile(owner, save, Text(kTextReportFileTitle, 255), ReportFilters(),
                      DefaultSuffix(), Utf8(settings.lastReport));
  if (!path || path->isEmpty()) return std::nullopt;
  settings.lastReport = CutSettingText(path->toStdString());
  return path;
}

QFont PixelFont(const QString& family, int pixels, bool bold, bool italic) {
  QFont font(family);
  font.setPixelSize(std::max(1, pixels));
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

QRect ToQRect(const PageRect& r) {
  return QRect(r.left, r.top, r.width, r.height);
}

void DrawFrame(QPainter& painter, const PageFrame& frame, const QString& title, int page, int pages,
               const QString& dateTime) {
  const Settings& settings = ProgramSettings();
  const QString prop = Utf8(settings.fontProp);
  painter.setPen(Qt::black);
  painter.setFont(PixelFont(prop, frame.titleFontHeight, false, false));
  painter.drawText(ToQRect(frame.title), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   title);
  painter.setFont(PixelFont(prop, frame.companyFirst.height, true, true));
  painter.drawText(ToQRect(frame.companyFirst), Qt::AlignRight | Qt::AlignVCenter,
                   Text(kTextCompanyFirst, 255));
  painter.setFont(PixelFont(prop, frame.companySecond.height, true, true));
  painter.drawText(ToQRect(frame.companySecond), Qt::AlignRight | Qt::AlignVCenter,
                   Text(kTextCompanySecond, 255));
  painter.fillRect(ToQRect(frame.upperBar), Qt::black);
  painter.fillRect(ToQRect(frame.lowerBar), Qt::black);

  painter.setFont(PixelFont(prop, frame.footer.height, false, false));
  const QRect footer = ToQRect(frame.footer);
  const int third = footer.width() / 3;
  const QRect left(footer.left(), footer.top(), third, footer.height());
  const QRect centre(footer.left() + third, footer.top(), third, footer.height());
  const QRect right(footer.left() + 2 * third, footer.top(), footer.width() - 2 * third,
                    footer.height());
  painter.drawText(left, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, dateTime);
  painter.drawText(centre, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip,
                   Utf8(ProductText()));
  char pageText[64];
  std::snprintf(pageText, sizeof pageText, LoadString(kTextPageOf, 255).c_str(), page, pages);
  painter.drawText(right, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, pageText);
}

void DrawBody(QPainter& painter, const PageFrame& frame, const std::string& pageText) {
  QFont font = PixelFont(Utf8(ProgramSettings().fontMono), frame.bodyCharHeight, true, false);
  // The body's characters are W/100 wide.
  const int natural = QFontMetrics(font, painter.device()).horizontalAdvance(QLatin1Char('M'));
  if (natural > 0 && frame.bodyCharWidth > 0)
    font.setStretch(std::clamp(100 * frame.bodyCharWidth / natural, 1, 4000));
  painter.setFont(font);
  int y = frame.bodyTextTop;
  std::size_t start = 0;
  while (start <= pageText.size()) {
    std::size_t end = pageText.find('\n', start);
    if (end == std::string::npos) end = pageText.size();
    const QRect line(frame.body.left, y, frame.body.width, frame.bodyCharHeight);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                     Utf8(pageText.substr(start, end - start)));
    y += frame.bodyCharHeight;
    start = end + 1;
  }
}

std::optional<QString> FileDialogChoice(QWidget* owner, bool save, const QString& title,
                                        const QString& filters, const QString& suffix,
                                        const QString& current) {
  QFileDialog dialog(owner, title);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(filters.split(";;"));
  dialog.setDefaultSuffix(suffix);
  if (!current.isEmpty() && !current.contains('*')) dialog.selectFile(current);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

}  // namespace

std::string& ReportDescription() {
  static std::string description;
  return description;
}

DescriptionDialog::DescriptionDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Text(kTextDescriptionCaption, 255));
  SetHelpContext(this, HelpContextOfDialog(158));
  field_ = new QPlainTextEdit;
  field_->setPlainText(Utf8(ReportDescription()));
  auto* buttons = new QDialogButtonBox;
  buttons->addButton(Text(kTextOk, 255), QDialogButtonBox::AcceptRole);
  buttons->addButton(Text(kTextCancel, 255), QDialogButtonBox::RejectRole);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(field_);
  layout->addWidget(buttons);
  connect(field_, &QPlainTextEdit::textChanged, this, [this] {
    std::string text = field_->toPlainText().toStdString();
    if (text.size() > kDescriptionChars) {
      // Cut at a character boundary.
      std::size_t cut = kDescriptionChars;
      while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
      text.resize(cut);
    }
    ReportDescription() = text;
  });
  // OK and Cancel both keep what was typed.
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &DescriptionDialog::reject);
  resize(480, 240);
}

TextViewDialog::TextViewDialog(const QString& caption, const std::string& text, QWidget* parent)
    : QDialog(parent), text_(text) {
  setWindowTitle(caption);
  SetHelpContext(this, HelpContextOfDialog(162));
  view_ = new QTextEdit;
  view_->setReadOnly(true);
  view_->setLineWrapMode(QTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier New"), kTextViewPointSize);
  font.setStyleHint(QFont::TypeWriter);
  font.setBold(false);
  view_->setFont(font);
  view_->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  auto* ok = new QPushButton(Text(kTextOk, 255));
  auto* print = new QPushButton(Text(kTextPrintButton, 255));
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(print);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_, 1);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(print, &QPushButton::clicked, this, [this] { Ui().print(this, std::string(), text_); });
  const QFontMetrics metrics(font);
  resize(metrics.horizontalAdvance(QLatin1Char('M')) * (kReportWidth + 6), metrics.height() * 40);
  if (parent != nullptr) {
    QRect rect = frameGeometry();
    rect.moveCenter(parent->frameGeometry().center());
    move(rect.topLeft());
  }
}

void ShowTextFile(QWidget* owner, const QString& caption, const std::string& text) {
  if (text.empty()) return;
  TextViewDialog(caption, text.substr(0, kTextViewBytes), owner).exec();
}

bool PrintTextOn(QPrinter& printer, const std::string& title, const std::string& text) {
  printer.setDocName(QStringLiteral(HEATDIAG_PRODUCT_NAME));
  const std::vector<std::string> pages = SplitPages(text);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const PageFrame frame = ComputePageFrame(painter.device()->width(), painter.device()->height());
  const QString dateTime = Utf8(ReportDateTime(std::time(nullptr)));
  const int count = static_cast<int>(pages.size());
  for (int page = 0; page < count; ++page) {
    if (page > 0 && !printer.newPage()) {
      painter.end();
      return false;
    }
    DrawFrame(painter, frame, Utf8(title), page + 1, count, dateTime);
    DrawBody(painter, frame, pages[static_cast<std::size_t>(page)]);
  }
  return painter.end();
}

bool PrintText(QWidget* owner, const std::string& title, const std::string& text) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, owner);
  if (dialog.exec() != QDialog::Accepted) return false;
  return PrintTextOn(printer, title, text);
}

bool PrintTextToPdf(const std::string& path, const std::string& title, const std::string& text) {
  const QFileInfo target(Utf8(path));
  if (path.empty() || !target.dir().exists()) return false;
  QTemporaryFile temporary(target.dir().filePath(target.fileName() + ".XXXXXX"));
  if (!temporary.open()) return false;
  const QString temporaryPath = temporary.fileName();
  temporary.close();
  bool printed = false;
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temporaryPath);
    printed = PrintTextOn(printer, title, text);
  }
  if (!printed || QFileInfo(temporaryPath).size() == 0) return false;
  if (std::rename(temporaryPath.toStdString().c_str(), path.c_str()) != 0) return false;
  temporary.setAutoRemove(false);
  return true;
}

ReportUi WidgetReportUi() {
  ReportUi ui;
  ui.chooseFile = FileDialogChoice;
  ui.askDescription = [](QWidget* owner) { DescriptionDialog(owner).exec(); };
  ui.warn = [](QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::warning(owner, caption, text);
  };
  ui.print = PrintText;
  ui.showText = ShowTextFile;
  return ui;
}

void SetReportUi(ReportUi ui) {
  Ui() = std::move(ui);
}

void SaveSummary(QWidget* owner) {
  const std::optional<QString> path = ChooseReportFile(owner, true);
  if (!path) return;
  AtomicFileWriter writer;
  const auto fail = [&] {
    Ui().warn(owner, Text(kTextSaveSummaryCaption, 255), FormatPath(kTextCannotCreateFile, *path));
  };
  if (!writer.Create(path->toStdString())) {
    fail();
    return;
  }
  Ui().askDescription(owner);
  const std::string summary = BuildSummary(ReportDescription());
  if (!writer.Commit(SummaryFileText(summary, ReportDateTime(std::time(nullptr))))) fail();
}

void OpenSummary(QWidget* owner) {
  const std::optional<QString> path = ChooseReportFile(owner, false);
  if (!path) return;
  bool opened = false;
  const std::string text = ReadFileHead(path->toStdString(), kTextViewBytes, &opened);
  if (!opened) {
    Ui().warn(owner, Text(kTextViewSummaryCaption, 255), FormatPath(kTextCannotOpenFile, *path));
    return;
  }
  if (text.empty()) return;
  Ui().showText(owner, Text(kTextViewSummaryCaption, 255), text);
}

void PrintSummary(QWidget* owner) {
  Ui().askDescription(owner);
  const std::string summary = BuildSummary(ReportDescription());
  if (summary.empty()) return;
  Ui().print(owner, LoadString(kTextReportTitle, 255), summary);
}

void SaveSummaryAsPdf(QWidget* owner) {
  const QString filter = Text(kTextPdfFilter, 255);
  const std::optional<QString> path = Ui().chooseFile(owner, true, Text(kTextPdfTitle, 255), filter,
                                                      Text(kTextPdfPattern, 255).mid(2), QString());
  if (!path || path->isEmpty()) return;
  Ui().askDescription(owner);
  const std::string summary = BuildSummary(ReportDescription());
  if (summary.empty()) return;
  if (!PrintTextToPdf(path->toStdString(), LoadString(kTextReportTitle, 255), summary))
    Ui().warn(owner, Text(kTextSaveSummaryCaption, 255), FormatPath(kTextCannotCreateFile, *path));
}

void RegisterReport(FrameWindow& frame) {
  frame.SetCommandHandler(kCmdSaveSummary, [&frame](std::uint32_t) { SaveSummary(&frame); });
  frame.SetCommandHandler(kCmdOpenSummary, [&frame](std::uint32_t) { OpenSummary(&frame); });
  frame.SetCommandHandler(kCmdPrintSummary, [&frame](std::uint32_t) { PrintSummary(&frame); });
  frame.SetCommandHandler(kCmdSaveSummaryPdf,
                          [&frame](std::uint32_t) { SaveSummaryAsPdf(&frame); });
  if (QMenu* print = frame.PopupOf(kPopupPrint); print != nullptr) {
    if (QAction* action = frame.CommandAction(kCmdSaveSummaryPdf)) print->addAction(action);
  }
}

}  // namespace heatdiag
