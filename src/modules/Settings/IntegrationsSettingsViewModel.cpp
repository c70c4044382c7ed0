#include "modules/Settings/IntegrationsSettingsViewModel.h"

#include "core/StartTask.h"
#include "modules/App/AppViewModel.h"

#include <utility>

namespace tolvo {

IntegrationsSettingsViewModel::IntegrationsSettingsViewModel(QObject *parent)
    : QObject(parent)
    , m_alert(new AlertItem(this))
{
}

void IntegrationsSettingsViewModel::setSelectedCalendar(std::optional<LocalCalendar> calendar)
{
    std::optional<LocalCalendar> before = std::exchange(m_selectedCalendar, std::move(calendar));
    emit selectedCalendarChanged();
    if (!m_selectedCalendar)
        return;
    // Stored synchronously, so two quick choices are stored in the order they were made.
    const VoidResult stored = m_appleCalendarClient->storeCalendar(*m_selectedCalendar);
    if (stored)
        return;
    // The earlier choice is still the one in force: the picker goes back to it.
    m_selectedCalendar = std::move(before);
    emit selectedCalendarChanged();
    m_alert->set(AlertType::error(stored.error()));
}

void IntegrationsSettingsViewModel::requestCalendarAccess()
{
    m_analyticsManager->trackEvent(QStringLiteral("apple_calendar_access"), std::nullopt);
    startTask(this, m_appleCalendarClient->requestAccess(),
        [this](Result<bool> answer) { handleAccessAnswer(answer); });
}

void IntegrationsSettingsViewModel::handleAccessAnswer(const Result<bool> &answer)
{
    if (!answer) {
        if (auto alert = accessFailureAlert(answer.error()))
            m_alert->set(std::move(*alert));
        return;
    }
    m_available = *answer;
    emit availableChanged(m_available);
    if (!m_available)
        return;
    m_calendars = offeredCalendars(m_appleCalendarClient->calendars());
    emit calendarsChanged();
}

} // namespace tolvo
