// trawlix-soak: the desktop program through a technician's day. It runs the program as
// ui/main.cpp does (CTrawlixApp with its settings file, the real probes and the main window) and,
// from the window's own event loop, clicks the Start button with the mouse SEARCHES times in a
// row; every tenth search is stopped in the middle with a click on the same button, which then
// reads Stop. Then the window is closed the way its close box closes it.
//   trawlix-soak SETTINGS-FILE SEARCHES [BOUND-SECONDS [RSS-BOUND-MIB HEAP-BOUND-MIB]]
// The window is found through its widgets (the button as the template's search control, the list
// as the window's tree view, the search state by the button's caption), never through the
// window's members. Prints the program's
// memory (resident set, and the heap in use as malloc counts it) after the first and after the
// last search, its thread count when idle before the first and after the last search, and how
// long the searches took. Exits 1 when a search did not end within BOUND-SECONDS (no bound when
// it is missing or 0), when the idle thread count did not come back, when the memory after the
// last search exceeds that after the first by more than the bounds given, or when the window did
// not close; 0 otherwise.
#include "app/open_file_limit.h"
#include "app/trace_config_file.h"
#include "resources/string_table.h"
#include "ui/framework/template_dialog.h"
#include "ui/framework/utf8_text.h"
#include "ui/trawlix_app.h"
#include "ui/trawlix_dlg.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <string>

namespace {

// A figure of /proc/self/status ("VmRSS" in KiB, "Threads").
long ProcessStatus(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, key.size() + 1, key + ":") == 0)
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
    }
    return -1;
}

struct Memory
{
    double rssMiB = 0;
    double heapMiB = 0; // allocated and not freed, in every arena of malloc and in its own mappings
};

// One figure of the summary malloc_info writes after its arenas, e.g. "<total type=\"rest\"".
double MallocTotal(const std::string& info, const std::string& element)
{
    const std::size_t at = info.rfind(element);
    const std::size_t size = at == std::string::npos ? at : info.find("size=\"", at);
    return size == std::string::npos ? 0 : std::strtod(info.c_str() + size + 6, nullptr);
}

Memory MeasureMemory()
{
    char* buffer = nullptr;
    std::size_t length = 0;
    std::string info;
    if (FILE* stream = open_memstream(&buffer, &length)) {
        (void)malloc_info(0, stream);
        std::fclose(stream);
        info.assign(buffer, length);
        std::free(buffer);
    }
    // mallinfo2 sees the main arena only; the search's threads allocate in arenas of their own.
    const double inUse = MallocTotal(info, "<system type=\"current\"") - MallocTotal(info, "<total type=\"fast\"") -
                         MallocTotal(info, "<total type=\"rest\"") + MallocTotal(info, "<total type=\"mmap\"");
    return {static_cast<double>(ProcessStatus("VmRSS")) / 1024.0, inUse / (1024.0 * 1024.0)};
}

// Runs the event loop until `done` holds or `limitMs` passed (never, for 0).
bool WaitUntil(const std::function<bool()>& done, qint64 limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (limitMs > 0 && timer.elapsed() > limitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Settle(qint64 ms)
{
    (void)WaitUntil([] { return false; }, ms);
}

struct Options
{
    int searches = 0;
    qint64 boundMs = 0;
    double rssBoundMiB = -1;
    double heapBoundMiB = -1;
};

class Soak
{
public:
    explicit Soak(Options options) : options_(options) {}

    // Waits, without holding up the program's start, until the main window shows, then runs the
    // searches on it and closes it. The verdict is kept for Passed().
    void Start()
    {
        QObject::connect(&look_, &QTimer::timeout, [this] {
            QAbstractButton* button = nullptr;
            QWidget* window = MainWindow(&button);
            if (window != nullptr) {
                look_.stop();
                Run(window, button);
            } else if (++looks_ > 300) {
                look_.stop();
                Fail("the main window with its Start button did not open");
                QApplication::exit(1);
            }
        });
        look_.start(100);
    }

    [[nodiscard]] bool Passed() const { return passed_; }
    [[nodiscard]] qint64 CloseMs() const { return closeClock_.isValid() ? closeClock_.elapsed() : -1; }

private:
    void Run(QWidget* window, QAbstractButton* button)
    {
        QTreeView* list = window->findChild<QTreeView*>();
        // Boxes a search may open at its end (the "No route?" hint) are answered with Escape, as
        // a user who has seen them before does; they are counted.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&, window] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != window && modal->isVisible()) {
                ++boxesAnswered_;
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        });
        answer.start(100);

        Settle(1000);
        idleThreadsBefore_ = ProcessStatus("Threads");
        int fullRows = -1;
        for (int i = 1; i <= options_.searches && passed_; ++i) {
            const bool stopInMiddle = i % 10 == 0;
            QElapsedTimer took;
            took.start();
            QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
            if (!WaitUntil([&] { return Searching(button); }, 10000)) {
                Fail("search " + std::to_string(i) + " did not start");
                break;
            }
            if (stopInMiddle) {
                // Stopped once the first adapters are listed, while the hosts that never
                // answer still hold jobs.
                (void)WaitUntil([&] { return list->model()->rowCount() > 0 || !Searching(button); }, 10000);
                if (Searching(button)) {
                    QElapsedTimer stop;
                    stop.start();
                    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
                    (void)WaitUntil([&] { return !Searching(button); }, options_.boundMs);
                    longestStopMs_ = std::max(longestStopMs_, stop.elapsed());
                }
                ++stopped_;
            }
            if (!WaitUntil([&] { return !Searching(button); }, options_.boundMs)) {
                Fail("search " + std::to_string(i) + " did not end within " + std::to_string(options_.boundMs) + " ms");
                break;
            }
            const qint64 ms = took.elapsed();
            const int rows = list->model()->rowCount();
            if (!stopInMiddle) {
                longestMs_ = std::max(longestMs_, ms);
                if (fullRows < 0)
                    fullRows = rows;
                else if (rows != fullRows)
                    Fail("search " + std::to_string(i) + " listed " + std::to_string(rows) + " rows, the first " +
                         std::to_string(fullRows));
            }
            std::printf("search %d: %lld ms, %d rows%s\n", i, static_cast<long long>(ms), rows,
                        stopInMiddle ? " (stopped)" : "");
            if (i == 1 || i == options_.searches || i % 25 == 0) {
                // Idle again: the search's threads have ended.
                const bool idle = WaitUntil([&] { return ProcessStatus("Threads") <= idleThreadsBefore_; }, 10000);
                Settle(500);
                const Memory memory = MeasureMemory();
                const long threads = ProcessStatus("Threads");
                std::printf("after search %d: RSS %.1f MiB, heap in use %.2f MiB, threads %ld%s\n", i, memory.rssMiB,
                            memory.heapMiB, threads, idle ? "" : " (not back to idle)");
                if (i == 1)
                    first_ = memory;
                last_ = memory;
                idleThreadsAfter_ = threads;
            }
            std::fflush(stdout);
        }
        answer.stop();

        if (passed_ && idleThreadsAfter_ != idleThreadsBefore_)
            Fail("the idle thread count did not come back");
        const double rssGrowth = last_.rssMiB - first_.rssMiB;
        const double heapGrowth = last_.heapMiB - first_.heapMiB;
        std::printf("searches: %d (%d stopped in the middle), longest full search %lld ms, longest stop %lld ms, "
                    "boxes answered %d\n",
                    options_.searches, stopped_, static_cast<long long>(longestMs_),
                    static_cast<long long>(longestStopMs_), boxesAnswered_);
        std::printf("idle threads: %ld before the first search, %ld after the last\n", idleThreadsBefore_,
                    idleThreadsAfter_);
        std::printf("memory after the last search minus after the first: RSS %+.2f MiB, heap %+.3f MiB\n", rssGrowth,
                    heapGrowth);
        if (options_.rssBoundMiB >= 0 && rssGrowth > options_.rssBoundMiB)
            Fail("the resident set grew by more than " + std::to_string(options_.rssBoundMiB) + " MiB");
        if (options_.heapBoundMiB >= 0 && heapGrowth > options_.heapBoundMiB)
            Fail("the heap grew by more than " + std::to_string(options_.heapBoundMiB) + " MiB");

        closeClock_.start();
        window->close();
    }

    // The visible main window and its Start button (the control the window's template gives the
    // id of the search command; its caption changes with the search).
    static QWidget* MainWindow(QAbstractButton** button)
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<trawlix::ui::TemplateDialog*>(widget);
            if (dialog == nullptr || !dialog->isVisible() || dialog->findChild<QTreeView*>() == nullptr)
                continue;
            if (auto* start = dialog->ControlAs<QAbstractButton>(CTrawlixDlg::kIdStartStop)) {
                *button = start;
                return dialog;
            }
        }
        return nullptr;
    }

    static bool Searching(const QAbstractButton* button)
    {
        return button->text() == trawlix::ui::FromUtf8(trawlix::LoadString(trawlix::TextId::StopSearch));
    }

    void Fail(const std::string& why)
    {
        std::printf("FAILED: %s\n", why.c_str());
        passed_ = false;
    }

    Options options_;
    QTimer look_;
    int looks_ = 0;
    bool passed_ = true;
    long idleThreadsBefore_ = -1;
    long idleThreadsAfter_ = -1;
    Memory first_;
    Memory last_;
    int stopped_ = 0;
    int boxesAnswered_ = 0;
    qint64 longestMs_ = 0;
    qint64 longestStopMs_ = 0;
    QElapsedTimer closeClock_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4 && argc != 6) {
        std::fprintf(stderr,
                     "usage: trawlix-soak SETTINGS-FILE SEARCHES [BOUND-SECONDS [RSS-BOUND-MIB HEAP-BOUND-MIB]]\n");
        return 2;
    }
    Options options;
    options.searches = std::atoi(argv[2]);
    options.boundMs = argc > 3 ? static_cast<qint64>(std::atof(argv[3]) * 1000) : 0;
    if (argc > 5) {
        options.rssBoundMiB = std::atof(argv[4]);
        options.heapBoundMiB = std::atof(argv[5]);
    }

    // As ui/main.cpp starts the program.
    XDbgSetConfigSource(app::TraceConfigFile());
    app::RaiseOpenFileLimit();
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(icons);
    QApplication::setApplicationName(QStringLiteral("Trawlix"));
    // The flashing tool is looked for beside the settings file, as an installed program does.
    CTrawlixApp program(argv[1], std::filesystem::path(argv[1]).parent_path().string());

    Soak soak(options);
    soak.Start();
    const int status = program.Run(application);
    const qint64 closeMs = soak.CloseMs();
    std::printf("window closed in %lld ms, program status %d\n", static_cast<long long>(closeMs), status);
    return soak.Passed() && closeMs >= 0 && status == 0 ? 0 : 1;
}
