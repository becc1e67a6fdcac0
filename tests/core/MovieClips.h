// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The clips the movie tests share (VCD, SVCD and DVD program streams, .dat
// tracks, MP3s with and without tags), made by the ffmpeg program when a
// test first needs one, in a folder of the suite's own.
#include "platform/FileName.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <vector>

#include "TestFiles.h"

// A program stream wrapped as a VCD .dat file: RIFF form CDXA, a 16-byte
// "fmt " chunk, then 2352-byte Mode 2 sectors of 2324 payload bytes each.
inline QByteArray AsDat(const QByteArray &stream)
{
    QByteArray sectors;
    for (qsizetype at = 0, lba = 150; at < stream.size(); at += 2324, ++lba) {
        const auto bcd = [](int v) { return char(v / 10 * 16 + v % 10); };
        QByteArray sector(12, char(0xFF));
        sector[0] = sector[11] = 0;
        sector += bcd(int(lba / 4500));
        sector += bcd(int(lba / 75 % 60));
        sector += bcd(int(lba % 75));
        sector += char(2);
        sector += QByteArray::fromHex("0101640001016400"); // subheader: form 2 video
        sector += stream.mid(at, 2324).leftJustified(2324, '\0');
        sector += QByteArray(4, '\0'); // EDC
        sectors += sector;
    }
    const auto le32 = [](quint32 v) {
        QByteArray b(4, '\0');
        qToLittleEndian(v, b.data());
        return b;
    };
    const QByteArray fmt = "fmt " + le32(16) + QByteArray(16, '\0');
    return "RIFF" + le32(quint32(4 + fmt.size() + 8 + sectors.size())) + "CDXA" + fmt + "data" +
           le32(quint32(sectors.size())) + sectors;
}

class MovieClips : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir = new QTemporaryDir; }

    // A clip of the suite, made by ffmpeg when a test first needs it.
    static QString Clip(const QString &name)
    {
        const QString path = Path(name);
        if (QFile::exists(path))
            return path;
        const QString sine = QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1");
        const QString seconds = name.mid(name.indexOf(QRegularExpression("\\d"))).section('.', 0, 0);
        if (name.startsWith("ntsc") && name.endsWith(".mpg"))
            Make({"-f", "lavfi", "-i", "testsrc=size=352x240:rate=30000/1001:duration=" + seconds, "-f", "lavfi", "-i",
                  sine.arg(seconds), "-target", "ntsc-vcd", path});
        else if (name.startsWith("ntsc"))
            WriteBytes(path, AsDat(ReadBytes(Clip("ntsc" + seconds + ".mpg"))));
        else if (name.startsWith("dvd") || name.startsWith("svcd")) // 2048-byte packs; 2324, as a VCD's
            Make({"-f", "lavfi", "-i",
                  QStringLiteral("testsrc=size=%1:rate=30000/1001:duration=%2")
                      .arg(name.startsWith("dvd") ? "720x480" : "480x480", seconds),
                  "-f", "lavfi", "-i", sine.arg(seconds), "-target", name.startsWith("dvd") ? "ntsc-dvd" : "ntsc-svcd",
                  path});
        else if (name.startsWith("vbr"))
            Make({"-f", "lavfi", "-i", sine.arg(seconds), "-c:a", "libmp3lame", "-q:a", "4", path});
        else if (name == "pvcd_B.mpg")
            Make({"-f", "lavfi", "-i", "testsrc=size=352x288:rate=25:duration=2", "-f", "lavfi", "-i", sine.arg(2),
                  "-target", "pal-vcd", path});
        else if (name == "cover.jpg")
            Make({"-f", "lavfi", "-i", "testsrc=size=320x240", "-frames:v", "1", path});
        else if (name.startsWith("cbr")) // cover art and a title in ID3v2, the title again in ID3v1
            Make({"-f",
                  "lavfi",
                  "-i",
                  sine.arg(seconds),
                  "-i",
                  Clip("cover.jpg"),
                  "-map",
                  "0",
                  "-map",
                  "1",
                  "-c:a",
                  "libmp3lame",
                  "-b:a",
                  "128k",
                  "-c:v",
                  "copy",
                  "-disposition:v",
                  "attached_pic",
                  "-metadata",
                  "title=Cover " + seconds,
                  "-id3v2_version",
                  "3",
                  "-write_id3v1",
                  "1",
                  "-write_xing",
                  "0",
                  path});
        else
            ADD_FAILURE() << "no recipe for " << name.toStdString();
        return path;
    }
    static void TearDownTestSuite()
    {
        {
            TreeRemoval names(dir->path().toUtf8());
        } // names that are no text too
        delete dir;
        dir = nullptr;
    }

    static void Make(QStringList args)
    {
        args = QStringList{"-v", "error", "-nostdin", "-y", "-threads", "1"} + args;
        ASSERT_EQ(RunProgram(QStringLiteral("ffmpeg"), args), 0) << "ffmpeg is needed to make the test clips";
    }
    static QString Path(const QString &name) { return dir->filePath(name); }
    static std::vector<platform::FileName> Names(const QStringList &names)
    {
        std::vector<platform::FileName> result;
        for (const QString &n : names)
            result.push_back(Name(Clip(n)));
        return result;
    }
    inline static QTemporaryDir *dir = nullptr;
};
