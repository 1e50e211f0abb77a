#include "gui/qt_app.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

namespace heatdiag::test {

QApplication& App() {
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}

void DrainEvents() {
  App();
  for (int i = 0; i < 4; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

}  // namespace heatdiag::test

// Fontconfig keeps caches that it never frees; the leak checker of sanitizer builds reports them
// when the tests end. They are not this program's.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
