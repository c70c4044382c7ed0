#pragma once

#include "core/Result.h"

#include <QList>
#include <QMutex>
#include <QStringList>

#include <functional>
#include <memory>

namespace tolvo {

enum class LogLevel { info, warning, error };

inline size_t qHash(LogLevel level, size_t seed = 0)
{
    return ::qHash(static_cast<int>(level), seed);
}

// What a logger hands to the crash reporter. Safe to call from any thread.
struct CrashSink
{
    std::function<void(const QString &message)> captureMessage;
    std::function<void(const Error &error)> captureError;
};

// Keeps what a logger would have reported, in memory; for tests. Thread-safe.
class LogRecorder
{
public:
    QStringList messages() const;
    QList<Error> errors() const;
    CrashSink sink();

private:
    mutable QMutex m_mutex;
    QStringList m_messages;
    QList<Error> m_errors;
};

// Error logging through the crash reporter. Only level `error` is recorded, as the captured
// message "[ERROR] " + message. Info and warning reach neither the reporter nor a file; they
// go to the logging category "tolvo.log", which is silent unless a rule turns it on
// (QT_LOGGING_RULES="tolvo.log.info=true"). An error reaches the reporter as its domain, code
// and description only. Any thread.
struct LoggerClient
{
    static constexpr const char *dependencyKey = "loggerClient";

    std::function<void(const QString &message, LogLevel level)> log;
    std::function<void(const Error &error)> logError;

    static LoggerClient over(CrashSink sink);
    // Over a recorder, never the network.
    static LoggerClient recording(std::shared_ptr<LogRecorder> recorder);

    // The process's crash reporter (nothing is sent before it is started).
    static LoggerClient liveValue();
    static LoggerClient testValue();
    static LoggerClient previewValue() { return testValue(); }
};

} // namespace tolvo
