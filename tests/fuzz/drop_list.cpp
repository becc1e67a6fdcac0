// SPDX-License-Identifier: GPL-3.0-or-later
// Files dropped from a file manager: the text/uri-list the drop carries,
// as Qt parses it, and the local names taken from its addresses. No name
// taken may be empty or hold a NUL, which no file's name can.
#include "FuzzFiles.h"
#include "platform/FileName.h"

#include <QMimeData>
#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QMimeData drop;
    drop.setData(QStringLiteral("text/uri-list"), QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    for (const platform::FileName &name : platform::NamesFromUrls(drop.urls())) {
        if (name.IsEmpty() || name.HoldsNul())
            fuzz::Broken("a dropped name is a name a file can have");
        (void)name.Display();
    }
    return 0;
}
