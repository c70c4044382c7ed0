#pragma once

#include "core/AlertType.h"
#include "core/CalendarContext.h"
#include "core/FormLogic.h"
#include "core/GoogleCalendar.h"
#include "core/Requests.h"
#include "core/Result.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

namespace tolvo {

// The state behind the add and edit meeting forms, written as an explicit state machine:
// every setter stores, validates what depends on it and emits `changed()`, also when the value
// is the same (a repeated write still re-validates, which the outlines rely on).
//
// Live validation: the title is checked once typing has paused for the debounce interval; the
// two time texts and the calendar at once. A field is first checked when it is first written
// after construction, so a fresh form shows no outline. Every flag write re-computes
// `formIsValid` from all four flags; a new form stays invalid until the first flag write,
// while an edit form, whose fields come from an existing event, starts valid.
//
// "Save" re-checks everything (`decideSave`) and sends at most one request at a time. The
// answer is applied only while the model lives and has not been abandoned by its window.
class MeetingFormViewModel : public QObject
{
    Q_OBJECT
public:
    enum class Mode { add, edit };
    using Submit = std::function<QCoro::Task<Result<bool>>(const CalendarEventRequest &)>;

    static constexpr int defaultDebounceMs = 500;

    ~MeetingFormViewModel() override;

    Mode mode() const { return m_mode; }
    const MeetingFormState &state() const { return m_state; }
    const CalendarContext &context() const { return m_context; }

    const QString &title() const { return m_state.title; }
    const QString &startTime() const { return m_state.startTime; }
    const QString &endTime() const { return m_state.endTime; }
    const QString &description() const { return m_state.description; }
    qint64 reminderTime() const { return m_state.reminderTime; }
    bool shouldCreateGoogleMeet() const { return m_state.shouldCreateGoogleMeet; }
    bool isAllDayEvent() const { return m_state.isAllDayEvent; }
    const std::optional<GoogleCalendar> &selectedCalendar() const
    {
        return m_state.selectedCalendar;
    }
    const QDateTime &selectedDate() const { return m_state.selectedDate; }

    void setTitle(const QString &title);
    void setStartTime(const QString &text);
    void setEndTime(const QString &text);
    void setDescription(const QString &description);
    void setReminderTime(qint64 minutes);
    void setShouldCreateGoogleMeet(bool on);
    void setIsAllDayEvent(bool on);
    void setSelectedCalendar(const std::optional<GoogleCalendar> &calendar);
    void setSelectedDate(const QDateTime &date);

    bool isValidTitle() const { return m_validTitle; }
    bool isValidStartTime() const { return m_validStartTime; }
    bool isValidEndTime() const { return m_validEndTime; }
    bool isCalendarSelected() const { return m_calendarSelected; }
    bool formIsValid() const { return m_formIsValid; }

    AlertItem *alertType() const { return m_alert; }
    bool isSaving() const { return m_saving; }

    int debounceInterval() const { return m_titleDebounce.interval(); }
    void setDebounceInterval(int ms) { m_titleDebounce.setInterval(ms); }

    // The "Save" button: an invalid form raises `emptyInputs`, a valid one saves. A form not
    // valid so far is checked in full first, so every missing field is outlined.
    void saveTapped(std::function<void()> completion);
    // Checks the form and, when it passes, sends it; `completion` runs when the success
    // alert is confirmed. Ignored while a request is running.
    void save(std::function<void()> completion);
    // The window has closed: a late answer changes nothing and shows nothing.
    void abandon();

signals:
    void changed();

protected:
    MeetingFormViewModel(Mode mode, Submit submit, CalendarContext context, QObject *parent);

    // Fills a field without validating it (the edit form's prefill).
    MeetingFormState &prefill() { return m_state; }
    // From here on writes are validated; the edit form also announces its four flags once.
    void startValidating();

private:
    void setIsValidTitle(bool valid);
    void setIsValidStartTime(bool valid);
    void setIsValidEndTime(bool valid);
    void setIsCalendarSelected(bool valid);
    void recomputeFormValid();
    void applyValidity(const FieldValidity &validity);
    void applyAnswer(const Result<bool> &answer, const std::function<void()> &completion);

    Mode m_mode;
    Submit m_submit;
    CalendarContext m_context;
    MeetingFormState m_state;
    bool m_validTitle = true;
    bool m_validStartTime = true;
    bool m_validEndTime = true;
    bool m_calendarSelected = true;
    bool m_formIsValid = false;
    bool m_flagsCombined = false;
    bool m_validating = false;
    bool m_saving = false;
    bool m_abandoned = false;
    QTimer m_titleDebounce;
    AlertItem *m_alert;
};

} // namespace tolvo
