// The one QApplication of the GUI tests, on the offscreen platform unless told otherwise.
#pragma once

#include <QString>
#include <ostream>

class QApplication;

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace heatdiag::test {

QApplication& App();
// Delivers every queued event (posted messages, deferred deletes).
void DrainEvents();

}  // namespace heatdiag::test
