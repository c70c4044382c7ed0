#include "modules/Main/MainViewModel.h"

#include "core/StartTask.h"
#include "platform/SecretStore.h"
#include "services/AppDatabase.h"

#include <QSet>
#include <QTimer>

namespace tolvo {

namespace {

QString describe(const CalendarSyncUpdate &update)
{
    if (const auto *google = update.google())
        return QStringLiteral("%1 Google change(s) in %2")
            .arg(google->changes.size())
            .arg(google->calendarId);
    const auto *local = update.local();
    return QStringLiteral("%1 local change(s) for %2")
        .arg(local ? local->changes.size() : 0)
        .arg(update.calendarId());
}

} // namespace

MainViewModel::MainViewModel(QObject *parent)
    : QObject(parent)
    , m_selectedDate(m_dateManager->selectedDate())
{
    m_dateSubscription = m_dateManager->listenDateSelection().subscribe(
        this,
        [this](const QDateTime &date) {
            m_selectedDate = date;
            emit selectedDateChanged(date);
        },
        Qt::QueuedConnection);
    // The database is open by now (the dependency above opened it): a file that had to be set
    // aside at start is told here, on the first main screen only.
    if (const auto recovery = AppDatabase::takeRecovery()) {
        m_alert.set(AlertType::error(
            Error::make(recovery->cause.domain, recovery->cause.code, recovery->userMessage())));
    }
}

QDateTime MainViewModel::pickerDate() const
{
    return m_selectedDate.isValid() ? m_selectedDate : m_context->now();
}

void MainViewModel::selectDate(const QDateTime &date)
{
    m_dateManager->selectDate(date);
}

MainViewModel::~MainViewModel()
{
    closeStream();
}

bool MainViewModel::someRequestFailed() const
{
    return std::any_of(m_requests.cbegin(), m_requests.cend(),
        [](const RequestInfo &info) { return !info.success; });
}

std::optional<Error> MainViewModel::firstFailedError() const
{
    for (const RequestInfo &info : m_requests) {
        if (!info.success)
            return info.error;
    }
    return std::nullopt;
}

void MainViewModel::setAppState(AppState state)
{
    m_appState = state;
    emit appStateChanged(state);
}

void MainViewModel::setCalendars(QList<GoogleCalendar> calendars)
{
    m_calendars = std::move(calendars);
    emit calendarsChanged();
}

QList<GoogleCalendar> MainViewModel::selectedCalendars() const
{
    QList<GoogleCalendar> selected;
    for (const GoogleCalendar &calendar : m_calendars) {
        if (calendar.isSelected)
            selected.append(calendar);
    }
    return selected;
}

void MainViewModel::startIfNeeded()
{
    if (m_starting)
        return;
    if (!m_requests.isEmpty() && !someRequestFailed())
        return;
    startDetached(startSync(this));
}

void MainViewModel::refresh()
{
    if (m_starting)
        return;
    startDetached(startSync(this));
}

QCoro::Task<> MainViewModel::startSync(QPointer<MainViewModel> self)
{
    // Two starts at once would both configure and both open a stream.
    self->m_starting = true;
    const quint64 account = self->m_account;
    co_await configure(self, account);
    // Signed out meanwhile (the sign-out ended this start): nothing of that account may
    // follow a calendar again.
    if (isCurrent(self, account)) {
        self->m_starting = false;
        // Also after a failed configuration: the stream then follows no calendar and stays idle.
        self->openStream();
    }
    if (self)
        emit self->startEnded();
}

QCoro::Task<> MainViewModel::configure(QPointer<MainViewModel> self, quint64 account)
{
    self->setAppState(AppState::idle);
    if (!std::exchange(self->m_configuredOnce, true)) {
        const AppUpdater updater = *self->m_appUpdater;
        QTimer::singleShot(0, self.data(), [updater] { updater.startUpdater(); });
    }
    co_await googleCalendarInit(self, account);
    if (isCurrent(self, account))
        self->evaluateRequests();
}

QCoro::Task<> MainViewModel::googleCalendarInit(QPointer<MainViewModel> self, quint64 account)
{
    const auto found = self->m_requests.constFind(RequestType::googleCalendarInit);
    if (found != self->m_requests.constEnd() && found->success)
        co_return;
    const VoidResult loaded = co_await loadGoogleCalendars(self, account);
    if (!isCurrent(self, account))
        co_return;
    RequestInfo info;
    info.success = loaded.has_value();
    if (!loaded)
        info.error = loaded.error();
    self->m_requests.insert(RequestType::googleCalendarInit, info);
}

QCoro::Task<VoidResult> MainViewModel::loadGoogleCalendars(
    QPointer<MainViewModel> self, quint64 account)
{
    const GoogleClient google = *self->m_googleClient;
    const GoogleCalendarClient calendarClient = *self->m_googleCalendarClient;
    auto session = co_await google.authSession();
    // Nothing stored is no session, not a failure: the screen shows no calendars.
    if (!session && session.error().domain == ErrorDomain::keychain
        && session.error().code == keychaincode::notFound)
        co_return VoidResult();
    if (!session)
        co_return failure(session.error());
    if (!*session)
        co_return VoidResult();
    auto listed = co_await calendarClient.fetchCalendarList(*session);
    if (!listed)
        co_return failure(listed.error());
    // A list that arrives after a sign-out belongs to no one any more.
    if (!isCurrent(self, account))
        co_return failure(Error::cancellation());
    auto marked = self->markSelectedCalendars(*listed);
    if (!marked)
        co_return failure(marked.error());
    self->setCalendars(*marked);
    self->m_cacheManager->storeCalendars(self->selectedCalendars());
    co_return VoidResult();
}

Result<QList<GoogleCalendar>> MainViewModel::markSelectedCalendars(
    QList<GoogleCalendar> calendars) const
{
    // Followed means a stored push channel, whatever Google says about the calendar.
    auto channels = m_databaseClient->calendarChannels();
    if (!channels)
        return failure(channels.error());
    QSet<QString> followed;
    for (const CalendarChannel &channel : std::as_const(*channels))
        followed.insert(channel.calendarId);
    for (GoogleCalendar &calendar : calendars)
        calendar.isSelected = followed.contains(calendar.id);
    return calendars;
}

void MainViewModel::evaluateRequests()
{
    if (!someRequestFailed()) {
        setAppState(AppState::configured);
        return;
    }
    setAppState(AppState::somethingWrong);
    const std::optional<Error> error = firstFailedError();
    if (!error)
        return;
    QPointer<MainViewModel> self(this);
    m_alert.set(alertForFailure(*error, [self] {
        if (self)
            self->reauthorize();
    }));
}

void MainViewModel::reauthorize()
{
    startDetached(runReauthorize(this));
}

QCoro::Task<> MainViewModel::runReauthorize(QPointer<MainViewModel> self)
{
    const GoogleClient google = *self->m_googleClient;
    const auto authorized = co_await google.authorize();
    if (!self)
        co_return;
    if (!authorized) {
        self->m_alert.set(alertForFailure(authorized.error(), [self] {
            if (self)
                self->reauthorize();
        }));
        co_return;
    }
    if (!*authorized)
        co_return;
    // A new sign-in resumes live sync in this session, not just the calendar list.
    if (self->m_starting)
        co_return;
    co_await startSync(self);
}

void MainViewModel::toggleCalendar(const GoogleCalendar &calendar)
{
    QList<GoogleCalendar> calendars = m_calendars;
    std::optional<GoogleCalendar> toggled;
    for (GoogleCalendar &candidate : calendars) {
        if (candidate.id == calendar.id) {
            candidate.isSelected = !candidate.isSelected;
            toggled = candidate;
        }
    }
    setCalendars(calendars);
    m_cacheManager->storeCalendars(selectedCalendars());
    if (!toggled)
        return;
    startDetached(runToggle(this, toggled->id, toggled->isSelected));
}

QCoro::Task<> MainViewModel::runToggle(
    QPointer<MainViewModel> self, QString calendarId, bool follow)
{
    const GoogleCalendarSyncClient sync = *self->m_calendarSyncClient;
    // A follow's task stays here for as long as the calendar is followed.
    VoidResult result;
    if (follow)
        result = co_await sync.addCalendar(calendarId);
    else
        result = co_await sync.cleanUp(calendarId);
    if (!self || result || result.error().isCancellation())
        co_return;
    self->m_logger->logError(result.error());
    self->m_alert.set(AlertType::simpleError());
}

void MainViewModel::logout()
{
    // A start still loading is of the account that signs out: it ends before the clean-up, so
    // nothing it would set up outlives the sign-out.
    ++m_account;
    m_starting = false;
    startDetached(runLogout(this));
}

QCoro::Task<> MainViewModel::runLogout(QPointer<MainViewModel> self)
{
    const GoogleCalendarSyncClient sync = *self->m_calendarSyncClient;
    const GoogleClient google = *self->m_googleClient;
    const AnalyticsManager analytics = *self->m_analyticsManager;
    const VoidResult cleaned = co_await sync.cleanUpAll();
    if (!cleaned) {
        if (self)
            emit self->logoutFinished(false);
        co_return;
    }
    // Nothing of the signed-out account may reach the screens any more.
    if (self)
        self->closeStream();
    const VoidResult signedOut = co_await google.signOut();
    if (!signedOut) {
        if (self)
            emit self->logoutFinished(false);
        co_return;
    }
    analytics.trackEvent(QStringLiteral("signOut"), std::nullopt);
    if (self)
        emit self->logoutFinished(true);
}

void MainViewModel::openStream()
{
    QStringList ids;
    for (const GoogleCalendar &calendar : selectedCalendars())
        ids.append(calendar.id);
    // A new stream ends the earlier one (and its consumer) without an error.
    m_stream = m_calendarSyncClient->sync(ids);
    m_streamOpen = true;
    startDetached(consume(*m_stream, *m_logger, *m_syncBus));
}

void MainViewModel::closeStream()
{
    if (m_stream)
        m_stream->cancel();
    m_stream.reset();
    m_streamOpen = false;
}

QCoro::Task<> MainViewModel::consume(SyncStream stream, LoggerClient logger, SyncBus bus)
{
    for (;;) {
        auto next = co_await stream.next();
        if (!next) {
            logger.logError(next.error());
            co_return;
        }
        if (!*next)
            co_return;
        const CalendarSyncUpdate update = std::move(**next);
        logger.log(QStringLiteral("update init: ") + describe(update), LogLevel::info);
        bus.postGoogleChanged(update);
    }
}

} // namespace tolvo
