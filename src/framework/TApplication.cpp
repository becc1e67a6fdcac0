#include "framework/TApplication.h"

#include <QWidget>

#include "platform/Desktop.h"
#include "platform/Exceptions.h"

namespace framework {

TApplication &Application()
{
    static TApplication app;
    return app;
}

void TApplication::SetTitle(const QString &title)
{
    title_ = title;
    QGuiApplication::setApplicationDisplayName(title);
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TApplication::Minimize()
{
    if (mainForm_)
        mainForm_->showMinimized();
}

QString TApplication::ErrorBoxText(const QString &message)
{
    if (message.isEmpty() || message.back() <= QChar('.'))
        return message;
    return message + QChar('.');
}

void TApplication::ShowException(const QString &message)
{
    platform::CurrentMessageBoxes().Show(mainForm_, ErrorBoxText(message), title_,
                                         platform::MsgIcon::Stop);
}

void TApplication::HandleException(const std::exception &e)
{
    if (const auto *own = dynamic_cast<const platform::Exception *>(&e))
        ShowException(own->Message());
    else
        ShowException(QString::fromLocal8Bit(e.what()));
}

TQtApplication::TQtApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TQtApplication::notify(QObject *receiver, QEvent *event)
{
    bool result = false;
    Application().Guard([&] { result = QApplication::notify(receiver, event); });
    return result;
}

} // namespace framework
