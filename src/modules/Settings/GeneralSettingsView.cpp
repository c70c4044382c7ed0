#include "modules/Settings/GeneralSettingsView.h"

#include "components/AlertPresenter.h"
#include "components/Palette.h"
#include "components/ToggleSwitch.h"
#include "modules/Settings/GeneralSettingsViewModel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tolvo {

GeneralSettingsView::GeneralSettingsView(GeneralSettingsViewModel *viewModel, QWidget *parent)
    : ThemedPanel(screenBackground(), parent)
    , m_viewModel(viewModel)
    , m_label(new ThemedLabel(tr("Delete ended event from Google Calendar"),
          DynamicColor {palette::backgroundDark(), Qt::white}, 13))
    , m_switch(new ToggleSwitch)
    , m_alerts(new AlertPresenter(viewModel->alertType(), this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    auto *row = new QHBoxLayout;
    m_label->setWordWrap(true);
    row->addWidget(m_label, 1);
    row->addWidget(m_switch);
    layout->addLayout(row);
    layout->addStretch();

    m_switch->setChecked(viewModel->shouldDeleteEvent());
    connect(m_switch, &QAbstractButton::toggled, this, [this](bool on) {
        if (m_viewModel)
            m_viewModel->setShouldDeleteEvent(on);
    });
    connect(
        viewModel, &GeneralSettingsViewModel::shouldDeleteEventChanged, m_switch, [this](bool on) {
            if (m_switch->isChecked() != on)
                m_switch->setChecked(on);
        });
}

} // namespace tolvo
