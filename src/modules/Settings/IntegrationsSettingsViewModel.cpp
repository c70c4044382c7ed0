#include "modules/Settings/IntegrationsSettingsViewModel.h"

#include "core/StartTask.h"
#include "modules/App/AppViewModel.h"

namespace tolvo {

IntegrationsSettingsViewModel::IntegrationsSettingsViewModel(QObject *parent)
    : QObject(parent)
{
}

void IntegrationsSettingsViewModel::setSelectedCalendar(std::optional<LocalCalendar> calendar)
{
    m_selectedCalendar = std::move(calendar);
    emit selectedCalendarChanged();
    // Stored synchronously, so two quick choices are stored in the order they were made.
    if (m_selectedCalendar)
        m_appleCalendarClient->storeCalendar(*m_selectedCalendar);
}

void IntegrationsSettingsViewModel::requestCalendarAccess()
{
    m_analyticsManager->trackEvent(QStringLiteral("apple_calendar_access"), std::nullopt);
    startTask(this, m_appleCalendarClient->requestAccess(),
        [this](Result<bool> answer) { handleAccessAnswer(answer); });
}

void IntegrationsSettingsViewModel::handleAccessAnswer(const Result<bool> &answer)
{
    if (!answer)
        return;
    m_available = *answer;
    emit availableChanged(m_available);
    if (!m_available)
        return;
    m_calendars = offeredCalendars(m_appleCalendarClient->calendars());
    emit calendarsChanged();
}

} // namespace tolvo
