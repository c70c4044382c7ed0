#pragma once

#include "core/Result.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace tolvo {

// What a view model wants to tell the user. Six kinds carry something: `error` its error,
// the three success alerts and the two sign-in alerts a handler.
class AlertType
{
public:
    enum class Kind {
        error,
        eventCreatedSuccessfully,
        eventUpdatedSuccessfully,
        reportSendedSuccessfully,
        authenticationScopesError,
        expiredToken,
        emptyInputs,
        wrongStartDate,
        equalDates,
        simpleError,
        calendarSelection,
    };

    static AlertType error(Error error);
    static AlertType eventCreatedSuccessfully(std::function<void()> handler);
    static AlertType eventUpdatedSuccessfully(std::function<void()> handler);
    static AlertType reportSendedSuccessfully(std::function<void()> handler);
    static AlertType authenticationScopesError(std::function<void()> handler);
    static AlertType expiredToken(std::function<void()> handler);
    static AlertType emptyInputs() { return AlertType(Kind::emptyInputs); }
    static AlertType wrongStartDate() { return AlertType(Kind::wrongStartDate); }
    static AlertType equalDates() { return AlertType(Kind::equalDates); }
    static AlertType simpleError() { return AlertType(Kind::simpleError); }
    static AlertType calendarSelection() { return AlertType(Kind::calendarSelection); }

    Kind kind() const { return m_kind; }
    const std::optional<Error> &carriedError() const { return m_error; }
    const std::function<void()> &handler() const { return m_handler; }

private:
    explicit AlertType(Kind kind)
        : m_kind(kind)
    {
    }

    Kind m_kind;
    std::optional<Error> m_error;
    std::function<void()> m_handler;
};

// The alert for a failed request to Google, chosen by the error's code alone: -10 (the stored
// sign-in cannot be refreshed) is `expiredToken` and 403 `authenticationScopesError`, both with
// `refresh` behind their "Refresh" button; anything else is `error` carrying the error.
AlertType alertForFailure(const Error &error, std::function<void()> refresh);

// The alert a case shows: title, message and buttons in order. An action may be empty.
struct AlertButton
{
    QString label;
    std::function<void()> action;
};

struct AlertSpec
{
    QString title;
    QString message;
    QList<AlertButton> buttons;
};

AlertSpec alertSpec(const AlertType &alert);

// A view model's published alert: set it to show an alert, and the presenter clears it when
// the alert closes. Every set announces, even the same kind again (alerts have no equality).
class AlertItem : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<AlertType> &value() const { return m_value; }
    bool isSet() const { return m_value.has_value(); }
    void set(AlertType alert);
    void clear();

signals:
    void changed();

private:
    std::optional<AlertType> m_value;
};

} // namespace tolvo
