#include "modules/Settings/SettingsView.h"

#include "components/FormWindow.h"
#include "components/WindowReader.h"
#include "modules/Settings/GeneralSettingsView.h"
#include "modules/Settings/GeneralSettingsViewModel.h"
#include "modules/Settings/IntegrationsSettingsView.h"
#include "modules/Settings/IntegrationsSettingsViewModel.h"
#include "modules/Settings/TabButton.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace tolvo {

namespace {
QPointer<SettingsView> sharedWindow;
}

SettingsView::SettingsView(QWidget *parent)
    : ThemedPanel(screenBackground(), parent)
    , m_integrationsModel(new IntegrationsSettingsViewModel(this))
    , m_generalTab(new TabButton(tr("General"), QStringLiteral("settings")))
    , m_integrationsTab(new TabButton(tr("Integrations"), QStringLiteral("integrations")))
    , m_tabs(new QButtonGroup(this))
    , m_panes(new QStackedLayout)
    , m_integrations(new IntegrationsSettingsView(m_integrationsModel))
{
    setFixedSize(450, 250);
    setWindowTitle(tr("Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(0);
    auto *strip = new QHBoxLayout;
    strip->setSpacing(20);
    strip->addStretch();
    m_tabs->setExclusive(true);
    for (TabButton *tab : {m_generalTab, m_integrationsTab}) {
        m_tabs->addButton(tab);
        strip->addWidget(tab);
    }
    strip->addStretch();
    layout->addLayout(strip);
    layout->addLayout(m_panes, 1);
    m_panes->addWidget(m_integrations);

    connect(m_generalTab, &QAbstractButton::clicked, this, [this] { selectTab(Tab::general); });
    connect(m_integrationsTab, &QAbstractButton::clicked, this,
        [this] { selectTab(Tab::integrations); });
    showTab();
}

SettingsView *SettingsView::open()
{
    if (sharedWindow)
        return sharedWindow;
    sharedWindow = new SettingsView;
    sharedWindow->setAttribute(Qt::WA_DeleteOnClose);
    sharedWindow->setWindowFlag(Qt::Window);
    offerNoMaximize(sharedWindow);
    return sharedWindow;
}

SettingsView *SettingsView::openWindow(const QWidget *over)
{
    const bool isNew = !sharedWindow;
    SettingsView *window = open();
    if (isNew)
        centreWindowOn(window, over);
    window->show();
    // Once framed by the window manager, centred again with its frame.
    if (isNew)
        centreWindowOn(window, over);
    window->raise();
    window->activateWindow();
    return window;
}

void SettingsView::keyPressEvent(QKeyEvent *event)
{
    if (isWindow() && event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    ThemedPanel::keyPressEvent(event);
}

void SettingsView::selectTab(Tab tab)
{
    m_selectedTab = tab;
    showTab();
}

TabButton *SettingsView::tabButton(Tab tab) const
{
    return tab == Tab::general ? m_generalTab : m_integrationsTab;
}

QList<TabButton *> SettingsView::tabButtons() const
{
    return {m_generalTab, m_integrationsTab};
}

void SettingsView::showTab()
{
    m_generalTab->setChecked(m_selectedTab == Tab::general);
    m_integrationsTab->setChecked(m_selectedTab == Tab::integrations);
    if (m_selectedTab == Tab::integrations) {
        m_panes->setCurrentWidget(m_integrations);
        return;
    }
    // A new pane and view model each time: the switch shows what is stored now.
    if (m_general)
        m_general->deleteLater();
    auto *model = new GeneralSettingsViewModel;
    m_general = new GeneralSettingsView(model);
    model->setParent(m_general);
    m_panes->addWidget(m_general);
    m_panes->setCurrentWidget(m_general);
}

} // namespace tolvo
