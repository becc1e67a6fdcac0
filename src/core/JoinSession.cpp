// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinSession.h"

#include <QElapsedTimer>

#include "core/FolderScan.h"
#include "core/PathRules.h"
#include "platform/File.h"
#include "platform/Folders.h"

namespace app {

using platform::FileName;

namespace {

// How often the worker hands its news to the owner's thread: often enough
// for bars and lists to move smoothly, seldom enough to cost nothing.
constexpr qint64 ReportIntervalMs = 15;
// The most names a scan hands over at once: the list takes each batch in one
// step of the owner's event loop, which must stay short.
constexpr std::size_t MaxBatch = 1000;
// The most news that waits for the owner's loop. A join of many small files
// tells three things per file, and faster than a window can show them:
// unchecked, a hundred thousand files queued so much news that the window
// handled nothing else for seconds.
constexpr std::size_t MostNews = 512;
// The most news a join's worker gathers before it hands them over.
constexpr std::size_t BatchNews = 128;

} // namespace

// The join's observer on the worker: turns each step into news for the
// owner's thread, the blocks' bytes gathered a few times a second. News is
// handed over in batches, a few times a second too: a join of many small
// files tells three things per file, and waking the owner's loop for each
// cost more than copying the files.
class JoinSession::Relay final : public JoinObserver {
public:
    Relay(JoinSession &session, int files) : session_(session), files_(files)
    {
        clock_.start();
        handedOver_.start();
    }

    void JoinStarted(qint64 totalBytes) override
    {
        Post([files = files_, totalBytes](JoinSession &s) { emit s.joinStarted(files, totalBytes); });
        HandOver();
    }
    void OutputCreated() override
    {
        Post([](JoinSession &s) { emit s.outputCreated(); });
        HandOver();
    }
    void FileStarted(int index, qint64 size) override
    {
        index_ = index;
        Post([index, size](JoinSession &s) { emit s.fileStarted(index, size); });
    }
    void BlockCopied(int index, qint64 got) override
    {
        pending_ += got;
        index_ = index;
        // The clock is read every few dozen blocks: a read per 4097 bytes showed in the join's time.
        if (++blocks_ % 64 == 0 && clock_.elapsed() >= ReportIntervalMs) {
            Flush();
            HandOver();
        }
    }
    void FileFinished(int index) override
    {
        Flush();
        Post([index](JoinSession &s) { emit s.fileFinished(index); });
        if (batch_.size() >= BatchNews || handedOver_.elapsed() >= ReportIntervalMs)
            HandOver();
    }
    bool StopRequested() override
    {
        if (!session_.attention_.load(std::memory_order_relaxed))
            return false;
        // Held or stopped: the owner sees every block copied so far.
        Flush();
        HandOver();
        return session_.StopWanted();
    }
    // Bytes copied but not yet told become news.
    void Flush()
    {
        if (pending_ > 0)
            Post([index = index_, bytes = pending_](JoinSession &s) { emit s.bytesCopied(index, bytes); });
        pending_ = 0;
        clock_.restart();
    }
    // The news gathered goes to the owner's thread.
    void HandOver()
    {
        if (!batch_.empty())
            session_.Post(std::move(batch_));
        batch_.clear();
        handedOver_.restart();
    }

private:
    void Post(std::function<void(JoinSession &)> news)
    {
        JoinSession *session = &session_;
        batch_.push_back([session, news = std::move(news)] { news(*session); });
    }

    JoinSession &session_;
    int files_;
    int index_ = 0;
    qint64 pending_ = 0;
    unsigned blocks_ = 0;
    QElapsedTimer clock_, handedOver_;
    std::vector<std::function<void()>> batch_;
};

JoinSession::JoinSession(QObject *parent) : QObject(parent)
{
    connect(this, &JoinSession::newsPosted, this, &JoinSession::TakeNews, Qt::QueuedConnection);
}

void JoinSession::Post(std::function<void()> news)
{
    std::vector<std::function<void()>> one;
    one.push_back(std::move(news));
    Post(std::move(one));
}

void JoinSession::Post(std::vector<std::function<void()>> news)
{
    bool first = false;
    {
        std::unique_lock lock(mutex_);
        // Far ahead of the owner's loop, the worker waits for it.
        wake_.wait(lock, [this] { return news_.size() < MostNews || stop_; });
        first = news_.empty();
        for (std::function<void()> &each : news)
            news_.push_back(std::move(each));
    }
    if (first)
        emit newsPosted(QPrivateSignal());
}

void JoinSession::TakeNews()
{
    std::deque<std::function<void()>> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(news_);
    }
    wake_.notify_all();
    for (const std::function<void()> &news : taken)
        news();
}

JoinSession::~JoinSession()
{
    // No signal from here on: whoever listens may be half gone already. The
    // worker's news is queued for this thread, and dropped with the session.
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        attention_ = true;
        scanQueue_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void JoinSession::SetState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state);
}

// ---------------------------------------------------------------------------
// The list

bool JoinSession::Insert(int at, const std::vector<FileName> &names)
{
    if (Joining() || at < 0 || at > Count())
        return false;
    // Measured when the total is first asked for: a join from the command
    // line never asks, and would pay a look at each file.
    InsertMeasured(at, names, std::vector<qint64>(names.size(), Unmeasured));
    return true;
}

void JoinSession::InsertMeasured(int at, const std::vector<FileName> &names, const std::vector<qint64> &sizes)
{
    if (names.empty())
        return;
    inputs_.insert(inputs_.begin() + at, names.begin(), names.end());
    sizes_.insert(sizes_.begin() + at, sizes.size(), 0);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        SetSize(std::size_t(at) + i, sizes[i]);
    emit inputsInserted(at, int(names.size()));
}

void JoinSession::SetSize(std::size_t index, qint64 size)
{
    qint64 &kept = sizes_[index];
    if (kept == Unmeasured)
        --unmeasured_;
    else
        totalSize_ -= kept;
    kept = size;
    if (size == Unmeasured)
        ++unmeasured_;
    else
        totalSize_ += size;
}

qint64 JoinSession::TotalSize()
{
    for (std::size_t i = 0; unmeasured_ > 0 && i < sizes_.size(); ++i)
        if (sizes_[i] == Unmeasured)
            SetSize(i, platform::SizeOf(inputs_[i]));
    return totalSize_;
}

bool JoinSession::Remove(int index)
{
    if (Joining() || index < 0 || index >= Count())
        return false;
    inputs_.erase(inputs_.begin() + index);
    SetSize(std::size_t(index), 0);
    sizes_.erase(sizes_.begin() + index);
    emit inputRemoved(index);
    return true;
}

bool JoinSession::Exchange(int a, int b)
{
    if (Joining() || a < 0 || b < 0 || a >= Count() || b >= Count())
        return false;
    std::swap(inputs_[std::size_t(a)], inputs_[std::size_t(b)]);
    std::swap(sizes_[std::size_t(a)], sizes_[std::size_t(b)]);
    emit inputChanged(a);
    emit inputChanged(b);
    return true;
}

bool JoinSession::Move(const QList<int> &rows, int at)
{
    if (Joining() || at < 0 || at > Count())
        return false;
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i] < 0 || rows[i] >= Count() || (i > 0 && rows[i] <= rows[i - 1]))
            return false;
    std::vector<FileName> moved;
    std::vector<qint64> movedSizes;
    int before = at;
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        moved.insert(moved.begin(), inputs_[std::size_t(rows[i])]);
        movedSizes.insert(movedSizes.begin(), sizes_[std::size_t(rows[i])]);
        inputs_.erase(inputs_.begin() + rows[i]);
        sizes_.erase(sizes_.begin() + rows[i]);
        if (rows[i] < at)
            --before;
    }
    inputs_.insert(inputs_.begin() + before, moved.begin(), moved.end());
    sizes_.insert(sizes_.begin() + before, movedSizes.begin(), movedSizes.end());
    emit inputsMoved(rows, at);
    return true;
}

bool JoinSession::Rename(int index, const FileName &name)
{
    if (Joining() || index < 0 || index >= Count())
        return false;
    inputs_[std::size_t(index)] = name;
    SetSize(std::size_t(index), Unmeasured);
    emit inputChanged(index);
    return true;
}

bool JoinSession::Clear()
{
    if (Joining())
        return false;
    inputs_.clear();
    sizes_.clear();
    totalSize_ = 0;
    unmeasured_ = 0;
    emit inputsCleared();
    return true;
}

// ---------------------------------------------------------------------------
// The work

bool JoinSession::Scan(const std::vector<FileName> &names)
{
    if (Joining() || state_ == State::Stopping)
        return false;
    {
        std::lock_guard lock(mutex_);
        scanQueue_.insert(scanQueue_.end(), names.begin(), names.end());
    }
    if (state_ == State::Idle)
        StartScan();
    return true;
}

void JoinSession::StartScan()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = hold_ = false;
        attention_ = false;
        batchesPending_ = 0;
    }
    work_ = Work::Scan;
    SetState(State::Scanning);
    worker_ = std::thread([this] { ScanWork(); });
}

void JoinSession::ScanWork()
{
    std::vector<FileName> found;
    std::vector<qint64> sizes; // measured here, off the owner's thread
    QElapsedTimer sinceReport;
    sinceReport.start();
    auto report = [&] {
        if (found.empty())
            return;
        {
            // One batch at a time: the owner's loop handles every event posted
            // so far in one go, and a queue of batches would starve its timers.
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return batchesPending_ == 0 || stop_; });
            ++batchesPending_;
        }
        Post([this, batch = std::move(found), batchSizes = std::move(sizes)]() mutable {
            FoundBatch(std::move(batch), std::move(batchSizes));
        });
        found.clear();
        sizes.clear();
        sinceReport.restart();
    };
    auto add = [&](const FileName &name) {
        found.push_back(name);
        sizes.push_back(platform::SizeOf(name));
        if (found.size() >= MaxBatch || sinceReport.elapsed() >= ReportIntervalMs)
            report();
    };
    std::exception_ptr error;
    try {
        for (;;) {
            FileName root;
            {
                std::lock_guard lock(mutex_);
                if (stop_ || scanQueue_.empty())
                    break;
                root = std::move(scanQueue_.front());
                scanQueue_.pop_front();
            }
            if (platform::IsFolder(root))
                ScanFolder(getpath(root), add, [this] { return !StopWanted(); });
            else if (ism(root))
                add(root);
        }
    } catch (...) {
        error = std::current_exception();
    }
    report();
    const Outcome outcome = error ? Outcome::Failed : StopWanted() ? Outcome::Stopped : Outcome::Done;
    Post([this, outcome, error] { WorkEnded(outcome, error); });
}

void JoinSession::FoundBatch(std::vector<FileName> names, std::vector<qint64> sizes)
{
    {
        std::lock_guard lock(mutex_);
        --batchesPending_;
    }
    wake_.notify_all();
    if (state_ == State::Stopping)
        return; // the person stopped the scan, or closed the window: nothing more joins the list
    InsertMeasured(Count(), names, sizes);
}

bool JoinSession::Join()
{
    if (state_ != State::Idle)
        return false;
    {
        std::lock_guard lock(mutex_);
        stop_ = hold_ = false;
        attention_ = false;
    }
    work_ = Work::Join;
    SetState(State::Joining);
    worker_ = std::thread([this, request = Request()] { JoinWork(request); });
    return true;
}

void JoinSession::JoinWork(const JoinRequest &request)
{
    Relay relay(*this, int(request.inputs.size()));
    const std::unique_ptr<JoinObserver> wrapped = wrap_ ? wrap_(relay) : nullptr;
    JoinObserver &observer = wrapped ? *wrapped : relay;
    Outcome outcome = Outcome::Done;
    std::exception_ptr error;
    JoinResult result{SketchJoin(request)};
    try {
        PlannedJoin planned = PlanJoin(request, observer);
        result.plan = planned.plan;
        planned.join->Write(observer);
    } catch (const JoinStopped &stopped) {
        outcome = Outcome::Stopped;
        result.left = stopped.left;
    } catch (...) {
        relay.Flush();
        outcome = Outcome::Failed;
        error = std::current_exception();
    }
    relay.HandOver();
    Post([this, outcome, error, result] { WorkEnded(outcome, error, result); });
}

void JoinSession::WorkEnded(Outcome outcome, std::exception_ptr error, const JoinResult &result)
{
    if (worker_.joinable())
        worker_.join();
    {
        std::lock_guard lock(mutex_);
        // Names queued while the last scan was deciding to end.
        if (work_ == Work::Scan && !stop_ && !scanQueue_.empty()) {
            worker_ = std::thread([this] { ScanWork(); });
            return;
        }
        scanQueue_.clear();
    }
    SetState(State::Idle);
    emit finished(work_, outcome, error, result);
}

void JoinSession::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        attention_ = true;
        scanQueue_.clear();
    }
    wake_.notify_all();
    if (state_ == State::Scanning || state_ == State::Joining)
        SetState(State::Stopping);
}

void JoinSession::Hold()
{
    std::lock_guard lock(mutex_);
    hold_ = true;
    attention_ = true;
}

void JoinSession::Resume()
{
    {
        std::lock_guard lock(mutex_);
        hold_ = false;
        attention_ = stop_;
    }
    wake_.notify_all();
}

bool JoinSession::StopWanted()
{
    if (!attention_.load(std::memory_order_relaxed))
        return false;
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stop_ || !hold_; });
    return stop_;
}

} // namespace app
