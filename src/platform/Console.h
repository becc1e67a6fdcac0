// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a program run from a console or terminal meets: its arguments as the
// names they carry, the text it writes to its standard streams, and Ctrl-C.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace platform {

// The program's arguments as the names they carry. On Windows the 8-bit
// argv has passed through the code page, which turns what it lacks into
// "?": the UTF-16 command line is read instead and each word given as its
// WTF-8 bytes (see FileName). Elsewhere argv as it is.
class ProgramArguments {
public:
    ProgramArguments(int argc, char **argv);
    ProgramArguments(const ProgramArguments &) = delete;
    ProgramArguments &operator=(const ProgramArguments &) = delete;
    // For main's argc and argv; they stay valid as long as this object.
    int &Count() { return count_; }
    char **Values() { return values_.data(); }

private:
    std::vector<QByteArray> words_;
    std::vector<char *> values_; // ends in a null pointer, as argv does
    int count_ = 0;
};

// A program for the window has no standard streams of its own on Windows:
// what the command line prints goes to the console it was started from, if
// any, unless the streams were redirected. Elsewhere nothing to do.
void UseParentConsole();

enum class StandardStream { Output, Error };

// Writes text to standard output or standard error at once. A Windows
// console gets it as UTF-16, so that every name shows whole; a redirected
// stream gets UTF-8 there, and the locale's bytes (UTF-8) on Linux.
void WriteText(StandardStream stream, const QString &text);

// Whether standard error is a terminal that shows a progress line, which
// redraws itself with escape sequences.
bool ErrorShowsProgress();

// Ctrl-C for as long as this object lives: the first one calls stop on the
// thread that made the object, through its event loop; a second one ends
// the program at once, as the system does.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> stop);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

    struct Watching; // what each system's half keeps

private:
    std::unique_ptr<Watching> watching_;
};

} // namespace platform
