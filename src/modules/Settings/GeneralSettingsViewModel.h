#pragma once

#include "core/AlertType.h"
#include "core/Dependencies.h"
#include "services/UserDefaultsClient.h"

#include <QObject>

namespace tolvo {

// The General pane's one setting: whether an event is deleted from Google Calendar when it
// ends. Made anew each time the pane is shown, it reads the stored value and writes it back at
// once, so the key exists after the pane has been seen; every change is stored immediately.
// A change that cannot be saved raises an error alert (the write-back on opening is only
// logged: the user did nothing to be told about).
class GeneralSettingsViewModel : public QObject
{
    Q_OBJECT
public:
    explicit GeneralSettingsViewModel(QObject *parent = nullptr);

    bool shouldDeleteEvent() const { return m_shouldDeleteEvent; }
    void setShouldDeleteEvent(bool value);
    AlertItem *alertType() const { return m_alert; }

signals:
    void shouldDeleteEventChanged(bool value);

private:
    Dependency<UserDefaultsClient> m_userDefaults;
    bool m_shouldDeleteEvent = false;
    AlertItem *m_alert;

    VoidResult store(bool value);
};

} // namespace tolvo
