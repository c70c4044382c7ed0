#include "core/AlertType.h"

#include <QCoreApplication>

namespace tolvo {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AlertType", text);
}

} // namespace

AlertType alertForFailure(const Error &error, std::function<void()> refresh)
{
    switch (error.code) {
    case Error::oauthInvalidGrant: return AlertType::expiredToken(std::move(refresh));
    case 403: return AlertType::authenticationScopesError(std::move(refresh));
    default: return AlertType::error(error);
    }
}

AlertType AlertType::error(Error error)
{
    AlertType alert(Kind::error);
    alert.m_error = std::move(error);
    return alert;
}

#define TOLVO_ALERT_WITH_HANDLER(name)                                                             \
    AlertType AlertType::name(std::function<void()> handler)                                       \
    {                                                                                              \
        AlertType alert(Kind::name);                                                               \
        alert.m_handler = std::move(handler);                                                      \
        return alert;                                                                              \
    }

TOLVO_ALERT_WITH_HANDLER(eventCreatedSuccessfully)
TOLVO_ALERT_WITH_HANDLER(eventUpdatedSuccessfully)
TOLVO_ALERT_WITH_HANDLER(reportSendedSuccessfully)
TOLVO_ALERT_WITH_HANDLER(authenticationScopesError)
TOLVO_ALERT_WITH_HANDLER(expiredToken)
#undef TOLVO_ALERT_WITH_HANDLER

AlertSpec alertSpec(const AlertType &alert)
{
    const auto ok = [&alert] { return AlertButton {tr("OK"), alert.handler()}; };
    const auto refreshOrOk = [&alert] {
        return QList<AlertButton> {{tr("Refresh"), alert.handler()}, {tr("Ok"), {}}};
    };
    using Kind = AlertType::Kind;
    switch (alert.kind()) {
    case Kind::error:
        // The description is shown as it is, never looked up as a translation.
        return {tr("Error occurred"),
            alert.carriedError() ? alert.carriedError()->message : QString(), {ok()}};
    case Kind::eventCreatedSuccessfully:
        return {tr("Event created"), tr("Event already created. Enjoy"), {ok()}};
    case Kind::eventUpdatedSuccessfully:
        return {tr("Event updated"), tr("Event updated successfully. Enjoy"), {ok()}};
    case Kind::reportSendedSuccessfully:
        return {tr("Report sent"), tr("We receive your report. Thank you for feedback"), {ok()}};
    case Kind::authenticationScopesError:
        return {tr("Error occurred"),
            tr("Insufficient authentication scopes. Please allow access to Tolvo on your Google "
               "account and press Refresh button"),
            refreshOrOk()};
    case Kind::expiredToken:
        return {tr("Error occurred"),
            tr("Access to your Google Calendar account expired or revoked. Please sign in again "
               "to Tolvo with your Google account by pressing Refresh button"),
            refreshOrOk()};
    case Kind::emptyInputs:
        return {tr("Empty inputs"), tr("One of required inputs is empty. Please fill all of them"),
            {ok()}};
    case Kind::wrongStartDate:
        return {tr("Wrong time inputs"), tr("Start time cannot be greater then end time"), {ok()}};
    case Kind::equalDates:
        return {tr("Wrong time inputs"), tr("Start time cannot be equal end time"), {ok()}};
    case Kind::simpleError: return {tr("Error occurred"), tr("Something went wrong"), {ok()}};
    case Kind::calendarSelection:
        return {tr("Choose a Local Calendar"), tr("To move forward select calendar"), {ok()}};
    }
    return {};
}

void AlertItem::set(AlertType alert)
{
    m_value = std::move(alert);
    emit changed();
}

void AlertItem::clear()
{
    const bool wasSet = m_value.has_value();
    m_value.reset();
    if (wasSet)
        emit changed();
}

} // namespace tolvo
