// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzFiles.h"

#include "core/OutputGuard.h"
#include "media/Media.h"

#include <QByteArray>
#include <filesystem>
#include <system_error>

namespace fuzz {

namespace {

struct Folder {
    QByteArray path;
    Folder()
    {
        std::error_code error;
        QByteArray base = std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : "/tmp";
        QByteArray name = base + "/zantrope-fuzz-XXXXXX";
        if (!::mkdtemp(name.data()))
            Broken("a scratch folder can be made");
        path = name;
    }
    ~Folder()
    {
        std::error_code error;
        std::filesystem::remove_all(path.toStdString(), error);
    }
};

} // namespace

platform::FileName ScratchFolder()
{
    static const Folder folder;
    return platform::FileName(folder.path);
}

platform::FileName Scratch(const char *name, const uint8_t *data, size_t size)
{
    const platform::FileName path = ScratchFolder() / name;
    FILE *file = std::fopen(path.Bytes().constData(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        Broken("the scratch file can be written");
    return path;
}

std::vector<platform::FileName> TwoInputs(const uint8_t *data, size_t size, const std::vector<const char *> &extensions)
{
    if (size < 2)
        return {};
    const QByteArray extension(extensions[data[0] % extensions.size()]);
    const size_t rest = size - 2, split = data[1] == 0 ? rest : rest * data[1] / 256;
    const platform::FileName a = Scratch(("a." + extension).constData(), data + 2, split);
    const platform::FileName b = data[1] == 0 ? Scratch(("b." + extension).constData(), data + 2, rest)
                                              : Scratch(("b." + extension).constData(), data + 2 + split, rest - split);
    return {a, b};
}

void JoinAsOneMovie(const platform::FileName &output, const std::vector<platform::FileName> &inputs, app::JoinKind kind)
{
    app::JoinObserver quiet;
    app::JoinPlan plan;
    plan.kind = kind;
    plan.output = output;
    plan.clips = int(inputs.size());
    app::OutputGuard guard(output, inputs);
    guard.LookAtInputs();
    app::media::ReadyMovie(plan, std::move(guard), quiet)->Write(quiet);
}

} // namespace fuzz
