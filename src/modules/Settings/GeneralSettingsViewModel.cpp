#include "modules/Settings/GeneralSettingsViewModel.h"

namespace tolvo {

GeneralSettingsViewModel::GeneralSettingsViewModel(QObject *parent)
    : QObject(parent)
{
    setShouldDeleteEvent(
        m_userDefaults->boolValue(QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey)));
}

void GeneralSettingsViewModel::setShouldDeleteEvent(bool value)
{
    m_shouldDeleteEvent = value;
    emit shouldDeleteEventChanged(value);
    m_userDefaults->setBool(value, QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey));
}

} // namespace tolvo
