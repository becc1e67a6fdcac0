// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A running join told in words: how far it is, how fast it goes and how
// long it has to go, for the window's title and the progress bars' hints.
#include <QString>
#include <QtGlobal>
#include <optional>

namespace app {

class JoinProgress {
public:
    // A join of files inputs, totalBytes in all, starting at startMs (any clock in ms).
    void Start(int files, qint64 totalBytes, qint64 startMs);
    void FileStarted(int index) { file_ = index; }
    void Copied(qint64 bytes) { done_ += bytes; }
    // The join waits from nowMs until Resumed (the stop question is open):
    // that time tells nothing of its rate.
    void Held(qint64 nowMs);
    void Resumed(qint64 nowMs);

    int Percent() const;
    // Once the rate is known, after a second of joining or 1 % of the bytes;
    // none before.
    std::optional<qint64> SecondsLeft(qint64 nowMs) const;

    // "Zantrope – 42% – 0:12 left"
    QString Title(const QString &program, qint64 nowMs) const;
    // "File 2 of 5 · 1.2 of 3.4 GB · 85 MB/s · 0:12 left"
    QString Details(qint64 nowMs) const;
    // "Joined 5 files (3.4 GB) in 0:41"
    QString Summary(qint64 nowMs) const;

private:
    // Since the start, less the time held.
    qint64 JoiningMs(qint64 nowMs) const;
    double BytesPerSecond(qint64 nowMs) const;

    int files_ = 0;
    int file_ = 0;
    qint64 total_ = 0;
    qint64 done_ = 0;
    qint64 startMs_ = 0;
    qint64 heldMs_ = 0;
    std::optional<qint64> heldSinceMs_;
};

// "5 files · 3.4 GB": a list at rest.
QString ListSummary(int files, qint64 bytes);
// Decimal units with one decimal: "740 bytes", "1.5 KB", "3.4 GB".
QString FormatSize(qint64 bytes);
// "0:41", "12:05", "1:02:03".
QString FormatDuration(qint64 seconds);

} // namespace app
