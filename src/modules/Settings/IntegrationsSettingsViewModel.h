#pragma once

#include "core/AlertType.h"
#include "core/Dependencies.h"
#include "core/LocalCalendar.h"
#include "services/AnalyticsManager.h"
#include "services/AppleCalendarClient.h"

#include <QList>
#include <QObject>

#include <optional>

namespace tolvo {

// The Integrations pane: local-calendar access and the calendar that receives copies. It
// learns nothing until the user asks for access; a chosen calendar is stored at once, and
// settings that cannot be saved raise an error alert.
class IntegrationsSettingsViewModel : public QObject
{
    Q_OBJECT
public:
    explicit IntegrationsSettingsViewModel(QObject *parent = nullptr);

    bool available() const { return m_available; }
    const QList<LocalCalendar> &calendars() const { return m_calendars; }
    const std::optional<LocalCalendar> &selectedCalendar() const { return m_selectedCalendar; }
    // A calendar is stored as the destination; nothing ("Select Calendar") keeps the stored one.
    // A calendar that cannot be stored raises the error and the selection goes back.
    void setSelectedCalendar(std::optional<LocalCalendar> calendar);

    // Tracks "apple_calendar_access" on every call, then asks for access; when granted, offers
    // the local and CalDAV calendars. A failed request changes nothing.
    void requestCalendarAccess();

    AlertItem *alertType() const { return m_alert; }

signals:
    void availableChanged(bool available);
    void calendarsChanged();
    void selectedCalendarChanged();

private:
    void handleAccessAnswer(const Result<bool> &answer);

    Dependency<AppleCalendarClient> m_appleCalendarClient;
    Dependency<AnalyticsManager> m_analyticsManager;
    bool m_available = false;
    QList<LocalCalendar> m_calendars;
    std::optional<LocalCalendar> m_selectedCalendar;
    AlertItem *m_alert;
};

} // namespace tolvo
