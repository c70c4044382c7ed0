#pragma once

#include "components/ThemedWidgets.h"

#include <QPointer>

namespace tolvo {

class AlertPresenter;
class GeneralSettingsViewModel;
class ToggleSwitch;

// The General pane: one row, "Delete ended event from Google Calendar" and its switch.
class GeneralSettingsView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit GeneralSettingsView(GeneralSettingsViewModel *viewModel, QWidget *parent = nullptr);

    ToggleSwitch *deleteSwitch() const { return m_switch; }
    ThemedLabel *label() const { return m_label; }
    AlertPresenter *alertPresenter() const { return m_alerts; }

private:
    QPointer<GeneralSettingsViewModel> m_viewModel;
    ThemedLabel *m_label;
    ToggleSwitch *m_switch;
    AlertPresenter *m_alerts;
};

} // namespace tolvo
