#pragma once

#include "components/ThemedWidgets.h"

#include <QPointer>

class QComboBox;
class QStackedLayout;

namespace tolvo {

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
    QComboBox *picker() const { return m_picker; }
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
    QComboBox *m_picker;
    bool m_filling = false;
};

} // namespace tolvo
