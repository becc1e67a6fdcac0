// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ClipFacts.h"

#include "core/JoinProgress.h"
#include "core/MediaLibrary.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace app {

using platform::FileName;

namespace {

bool ProgramStream(const ClipFacts &f)
{
    return f.format == QLatin1String("mpeg") || f.format == QLatin1String("mpegts");
}

} // namespace

QString LengthText(qint64 us) { return FormatDuration((std::max<qint64>(us, 0) + 500000) / 1000000); }

QString ClipFacts::Text() const
{
    QStringList parts{LengthText(lengthUs)};
    if (!video.isEmpty())
        parts << video;
    if (!audio.isEmpty())
        parts << audio;
    return parts.join(QStringLiteral(" · "));
}

ClipFacts ReadClipFacts(const FileName &name) { return MediaLibrary().readClipFacts(name); }

qint64 TotalLength(const std::vector<std::optional<ClipFacts>> &facts)
{
    qint64 total = 0;
    for (const auto &f : facts)
        if (f)
            total += f->lengthUs;
    return total;
}

QString ByteJoinHint(const std::vector<std::optional<ClipFacts>> &facts)
{
    std::vector<const ClipFacts *> known;
    for (const auto &f : facts)
        if (f)
            known.push_back(&*f);
    bool misleads = false;
    for (std::size_t i = 0; i < known.size() && !misleads; ++i) {
        const ClipFacts &f = *known[i];
        const bool first = i == 0, last = i + 1 == known.size();
        if (f.format == QLatin1String("mp3") && known.size() > 1) {
            // The first file's header counts that file alone; later headers
            // and tags sit inside the sound.
            misleads = (first && f.lengthHeader) || (!first && (f.startTag || f.lengthHeader)) || (!last && f.endTag);
        } else if (!first && ProgramStream(f) && ProgramStream(*known[i - 1])) {
            // Players take one clock for the file: each clip must go on where
            // the one before it ended, within a second.
            const ClipFacts &p = *known[i - 1];
            const qint64 gap = f.startUs - (p.startUs + p.lengthUs);
            misleads = gap < -500000 || gap > 1000000;
        }
    }
    if (!misleads)
        return {};
    return QStringLiteral("Players may show it with a wrong length or seek badly in it; the list's menu item "
                          "\"Join as One Movie\" avoids this.");
}

} // namespace app
