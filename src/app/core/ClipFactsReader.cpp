// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/ClipFactsReader.h"

#include <QMetaObject>

namespace app {

ClipFactsReader::ClipFactsReader(QObject *parent) : QObject(parent)
{
    worker_ = std::thread([this] { Work(); });
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
    {
        std::lock_guard lock(mutex_);
        for (const platform::FileName &name : names) {
            // An empty entry marks a name as queued, so it is read once.
            if (known_.emplace(name.Bytes(), std::nullopt).second)
                queue_.push_back(name);
        }
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
        platform::FileName name;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_)
                return;
            name = queue_.front();
            queue_.pop_front();
        }
        std::optional<ClipFacts> facts;
        try {
            facts = ReadClipFacts(name);
        } catch (const std::exception &) {
            // No media, or gone: nothing to tell.
        }
        // Handed to the owner's thread, which alone touches what is known.
        QMetaObject::invokeMethod(this, [this, name, facts] {
            known_[name.Bytes()] = facts;
            emit factsRead(name);
        });
    }
}

} // namespace app
