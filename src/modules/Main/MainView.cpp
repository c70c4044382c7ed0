#include "modules/Main/MainView.h"

#include "components/AlertPresenter.h"
#include "components/AppKitProgressView.h"
#include "components/CalView.h"
#include "components/Fonts.h"
#include "components/Palette.h"
#include "components/Resources.h"
#include "components/WindowReader.h"
#include "modules/Main/CalendarMenuItem.h"
#include "modules/Main/EmptyStateView.h"
#include "modules/Main/MainViewModel.h"
#include "modules/Meetings/MeetingsListView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace tolvo {

namespace {
void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette colors = widget->palette();
    colors.setColor(QPalette::WindowText, color);
    colors.setColor(QPalette::ButtonText, color);
    widget->setPalette(colors);
}
} // namespace

MainView::MainView(QWidget *parent, DetailFactory makeMeetingsList)
    : QWidget(parent)
    , m_viewModel(new MainViewModel(this))
    , m_makeMeetingsList(makeMeetingsList
              ? std::move(makeMeetingsList)
              : [] { return static_cast<QWidget *>(new MeetingsListView); })
    , m_detail(new QStackedLayout)
    , m_spinnerPage(new QWidget)
    , m_spinner(new AppKitProgressView)
    , m_emptyState(new EmptyStateView([this] { m_viewModel->refresh(); }))
    , m_alerts(new AlertPresenter(m_viewModel->alertType(), this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar());
    layout->addLayout(m_detail, 1);

    auto *spinnerLayout = new QVBoxLayout(m_spinnerPage);
    spinnerLayout->addWidget(m_spinner, 0, Qt::AlignCenter);
    m_detail->addWidget(m_spinnerPage);
    m_detail->addWidget(m_emptyState);

    connect(m_viewModel, &MainViewModel::appStateChanged, this, &MainView::followState);
    connect(m_viewModel, &MainViewModel::calendarsChanged, this, &MainView::rebuildRows);
    connect(m_viewModel, &MainViewModel::selectedDateChanged, this, &MainView::followDate);
    rebuildRows();
    followState();
}

MainView::~MainView() = default;

QWidget *MainView::buildSidebar()
{
    m_sidebar = new QWidget;
    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setFixedWidth(sidebarWidth);
    m_sidebar->setAutoFillBackground(true);
    QPalette colors = m_sidebar->palette();
    colors.setColor(QPalette::Window, palette::backgroundDark());
    m_sidebar->setPalette(colors);

    auto *layout = new QVBoxLayout(m_sidebar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_picker = new CalView(
        m_viewModel->calendarContext(), m_viewModel->pickerDate(), CalendarTheme::dark);
    m_picker->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(m_picker);
    connect(m_picker, &CalView::checkedDateChanged, m_viewModel, &MainViewModel::selectDate);

    m_header = new QLabel(tr("My Calendars"));
    m_header->setFont(uiFont(16, QFont::DemiBold));
    m_header->setContentsMargins(12, 22, 12, 0);
    setTextColor(m_header, palette::textGray());
    layout->addWidget(m_header);

    auto *rowsHost = new QWidget;
    m_rowsLayout = new QVBoxLayout(rowsHost);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    m_rowsLayout->addStretch();
    auto *scroll = new QScrollArea;
    scroll->setWidget(rowsHost);
    rowsHost->setAutoFillBackground(false); // setWidget turned it on
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setAutoFillBackground(false);
    // The rows take the room that is left; the logout button stays at the bottom.
    layout->addWidget(scroll, 1);

    m_logout = new QPushButton(
        resources::icon(QStringLiteral("logout"), {16, 16}, palette::textGray()), tr("Logout"));
    m_logout->setFlat(true);
    m_logout->setCursor(Qt::PointingHandCursor);
    m_logout->setFont(uiFont(13));
    m_logout->setStyleSheet(QStringLiteral(
        "QPushButton { color: #A3B0BB; text-align: left; border: none; padding: 12px; }"));
    layout->addWidget(m_logout);
    connect(m_logout, &QPushButton::clicked, this, [this] { m_viewModel->logout(); });
    return m_sidebar;
}

void MainView::rebuildRows()
{
    // A row's own symbol click leads here (a toggle changes the list): deleted now, the button
    // would still be finishing that click in freed memory. The old rows leave the sidebar at
    // once and go when the click is done.
    for (CalendarMenuItem *row : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    for (const GoogleCalendar &calendar : m_viewModel->calendars()) {
        auto *row = new CalendarMenuItem(calendar);
        connect(row, &CalendarMenuItem::selectionRequested, this,
            [this](const GoogleCalendar &tapped) { m_viewModel->toggleCalendar(tapped); });
        m_rowsLayout->insertWidget(m_rowsLayout->count() - 1, row);
        m_rows.append(row);
    }
}

void MainView::followDate()
{
    m_picker->setCheckedDate(m_viewModel->selectedDate());
}

QWidget *MainView::currentDetail() const
{
    return m_detail->currentWidget();
}

void MainView::followState()
{
    const AppState state = m_viewModel->appState();
    if (state != AppState::configured && m_meetingsList) {
        // The list's view model, timers and reminders go with it.
        QWidget *old = m_meetingsList;
        m_meetingsList = nullptr;
        m_detail->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    switch (state) {
    case AppState::idle: m_detail->setCurrentWidget(m_spinnerPage); break;
    case AppState::somethingWrong: m_detail->setCurrentWidget(m_emptyState); break;
    case AppState::configured:
        if (!m_meetingsList) {
            m_meetingsList = m_makeMeetingsList();
            m_detail->addWidget(m_meetingsList);
        }
        m_detail->setCurrentWidget(m_meetingsList);
        break;
    }
}

void MainView::configureWindow()
{
    QWidget *window = this->window();
    if (!window || window == this)
        return;
    window->setWindowTitle(QStringLiteral("Tolvo"));
    centreWindow(window);
}

void MainView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_windowConfigured) {
        m_windowConfigured = true;
        configureWindow();
    }
    m_viewModel->startIfNeeded();
}

} // namespace tolvo
