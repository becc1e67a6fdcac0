// SPDX-License-Identifier: GPL-3.0-or-later
// File names as bytes: their parts, their readable form, WTF-8 both ways,
// names stored in a settings file, and the natural order of a list. WTF-8
// must come back as it went in, and the order must never hold both a < b
// and b < a.
#include "FuzzFiles.h"
#include "core/NaturalOrder.h"
#include "core/PathRules.h"
#include "platform/FileName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const platform::FileName name(bytes);
    (void)name.Display();
    (void)name.Extension();
    (void)(name.Folder() / name.LastPart());
    (void)app::ism(name);
    (void)app::getpath(name);
    (void)platform::NameFromStored(bytes);

    if (const auto units = platform::Utf16FromWtf8(bytes)) {
        const QStringView text(units->data(), qsizetype(units->size()));
        if (platform::Wtf8FromUtf16(text) != bytes)
            fuzz::Broken("WTF-8 read as UTF-16 and written again is the same bytes");
    }
    const QStringView units(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    const QByteArray wtf8 = platform::Wtf8FromUtf16(units);
    const auto back = platform::Utf16FromWtf8(wtf8);
    if (!units.contains(QChar(0)) && (!back || QStringView(back->data(), qsizetype(back->size())) != units))
        fuzz::Broken("UTF-16 written as WTF-8 reads back as the same units");

    const qsizetype half = bytes.indexOf('\n');
    if (half >= 0) {
        const QByteArray a = bytes.left(half), b = bytes.mid(half + 1);
        if (app::NaturalLess(a, b) && app::NaturalLess(b, a))
            fuzz::Broken("natural order is an order");
        (void)app::NaturalKey(a);
    }
    return 0;
}
