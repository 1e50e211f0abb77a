// The summary commands with their dialogs answered by the test, printing into PDF files, and the
// text view.
#include <gtest/gtest.h>

#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "gui/qt_app.h"
#include "report/gui/report_window.h"
#include "report/page_layout.h"
#include "report/summary.h"
#include "shell/program_settings.h"

namespace heatdiag {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Page objects of a PDF file.
int PdfPages(const fs::path& path) {
  const QString pdf = QString::fromLatin1(QByteArray::fromStdString(Read(path)));
  return static_cast<int>(pdf.count(QRegularExpression("/Type\\s*/Page(?!s)")));
}

std::string Lines(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += (i > 1 ? "\n" : "") + ("line " + std::to_string(i));
  return text;
}

const ParameterDescriptor kRows[] = {
    {ValueKind::kText, 16, "", "", "", 20101, kUnitNone, kViewDeviceInfo | kViewReport},
    {ValueKind::kUnsigned, 1, "0", "255", "1", 20105, kUnitNone, kViewFaultHeading},
};

struct Answers {
  std::optional<QString> file;
  std::string description = "Van 7";
  std::vector<std::string> warnings;
  std::vector<std::string> printed;  // title, then text
  std::vector<std::string> shown;
  int descriptionAsked = 0;
};

class ReportCommands : public ::testing::Test {
 protected:
  ReportCommands() {
    test::App();
    MemorySettingsBackend backend;
    LoadSettings(backend);
    StoreStartup();
    dir_ = fs::temp_directory_path() / ("heatdiag_report_gui_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    ReportUi ui;
    ui.chooseFile = [this](QWidget*, bool, const QString&, const QString&, const QString&,
                           const QString&) { return answers_.file; };
    ui.askDescription = [this](QWidget*) {
      ++answers_.descriptionAsked;
      ReportDescription() = answers_.description;
    };
    ui.warn = [this](QWidget*, const QString&, const QString& text) {
      answers_.warnings.push_back(text.toStdString());
    };
    ui.print = [this](QWidget*, const std::string& title, const std::string& text) {
      answers_.printed = {title, text};
      return true;
    };
    ui.showText = [this](QWidget*, const QString& caption, const std::string& text) {
      answers_.shown = {caption.toStdString(), text};
    };
    SetReportUi(std::move(ui));
  }
  ~ReportCommands() override {
    SetReportUi(WidgetReportUi());
    StoreShutdown();
    fs::remove_all(dir_);
  }
  void FillStore() {
    ASSERT_EQ(StoreInit(ParameterCatalogue(kRows)), 1);
    StoreWriteText(0, "D00");
    const std::uint32_t code = 3;
    StoreWrite(1, kStoreU32, 0, &code);
    for (std::uint32_t row = 0; row < 2; ++row) {
      StoreSetPresent(row, 1);
      StoreSetShown(row, 1);
    }
  }

  fs::path dir_;
  Answers answers_;
};

TEST_F(ReportCommands, SaveWritesTheFileWithTheDescription) {
  FillStore();
  const fs::path file = dir_ / "summary.txt";
  answers_.file = QString::fromStdString(file.string());
  SaveSummary(nullptr);
  EXPECT_EQ(answers_.descriptionAsked, 1);
  EXPECT_TRUE(answers_.warnings.empty());
  EXPECT_EQ(ProgramSettings().lastReport, file.string());
  const std::string text = Read(file);
  EXPECT_EQ(text.substr(0, 100), PadBetween("Diagnosis report", "KELVAR Calorics"));
  EXPECT_NE(text.find("\n\nVan 7\n\nConfiguration:\n"), std::string::npos);
  EXPECT_NE(text.find("Flame failure"), std::string::npos);
}

TEST_F(ReportCommands, SaveIntoAMissingFolderIsReportedAndAsksNothingMore) {
  FillStore();
  const fs::path file = dir_ / "missing" / "summary.txt";
  answers_.file = QString::fromStdString(file.string());
  SaveSummary(nullptr);
  EXPECT_EQ(answers_.warnings,
            std::vector<std::string>{"Cannot create file " + file.string() + "!"});
  EXPECT_EQ(answers_.descriptionAsked, 0);
  // Cancelled: nothing at all.
  answers_.file.reset();
  answers_.warnings.clear();
  SaveSummary(nullptr);
  EXPECT_TRUE(answers_.warnings.empty());
}

TEST_F(ReportCommands, OpenShowsTheFileOrReports) {
  const fs::path file = dir_ / "old.txt";
  std::ofstream(file) << "saved summary";
  answers_.file = QString::fromStdString(file.string());
  OpenSummary(nullptr);
  EXPECT_EQ(answers_.shown, (std::vector<std::string>{"View summary", "saved summary"}));

  answers_.shown.clear();
  const fs::path empty = dir_ / "empty.txt";
  std::ofstream{empty};
  answers_.file = QString::fromStdString(empty.string());
  OpenSummary(nullptr);  // nothing read: no text view
  EXPECT_TRUE(answers_.shown.empty());
  EXPECT_TRUE(answers_.warnings.empty());

  const fs::path missing = dir_ / "missing.txt";
  answers_.file = QString::fromStdString(missing.string());
  OpenSummary(nullptr);
  EXPECT_EQ(answers_.warnings,
            std::vector<std::string>{"Cannot open file " + missing.string() + "!"});
}

TEST_F(ReportCommands, PrintAsksForTheDescriptionAndPrintsTheSummary) {
  FillStore();
  PrintSummary(nullptr);
  ASSERT_EQ(answers_.printed.size(), 2u);
  EXPECT_EQ(answers_.printed[0], "Diagnosis report");
  EXPECT_EQ(answers_.printed[1], BuildSummary("Van 7"));
  // Without store data nothing is printed.
  StoreRelease();
  answers_.printed.clear();
  PrintSummary(nullptr);
  EXPECT_TRUE(answers_.printed.empty());
}

TEST_F(ReportCommands, SummaryOfSeventySixLinesPrintsOnTwoPages) {
  const fs::path pdf = dir_ / "summary.pdf";
  // Item lines of the longest kind among them.
  std::string text = SummaryItemLine(std::string(40, 'N'), std::string(60, 'V'), "[unit_unit_u]");
  text += SummaryItemLine("Supply voltage", "12.5", "[V]") + Lines(74);
  ASSERT_EQ(TextLineCount(text), 76);
  ASSERT_TRUE(PrintTextToPdf(pdf.string(), "Diagnosis report", text));
  EXPECT_EQ(PdfPages(pdf), 2);
  ASSERT_TRUE(PrintTextToPdf(pdf.string(), "Diagnosis report", Lines(75)));
  EXPECT_EQ(PdfPages(pdf), 1);
  // Only the finished file is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 1);
  EXPECT_FALSE(PrintTextToPdf((dir_ / "missing" / "x.pdf").string(), "", "text"));
  // HEATDIAG_KEEP_PDF=file keeps a printout to look at.
  if (const char* keep = std::getenv("HEATDIAG_KEEP_PDF")) {
    ASSERT_TRUE(PrintTextToPdf(keep, "Diagnosis report", text));
  }
}

TEST_F(ReportCommands, SaveAsPdfGoesThroughThePrintout) {
  FillStore();
  const fs::path pdf = dir_ / "report.pdf";
  answers_.file = QString::fromStdString(pdf.string());
  SaveSummaryAsPdf(nullptr);
  EXPECT_TRUE(answers_.warnings.empty());
  EXPECT_EQ(PdfPages(pdf), 1);
  answers_.file = QString::fromStdString((dir_ / "no" / "report.pdf").string());
  SaveSummaryAsPdf(nullptr);
  EXPECT_EQ(answers_.warnings.size(), 1u);
}

TEST_F(ReportCommands, TextViewShowsTheTextInCourierAndPrintsIt) {
  TextViewDialog dialog("View summary", "first line\nsecond line");
  EXPECT_EQ(dialog.windowTitle(), "View summary");
  EXPECT_EQ(dialog.View()->toPlainText(), "first line\nsecond line");
  EXPECT_EQ(dialog.View()->font().family(), "Courier New");
  EXPECT_EQ(dialog.View()->font().pointSize(), 9);
  EXPECT_FALSE(dialog.View()->font().bold());
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (button->text() == "&Print...") button->click();
  }
  EXPECT_EQ(answers_.printed, (std::vector<std::string>{"", "first line\nsecond line"}));
}

TEST_F(ReportCommands, DescriptionIsKeptWhicheverWayTheDialogCloses) {
  ReportDescription() = "before";
  DescriptionDialog dialog;
  EXPECT_EQ(dialog.Field()->toPlainText(), "before");
  dialog.Field()->setPlainText("typed " + QString(1100, 'x'));
  dialog.reject();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(ReportDescription().size(), kDescriptionChars);
  EXPECT_EQ(ReportDescription().substr(0, 6), "typed ");
}

}  // namespace
}  // namespace heatdiag
