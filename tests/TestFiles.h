#pragma once
// File helpers shared by the tests.
#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <gtest/gtest.h>

#include "platform/Exceptions.h"

// Bytes that differ from seed to seed, so order mistakes show.
inline QByteArray Pattern(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(rng.generate());
    return bytes;
}

inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The file's bytes, or "<unreadable>" when it cannot be read.
inline QByteArray ReadBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The error an action throws, or a failure when it throws none.
template <typename Action>
platform::EInOutError ErrorOf(Action action)
{
    try {
        action();
    } catch (const platform::EInOutError &e) {
        return e;
    }
    ADD_FAILURE() << "no EInOutError";
    return platform::EInOutError(0);
}
