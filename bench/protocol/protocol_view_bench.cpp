// The Protocol view fed 10,000 lines per second for 10 s from a worker thread, as a link
// thread would, on the offscreen platform. Prints the lines the view took per second, the main
// thread's CPU time per second, the memory, and the longest the main thread failed to answer a
// 5 ms timer (its worst stall).
//
//   QT_QPA_PLATFORM=offscreen protocol_view_bench [lines-per-second] [seconds] [snapshot.png]
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "base/protocol.h"
#include "base/settings.h"
#include "views/gui/protocol_view.h"
#include "views/gui/terminal_window.h"

namespace {

double ThreadCpuMs() {
  timespec time = {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
}

long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line))
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rate = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  heatdiag::ProgramSettings().protViewTimeStamps = 1;
  heatdiag::ProtocolOptions options;
  options.store = false;
  heatdiag::ProtocolSetOptions(options);

  heatdiag::ProtocolView view;
  view.resize(800, 600);
  view.show();
  QApplication::processEvents();
  const long rssBefore = StatusKb("VmRSS");

  std::atomic<bool> done{false};
  std::atomic<long> added{0};
  QElapsedTimer clock;
  qint64 lastBeat = 0;
  qint64 worstGapMs = 0;
  QTimer heartbeat;
  heartbeat.setInterval(5);
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    worstGapMs = std::max(worstGapMs, now - lastBeat);
    lastBeat = now;
    if (done.load()) QApplication::quit();
  });

  const double cpuBefore = ThreadCpuMs();
  clock.start();
  heartbeat.start();
  std::thread worker([&] {
    // Paced in 1 ms slices to an absolute schedule, as telegrams arrive.
    const auto start = std::chrono::steady_clock::now();
    const long total = static_cast<long>(rate) * seconds;
    const std::uint8_t telegram[] = {0x4F, 0x08, 0xD1, 0x10, 0x00, 0x2E, 0x01, 0x5A, 0x33, 0xC1};
    for (long sent = 0; sent < total;) {
      const auto slice = std::chrono::milliseconds(sent * 1000 / rate);
      std::this_thread::sleep_until(start + slice);
      const long due = std::min<long>(total, (std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count() +
                                              1) *
                                                 rate / 1000);
      for (; sent < due; ++sent) {
        if (sent % 2 == 0)
          heatdiag::ProtocolAddTelegram(telegram, sizeof telegram, heatdiag::kProtocolReceived);
        else
          heatdiag::ProtocolAdd("Message line " + std::to_string(sent), heatdiag::kProtocolMessage);
      }
      added.store(sent);
    }
    done.store(true);
  });
  QApplication::exec();
  worker.join();
  view.ShowPending();
  const double elapsedS = static_cast<double>(clock.elapsed()) / 1000.0;
  const double cpuMs = ThreadCpuMs() - cpuBefore;
  const auto& lines = view.Terminal()->Lines();
  const double taken = static_cast<double>(lines.Dropped()) + lines.Count();
  if (argc > 3) {
    view.Terminal()->Refresh();
    view.grab().save(QString::fromLocal8Bit(argv[3]));
  }
  std::printf("lines offered         %ld in %.2f s\n", added.load(), elapsedS);
  std::printf("lines taken per s     %.0f\n", taken / elapsedS);
  std::printf("main thread CPU per s %.1f ms\n", cpuMs / elapsedS);
  std::printf("worst main-thread gap %lld ms (timer of 5 ms)\n",
              static_cast<long long>(worstGapMs));
  std::printf("memory                RSS %ld kB before, %ld kB after, peak %ld kB\n", rssBefore,
              StatusKb("VmRSS"), StatusKb("VmHWM"));
  return 0;
}
