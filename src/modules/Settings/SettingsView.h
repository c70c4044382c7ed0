#pragma once

#include "components/ThemedWidgets.h"
#include "modules/Settings/GeneralSettingsView.h"

#include <QPointer>

class QButtonGroup;
class QStackedLayout;

namespace tolvo {

class IntegrationsSettingsView;
class IntegrationsSettingsViewModel;
class TabButton;

// The settings window's content, fixed at 450 by 250: the General and Integrations tabs over
// the selected pane. The General pane is made anew each time its tab is chosen, so it always
// shows what is stored; the Integrations pane keeps one view model for the window's life.
class SettingsView : public ThemedPanel
{
    Q_OBJECT
public:
    enum class Tab { general, integrations };

    explicit SettingsView(QWidget *parent = nullptr);

    // The one settings window: raised when it is open, otherwise made (and deleted on close,
    // so the next one starts over).
    static SettingsView *open();
    // Shows the window, raised; a new one opens centred on `over` (the main window).
    static SettingsView *openWindow(const QWidget *over = nullptr);

    Tab selectedTab() const { return m_selectedTab; }
    void selectTab(Tab tab);
    TabButton *tabButton(Tab tab) const;
    QList<TabButton *> tabButtons() const;
    GeneralSettingsView *generalPane() const { return m_general; }
    IntegrationsSettingsView *integrationsPane() const { return m_integrations; }
    IntegrationsSettingsViewModel *integrationsViewModel() const { return m_integrationsModel; }

protected:
    // Escape closes the settings window, as it does every secondary window.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showTab();

    Tab m_selectedTab = Tab::general;
    IntegrationsSettingsViewModel *m_integrationsModel;
    TabButton *m_generalTab;
    TabButton *m_integrationsTab;
    QButtonGroup *m_tabs;
    QStackedLayout *m_panes;
    QPointer<GeneralSettingsView> m_general;
    IntegrationsSettingsView *m_integrations;
};

} // namespace tolvo
