// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ClipFactsReader.h"

namespace app {

namespace {

std::optional<ClipFacts> FactsOrNone(const platform::FileName &name)
{
    try {
        return ReadClipFacts(name);
    } catch (const std::exception &) {
        return std::nullopt; // no media, or gone: nothing to tell
    }
}

} // namespace

ClipFactsReader::ClipFactsReader(QObject *parent) : QObject(parent)
{
    connect(this, &ClipFactsReader::resultsPosted, this, &ClipFactsReader::TakeResults, Qt::QueuedConnection);
    worker_ = std::thread([this] { Work(); });
}

void ClipFactsReader::Post(std::function<void()> result)
{
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = results_.empty();
        results_.push_back(std::move(result));
    }
    if (first)
        emit resultsPosted(QPrivateSignal());
}

void ClipFactsReader::TakeResults()
{
    std::deque<std::function<void()>> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(results_);
    }
    for (const std::function<void()> &result : taken)
        result();
}

ClipFactsReader::~ClipFactsReader()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        queue_.clear();
    }
    wake_.notify_one();
    worker_.join();
}

void ClipFactsReader::Read(const std::vector<platform::FileName> &names)
{
    Job job;
    for (const platform::FileName &name : names) {
        // An empty entry marks a name as queued, so it is read once.
        if (known_.emplace(name.Bytes(), std::nullopt).second)
            job.names.push_back(name);
    }
    if (job.names.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void ClipFactsReader::ReadAfresh(std::vector<platform::FileName> names, std::function<void(const FactsOfNames &)> done)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({std::move(names), std::move(done)});
    }
    wake_.notify_one();
}

void ClipFactsReader::ReadFirst(const platform::FileName &name)
{
    if (read_.count(name.Bytes()))
        return;
    known_.emplace(name.Bytes(), std::nullopt);
    {
        std::lock_guard lock(mutex_);
        first_.push_back(name);
    }
    wake_.notify_one();
}

void ClipFactsReader::SetPaused(bool paused)
{
    {
        std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    wake_.notify_one();
}

std::optional<ClipFacts> ClipFactsReader::Facts(const platform::FileName &name) const
{
    const auto it = known_.find(name.Bytes());
    return it == known_.end() ? std::nullopt : it->second;
}

qint64 ClipFactsReader::TotalLength(const std::vector<platform::FileName> &names) const
{
    std::vector<std::optional<ClipFacts>> facts;
    facts.reserve(names.size());
    for (const platform::FileName &name : names) {
        // A queued name has an empty entry too: only a name read counts.
        if (!read_.count(name.Bytes()))
            return 0;
        facts.push_back(known_.at(name.Bytes()));
    }
    return app::TotalLength(facts);
}

void ClipFactsReader::Work()
{
    for (;;) {
        Between();
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || (!paused_ && (!queue_.empty() || !first_.empty())); });
            if (quit_)
                return;
            if (queue_.empty())
                continue; // names to read first
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        Run(job);
    }
}

void ClipFactsReader::Between()
{
    for (;;) {
        platform::FileName name;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !paused_; });
            if (quit_ || first_.empty())
                return;
            name = std::move(first_.front());
            first_.pop_front();
        }
        ReadOne(name);
    }
}

void ClipFactsReader::ReadOne(const platform::FileName &name)
{
    // Handed to the owner's thread, which alone touches what is known.
    Post([this, name, facts = FactsOrNone(name)] {
        known_[name.Bytes()] = facts;
        read_.insert(name.Bytes());
        emit factsRead(name);
    });
}

void ClipFactsReader::Run(const Job &job)
{
    FactsOfNames all;
    for (const platform::FileName &name : job.names) {
        Between();
        if (quit_)
            return;
        if (!job.done) {
            ReadOne(name);
            continue;
        }
        all.push_back(FactsOrNone(name));
    }
    if (job.done)
        Post([done = job.done, all = std::move(all)] { done(all); });
}

} // namespace app
