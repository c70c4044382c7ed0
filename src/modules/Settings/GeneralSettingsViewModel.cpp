#include "modules/Settings/GeneralSettingsViewModel.h"

namespace tolvo {

GeneralSettingsViewModel::GeneralSettingsViewModel(QObject *parent)
    : QObject(parent)
    , m_alert(new AlertItem(this))
{
    m_shouldDeleteEvent
        = m_userDefaults->boolValue(QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey));
    store(m_shouldDeleteEvent);
}

void GeneralSettingsViewModel::setShouldDeleteEvent(bool value)
{
    m_shouldDeleteEvent = value;
    emit shouldDeleteEventChanged(value);
    if (auto stored = store(value); !stored)
        m_alert->set(AlertType::error(stored.error()));
}

VoidResult GeneralSettingsViewModel::store(bool value)
{
    return m_userDefaults->setBool(
        value, QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey));
}

} // namespace tolvo
