#include "modules/MeetingForm/MeetingFormViewModel.h"

#include "core/StartTask.h"

namespace tolvo {

MeetingFormViewModel::MeetingFormViewModel(
    Mode mode, Submit submit, CalendarContext context, QObject *parent)
    : QObject(parent)
    , m_mode(mode)
    , m_submit(std::move(submit))
    , m_context(std::move(context))
    , m_alert(new AlertItem(this))
{
    m_state.selectedDate = m_context.now();
    m_titleDebounce.setSingleShot(true);
    m_titleDebounce.setInterval(defaultDebounceMs);
    connect(&m_titleDebounce, &QTimer::timeout, this,
        [this] { setIsValidTitle(isNonEmptyText(m_state.title)); });
}

MeetingFormViewModel::~MeetingFormViewModel() = default;

void MeetingFormViewModel::startValidating()
{
    m_validating = true;
    // The edit form combines its four flags at once; the add form waits for the first write.
    if (m_mode == Mode::edit)
        recomputeFormValid();
}

void MeetingFormViewModel::setTitle(const QString &title)
{
    m_state.title = title;
    if (m_validating)
        m_titleDebounce.start();
    emit changed();
}

void MeetingFormViewModel::setStartTime(const QString &text)
{
    m_state.startTime = text;
    emit changed();
    if (m_validating)
        setIsValidStartTime(isNonEmptyText(text));
}

void MeetingFormViewModel::setEndTime(const QString &text)
{
    m_state.endTime = text;
    emit changed();
    if (m_validating)
        setIsValidEndTime(isNonEmptyText(text));
}

void MeetingFormViewModel::setDescription(const QString &description)
{
    m_state.description = description;
    emit changed();
}

void MeetingFormViewModel::setReminderTime(qint64 minutes)
{
    m_state.reminderTime = minutes;
    emit changed();
}

void MeetingFormViewModel::setShouldCreateGoogleMeet(bool on)
{
    m_state.shouldCreateGoogleMeet = on;
    emit changed();
}

void MeetingFormViewModel::setIsAllDayEvent(bool on)
{
    m_state.isAllDayEvent = on;
    if (m_flagsCombined)
        recomputeFormValid(); // emits
    else
        emit changed();
}

void MeetingFormViewModel::setSelectedCalendar(const std::optional<GoogleCalendar> &calendar)
{
    m_state.selectedCalendar = calendar;
    emit changed();
    if (m_validating)
        setIsCalendarSelected(isCalendarChosen(calendar));
}

void MeetingFormViewModel::setSelectedDate(const QDateTime &date)
{
    m_state.selectedDate = date;
    emit changed();
}

void MeetingFormViewModel::setIsValidTitle(bool valid)
{
    m_validTitle = valid;
    recomputeFormValid();
}

void MeetingFormViewModel::setIsValidStartTime(bool valid)
{
    m_validStartTime = valid;
    recomputeFormValid();
}

void MeetingFormViewModel::setIsValidEndTime(bool valid)
{
    m_validEndTime = valid;
    recomputeFormValid();
}

void MeetingFormViewModel::setIsCalendarSelected(bool valid)
{
    m_calendarSelected = valid;
    recomputeFormValid();
}

void MeetingFormViewModel::recomputeFormValid()
{
    m_flagsCombined = true;
    // The times of an all-day meeting are hidden and ignored: they never block it.
    const bool allDay = m_state.isAllDayEvent;
    m_formIsValid = allFourValid(
        m_validTitle, allDay || m_validStartTime, allDay || m_validEndTime, m_calendarSelected);
    emit changed();
}

void MeetingFormViewModel::saveTapped(std::function<void()> completion)
{
    if (!m_formIsValid && !m_saving && !m_abandoned) {
        // Fields never touched still hold their first "valid" flags: check them all now, so
        // that every empty required field is outlined and what is now filled counts.
        m_titleDebounce.stop();
        applyValidity(decideSave(m_state, m_context.zone).validity);
    }
    if (!m_formIsValid) {
        m_alert->set(AlertType::emptyInputs());
        return;
    }
    save(std::move(completion));
}

void MeetingFormViewModel::applyValidity(const FieldValidity &validity)
{
    setIsValidTitle(validity.title);
    setIsValidStartTime(validity.startTime);
    setIsValidEndTime(validity.endTime);
    setIsCalendarSelected(validity.calendar);
}

void MeetingFormViewModel::save(std::function<void()> completion)
{
    // A second press while the first request runs would make a second meeting.
    if (m_saving || m_abandoned)
        return;
    const SaveDecision decision = decideSave(m_state, m_context.zone);
    // What "Save" checked is final: a pending title check must not overwrite it.
    m_titleDebounce.stop();
    applyValidity(decision.validity);
    if (const auto alert = decision.alert()) {
        switch (*alert) {
        case AlertType::Kind::emptyInputs: m_alert->set(AlertType::emptyInputs()); break;
        case AlertType::Kind::equalDates: m_alert->set(AlertType::equalDates()); break;
        case AlertType::Kind::wrongStartDate: m_alert->set(AlertType::wrongStartDate()); break;
        default: break;
        }
        return;
    }
    const CalendarEventRequest *request = decision.request();
    if (!request)
        return;
    m_saving = true;
    emit changed();
    startTask(this, m_submit(*request),
        [this, completion](Result<bool> answer) { applyAnswer(answer, completion); });
}

void MeetingFormViewModel::applyAnswer(
    const Result<bool> &answer, const std::function<void()> &completion)
{
    m_saving = false;
    if (m_abandoned)
        return;
    if (!answer)
        m_alert->set(AlertType::error(answer.error()));
    else if (!*answer)
        m_alert->set(AlertType::simpleError());
    else if (m_mode == Mode::add)
        m_alert->set(AlertType::eventCreatedSuccessfully(completion));
    else
        m_alert->set(AlertType::eventUpdatedSuccessfully(completion));
    emit changed();
}

void MeetingFormViewModel::abandon()
{
    m_abandoned = true;
    m_titleDebounce.stop();
}

} // namespace tolvo
