#pragma once

#include "components/ThemedWidgets.h"

#include <QPointer>

class QStackedLayout;

namespace tolvo {

class AlertPresenter;
class ElidingComboBox;
class IntegrationsSettingsViewModel;
class StyledButton;

// The Integrations pane: "Give Permission" until access is granted, then the picker of the
// calendar that receives copies ("Select Calendar" first, then the offered calendars).
class IntegrationsSettingsView : public ThemedPanel
{
    Q_OBJECT
public:
    explicit IntegrationsSettingsView(
        IntegrationsSettingsViewModel *viewModel, QWidget *parent = nullptr);

    StyledButton *permissionButton() const { return m_permission; }
    ElidingComboBox *picker() const { return m_picker; }
    AlertPresenter *alertPresenter() const { return m_alerts; }
    // The permission row or the picker, whichever shows.
    QWidget *currentContent() const;
    QWidget *permissionContent() const { return m_permissionRow; }
    QWidget *pickerContent() const { return m_pickerPage; }

private:
    void followAvailable();
    void rebuildPicker();
    void followSelection();

    QPointer<IntegrationsSettingsViewModel> m_viewModel;
    QStackedLayout *m_states;
    QWidget *m_permissionRow;
    QWidget *m_pickerPage;
    StyledButton *m_permission;
    ElidingComboBox *m_picker;
    AlertPresenter *m_alerts;
    bool m_filling = false;
};

} // namespace tolvo
