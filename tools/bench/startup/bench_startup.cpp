// Start-up of the calculator: the time from starting a process to its first
// painted window, and the resident memory at that moment. The peer is a bare
// Qt window of the calculator's size, started the same way, which is the
// floor any Qt program pays.
//
//   bench_startup [runs]          runs each kind alternately, prints medians
//   bench_startup --child tabulo  one start: prints "<rss kib> <peak kib>" once painted
//   bench_startup --child bare
//
// Run it on the display it is meant for (xvfb-run -a, or QT_QPA_PLATFORM=offscreen).
#include "calculator/calcula01.h"
#include "calculator/registration.h"
#include "calculator/tabuloicon.h"
#include "platform/ui/forms.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace
{

long StatusKib(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

// Notices the first paint of any window.
class FirstPaint : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && object->isWidgetType())
            painted = true;
        return false;
    }
};

int Child(const std::string &kind)
{
    FirstPaint watcher;
    QWidget *bare = nullptr;
    TCalculadora *calculadora = nullptr;
    if (kind == "bare") {
        static int argc = 1;
        static char name[] = "bench_startup";
        static char *argv[] = { name, nullptr };
        new QApplication(argc, argv);
        qApp->installEventFilter(&watcher);
        bare = new QWidget;
        bare->resize(266, 287);
        bare->setWindowTitle("ORVEX Tabulo");
        bare->show();
    } else {
        RegisterCalculatorClasses();
        Application->Initialize();
        qApp->installEventFilter(&watcher);
        TIcon icon;
        icon.LoadFromBytes(std::string(TabuloIconBytes()));
        Application->SetIcon(&icon);
        Application->CreateForm(calculadora);
        calculadora->Show();
    }
    while (!watcher.painted)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents(); // the rest of the same paint
    std::printf("%ld %ld\n", StatusKib("VmRSS:"), StatusKib("VmHWM:"));
    std::fflush(stdout);
    delete bare;
    if (calculadora)
        ShutdownApplication();
    return 0;
}

struct Sample {
    double milliseconds;
    long rssKib;
    long peakKib;
};

Sample Start(const char *self, const char *kind)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char *argv[]
        = { const_cast<char *>(self), const_cast<char *>("--child"), const_cast<char *>(kind), nullptr };
    const auto begin = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, self, &actions, nullptr, argv, environ) != 0)
        std::exit(1);
    close(pipeFds[1]);
    char buffer[128] = {};
    ssize_t got = 0, n;
    while (got < static_cast<ssize_t>(sizeof buffer) - 1
        && (n = read(pipeFds[0], buffer + got, sizeof buffer - 1 - static_cast<size_t>(got))) > 0) {
        got += n;
        if (std::memchr(buffer, '\n', static_cast<size_t>(got)))
            break;
    }
    const auto end = std::chrono::steady_clock::now();
    close(pipeFds[0]);
    int status;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    Sample sample { std::chrono::duration<double, std::milli>(end - begin).count(), 0, 0 };
    std::sscanf(buffer, "%ld %ld", &sample.rssKib, &sample.peakKib);
    return sample;
}

template <typename T> T Median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return Child(argv[2]);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::vector<double> time[2];
    std::vector<long> rss[2], peak[2];
    const char *kinds[2] = { "bare", "tabulo" };
    for (int run = 0; run < runs + 1; ++run)
        for (int k = 0; k < 2; ++k) {
            const Sample s = Start("/proc/self/exe", kinds[k]);
            if (run == 0)
                continue; // the first start warms the file cache
            time[k].push_back(s.milliseconds);
            rss[k].push_back(s.rssKib);
            peak[k].push_back(s.peakKib);
        }
    std::printf(
        "%-8s %12s %12s %12s   (median of %d starts)\n", "window", "first paint", "RSS", "peak RSS", runs);
    for (int k = 0; k < 2; ++k)
        std::printf("%-8s %9.1f ms %8.1f MiB %8.1f MiB\n", kinds[k], Median(time[k]), Median(rss[k]) / 1024.0,
            Median(peak[k]) / 1024.0);
    return 0;
}
