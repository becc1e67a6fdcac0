// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ClipFactsReader.h"

namespace app {

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

std::optional<ClipFacts> ClipFactsReader::Facts(const platform::FileName &name) const
{
    const auto it = known_.find(name.Bytes());
    return it == known_.end() ? std::nullopt : it->second;
}

qint64 ClipFactsReader::TotalLength(const std::vector<platform::FileName> &names) const
{
    std::vector<std::optional<ClipFacts>> facts;
    facts.reserve(names.size());
    for (const platform::FileName &name : names)
        facts.push_back(Facts(name));
    return app::TotalLength(facts);
}

void ClipFactsReader::Work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_)
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        Run(job);
    }
}

void ClipFactsReader::Run(const Job &job)
{
    FactsOfNames all;
    for (const platform::FileName &name : job.names) {
        if (quit_)
            return;
        std::optional<ClipFacts> facts;
        try {
            facts = ReadClipFacts(name);
        } catch (const std::exception &) {
            // No media, or gone: nothing to tell.
        }
        if (job.done) {
            all.push_back(std::move(facts));
            continue;
        }
        // Handed to the owner's thread, which alone touches what is known.
        Post([this, name, facts] {
            known_[name.Bytes()] = facts;
            emit factsRead(name);
        });
    }
    if (job.done)
        Post([done = job.done, all = std::move(all)] { done(all); });
}

} // namespace app
