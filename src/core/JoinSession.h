// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The join session: what the main window and the command line show and
// command. It owns the list of inputs and the output name, and runs the
// folder scan and the join off the calling thread, each from a snapshot
// taken when it starts. Everything it reports it emits as signals on the
// thread that owns it: the worker hands its news over under a lock, and
// the owner's event loop takes it, so a window only renders them; nothing
// here runs a nested event loop. A join waits for that thread's loop when
// it falls far behind the news, so the owner keeps its loop running while
// a join runs.
#include <QList>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/JoinObserver.h"
#include "core/JoinPlan.h"
#include "platform/FileName.h"

namespace app {

// How a join ended, as the front ends tell it.
struct JoinResult {
    JoinPlan plan;                        // the plan it followed: its kind and the name it writes
    OutputLeft left = OutputLeft::Prefix; // stopped: what the output's name holds now
};

class JoinSession : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Scanning, Joining, Stopping };
    Q_ENUM(State)
    enum class Work { Scan, Join };
    Q_ENUM(Work)
    enum class Outcome { Done, Stopped, Failed };
    Q_ENUM(Outcome)

    explicit JoinSession(QObject *parent = nullptr);
    // Stops the work under way and waits for it to end.
    ~JoinSession() override;

    State CurrentState() const { return state_; }
    // A join runs, or is stopping: the list may not change.
    bool Joining() const { return work_ == Work::Join && state_ != State::Idle; }
    bool Scanning() const { return work_ == Work::Scan && state_ != State::Idle; }

    // The list. Every change is refused (false) while a join runs.
    const std::vector<platform::FileName> &Inputs() const { return inputs_; }
    int Count() const { return int(inputs_.size()); }
    const platform::FileName &Input(int index) const { return inputs_[std::size_t(index)]; }
    bool Insert(int at, const std::vector<platform::FileName> &names);
    bool Append(const std::vector<platform::FileName> &names) { return Insert(Count(), names); }
    bool Remove(int index);
    bool Exchange(int a, int b);
    // The items at rows (ascending) go, in their order, before position at.
    bool Move(const QList<int> &rows, int at);
    bool Rename(int index, const platform::FileName &name);
    bool Clear();
    // The inputs' sizes added up, each measured once: a scan measures what
    // it finds on its own thread, other names are measured the first time
    // the total is asked for. Asked again, it looks at no file.
    qint64 TotalSize();

    const platform::FileName &Output() const { return output_; }
    void SetOutput(const platform::FileName &name) { output_ = name; }

    // Whether the person asks for one movie, and where; Off by default.
    void SetMovieChoice(MovieChoice choice) { movie_ = choice; }
    MovieChoice Movie() const { return movie_; }
    // The join the list as it is now would get, by names only (no file is
    // read): its kind, the name it writes, or why it is refused.
    JoinPlan Sketch() const { return SketchJoin(Request()); }

    // For tests: every join's observer passes through wrap, which may stand
    // in for a person acting at a chosen moment (at a given block, say).
    using ObserverWrap = std::function<std::unique_ptr<JoinObserver>(JoinObserver &session)>;
    void WrapObserver(ObserverWrap wrap) { wrap_ = std::move(wrap); }

    // Adds, in the order given, each accepted file among names and every
    // accepted file of each folder among them (in the scan's order). The
    // names found arrive in batches through inputsInserted. While a scan
    // runs the names queue behind it; refused during a join.
    bool Scan(const std::vector<platform::FileName> &names);
    // Joins the inputs as they are now into the output; refused while busy.
    bool Join();
    // The work under way ends at its next entry or block.
    void Stop();
    // The join waits at its next block until Resume or Stop.
    void Hold();
    void Resume();

signals:
    void stateChanged(app::JoinSession::State state);
    // The list changed; the names are those at the positions given now.
    void inputsInserted(int at, int count);
    void inputRemoved(int index);
    void inputChanged(int index);
    void inputsMoved(const QList<int> &rows, int at);
    void inputsCleared();

    // The join, in this order: started (inputs checked), output created,
    // then for each file: started, bytes copied (a few times a second, and
    // before its end), finished. Any of these may be the last before finished.
    void joinStarted(int files, qint64 totalBytes);
    void outputCreated();
    void fileStarted(int index, qint64 size);
    void bytesCopied(int index, qint64 bytes);
    void fileFinished(int index);
    // The scan or the join has ended; error is set when it failed. A join's
    // result tells its plan (made from the files, or only sketched when
    // they were refused) and, when stopped, what its output holds.
    void finished(app::JoinSession::Work work, app::JoinSession::Outcome outcome, std::exception_ptr error,
                  const app::JoinResult &result);
    // News from the worker waits (see Post).
    void newsPosted(QPrivateSignal);

private:
    class Relay;
    void SetState(State state);
    void StartScan();
    void ScanWork();
    JoinRequest Request() const { return {inputs_, output_, movie_}; }
    void JoinWork(const JoinRequest &request);
    void FoundBatch(std::vector<platform::FileName> names, std::vector<qint64> sizes);
    void InsertMeasured(int at, const std::vector<platform::FileName> &names, const std::vector<qint64> &sizes);
    void WorkEnded(Outcome outcome, std::exception_ptr error, const JoinResult &result = {});
    // For the worker: blocks while held; whether to stop.
    bool StopWanted();
    // For the worker: news runs on the owner's thread, in the order posted.
    // Waits while much news is waiting there already, unless stopping.
    void Post(std::function<void()> news);
    void Post(std::vector<std::function<void()>> news);
    void TakeNews();

    std::vector<platform::FileName> inputs_;
    std::vector<qint64> sizes_; // of each input, in the same order; Unmeasured until measured
    qint64 totalSize_ = 0;      // of the sizes measured
    std::size_t unmeasured_ = 0;
    static constexpr qint64 Unmeasured = -1;
    void SetSize(std::size_t index, qint64 size);
    platform::FileName output_;
    MovieChoice movie_ = MovieChoice::Off;
    ObserverWrap wrap_;
    State state_ = State::Idle;
    Work work_ = Work::Scan;
    std::thread worker_;

    // Shared with the worker.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool hold_ = false;
    std::atomic<bool> attention_ = false; // stop_ or hold_: the worker looks under the lock
    std::deque<platform::FileName> scanQueue_;
    int batchesPending_ = 0;                 // found names posted but not yet in the list
    std::deque<std::function<void()>> news_; // for the owner's thread, in order
};

} // namespace app
