// SPDX-License-Identifier: GPL-3.0-or-later
// The console on Windows: the UTF-16 command line, UTF-16 text for the
// console, and Ctrl-C through a console control handler.
#include "platform/Console.h"

#include "platform/FileName.h"

#include <atomic>
#include <cstdio>
#include <windows.h>

namespace platform {

ProgramArguments::ProgramArguments(int argc, char **argv)
{
    int n = 0;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i)
            words_.push_back(NameFromNative(wide[i]).Bytes());
        LocalFree(wide);
    }
    if (words_.empty())
        for (int i = 0; i < argc; ++i)
            words_.emplace_back(argv[i]);
    for (QByteArray &word : words_)
        values_.push_back(word.data());
    values_.push_back(nullptr);
    count_ = int(words_.size());
}

void UseParentConsole()
{
    // Attached also where the streams were redirected: Ctrl-C in that
    // console then reaches the join.
    const bool outMissing = !GetStdHandle(STD_OUTPUT_HANDLE), errMissing = !GetStdHandle(STD_ERROR_HANDLE);
    if (!GetConsoleWindow() && AttachConsole(ATTACH_PARENT_PROCESS) && (outMissing || errMissing)) {
        // Both the C streams and the handles that WriteText asks for.
        const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, 0, nullptr);
        if (outMissing) {
            std::freopen("CONOUT$", "w", stdout);
            SetStdHandle(STD_OUTPUT_HANDLE, console);
        }
        if (errMissing) {
            std::freopen("CONOUT$", "w", stderr);
            SetStdHandle(STD_ERROR_HANDLE, console);
        }
    }
}

void WriteText(StandardStream stream, const QString &text)
{
    FILE *to = stream == StandardStream::Error ? stderr : stdout;
    // A console shows every name as it is; the code page would turn what it
    // lacks into "?".
    const HANDLE console = GetStdHandle(stream == StandardStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode)) {
        std::fflush(to);
        DWORD written = 0;
        WriteConsoleW(console, text.utf16(), DWORD(text.size()), &written, nullptr);
        return;
    }
    // Redirected: UTF-8, which holds every name, where the code page would not.
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

// The progress line redraws itself with an escape sequence, which the
// console is asked to take.
bool ErrorShowsProgress()
{
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) && SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

struct InterruptWatch::Watching {
    QObject loop; // lives on the thread that made the watch; stop runs there
    std::function<void()> stop;
    std::atomic<bool> once = false;
};

namespace {

// Ctrl-C arrives on a thread of its own.
std::atomic<InterruptWatch::Watching *> watched = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    InterruptWatch::Watching *watching = watched;
    if (event != CTRL_C_EVENT || !watching || watching->once.exchange(true))
        return FALSE; // the system's own handling: the program ends at once
    QMetaObject::invokeMethod(
        &watching->loop, [watching] { watching->stop(); }, Qt::QueuedConnection);
    return TRUE;
}

} // namespace

InterruptWatch::InterruptWatch(std::function<void()> stop) : watching_(std::make_unique<Watching>())
{
    watching_->stop = std::move(stop);
    watched = watching_.get();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch()
{
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    watched = nullptr;
}

} // namespace platform
