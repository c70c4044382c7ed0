#include "modules/Settings/IntegrationsSettingsView.h"

#include "components/AlertPresenter.h"
#include "components/ElidingComboBox.h"
#include "components/Palette.h"
#include "components/StyledButton.h"
#include "modules/Settings/IntegrationsSettingsViewModel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace tolvo {

namespace {
DynamicColor paneText()
{
    return {palette::textDark(), Qt::white};
}

QIcon colourSquare(const QString &color)
{
    QPixmap pixmap(QSize(12, 12) * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(
        QRectF(0, 0, 12, 12), color.isEmpty() ? palette::textGray() : colorFromHex(color));
    return QIcon(pixmap);
}
} // namespace

IntegrationsSettingsView::IntegrationsSettingsView(
    IntegrationsSettingsViewModel *viewModel, QWidget *parent)
    : ThemedPanel(screenBackground(), parent)
    , m_viewModel(viewModel)
    , m_states(new QStackedLayout)
    , m_permissionRow(new QWidget)
    , m_pickerPage(new QWidget)
    , m_permission(new StyledButton(ButtonStyle::blue, tr("Give Permission")))
    , m_picker(new ElidingComboBox)
    , m_alerts(new AlertPresenter(viewModel->alertType(), this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addLayout(m_states);

    auto *row = new QHBoxLayout(m_permissionRow);
    row->setContentsMargins(0, 0, 0, 0);
    auto *offer = new ThemedLabel(tr("Sync Google Events to a Local Calendar"), paneText(), 13);
    offer->setWordWrap(true);
    row->addWidget(offer, 1);
    m_permission->setContentPadding({6, 6, 6, 6});
    m_permission->setCursor(Qt::PointingHandCursor);
    row->addWidget(m_permission);

    auto *picker = new QVBoxLayout(m_pickerPage);
    picker->setContentsMargins(0, 0, 0, 0);
    picker->setSpacing(12);
    auto *destination
        = new ThemedLabel(tr("Google events will be added to this calendar"), paneText(), 13);
    destination->setWordWrap(true);
    picker->addWidget(destination);
    auto *pickerRow = new QHBoxLayout;
    pickerRow->addWidget(new ThemedLabel(tr("Destination local calendar"), paneText(), 13));
    m_picker->setIconSize({12, 12});
    m_picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_picker->setMinimumContentsLength(12);
    pickerRow->addWidget(m_picker, 1);
    picker->addLayout(pickerRow);

    for (QWidget *state : {m_permissionRow, m_pickerPage}) {
        state->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        m_states->addWidget(state);
    }
    layout->addStretch();

    connect(m_permission, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            m_viewModel->requestCalendarAccess();
    });
    // A long calendar name ends in an ellipsis in the closed picker: its tooltip names it in full.
    connect(m_picker, &QComboBox::currentTextChanged, m_picker, &QWidget::setToolTip);
    connect(m_picker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_filling || !m_viewModel)
            return;
        const auto &calendars = m_viewModel->calendars();
        if (index <= 0 || index > calendars.size())
            m_viewModel->setSelectedCalendar(std::nullopt);
        else
            m_viewModel->setSelectedCalendar(calendars.at(index - 1));
    });
    connect(viewModel, &IntegrationsSettingsViewModel::availableChanged, this,
        &IntegrationsSettingsView::followAvailable);
    connect(viewModel, &IntegrationsSettingsViewModel::calendarsChanged, this,
        &IntegrationsSettingsView::rebuildPicker);
    connect(viewModel, &IntegrationsSettingsViewModel::selectedCalendarChanged, this,
        &IntegrationsSettingsView::followSelection);
    rebuildPicker();
    followAvailable();
}

QWidget *IntegrationsSettingsView::currentContent() const
{
    return m_states->currentWidget();
}

void IntegrationsSettingsView::followAvailable()
{
    if (m_viewModel)
        m_states->setCurrentWidget(m_viewModel->available() ? m_pickerPage : m_permissionRow);
}

void IntegrationsSettingsView::rebuildPicker()
{
    if (!m_viewModel)
        return;
    m_filling = true;
    m_picker->clear();
    m_picker->addItem(tr("Select Calendar"));
    for (const LocalCalendar &calendar : m_viewModel->calendars()) {
        m_picker->addItem(colourSquare(calendar.color), calendar.title, calendar.identifier);
        m_picker->setItemData(m_picker->count() - 1, calendar.title, Qt::ToolTipRole);
    }
    m_filling = false;
    followSelection();
}

void IntegrationsSettingsView::followSelection()
{
    if (!m_viewModel)
        return;
    int index = 0;
    if (const auto &selected = m_viewModel->selectedCalendar()) {
        const int found = m_picker->findData(selected->identifier);
        index = found < 0 ? 0 : found;
    }
    m_filling = true;
    m_picker->setCurrentIndex(index);
    m_filling = false;
}

} // namespace tolvo
