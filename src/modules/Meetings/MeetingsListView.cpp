#include "modules/Meetings/MeetingsListView.h"

#include "components/AlertPresenter.h"
#include "components/Appearance.h"
#include "components/Fonts.h"
#include "components/Palette.h"
#include "components/Resources.h"
#include "components/ThemedWidgets.h"
#include "modules/AddMeeting/AddMeetingWindowController.h"
#include "modules/Calendar/CalendarEventMapping.h"
#include "modules/Calendar/CalendarPeriodView.h"
#include "modules/Calendar/IntuitiveCalendarView.h"
#include "modules/EditMeeting/EditMeetingWindowController.h"
#include "modules/FullScreenNotification/FullScreenView.h"
#include "modules/FullScreenNotification/FullScreenWindowController.h"
#include "modules/Meetings/MeetingsListViewModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace tolvo {

namespace {
const EventModel *firstModelWithId(const QList<EventModelPtr> &models, const QString &id)
{
    for (const EventModelPtr &model : models) {
        if (model && model->event().id == id)
            return model.get();
    }
    return nullptr;
}

MeetingsListView::Windows defaultWindows(const CalendarContext &context)
{
    MeetingsListView::Windows windows;
    // The form windows own their controllers; a save changes nothing here: the change comes
    // back through live sync.
    windows.openAdd = [context] {
        auto *controller = new AddMeetingWindowController([] {}, context);
        controller->showWindow();
    };
    windows.openEdit = [context](const GoogleCalendarEvent &event, const QString &calendarId) {
        auto *controller = new EditMeetingWindowController(
            event, calendarId, [] {}, context);
        controller->showWindow();
    };
    windows.openReminder
        = [](const GoogleCalendarEvent &event, std::function<void(SnoozeTime)> snooze,
              std::function<void()> close) {
              // It shows itself and deletes itself once answered; nothing keeps it.
              auto *controller
                  = new FullScreenWindowController(event, std::move(snooze), std::move(close));
              controller->showWindow();
          };
    return windows;
}
} // namespace

MeetingsListView::MeetingsListView(QWidget *parent, Windows windows)
    : ThemedPanel(screenBackground(), parent)
    , m_viewModel(new MeetingsListViewModel(this))
    , m_windows(std::move(windows))
    , m_title(new ThemedLabel(tr("Meetings"), titleColor(), 20, QFont::DemiBold))
    , m_add(new QToolButton)
    , m_calendar(new IntuitiveCalendarView(m_viewModel->calendarContext()))
    , m_alerts(new AlertPresenter(m_viewModel->alertType(), this))
{
    const Windows fallback = defaultWindows(m_viewModel->calendarContext());
    if (!m_windows.openAdd)
        m_windows.openAdd = fallback.openAdd;
    if (!m_windows.openEdit)
        m_windows.openEdit = fallback.openEdit;
    if (!m_windows.openReminder)
        m_windows.openReminder = fallback.openReminder;

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(16, 10, 16, 10);
    toolbar->addWidget(m_title);
    toolbar->addStretch();
    m_add->setAutoRaise(true);
    m_add->setIconSize({22, 22});
    m_add->setToolTip(tr("Add Meeting"));
    m_add->setAccessibleName(tr("Add Meeting"));
    m_add->setCursor(Qt::PointingHandCursor);
    toolbar->addWidget(m_add);
    layout->addLayout(toolbar);
    layout->addWidget(m_calendar, 1);
    paintAddButton();

    connect(&Appearance::instance(), &Appearance::changed, this, &MeetingsListView::paintAddButton);
    connect(m_add, &QToolButton::clicked, this, &MeetingsListView::openAddMeeting);
    connect(m_viewModel, &MeetingsListViewModel::notificationStatusChanged, this,
        &MeetingsListView::followNotificationStatus);

    // The calendar screen shows the view model's date, view and events, and asks it for changes.
    m_calendar->setViewType(m_viewModel->selectedView());
    m_calendar->setDate(m_viewModel->displayedDate());
    showEvents();
    connect(m_viewModel, &MeetingsListViewModel::eventsModelChanged, this,
        &MeetingsListView::showEvents);
    connect(m_viewModel, &MeetingsListViewModel::selectedDateChanged, m_calendar,
        &IntuitiveCalendarView::setDate);
    connect(m_viewModel, &MeetingsListViewModel::selectedViewChanged, m_calendar,
        &IntuitiveCalendarView::setViewType);
    connect(m_calendar, &IntuitiveCalendarView::dateChangeRequested, m_viewModel,
        &MeetingsListViewModel::pickDate);
    connect(m_calendar, &IntuitiveCalendarView::viewTypeChangeRequested, m_viewModel,
        &MeetingsListViewModel::selectView);
    connect(m_calendar, &IntuitiveCalendarView::editRequested, this, &MeetingsListView::openEditor);
    connect(m_calendar, &IntuitiveCalendarView::deleteRequested, this,
        &MeetingsListView::requestDelete);
}

void MeetingsListView::showEvents()
{
    m_calendar->setEvents(
        makeCalendarEvents(m_viewModel->eventsModel(), m_viewModel->calendarContext().now()));
}

MeetingsListView::~MeetingsListView() = default;

void MeetingsListView::paintAddButton()
{
    const QColor tint
        = DynamicColor {palette::accentBlue(), Qt::white}.resolve(Appearance::current());
    m_add->setIcon(resources::icon(QStringLiteral("add_event"), {22, 22}, tint));
}

void MeetingsListView::openEditor(const CalendarEvent &event)
{
    if (const EventModel *model = firstModelWithId(m_viewModel->eventsModel(), event.identifier))
        m_windows.openEdit(model->event(), model->calendarId());
}

void MeetingsListView::requestDelete(const CalendarEvent &event)
{
    if (const EventModel *model = firstModelWithId(m_viewModel->eventsModel(), event.identifier))
        m_viewModel->deleteEvent(model->event(), model->calendarId());
}

void MeetingsListView::openAddMeeting()
{
    m_windows.openAdd();
}

void MeetingsListView::followNotificationStatus()
{
    const NotificationStatus status = m_viewModel->notificationStatus();
    if (status == m_shownStatus)
        return;
    m_shownStatus = status;
    if (status.isIdle())
        return;
    ++m_remindersOpened;
    // The reminder may outlive the list (sign-out while it shows): its answers then do nothing.
    QPointer<MeetingsListViewModel> model(m_viewModel);
    const GoogleCalendarEvent event = *status.event;
    m_windows.openReminder(
        event,
        [model, event](SnoozeTime time) {
            if (model)
                model->snooze(time, event);
        },
        [model] {
            if (model)
                model->setNotificationStatus(NotificationStatus::idle());
        });
}

} // namespace tolvo
