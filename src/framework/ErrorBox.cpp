// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/ErrorBox.h"

#include "desktop/Desktop.h"
#include "platform/Exceptions.h"

namespace framework {

TErrorBox &ErrorBox()
{
    static TErrorBox box;
    return box;
}

QString TErrorBox::TextFor(const QString &message)
{
    if (message.isEmpty() || message.back() <= QChar('.'))
        return message;
    return message + QChar('.');
}

void TErrorBox::Show(const QString &message, const QString &details) const
{
    platform::CurrentMessageBoxes().Show(owner_, TextFor(message), caption_, platform::MsgIcon::Stop, details);
}

void TErrorBox::Show(const std::exception &e) const
{
    if (const auto *own = dynamic_cast<const platform::Exception *>(&e))
        Show(own->Message(), own->Details());
    else
        Show(QString::fromLocal8Bit(e.what()));
}

} // namespace framework
