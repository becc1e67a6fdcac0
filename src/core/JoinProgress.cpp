// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/JoinProgress.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace app {
namespace {

struct Unit {
    double size;
    const char *name;
};
constexpr Unit Units[] = {{1e12, "TB"}, {1e9, "GB"}, {1e6, "MB"}, {1e3, "KB"}};

// The unit bytes are best told in; none below a kilobyte.
const Unit *UnitFor(double bytes)
{
    for (const Unit &u : Units)
        if (bytes >= u.size)
            return &u;
    return nullptr;
}

QString InUnit(double bytes, const Unit *unit, int decimals)
{
    return QString::number(bytes / unit->size, 'f', decimals);
}

QString Plural(int n, const char *one)
{
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one))
                  : QStringLiteral("%1 %2s").arg(n).arg(QLatin1String(one));
}

const QString Dot = QStringLiteral(" \u00b7 ");

} // namespace

QString FormatSize(qint64 bytes)
{
    const Unit *unit = UnitFor(double(bytes));
    if (!unit)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    return InUnit(double(bytes), unit, 1) + QLatin1Char(' ') + QLatin1String(unit->name);
}

QString FormatDuration(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString ListSummary(int files, qint64 bytes) { return Plural(files, "file") + Dot + FormatSize(bytes); }

void JoinProgress::Start(int files, qint64 totalBytes, qint64 startMs)
{
    files_ = files;
    file_ = 0;
    total_ = totalBytes;
    done_ = 0;
    startMs_ = startMs;
    heldMs_ = 0;
    heldSinceMs_.reset();
}

void JoinProgress::Held(qint64 nowMs)
{
    if (!heldSinceMs_)
        heldSinceMs_ = nowMs;
}

void JoinProgress::Resumed(qint64 nowMs)
{
    if (heldSinceMs_)
        heldMs_ += nowMs - *std::exchange(heldSinceMs_, std::nullopt);
}

qint64 JoinProgress::JoiningMs(qint64 nowMs) const
{
    return std::max<qint64>(0, heldSinceMs_.value_or(nowMs) - startMs_ - heldMs_);
}

int JoinProgress::Percent() const
{
    if (total_ <= 0)
        return 0;
    return int(std::min<qint64>(100, done_ * 100 / total_));
}

double JoinProgress::BytesPerSecond(qint64 nowMs) const
{
    const qint64 elapsed = JoiningMs(nowMs);
    return elapsed > 0 ? double(done_) * 1000.0 / double(elapsed) : 0.0;
}

std::optional<qint64> JoinProgress::SecondsLeft(qint64 nowMs) const
{
    // A few blocks over a fraction of a second told hundreds of hours.
    const bool known = JoiningMs(nowMs) >= 1000 || done_ * 100 >= total_;
    const double rate = BytesPerSecond(nowMs);
    if (!known || rate <= 0)
        return std::nullopt;
    return qint64(std::ceil(double(std::max<qint64>(total_ - done_, 0)) / rate));
}

QString JoinProgress::Title(const QString &program, qint64 nowMs) const
{
    QString title = program + QStringLiteral(" \u2013 %1%").arg(Percent());
    if (const auto left = SecondsLeft(nowMs))
        title += QStringLiteral(" \u2013 %1 left").arg(FormatDuration(*left));
    return title;
}

QString JoinProgress::Details(qint64 nowMs) const
{
    QString text = QStringLiteral("File %1 of %2").arg(file_ + 1).arg(files_) + Dot;
    if (const Unit *unit = UnitFor(double(total_)))
        text += InUnit(double(done_), unit, 1) + QStringLiteral(" of ") + FormatSize(total_);
    else
        text += QStringLiteral("%1 of %2").arg(done_).arg(FormatSize(total_));
    const double rate = BytesPerSecond(nowMs);
    if (const Unit *unit = UnitFor(rate); unit && JoiningMs(nowMs) > 0)
        text += Dot + InUnit(rate, unit, rate / unit->size < 10 ? 1 : 0) + QLatin1Char(' ') +
                QLatin1String(unit->name) + QStringLiteral("/s");
    if (const auto left = SecondsLeft(nowMs))
        text += Dot + FormatDuration(*left) + QStringLiteral(" left");
    return text;
}

QString JoinProgress::Summary(qint64 nowMs) const
{
    return QStringLiteral("Joined %1 (%2) in %3")
        .arg(Plural(files_, "file"), FormatSize(total_), FormatDuration((JoiningMs(nowMs) + 500) / 1000));
}

} // namespace app
