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

// The codes of EInOutError that the program gives failures itself, each with
// its fixed message (EInOutError::MessageFor); any other code is the
// system's own error number, told as "I/O error N".
struct InOutCode {
    static constexpr int FileNotFound = 2;
    static constexpr int InvalidFilename = 3; // a folder on the way is missing, or no file can have the name
    static constexpr int TooManyOpenFiles = 4;
    static constexpr int AccessDenied = 5; // also: no regular file, or the output is one of the inputs
    static constexpr int ReadError = 100;  // an input is not what it was, or not media that can be read
    static constexpr int DiskFull = 101;
};

// A file operation failed; ErrorCode is one of InOutCode's, or the raw
// number of the system's error.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code) : Exception(MessageFor(code)), code_(code) {}
    EInOutError(int code, QString message) : Exception(std::move(message)), code_(code) {}
    int ErrorCode() const { return code_; }

    static QString MessageFor(int code)
    {
        switch (code) {
        case InOutCode::FileNotFound: return QStringLiteral("File not found");
        case InOutCode::InvalidFilename: return QStringLiteral("Invalid filename");
        case InOutCode::TooManyOpenFiles: return QStringLiteral("Too many open files");
        case InOutCode::AccessDenied: return QStringLiteral("File access denied");
        case InOutCode::DiskFull: return QStringLiteral("Disk full");
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
