// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's error classes. Handlers throw them; the application's message
// loop shows the message in the standard error box and the program goes on.
#include <QString>
#include <exception>
#include <string>

namespace platform {

class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
    const QString &Message() const { return message_; }
    const char *what() const noexcept override { return utf8_.c_str(); }
    // What the error concerns, such as the file, told beneath the message; may be empty.
    const QString &Details() const { return details_; }
    void SetDetails(QString details) { details_ = std::move(details); }

private:
    QString message_;
    std::string utf8_;
    QString details_;
};

// A file operation failed; ErrorCode is the operating system's code as the
// program reports it (2, 3, 4, 5, 101, or the raw number).
class EInOutError : public Exception {
public:
    explicit EInOutError(int code) : Exception(MessageFor(code)), code_(code) {}
    EInOutError(int code, QString message) : Exception(std::move(message)), code_(code) {}
    int ErrorCode() const { return code_; }

    static QString MessageFor(int code)
    {
        switch (code) {
        case 2: return QStringLiteral("File not found");
        case 3: return QStringLiteral("Invalid filename");
        case 4: return QStringLiteral("Too many open files");
        case 5: return QStringLiteral("File access denied");
        case 101: return QStringLiteral("Disk full");
        default: return QStringLiteral("I/O error %1").arg(code);
        }
    }

private:
    int code_;
};

class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

} // namespace platform
