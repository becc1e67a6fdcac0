// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MovieJoin.h"

#include "core/MediaLibrary.h"

namespace app {

using platform::FileName;

FileName MovieJoin::OutputNameFor(const FileName &output)
{
    if (output.Extension().toLower() != "dat")
        return output;
    QByteArray bytes = output.Bytes();
    bytes.chop(3);
    return FileName(bytes + "mpg");
}

FileName MovieJoin::Join(const FileName &output, const std::vector<FileName> &inputs, JoinObserver &observer)
{
    return MediaLibrary().joinMovie(output, inputs, observer);
}

} // namespace app
