// The "EOL data set" dialog around the hex editor, and the EOL file chooser.
#pragma once

#include <QDialog>
#include <QTimer>
#include <string>

class QPushButton;
class QWidget;

namespace heatdiag {

struct DatasetImage;
struct EditorRequest;
class HexEditControl;

// The file dialog for EOL datasets; `path` holds the ReadEOL / WriteEOL setting on entry and
// the chosen file on return. True when a file was chosen.
bool ChooseEolFile(QWidget* owner, bool forSaving, std::string* path);

// Opened for the dataset worker's editor request: edits the request's image in place. "&Program"
// sets the program flag; the worker's abort flag cancels the dialog; the done flag is set when
// the dialog has ended.
class EolEditorDialog final : public QDialog {
  Q_OBJECT
 public:
  // `reference` is the temporary storage (what the device held), or null.
  EolEditorDialog(EditorRequest& request, const DatasetImage* reference, QWidget* parent = nullptr);
  ~EolEditorDialog() override;

  static constexpr int kDialogId = 138;
  HexEditControl* Editor() const { return editor_; }
  QPushButton* ProgramButton() const { return program_; }
  QPushButton* SaveButton() const { return save_; }
  // The file chooser the save button uses (tests replace it).
  void SetFileChooser(std::function<bool(std::string*)> chooser) { chooser_ = std::move(chooser); }

 protected:
  void done(int result) override;

 private:
  void SaveIntoFile();

  EditorRequest& request_;
  HexEditControl* editor_ = nullptr;
  QPushButton* program_ = nullptr;
  QPushButton* save_ = nullptr;
  QTimer abortTimer_;
  std::function<bool(std::string*)> chooser_;
  bool finished_ = false;
};

}  // namespace heatdiag
