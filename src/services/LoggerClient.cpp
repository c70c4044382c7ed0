#include "services/LoggerClient.h"

#include "core/LogCategories.h"
#include "platform/CrashReporter.h"

namespace tolvo {

QStringList LogRecorder::messages() const
{
    QMutexLocker lock(&m_mutex);
    return m_messages;
}

QList<Error> LogRecorder::errors() const
{
    QMutexLocker lock(&m_mutex);
    return m_errors;
}

CrashSink LogRecorder::sink()
{
    return CrashSink {
        [this](const QString &message) {
            QMutexLocker lock(&m_mutex);
            m_messages.append(message);
        },
        [this](const Error &error) {
            QMutexLocker lock(&m_mutex);
            m_errors.append(error);
        },
    };
}

LoggerClient LoggerClient::over(CrashSink sink)
{
    return LoggerClient {
        [capture = sink.captureMessage](const QString &message, LogLevel level) {
            // Lower levels never reach the reporter; a logging rule can show them on the
            // console while a fault is looked into.
            switch (level) {
            case LogLevel::info: qCInfo(lcLog).noquote() << message; break;
            case LogLevel::warning: qCWarning(lcLog).noquote() << message; break;
            case LogLevel::error: capture(QStringLiteral("[ERROR] ") + message); break;
            }
        },
        sink.captureError,
    };
}

LoggerClient LoggerClient::recording(std::shared_ptr<LogRecorder> recorder)
{
    CrashSink sink = recorder->sink();
    // The closures keep the recorder alive.
    return over(CrashSink {
        [recorder, fn = sink.captureMessage](const QString &message) { fn(message); },
        [recorder, fn = sink.captureError](const Error &error) { fn(error); },
    });
}

LoggerClient LoggerClient::liveValue()
{
    // Standard error always hears errors: the reporter may not be started (or may have no DSN),
    // and a failure must never vanish.
    return over(CrashSink {
        [](const QString &message) {
            qWarning("%s", qUtf8Printable(message));
            if (auto *reporter = CrashReporter::shared())
                reporter->captureMessage(message);
        },
        [](const Error &error) {
            qWarning("[ERROR] %s", qUtf8Printable(error.describe()));
            if (auto *reporter = CrashReporter::shared())
                reporter->captureError(error);
        },
    });
}

LoggerClient LoggerClient::testValue()
{
    return recording(std::make_shared<LogRecorder>());
}

} // namespace tolvo
