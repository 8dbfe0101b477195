// pgl_bench_window PREFIX [SETTINGS_DIR]: the window on a prefix, timed as a user feels it.
// Prints the time from the program's start to the first painted list, the time of header
// clicks (re-sort, rebuild and repaint of the whole list) and the peak memory of the process.
// With SETTINGS_DIR holding a settings file it is a second start (no first backup). With
// PGL_BENCH_START_ONLY set it ends once the list is painted, so that the whole process (the
// loading of its libraries too) can be timed from outside, as pgl-cli is.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "inventory/UninstallPlaces.h"
#include "platform/ManagedSystem.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/ConfirmDialogs.h"

namespace {

using Clock = std::chrono::steady_clock;
// The program's start: a restart for a large registry (the window's own) counts from the first.
const Clock::time_point kStart = [] {
  if (const char* first = std::getenv("PGL_BENCH_FIRST_START"))
    return Clock::time_point(Clock::duration(std::strtoll(first, nullptr, 10)));
  const Clock::time_point now = Clock::now();
  ::setenv("PGL_BENCH_FIRST_START", std::to_string(now.time_since_epoch().count()).c_str(), 1);
  return now;
}();

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Notes the first paint of the list.
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && ms < 0) ms = MsSince(kStart);
    return QObject::eventFilter(watched, event);
  }
  double ms = -1;
};

// The resident memory of the process now.
double RssMb() {
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4096.0 / (1024 * 1024);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: pgl_bench_window PREFIX [SETTINGS_DIR]\n");
    return 2;
  }
  ::setenv("WINEPREFIX", argv[1], 1);
  pgl::RestartForLargeRegistry(argv[1], argv);  // as the program starts
  QApplication app(argc, argv);
  std::string error;
  const auto opened = Clock::now();
  pgl::OpenSystemsForListing();  // as the program opens it
  auto system = pgl::OpenManagedSystem(error);
  if (!system) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const double openMs = MsSince(opened);
  const double openRss = RssMb();
  const std::string dir = argc > 2 ? argv[2] : "/tmp";
  const auto built = Clock::now();
  pgl::TFormMain window(
      *system, {dir + "/pgl.ini", dir + "/pgl_Errors.log", dir, "", dir + "/pgl_Search.log"});
  const double buildMs = MsSince(built);
  const double builtRss = RssMb();
  FirstPaint paint;
  window.List()->viewport()->installEventFilter(&paint);
  window.resize(1000, 700);
  window.show();
  QTimer::singleShot(0, [&] {
    app.processEvents();
    std::printf("entries listed:            %d\n", window.Model()->rowCount());
    std::printf("registry read:             %8.1f ms\n", openMs);
    std::printf("window start-up sequence:  %8.1f ms\n", buildMs);
    std::printf("memory after reading:      %8.1f MB\n", openRss);
    std::printf("memory after start-up:     %8.1f MB\n", builtRss);
    std::printf("start to first painted list: %6.1f ms\n", paint.ms);
    std::printf("memory once the list is painted: %4.1f MB\n", RssMb());
    if (std::getenv("PGL_BENCH_START_ONLY")) {
      std::fflush(stdout);
      std::_Exit(0);  // as soon as it is painted: the window's end is not the start's
    }
    for (const int column : {0, 0, 2, 1}) {
      const auto clicked = Clock::now();
      window.lvColumnClick(column);
      window.List()->viewport()->repaint();
      std::printf("header click on column %d:  %8.1f ms, %.1f MB\n", column, MsSince(clicked),
                  RssMb());
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory (above):       %8.1f MB\n", usage.ru_maxrss / 1024.0);
    if (window.Model()->rowCount() == 0) {  // nothing to change or remove
      app.quit();
      return;
    }
    // The periodic registry check: on the unchanged prefix, then after another program (Wine
    // saving) changed system.reg.
    const auto checked = Clock::now();
    for (int i = 0; i < 100; ++i) window.tmCheckRegTimer();
    std::printf("registry check, unchanged: %8.3f ms\n", MsSince(checked) / 100);
    {
      pgl::WinePrefixRegistry other(argv[1]);
      const int item = window.Model()->ItemIndex(0);
      const auto& info = window.Collection()->GetItem(item).UninstallInfo;
      pgl::RegRemoveKey(other, pgl::PlaceOf(info.View).root,
                        pgl::UninstallKeyPath(info.View, pgl::EntrySubkey(info)));
    }
    const int before = window.Model()->rowCount();
    const auto changed = Clock::now();
    window.tmCheckRegTimer();
    std::printf("registry check, changed:   %8.1f ms (%d rows, then %d)\n", MsSince(changed),
                before, window.Model()->rowCount());
    // A batch remove of 200 entries spread over the list, confirmed, then its undo.
    window.Services().confirm = [](pgl::TConfirmDialog&) { return true; };
    window.Services().tellUser = [](const QString&, const QString& text) {
      std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    };
    const int rows = window.Model()->rowCount();
    const int step = std::max(1, rows / 200);
    auto* selection = window.List()->selectionModel();
    selection->clear();
    for (int r = 0, n = 0; r < rows && n < 200; r += step, ++n)
      selection->select(window.Model()->index(r, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const int selected = static_cast<int>(selection->selectedRows().size());
    const auto removed = Clock::now();
    window.actRemoveExecute();
    std::printf("remove %d of %d entries:  %8.1f ms (%d rows left)\n", selected, rows,
                MsSince(removed), window.Model()->rowCount());
    const auto undone = Clock::now();
    window.Action(pgl::ActionId::UndoRemove)->trigger();
    std::printf("undo that removal:         %8.1f ms (%d rows)\n", MsSince(undone),
                window.Model()->rowCount());
    window.close();
    app.quit();
  });
  return app.exec();
}
