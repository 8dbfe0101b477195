// pgl_bench_prefixes_window: the Prefixes window on the prefixes of $HOME, timed as a user
// feels it: from its opening to the first painted list, and to the last size filled in.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

#include "platform/ManagedSystem.h"
#include "ui/windows/TFormPrefixes.h"

namespace {

// Notes the first paint of the list.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && ms < 0)
      ms = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
    return QObject::eventFilter(watched, event);
  }
  double ms = -1;

 private:
  const QElapsedTimer& clock_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::vector<std::string> notes;
  QElapsedTimer clock;
  clock.start();
  std::vector<pgl::KnownSystem> known = pgl::KnownSystems(notes);
  const double foundMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  pgl::WindowServices services;
  QWidget owner;
  pgl::TFormPrefixes window(&owner, services);
  FirstPaint paint(clock);
  window.Table()->viewport()->installEventFilter(&paint);
  window.ShowPrefixes(known, {});
  window.show();
  QTimer::singleShot(0, [&] {
    while (!window.Measured()) app.processEvents(QEventLoop::WaitForMoreEvents);
    const double allMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    std::printf("prefixes found:              %zu (%.1f ms)\n", known.size(), foundMs);
    std::printf("open to first painted list:  %.1f ms\n", paint.ms);
    std::printf("open to every size shown:    %.1f ms\n", allMs);
    app.quit();
  });
  return app.exec();
}
