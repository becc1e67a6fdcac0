// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads the facts of listed clips (length and format) on a thread of its
// own, one file after another, so that adding files never waits on
// libavformat. What it has read it keeps, by name, for hints to show.
// Its thread ends with it, so nothing reads on while the program ends.
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "core/ClipFacts.h"
#include "platform/FileName.h"

namespace app {

class ClipFactsReader : public QObject {
    Q_OBJECT
public:
    explicit ClipFactsReader(QObject *parent = nullptr);
    // Stops after the file being read and waits for that.
    ~ClipFactsReader() override;

    using FactsOfNames = std::vector<std::optional<ClipFacts>>;

    // Queues the names not read or queued yet.
    void Read(const std::vector<platform::FileName> &names);
    // Reads names again after what is queued, as they are now, and hands
    // their facts in order to done on the owner's thread; never, if this
    // reader ends first.
    void ReadAfresh(std::vector<platform::FileName> names, std::function<void(const FactsOfNames &)> done);
    // Reads name before everything queued, when it has not been read yet:
    // the one a person points at.
    void ReadFirst(const platform::FileName &name);
    // While paused (a join runs) nothing more is read, so the join has the
    // disk and the processor; a file being read is finished first.
    void SetPaused(bool paused);
    // What was read of name: none while it waits, or when it is no media.
    std::optional<ClipFacts> Facts(const platform::FileName &name) const;
    // The sum of the lengths known among names; 0 (no length to show) while
    // any of them waits to be read, so that a part is never told as the whole.
    qint64 TotalLength(const std::vector<platform::FileName> &names) const;

signals:
    // name has been read (readable or not); arrives on the owner's thread.
    void factsRead(const platform::FileName &name);
    // Results wait for the owner's thread (see Post).
    void resultsPosted(QPrivateSignal);

private:
    // Names to read; facts for done, or, without it, for what is known.
    struct Job {
        std::vector<platform::FileName> names;
        std::function<void(const FactsOfNames &)> done;
    };
    void Work();
    void Run(const Job &job);
    // Between two files: waits while paused, reads the names asked for first.
    void Between();
    void ReadOne(const platform::FileName &name);
    // For the worker: result runs on the owner's thread, handed over under
    // the lock, in the order posted.
    void Post(std::function<void()> result);
    void TakeResults();

    std::map<QByteArray, std::optional<ClipFacts>> known_; // owner's thread only
    std::set<QByteArray> read_;                            // owner's thread only: names whose facts came
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::deque<platform::FileName> first_; // ReadFirst's names
    bool paused_ = false;
    std::deque<std::function<void()>> results_;
    std::atomic<bool> quit_ = false; // also looked at between the files of a job
    std::thread worker_;
};

} // namespace app
