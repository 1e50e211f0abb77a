#include "dataset/gui/eol_editor_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/settings.h"
#include "dataset/dataset_texts.h"
#include "dataset/dataset_worker.h"
#include "dataset/eol_file.h"
#include "dataset/gui/hex_editor.h"
#include "shell/gui/frame_dialogs.h"
#include "shell/gui/help_controller.h"

namespace heatdiag {
namespace {

constexpr std::size_t kMaxPath = 255;
constexpr int kAbortPollMs = 100;

}  // namespace

bool ChooseEolFile(QWidget* owner, bool forSaving, std::string* path) {
  const QStringList filters = {Text(kTextFilterEol, 255), Text(kTextFilterPrn, 255),
                               Text(kTextFilterTxt, 255), Text(kTextFilterAll, 255)};
  QFileDialog dialog(owner, Text(kTextEolDatasetTitle, 255));
  dialog.setObjectName(QStringLiteral("EolFileDialog"));
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.front());
  dialog.setDefaultSuffix(QStringLiteral("eol"));
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(forSaving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  const QFileInfo last(QString::fromStdString(*path));
  if (!path->empty() && last.fileName() != QStringLiteral("*.EOL")) {
    dialog.setDirectory(last.absolutePath());
    dialog.selectFile(last.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  const std::string chosen = dialog.selectedFiles().front().toStdString();
  if (chosen.size() > kMaxPath) return false;
  *path = chosen;
  return true;
}

EolEditorDialog::EolEditorDialog(EditorRequest& request, const DatasetImage* reference,
                                 QWidget* parent)
    : QDialog(parent), request_(request) {
  setObjectName(QStringLiteral("EolEditorDialog"));
  SetHelpContext(this, HelpContextOfDialog(kDialogId));
  setWindowTitle(Text(kTextEditorTitle, 255));
  auto* layout = new QVBoxLayout(this);
  editor_ = new HexEditControl(this);
  editor_->setObjectName(QStringLiteral("HeatdiagHexEditClass"));
  editor_->setMinimumSize(editor_->sizeHint());
  layout->addWidget(editor_, 1);
  auto* buttons = new QHBoxLayout;
  program_ = new QPushButton(Text(kTextProgramButton, 255), this);
  program_->setObjectName(QStringLiteral("Program"));
  save_ = new QPushButton(Text(kTextSaveIntoFile, 255), this);
  save_->setObjectName(QStringLiteral("SaveIntoFile"));
  auto* cancel = new QPushButton(Text(kTextCancelButton, 255), this);
  cancel->setObjectName(QStringLiteral("Cancel"));
  program_->setDefault(true);
  buttons->addWidget(program_);
  buttons->addWidget(save_);
  buttons->addStretch(1);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(program_, &QPushButton::clicked, this, [this] {
    request_.program = true;
    accept();
  });
  connect(save_, &QPushButton::clicked, this, [this] { SaveIntoFile(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  chooser_ = [this](std::string* path) { return ChooseEolFile(this, true, path); };

  editor_->Bind(request_.image, reference);
  connect(&abortTimer_, &QTimer::timeout, this, [this] {
    if (request_.abort) reject();
  });
  abortTimer_.start(kAbortPollMs);
  editor_->setFocus();
}

EolEditorDialog::~EolEditorDialog() {
  if (!finished_) request_.done = true;
}

void EolEditorDialog::done(int result) {
  abortTimer_.stop();
  QDialog::done(result);
  finished_ = true;
  request_.done = true;
}

void EolEditorDialog::SaveIntoFile() {
  Settings& settings = ProgramSettings();
  std::string path = settings.writeEol;
  if (!chooser_ || !chooser_(&path)) return;
  settings.writeEol = path;
  if (request_.image != nullptr) WriteEolFileReporting(path, *request_.image);
}

}  // namespace heatdiag
