#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <variant>

namespace qby::foundation {

// Why an operation failed: a code (an errno value, an HTTP status, or a code of the service
// that answered) and a sentence that a log or an alert can show.
struct Error {
    Error() = default;
    Error(int code, QString message) : code(code), message(std::move(message)) {}
    Error(int code, QString message, bool transient)
        : code(code), message(std::move(message)), transient(transient) {}
    Error(int code, QString message, QString format, QStringList arguments)
        : code(code),
          message(std::move(message)),
          format(std::move(format)),
          arguments(std::move(arguments)) {}

    int code = 0;
    QString message;
    // For a sentence worded for the user: its English text with %1, %2… (the key under which
    // its translations are found) and the values that fill them in; message is that text filled
    // in. Empty for a message that is not translated.
    QString format;
    QStringList arguments;
    // A failure that may well pass if the same thing is tried again a little later: a dropped
    // connection, a stalled transfer, a busy server.
    bool transient = false;
};

// A value, or the error that kept the operation from producing one. Nothing throws: callers
// test ok() and choose the next step.
template <typename T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<T>(state_); }
    T& value() { return std::get<T>(state_); }
    const Error& error() const { return std::get<Error>(state_); }

private:
    std::variant<T, Error> state_;
};

// An operation that answers nothing but success or its error.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return error_; }

private:
    Error error_;
    bool failed_ = false;
};

using Status = Result<void>;

}  // namespace qby::foundation
