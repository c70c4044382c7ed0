#include "modules/Onboarding/OnboardingAppleCalendarSelectionView.h"

#include "components/AlertPresenter.h"
#include "components/DefaultButton.h"
#include "components/Resources.h"
#include "components/StyledButton.h"
#include "components/ThemedWidgets.h"
#include "modules/App/AppViewModel.h"
#include "modules/Onboarding/OnboardingCalendarRow.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace tolvo {

OnboardingAppleCalendarSelectionView::OnboardingAppleCalendarSelectionView(
    AppViewModel *viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_scroll(new QScrollArea)
    , m_rowsLayout(nullptr)
    , m_continue(new StyledButton(ButtonStyle::blue, tr("Continue")))
    , m_alerts(new AlertPresenter(viewModel->alertType(), this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    layout->setContentsMargins(24, 8, 24, 16);
    layout->addWidget(
        resources::imageLabel(QStringLiteral("app_icon"), {100, 100}), 0, Qt::AlignHCenter);
    auto *title
        = new ThemedLabel(tr("Choose a Local Calendar for Google Events"), titleColor(), 32);
    auto *subtitle = new ThemedLabel(tr("Select which local calendar you\u2019d like to use for "
                                        "storing your Google Calendar events."),
        titleColor(), 14, QFont::Light);
    for (ThemedLabel *label : {title, subtitle}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    // On one line, so that the list keeps room for at least three calendars.
    title->setShrinkToFit(20);

    // The page's background shows through the list.
    auto *rowsHost = new QWidget;
    m_rowsLayout = new QVBoxLayout(rowsHost);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch();
    m_scroll->setWidget(rowsHost);
    rowsHost->setAutoFillBackground(false); // setWidget turned it on
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    layout->addWidget(m_scroll, 1);

    auto *note
        = new ThemedLabel(tr("You can change this selection later in settings."), titleColor(), 14);
    note->setContentsMargins(16, 0, 0, 0);
    note->setWordWrap(true);
    layout->addWidget(note);

    m_continue->setContentPadding({8, 8, 8, 8});
    m_continue->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_continue, 0, Qt::AlignHCenter);

    setDefaultButton(this, m_continue);
    connect(m_continue, &QAbstractButton::clicked, this, [this] {
        if (m_viewModel)
            m_viewModel->confirmCalendarSelection();
    });
    connect(viewModel, &AppViewModel::calendarsChanged, this,
        &OnboardingAppleCalendarSelectionView::rebuildRows);
    connect(viewModel, &AppViewModel::selectedCalendarChanged, this,
        &OnboardingAppleCalendarSelectionView::followSelection);
    rebuildRows();
}

void OnboardingAppleCalendarSelectionView::rebuildRows()
{
    qDeleteAll(m_rows);
    m_rows.clear();
    if (!m_viewModel)
        return;
    for (const LocalCalendar &calendar : m_viewModel->calendars()) {
        auto *row = new OnboardingCalendarRow(calendar);
        connect(row, &OnboardingCalendarRow::clicked, this, [this](const LocalCalendar &picked) {
            if (m_viewModel)
                m_viewModel->setSelectedCalendar(picked);
        });
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row);
        m_rows.append(row);
    }
    followSelection();
}

void OnboardingAppleCalendarSelectionView::followSelection()
{
    if (!m_viewModel)
        return;
    const auto &selected = m_viewModel->selectedCalendar();
    // Marked by identifier: the same calendar read again is still the chosen one.
    for (OnboardingCalendarRow *row : std::as_const(m_rows))
        row->setChecked(selected && selected->identifier == row->calendar().identifier);
}

} // namespace tolvo
