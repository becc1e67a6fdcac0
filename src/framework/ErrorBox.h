// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The standard error box: OK only, stop icon, captioned with the
// application's title. An exception that escapes an event handler is shown
// in it and the program goes on. The controls and menus fire their events
// through Guard; TApplication gives the box its caption and owner.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <utility>

namespace framework {

class TErrorBox {
public:
    QString Caption() const { return caption_; }
    void SetCaption(const QString &caption) { caption_ = caption; }
    QWidget *Owner() const { return owner_; }
    void SetOwner(QWidget *owner) { owner_ = owner; }

    // details, when not empty, stand beneath the message (the file an error concerns).
    void Show(const QString &message, const QString &details = QString()) const;
    void Show(const std::exception &e) const;

    // Runs f; an exception escaping it is shown in the box. Returns false
    // when f failed.
    template <class F>
    bool Guard(F &&f) const
    {
        try {
            std::forward<F>(f)();
            return true;
        } catch (const std::exception &e) {
            Show(e);
        } catch (...) {
            Show(QString());
        }
        return false;
    }

    // The box's text: the message with "." appended unless it is empty or
    // already ends in "." or a character that sorts below ".".
    static QString TextFor(const QString &message);

private:
    QString caption_;
    QPointer<QWidget> owner_;
};

// The application's error box.
TErrorBox &ErrorBox();

} // namespace framework
