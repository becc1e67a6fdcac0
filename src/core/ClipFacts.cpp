// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ClipFacts.h"

#include "core/JoinProgress.h"
#include "core/MediaLibrary.h"
#include "core/Mp4Describe.h"
#include "core/PathRules.h"
#include "platform/File.h"

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

QString DecimalWords(double value)
{
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

QString ClipFacts::Text() const
{
    QStringList parts{LengthText(lengthUs)};
    // The containers that carry other codecs than MPEG's are named.
    if (format == QLatin1String("matroska,webm"))
        parts << QStringLiteral("Matroska");
    else if (format == QLatin1String("mpegts"))
        parts << QStringLiteral("MPEG-TS");
    if (!video.isEmpty())
        parts << video;
    if (!audio.isEmpty())
        parts << audio;
    if (!extras.isEmpty())
        parts << extras;
    return parts.join(QStringLiteral(" · "));
}

ClipFacts ReadClipFacts(const FileName &name)
{
    // MP4 and QuickTime files are read here, by their boxes: their hints
    // never wait for FFmpeg's libraries to load.
    if (IsMp4Type(name)) {
        platform::File file = platform::File::OpenRead(name);
        return mp4::FactsOf(mp4::ReadMovie(file, name));
    }
    return MediaLibrary().readClipFacts(name);
}

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
