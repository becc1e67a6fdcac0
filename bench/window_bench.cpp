// SPDX-License-Identifier: GPL-3.0-or-later
// Window benchmark: the real main window on the offscreen platform, each
// figure beside a reference measured in the same run.
//
//   window_bench [scan|lateness|list|startup|all] [--files N] [--folders N]
//
// scan:     Add Folder's scan of N files in M folders against a plain
//           readdir walk of the same tree.
// lateness: how late a 10 ms timer fires while the window scans and joins
//           (p50, p99, max), and the longest gap at the end of a join over an
//           existing 2 GiB output.
// list:     Delete, Move up, Move down at the end and Del All with 10 000
//           items in the list; Join Now after Add Folder of 10 000 and of
//           100 000 files.
// startup:  process start to the first painted window, against a minimal Qt
//           Widgets window (a caption) started the same way.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Child.h"
#include "FirstPixels.h"
#include "framework/TApplication.h"
#include "window/MainWindow.h"
#include "window/Program.h"

#include "Content.h"

namespace {

using platform::FileName;

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void Touch(const std::string &path, qint64 size = 0)
{
    WriteContent(FileName(QByteArray::fromStdString(path)), size, std::hash<std::string>()(path));
}
// files spread evenly over folders below root, all of an accepted type.
void MakeTree(const std::string &root, int files, int folders)
{
    ::mkdir(root.c_str(), 0755);
    for (int f = 0; f < folders; ++f) {
        const std::string folder = root + "/clips" + std::to_string(f);
        ::mkdir(folder.c_str(), 0755);
        for (int i = f; i < files; i += folders)
            Touch(folder + "/clip" + std::to_string(i) + ".mpg");
    }
}

// The reference: what the file system itself costs, a plain depth-first
// readdir walk that counts the regular files.
int ReaddirWalk(const std::string &folder)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int count = 0;
    std::vector<std::string> subfolders;
    while (const dirent *d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        if (d->d_type == DT_DIR)
            subfolders.push_back(folder + "/" + d->d_name);
        else
            ++count;
    }
    ::closedir(dir);
    for (const std::string &sub : subfolders)
        count += ReaddirWalk(sub);
    return count;
}

double Seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

// A fresh main window with its settings in folder, shown and painted.
std::unique_ptr<app::TForm1> NewWindow(const QString &folder)
{
    auto form = std::make_unique<app::TForm1>(FileName::FromUtf8(folder + QStringLiteral("/misuc.dat")));
    form->show();
    QCoreApplication::processEvents();
    return form;
}

// Runs the event loop until the window's session has finished its scan or join.
void UntilIdle(app::TForm1 &form)
{
    if (form.Session().CurrentState() == app::JoinSession::State::Idle)
        return;
    QEventLoop loop;
    QObject::connect(&form.Session(), &app::JoinSession::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

// Records how late a timer of the given interval fires while work runs.
class LatenessProbe {
public:
    explicit LatenessProbe(int intervalMs) : intervalMs_(intervalMs)
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const double now = double(clock_.nsecsElapsed()) / 1e6;
            lateness_.push_back(std::max(0.0, now - last_ - intervalMs_));
            if (now - last_ > longestGap_) {
                longestGap_ = now - last_;
                longestGapEnd_ = now;
            }
            last_ = now;
        });
    }
    void Start()
    {
        clock_.start();
        last_ = 0;
        timer_.start(intervalMs_);
    }
    // Stops, counting the wait from the last tick to now: a freeze at the
    // very end shows even when no tick came after it.
    void Stop()
    {
        timer_.stop();
        const double now = double(clock_.nsecsElapsed()) / 1e6;
        if (now - last_ > longestGap_) {
            longestGap_ = now - last_;
            longestGapEnd_ = now;
        }
        ended_ = now;
    }
    // When the longest gap ended, and when the probe stopped, in ms after its start.
    double LongestGapEnd() const { return longestGapEnd_; }
    double Ended() const { return ended_; }
    // The longest time the window went without handling the timer.
    double LongestGap() const { return longestGap_; }
    void Print(const char *during) const
    {
        std::printf("event lateness during %s: p50 %.1f ms, p99 %.1f ms, max %.1f ms over %zu ticks "
                    "(target p99 <= 50 ms)\n",
                    during, Percentile(lateness_, 0.5), Percentile(lateness_, 0.99),
                    lateness_.empty() ? 0.0 : *std::max_element(lateness_.begin(), lateness_.end()), lateness_.size());
        std::printf("  longest gap up to the window's idle again: %.1f ms\n", longestGap_);
    }

private:
    int intervalMs_;
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = 0;
    double longestGap_ = 0, longestGapEnd_ = 0, ended_ = 0;
    std::vector<double> lateness_;
};

void BenchScan(const QString &work, int files, int folders)
{
    const std::string root = (work + QStringLiteral("/tree")).toStdString();
    MakeTree(root, files, folders);
    std::vector<double> walk, scan;
    int items = 0;
    for (int run = 0; run < 5; ++run) {
        walk.push_back(Seconds([&] { ReaddirWalk(root); }));
        auto form = NewWindow(work);
        scan.push_back(Seconds([&] {
            form->searchnews(FileName(QByteArray::fromStdString(root + "/")));
            UntilIdle(*form);
        }));
        items = form->Lv1->Count();
    }
    const double w = Median(walk), s = Median(scan);
    std::printf("scan of %d files in %d folders: %.3f s into the list (%d items); readdir walk %.4f s; "
                "ratio %.1f (target: <= 1 s)\n",
                files, folders, s, items, w, s / w);
}

// The end of a join over an existing output of 2 GiB, which is on disk as
// yesterday's would be: the new file takes its name when all is copied, and
// the window must not wait for that.
void BenchEndOfJoin(const QString &work)
{
    const qint64 size = qint64(1) << 30;
    const std::string folder = (work + QStringLiteral("/end")).toStdString();
    ::mkdir(folder.c_str(), 0755);
    const std::string output = folder + "/joined.mpg";
    std::vector<FileName> inputs;
    for (int i = 0; i < 2; ++i) {
        inputs.emplace_back(QByteArray::fromStdString(folder + "/in" + std::to_string(i) + ".mpg"));
        WriteContent(inputs.back(), size, quint64(i) + 21);
    }
    WriteContent(FileName(QByteArray::fromStdString(output)), 2 * size, 31);
    ::sync();
    auto form = NewWindow(work);
    form->Session().Append(inputs);
    form->SetOutputName(FileName(QByteArray::fromStdString(output)));
    // The probe watches from the last file's last bytes to the window's idle
    // again: the rest of the join is the lateness above.
    LatenessProbe probe(5);
    // With the window as context, on its thread: the signal comes from the worker.
    QObject::connect(&form->Session(), &app::JoinSession::fileStarted, form.get(), [&](int index) {
        if (index == 1)
            probe.Start();
    });
    const double seconds = Seconds([&] {
        form->fb7Click(form->fb7);
        UntilIdle(*form);
    });
    probe.Stop();
    if (qEnvironmentVariableIsSet("ZANTROPE_BENCH_STEPS"))
        std::fprintf(stderr, "longest gap %.1f ms ended %.1f ms after the last file's start; joined after %.1f ms\n",
                     probe.LongestGap(), probe.LongestGapEnd(), probe.Ended());
    std::printf("end of a join into an existing output: longest gap %.1f ms (target <= 50 ms; 2 x 1 GiB over "
                "2 GiB, %.2f s)\n",
                probe.LongestGap(), seconds);
    for (const FileName &input : inputs)
        ::unlink(input.Bytes().constData());
    ::unlink(output.c_str());
}

void BenchLateness(const QString &work, int files, int folders)
{
    // Five times the scan's tree, so that it lasts long enough for a timer.
    const std::string root = (work + QStringLiteral("/late")).toStdString();
    MakeTree(root, 5 * files, 5 * folders);
    {
        auto form = NewWindow(work);
        LatenessProbe probe(10);
        probe.Start();
        form->searchnews(FileName(QByteArray::fromStdString(root + "/")));
        UntilIdle(*form);
        probe.Stop();
        probe.Print("a scan");
    }
    auto form = NewWindow(work);
    for (int i = 0; i < 3; ++i) {
        const std::string input = root + "/big" + std::to_string(i) + ".mpg";
        Touch(input, qint64(256) << 20);
        form->Session().Append({FileName(QByteArray::fromStdString(input))});
    }
    form->SetOutputName(FileName::FromUtf8(work + QStringLiteral("/joined.mpg")));
    LatenessProbe probe(10);
    probe.Start();
    const double seconds = Seconds([&] {
        form->fb7Click(form->fb7);
        UntilIdle(*form);
    });
    probe.Stop();
    probe.Print("a join");
    std::printf("  (the join of 3 x 256 MiB through the window took %.2f s)\n", seconds);
    for (int i = 0; i < 3; ++i)
        ::unlink((root + "/big" + std::to_string(i) + ".mpg").c_str());
    BenchEndOfJoin(work);
}

// The command line's join of the same names, as a whole process.
double CommandLineJoinSeconds(const std::string &output, const std::vector<std::string> &inputs)
{
    // Arguments may take a quarter of the stack's limit: 100 000 names need more than the usual 8 MiB gives.
    rlimit stack{};
    ::getrlimit(RLIMIT_STACK, &stack);
    if (stack.rlim_cur != RLIM_INFINITY && stack.rlim_cur < (64u << 20)) {
        stack.rlim_cur = std::min<rlim_t>(64u << 20, stack.rlim_max);
        ::setrlimit(RLIMIT_STACK, &stack);
    }
    std::vector<std::string> args{ZANTROPE_PROGRAM, "--join", output};
    args.insert(args.end(), inputs.begin(), inputs.end());
    return RunChild(args, "/dev/null", nullptr).seconds;
}

// Join Now after a real Add Folder of empty files: the list as a person has
// it, its rows never looked up one by one. From the click to the first event
// the window handles after it, the longest gap until the join is done, and
// the whole join beside the command line's join of the same files.
void BenchJoinStart(const QString &work, int items)
{
    const std::string root = (work + QStringLiteral("/folder%1").arg(items)).toStdString();
    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> inputs;
    for (int i = 0; i < items; ++i) {
        inputs.push_back(root + "/clip" + std::to_string(i) + ".mpg");
        const int fd = ::open(inputs.back().c_str(), O_WRONLY | O_CREAT, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    // Add Folder lists them in natural order, as the command line gets them.
    const std::string output = (work + QStringLiteral("/start.out")).toStdString();
    std::vector<double> first, gaps, windowJoin, commandLineJoin;
    for (int run = 0; run < 3; ++run) {
        auto form = NewWindow(work);
        form->searchnews(FileName(QByteArray::fromStdString(root + "/")));
        UntilIdle(*form);
        form->SetOutputName(FileName(QByteArray::fromStdString(output)));
        QCoreApplication::processEvents();
        LatenessProbe probe(1);
        QElapsedTimer t;
        double firstMs = -1;
        probe.Start();
        t.start();
        QTimer::singleShot(0, [&] { firstMs = double(t.nsecsElapsed()) / 1e6; });
        form->fb7Click(form->fb7);
        UntilIdle(*form);
        probe.Stop();
        first.push_back(firstMs);
        gaps.push_back(probe.LongestGap());
        windowJoin.push_back(probe.Ended() / 1e3);
        commandLineJoin.push_back(CommandLineJoinSeconds(output, inputs));
    }
    std::printf("join start after Add Folder, %d items: %.1f ms (target <= %d ms); longest gap until joined %.1f ms\n",
                items, Median(first), items > 10000 ? 100 : 50, Median(gaps));
    std::printf("  the window's join %.2f s, the command line's %.2f s; ratio %.2f\n", Median(windowJoin),
                Median(commandLineJoin), Median(windowJoin) / Median(commandLineJoin));
    for (const std::string &input : inputs)
        ::unlink(input.c_str());
    ::rmdir(root.c_str());
}

void BenchList(const QString &work)
{
    const int n = 10000;
    const std::string root = (work + QStringLiteral("/list")).toStdString();
    ::mkdir(root.c_str(), 0755);
    auto fill = [&](app::TForm1 &form) {
        form.Session().Clear();
        std::vector<FileName> names;
        for (int i = 0; i < n; ++i)
            names.emplace_back(QByteArray::fromStdString(root + "/clip" + std::to_string(i) + ".mpg"));
        form.Session().Append(names);
    };
    auto form = NewWindow(work);
    struct Command {
        const char *name;
        std::function<void(app::TForm1 &)> prepare, run;
    };
    const std::vector<Command> commands = {
        {"Delete (last)", [](app::TForm1 &f) { f.Lv1->SetSelectedIndex(f.Lv1->Count() - 1); },
         [](app::TForm1 &f) { f.fb5Click(f.fb5); }},
        {"Move up (last)", [](app::TForm1 &f) { f.Lv1->SetSelectedIndex(f.Lv1->Count() - 1); },
         [](app::TForm1 &f) { f.fb3Click(f.fb3); }},
        {"Move down (next to last)", [](app::TForm1 &f) { f.Lv1->SetSelectedIndex(f.Lv1->Count() - 2); },
         [](app::TForm1 &f) { f.fb4Click(f.fb4); }},
        {"Del All", [](app::TForm1 &) {}, [](app::TForm1 &f) { f.DeleteAll1Click(f.fb6); }},
    };
    for (const Command &c : commands) {
        std::vector<double> ms;
        for (int run = 0; run < 5; ++run) {
            fill(*form);
            c.prepare(*form);
            QCoreApplication::processEvents();
            ms.push_back(Seconds([&] {
                             c.run(*form);
                             QCoreApplication::processEvents(); // its repaint counts
                         }) *
                         1000);
        }
        std::printf("list of %d: %-26s %.2f ms (target <= 50 ms)\n", n, c.name, Median(ms));
    }
    form.reset();
    for (int items : {10000, 100000})
        BenchJoinStart(work, items);
}

// --- start-up ---------------------------------------------------------------

// Milliseconds since this process started, from the kernel's record of it.
double MsSinceProcessStart()
{
    FILE *f = std::fopen("/proc/self/stat", "r");
    if (!f)
        return -1;
    char buffer[4096];
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    const char *p = std::strrchr(buffer, ')');
    unsigned long long start = 0;
    // Field 22 (starttime) counts clock ticks since boot; field 3 is the first after ")".
    for (int field = 3; p && field <= 22; ++field) {
        p = std::strchr(p + 1, ' ');
        if (field == 22 && p)
            start = std::strtoull(p + 1, nullptr, 10);
    }
    timespec boot{};
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = double(boot.tv_sec) * 1e3 + double(boot.tv_nsec) / 1e6;
    return nowMs - double(start) * 1e3 / double(::sysconf(_SC_CLK_TCK));
}

// Reports the time of the first paint of a widget, then quits.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // On a real screen the window stays until it is seen; its watcher ends it.
        if (event->type() == QEvent::Paint && !done_ && QGuiApplication::platformName() == QLatin1String("offscreen")) {
            done_ = true;
            QTimer::singleShot(0, [] {
                std::printf("%.3f\n", MsSinceProcessStart());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool done_ = false;
};

int StartupChild(bool minimal, const char *settingsFolder, int argc, char **argv)
{
    framework::TQtApplication qtApp(argc, argv);
    FirstPaint probe;
    std::unique_ptr<QWidget> window;
    if (minimal) {
        // The least a program's window shows: a caption in the default font.
        window = std::make_unique<QWidget>();
        window->resize(566, 439);
        new QLabel(QStringLiteral("Zantrope"), window.get());
    } else {
        const double atStart = MsSinceProcessStart();
        app::PrepareApplication();
        const double prepared = MsSinceProcessStart();
        window = std::make_unique<app::TForm1>(FileName(QByteArray(settingsFolder) + "/misuc.dat"));
        if (qEnvironmentVariableIsSet("ZANTROPE_BENCH_STEPS"))
            std::fprintf(stderr, "application %.1f, prepared %.1f, window made %.1f ms\n", atStart, prepared,
                         MsSinceProcessStart());
    }
    window->installEventFilter(&probe);
    window->show();
    return QApplication::exec();
}

double RunStartupChild(const std::string &self, const char *mode, const QString &work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        const std::string folder = work.toStdString();
        ::execl(self.c_str(), self.c_str(), mode, folder.c_str(), static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    char out[64] = {};
    const ssize_t n = ::read(fds[0], out, sizeof out - 1);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return n > 0 ? std::atof(out) : -1;
}

void BenchStartup(const std::string &self, const QString &work)
{
    std::vector<double> minimal, program;
    RunStartupChild(self, "--startup-minimal", work); // warm the caches for both
    RunStartupChild(self, "--startup-program", work);
    for (int run = 0; run < 7; ++run) {
        minimal.push_back(RunStartupChild(self, "--startup-minimal", work));
        program.push_back(RunStartupChild(self, "--startup-program", work));
    }
    const double m = Median(minimal), p = Median(program);
    std::printf("start-up to the first painted window: %.1f ms; minimal Qt window %.1f ms; ratio %.2f "
                "(target <= 1.5)\n",
                p, m, p / m);
    // As a person sees it: the program as it ships, from its start to its
    // first pixels on an X server, beside the minimal window seen the same way.
    const std::vector<std::string> onX11{"QT_QPA_PLATFORM=xcb", "XDG_CONFIG_HOME=" + work.toStdString()};
    const std::vector<std::string> minimalArgs{self, "--startup-minimal", work.toStdString()},
        programArgs{ZANTROPE_PROGRAM};
    if (MsToFirstPixels(minimalArgs, onX11) < 0 || MsToFirstPixels(programArgs, onX11) < 0) {
        std::printf("(no X display, or no window showed on it: start-up on X11 left out)\n");
        return;
    }
    std::vector<double> minimalSeen, programSeen;
    for (int run = 0; run < 7; ++run)
        RunInTurn(
            run, [&] { minimalSeen.push_back(MsToFirstPixels(minimalArgs, onX11)); },
            [&] { programSeen.push_back(MsToFirstPixels(programArgs, onX11)); });
    const double ms = Median(minimalSeen), ps = Median(programSeen);
    std::printf("start-up on X11 to the first pixels seen: the program %.1f ms; minimal Qt window %.1f ms; "
                "ratio %.2f\n",
                ps, ms, ps / ms);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 &&
        (std::strcmp(argv[1], "--startup-minimal") == 0 || std::strcmp(argv[1], "--startup-program") == 0)) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        int qtArgc = 1;
        return StartupChild(std::strcmp(argv[1], "--startup-minimal") == 0, argv[2], qtArgc, argv);
    }
    std::string part = "all";
    int files = 10000, folders = 100;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            files = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--folders") == 0 && i + 1 < argc)
            folders = std::atoi(argv[++i]);
        else if (argv[i][0] != '-')
            part = argv[i];
        else {
            std::fprintf(stderr, "usage: window_bench [scan|lateness|list|startup|all] [--files N] [--folders N]\n");
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's remarks (no raise, no runtime folder) are no figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type >= QtCriticalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    framework::TQtApplication qtApp(argc, argv);
    app::PrepareApplication();
    QTemporaryDir dir;
    const QString work = dir.path();
    if (part == "all" || part == "scan")
        BenchScan(work, files, folders);
    if (part == "all" || part == "lateness")
        BenchLateness(work, files, folders);
    if (part == "all" || part == "list")
        BenchList(work);
    if (part == "all" || part == "startup")
        BenchStartup(argv[0], work);
    return 0;
}
