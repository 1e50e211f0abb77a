#include "views/qtgui/overview_picture.h"

#include <QGuiApplication>
#include <QSaveFile>
#include <memory>

#include "views/qtgui/overview_painter.h"

namespace heatdiag {
namespace {

// Text drawing needs a QGuiApplication; a program without one gets an offscreen one for the
// time of the drawing.
class GuiForDrawing {
 public:
  GuiForDrawing() {
    if (QCoreApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app_ = std::make_unique<QGuiApplication>(argc_, argv_);
  }
  bool Usable() const { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()); }

 private:
  int argc_ = 1;
  char name_[16] = "heatdiag";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace

bool SaveOverviewPicture(std::span<const OverviewElement> elements, int width, int height,
                         const std::string& path, std::string& error) {
  if (width <= 0 || height <= 0) {
    error = "the picture has no size";
    return false;
  }
  GuiForDrawing gui;
  if (!gui.Usable()) {
    error = "the program runs without a graphical application object";
    return false;
  }
  const QImage image = RenderOverview(elements, QSize(width, height));
  if (image.isNull()) {
    error = "no memory for a picture of that size";
    return false;
  }
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) {
    error = file.errorString().toStdString();
    return false;
  }
  if (!image.save(&file, "PNG")) {
    file.cancelWriting();
    error = "the PNG could not be written";
    return false;
  }
  if (!file.commit()) {
    error = file.errorString().toStdString();
    return false;
  }
  return true;
}

}  // namespace heatdiag
