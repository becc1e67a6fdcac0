// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal on Linux: argv as it is, bytes on the streams, SIGINT.
#include "platform/Console.h"

#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// Ctrl-C, turned into an event of the loop: the handler may only write to a pipe.
int interruptPipe[2] = {-1, -1};
extern "C" void OnInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(interruptPipe[1], &byte, 1);
}

} // namespace

ProgramArguments::ProgramArguments(int argc, char **argv)
{
    for (int i = 0; i < argc; ++i)
        words_.emplace_back(argv[i]);
    for (QByteArray &word : words_)
        values_.push_back(word.data());
    values_.push_back(nullptr);
    count_ = int(words_.size());
}

void UseParentConsole() {}

void WriteText(StandardStream stream, const QString &text)
{
    FILE *to = stream == StandardStream::Error ? stderr : stdout;
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

bool ErrorShowsProgress() { return ::isatty(STDERR_FILENO) == 1; }

struct InterruptWatch::Watching {
    std::unique_ptr<QSocketNotifier> notifier;
};

InterruptWatch::InterruptWatch(std::function<void()> stop) : watching_(std::make_unique<Watching>())
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, interruptPipe) != 0)
        return;
    watching_->notifier = std::make_unique<QSocketNotifier>(interruptPipe[0], QSocketNotifier::Read);
    QObject::connect(watching_->notifier.get(), &QSocketNotifier::activated, [stop = std::move(stop)] {
        char byte;
        [[maybe_unused]] const auto got = ::read(interruptPipe[0], &byte, 1);
        std::signal(SIGINT, SIG_DFL);
        stop();
    });
    std::signal(SIGINT, OnInterrupt);
}

InterruptWatch::~InterruptWatch()
{
    std::signal(SIGINT, SIG_DFL);
    watching_->notifier.reset();
    for (int &fd : interruptPipe)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

} // namespace platform
