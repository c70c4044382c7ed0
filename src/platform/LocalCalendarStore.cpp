#include "platform/LocalCalendarStore.h"

#include "core/LogCategories.h"
#include "platform/IcsEvent.h"
#include "platform/PrivateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tolvo {

namespace {
const QString displayNameFile = QStringLiteral("displayname");
const QString colorFile = QStringLiteral("color");
const QString sourceFile = QStringLiteral("source");
const QString eventSuffix = QStringLiteral(".ics");

QString readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(64 * 1024)).trimmed();
}

// The store's temporary files are hidden (other calendar tools skip dot files) and carry the
// writer's process id, so that one left by a process that died during a save can be told
// from one another process is writing right now.
const QString tempPrefix = QStringLiteral(".tolvo-");
const QString tempSuffix = QStringLiteral(".tmp");

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

VoidResult writeAtomically(const QString &path, const QByteArray &bytes)
{
    // The new text goes to a temporary file that is renamed over the old one: a crash leaves
    // either the old file or the new one, never half of either. Plain system calls, so that
    // each failure names its cause ("No space left on device") as the system gave it.
    const QFileInfo target(path);
    const QByteArray temp
        = QFile::encodeName(target.dir().filePath(tempPrefix + QString::number(::getpid())
            + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128) + tempSuffix));
    struct stat existing
    {
    };
    const bool replacing = ::stat(QFile::encodeName(path).constData(), &existing) == 0;
    // A new file is the user's alone; a replaced one keeps what its owner chose.
    int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
        replacing ? existing.st_mode & 07777 : privatefiles::fileMode);
    const bool created = fd >= 0;
    const auto failed = [&](int code) {
        if (fd >= 0)
            ::close(fd);
        if (created)
            ::unlink(temp.constData());
        return failure(ErrorDomain::localCalendar, LocalCalendarStore::writeFailed,
            QStringLiteral("%1 could not be written: %2").arg(path, systemError(code)));
    };
    if (fd < 0)
        return failed(errno);
    // The umask must not narrow a replaced file's permissions.
    if (replacing && ::fchmod(fd, existing.st_mode & 07777) != 0)
        return failed(errno);
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t count
            = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return failed(count < 0 ? errno : EIO);
        written += count;
    }
    if (::fdatasync(fd) != 0)
        return failed(errno);
    if (::close(std::exchange(fd, -1)) != 0)
        return failed(errno);
    if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0)
        return failed(errno);
    return {};
}

// Why the folder cannot be listed; nothing when it can. A folder that cannot be listed is not
// an empty one: what is known of it stays.
std::optional<QString> unlistable(const QString &folder)
{
    DIR *listing = ::opendir(QFile::encodeName(folder).constData());
    if (!listing)
        return systemError(errno);
    ::closedir(listing);
    return std::nullopt;
}

// Temporary files of saves whose process is gone: the saves never finished, and the files
// they replace are whole.
void removeLeftoverTemps(const QDir &folder)
{
    const QStringList names = folder.entryList(
        {tempPrefix + QStringLiteral("*") + tempSuffix}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        bool isNumber = false;
        const qint64 pid
            = name.mid(tempPrefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
        if (!isNumber || pid <= 0 || pid == ::getpid())
            continue;
        const bool alive = ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
        if (!alive && !QFile::remove(folder.filePath(name)))
            qCWarning(lcStore, "The leftover %s could not be removed",
                qUtf8Printable(folder.filePath(name)));
    }
}

LocalCalendarSource sourceFromText(const QString &text)
{
    const QString value = text.toLower();
    if (value.isEmpty() || value == u"local")
        return LocalCalendarSource::local;
    if (value == u"caldav")
        return LocalCalendarSource::calDAV;
    return LocalCalendarSource::other;
}

// The file name of an event: its UID when that is a plain name, else a digest of it.
QString fileNameFor(const QString &identifier)
{
    static const QRegularExpression plain(
        QStringLiteral("^[A-Za-z0-9_@+-][A-Za-z0-9_.@+-]{0,199}$"));
    if (plain.match(identifier).hasMatch())
        return identifier + eventSuffix;
    return QString::fromLatin1(
               QCryptographicHash::hash(identifier.toUtf8(), QCryptographicHash::Sha256).toHex())
        + eventSuffix;
}

bool overlaps(const LocalEvent &event, const QDateTime &start, const QDateTime &end)
{
    if (event.end > event.start)
        return event.start < end && event.end > start;
    return event.start >= start && event.start < end;
}
} // namespace

LocalCalendarStore::LocalCalendarStore(QString root, Options options, QObject *parent)
    : QObject(parent)
    , m_root(QDir::cleanPath(root))
    , m_options(std::move(options))
{
    ensureRoot();
    m_rescanTimer.setSingleShot(true);
    m_rescanTimer.setInterval(m_options.rescanDelay);
    connect(&m_rescanTimer, &QTimer::timeout, this, &LocalCalendarStore::rescan);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
        &LocalCalendarStore::onPathChanged);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &LocalCalendarStore::onFileChanged);
    watchEverything();
    m_notified = snapshot();
}

QString LocalCalendarStore::defaultRoot()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Tolvo/calendars"));
}

void LocalCalendarStore::ensureRoot()
{
    if (const auto made = privatefiles::makeFolder(m_root); !made) {
        qCWarning(lcStore, "The calendar folder %s cannot be created: %s", qUtf8Printable(m_root),
            qUtf8Printable(made.error().message));
        return;
    }
    // A root that cannot be listed may well hold calendars: making one would add another at
    // every start.
    if (!checkListable(m_root))
        return;
    if (calendarFolders().isEmpty()) {
        auto created = createCalendar(QString::fromLatin1(defaultCalendarTitle),
            QStringLiteral("#2F80ED"), LocalCalendarSource::local);
        if (!created)
            qCWarning(lcStore, "%s", qUtf8Printable(created.error().describe()));
    }
}

QStringList LocalCalendarStore::calendarFolders() const
{
    // Hidden folders belong to other tools (sync state, trash).
    return QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QList<LocalCalendar> LocalCalendarStore::calendars() const
{
    QList<LocalCalendar> result;
    for (const QString &folder : calendarFolders()) {
        if (auto found = calendar(folder))
            result.append(*found);
    }
    std::sort(result.begin(), result.end(), [](const LocalCalendar &a, const LocalCalendar &b) {
        const int byTitle = a.title.compare(b.title, Qt::CaseInsensitive);
        return byTitle != 0 ? byTitle < 0 : a.identifier < b.identifier;
    });
    return result;
}

std::optional<LocalCalendar> LocalCalendarStore::calendar(const QString &identifier) const
{
    if (identifier.isEmpty() || identifier.startsWith(QLatin1Char('.'))
        || identifier.contains(QLatin1Char('/')))
        return std::nullopt;
    const QDir folder(QDir(m_root).filePath(identifier));
    if (!folder.exists())
        return std::nullopt;
    LocalCalendar calendar;
    calendar.identifier = identifier;
    calendar.title = readSmallFile(folder.filePath(displayNameFile));
    if (calendar.title.isEmpty())
        calendar.title = identifier;
    calendar.color = readSmallFile(folder.filePath(colorFile));
    calendar.source = sourceFromText(readSmallFile(folder.filePath(sourceFile)));
    return calendar;
}

Result<LocalCalendar> LocalCalendarStore::createCalendar(
    const QString &title, const QString &color, LocalCalendarSource source)
{
    const QString identifier = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QDir folder(QDir(m_root).filePath(identifier));
    if (::mkdir(QFile::encodeName(folder.path()).constData(), privatefiles::folderMode) != 0) {
        return failure(ErrorDomain::localCalendar, writeFailed,
            QStringLiteral("The calendar folder %1 could not be created: %2")
                .arg(folder.path(), systemError(errno)));
    }
    TRY(writeAtomically(folder.filePath(displayNameFile), title.toUtf8()));
    if (!color.isEmpty())
        TRY(writeAtomically(folder.filePath(colorFile), color.toUtf8()));
    TRY(writeAtomically(folder.filePath(sourceFile), rawValue(source).toUtf8()));
    return LocalCalendar {identifier, title, color, source};
}

QList<LocalEvent> LocalCalendarStore::events(const QDateTime &start, const QDateTime &end)
{
    refresh();
    QList<LocalEvent> result;
    for (const CachedFile &file : std::as_const(m_files)) {
        for (const LocalEvent &event : file.events) {
            if (overlaps(event, start, end))
                result.append(event);
        }
    }
    std::sort(result.begin(), result.end(), [](const LocalEvent &a, const LocalEvent &b) {
        return a.start != b.start ? a.start < b.start : a.identifier < b.identifier;
    });
    return result;
}

bool LocalCalendarStore::hasEventIn(
    const QString &identifier, const QDateTime &start, const QDateTime &end)
{
    refresh();
    const auto path = m_pathByIdentifier.constFind(identifier);
    if (path == m_pathByIdentifier.cend())
        return false;
    const QList<LocalEvent> &events = m_files[*path].events;
    return std::any_of(events.cbegin(), events.cend(), [&](const LocalEvent &event) {
        return event.identifier == identifier && overlaps(event, start, end);
    });
}

std::optional<LocalEvent> LocalCalendarStore::event(const QString &identifier)
{
    refresh();
    const auto path = m_pathByIdentifier.constFind(identifier);
    if (path == m_pathByIdentifier.cend())
        return std::nullopt;
    for (const LocalEvent &event : m_files.value(*path).events) {
        if (event.identifier == identifier)
            return event;
    }
    return std::nullopt;
}

QString LocalCalendarStore::pathFor(const QString &calendarId, const QString &identifier) const
{
    const QDir folder(QDir(m_root).filePath(calendarId));
    QString path = folder.filePath(fileNameFor(identifier));
    // Another event's file under the same name (a digest clash or a foreign file name).
    if (QFile::exists(path))
        path = folder.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + eventSuffix);
    return path;
}

Result<QList<LocalEvent>> LocalCalendarStore::writeChecked(const QString &path,
    const QString &calendarId, const QByteArray &text, const QString &identifier,
    qsizetype minimumCount)
{
    // The text must read back before it replaces anything: a file the store cannot read is
    // a file the user lost.
    auto events = ics::readEvents(text, m_options.localZone);
    const bool found = events && events->size() >= minimumCount
        && (identifier.isEmpty()
            || std::any_of(events->cbegin(), events->cend(),
                [&](const LocalEvent &event) { return event.identifier == identifier; }));
    if (!found) {
        return failure(ErrorDomain::localCalendar, writeFailed,
            QStringLiteral("%1 was not written, as its new text could not be read back%2. The "
                           "file was left as it was.")
                .arg(path, events ? QString() : QStringLiteral(": ") + events.error().message));
    }
    TRY(writeAtomically(path, text));
    remember(path, calendarId, *events);
    m_watcher.addPath(path);
    return m_files.value(path).events;
}

Result<LocalEvent> LocalCalendarStore::save(LocalEvent event)
{
    m_scopeRefreshed = false;
    refresh();
    if (!calendar(event.calendarId)) {
        return failure(ErrorDomain::localCalendar, calendarNotFound,
            QStringLiteral("The calendar \"%1\" does not exist.").arg(event.calendarId));
    }
    if (event.identifier.isEmpty())
        event.identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();

    const QString existing = m_pathByIdentifier.value(event.identifier);
    QByteArray previous;
    if (!existing.isEmpty()) {
        QFile file(existing);
        if (file.open(QIODevice::ReadOnly))
            previous = file.readAll();
    }
    const QString oldCalendarId = m_files.value(existing).calendarId;
    const bool sameFolder = !existing.isEmpty() && oldCalendarId == event.calendarId;
    const bool shared = m_files.value(existing).events.size() > 1;

    QByteArray base = previous;
    if (!sameFolder && shared) {
        // Only this event moves; the others stay where they are.
        auto alone = ics::onlyEvent(previous, event.identifier);
        base = alone && ics::eventCount(*alone) > 0 ? *alone : QByteArray();
    }
    TRY_ASSIGN(const QByteArray text,
        ics::writeEvent(event, base, m_options.clock(), m_options.localZone));
    const QString target = sameFolder ? existing : pathFor(event.calendarId, event.identifier);
    TRY_ASSIGN(const QList<LocalEvent> stored,
        writeChecked(target, event.calendarId, text, event.identifier,
            sameFolder ? m_files.value(existing).events.size() : 1));
    noteFolderState(folderOf(event.calendarId));
    if (!existing.isEmpty() && !sameFolder) {
        // Moved to another calendar: the new copy is safe on disk before the old one goes.
        if (shared) {
            auto rest = ics::withoutEvent(previous, event.identifier);
            if (!rest
                || !writeChecked(
                    existing, oldCalendarId, *rest, {}, m_files.value(existing).events.size() - 1))
                qCWarning(lcStore, "The moved event stays in %s too", qUtf8Printable(existing));
        } else if (!QFile::remove(existing)) {
            qCWarning(lcStore, "The moved event's old file %s could not be removed",
                qUtf8Printable(existing));
        } else {
            forget(existing);
        }
        noteFolderState(folderOf(oldCalendarId));
    }
    for (const LocalEvent &written : stored) {
        if (written.identifier == event.identifier) {
            m_pathByIdentifier.insert(written.identifier, target);
            return written;
        }
    }
    return failure(ErrorDomain::localCalendar, writeFailed,
        QStringLiteral("%1 was written but cannot be read back.").arg(target));
}

VoidResult LocalCalendarStore::remove(const QString &identifier)
{
    m_scopeRefreshed = false;
    refresh();
    const QString path = m_pathByIdentifier.value(identifier);
    if (path.isEmpty()) {
        return failure(ErrorDomain::localCalendar, eventNotFound,
            QStringLiteral("No event has the identifier \"%1\".").arg(identifier));
    }
    const CachedFile file = m_files.value(path);
    if (file.events.size() > 1) {
        // Other events share the file: only this one's VEVENTs go.
        QFile input(path);
        if (!input.open(QIODevice::ReadOnly)) {
            return failure(ErrorDomain::localCalendar, writeFailed,
                QStringLiteral("%1 could not be read: %2").arg(path, input.errorString()));
        }
        TRY_ASSIGN(const QByteArray rest, ics::withoutEvent(input.readAll(), identifier));
        TRY(writeChecked(path, file.calendarId, rest, {}, file.events.size() - 1));
    } else {
        if (::unlink(QFile::encodeName(path).constData()) != 0) {
            return failure(ErrorDomain::localCalendar, writeFailed,
                QStringLiteral("%1 could not be removed: %2").arg(path, systemError(errno)));
        }
        forget(path);
    }
    noteFolderState(folderOf(file.calendarId));
    return {};
}

std::optional<LocalCalendarStore::FileState> LocalCalendarStore::stateOf(
    const QString &path, int *error)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (error)
            *error = errno;
        return std::nullopt;
    }
    return FileState {static_cast<quint64>(info.st_ino), static_cast<qint64>(info.st_size),
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
        static_cast<qint64>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

QString LocalCalendarStore::folderOf(const QString &calendarId) const
{
    return QDir(m_root).filePath(calendarId);
}

bool LocalCalendarStore::noteFolderState(const QString &folder)
{
    const auto state = stateOf(folder);
    if (!state)
        return true;
    const auto known = m_folderStates.constFind(folder);
    if (known != m_folderStates.cend() && *known == *state)
        return false;
    m_folderStates.insert(folder, *state);
    return true;
}

void LocalCalendarStore::refresh()
{
    if (m_readScopes > 0) {
        if (m_scopeRefreshed)
            return;
        m_scopeRefreshed = true;
    }
    // A folder's own state changes whenever a file in it is added, removed or replaced, so
    // one stat per folder finds every such change, the watcher's or not; edits in place are
    // the files the watcher named.
    if (noteFolderState(m_root) && checkListable(m_root)) {
        m_calendarIds = calendarFolders();
        const QSet<QString> present(m_calendarIds.cbegin(), m_calendarIds.cend());
        QStringList gone;
        for (auto file = m_files.cbegin(); file != m_files.cend(); ++file) {
            if (!present.contains(file->calendarId))
                gone.append(file.key());
        }
        for (const QString &path : std::as_const(gone))
            forget(path);
    }
    for (const QString &calendarId : std::as_const(m_calendarIds)) {
        if (noteFolderState(folderOf(calendarId)))
            rescanFolder(calendarId);
    }
    const QSet<QString> changed = std::exchange(m_changedFiles, {});
    for (const QString &path : changed) {
        const auto file = m_files.constFind(path);
        if (file != m_files.cend())
            remember(path, file->calendarId);
    }
}

bool LocalCalendarStore::checkListable(const QString &folder)
{
    const auto reason = unlistable(folder);
    if (!reason) {
        m_unlistable.remove(folder);
        return true;
    }
    // Once until it changes: every read would log it again.
    if (!m_unlistable.contains(folder)) {
        qCWarning(lcStore,
            "The calendar folder %s cannot be read (%s): its events are not listed anew",
            qUtf8Printable(folder), qUtf8Printable(*reason));
        m_unlistable.insert(folder);
    }
    return false;
}

void LocalCalendarStore::rescanFolder(const QString &calendarId)
{
    const QDir folder(QDir(m_root).filePath(calendarId));
    if (!checkListable(folder.path()))
        return;
    removeLeftoverTemps(folder);
    const QStringList names
        = folder.entryList({QStringLiteral("*") + eventSuffix}, QDir::Files, QDir::Name);
    QSet<QString> present;
    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        present.insert(path);
        remember(path, calendarId);
    }
    QStringList gone;
    for (auto file = m_files.cbegin(); file != m_files.cend(); ++file) {
        if (file->calendarId == calendarId && !present.contains(file.key()))
            gone.append(file.key());
    }
    for (const QString &path : std::as_const(gone))
        forget(path);
}

void LocalCalendarStore::remember(
    const QString &path, const QString &calendarId, std::optional<QList<LocalEvent>> known)
{
    int error = 0;
    const auto state = stateOf(path, &error);
    if (!state) {
        // Only a file that is gone takes its events along; one that cannot be reached now
        // (its folder's permissions) keeps them.
        if (error == ENOENT || error == ENOTDIR)
            forget(path);
        return;
    }
    auto cached = m_files.find(path);
    if (cached != m_files.end() && cached->state == *state && cached->calendarId == calendarId
        && !known)
        return;
    CachedFile file {*state, calendarId, {}};
    if (!known) {
        // Logged once per change of the file: an unchanged file is not read again.
        QFile input(path);
        if (!input.open(QIODevice::ReadOnly)) {
            qCWarning(lcStore, "Skipping %s: %s", qUtf8Printable(path),
                qUtf8Printable(input.errorString()));
            if (cached != m_files.end())
                known = cached->events; // unreadable for now, not emptied
        } else if (auto read = ics::readEvents(input.readAll(), m_options.localZone); !read) {
            qCWarning(lcStore, "Skipping %s: %s", qUtf8Printable(path),
                qUtf8Printable(read.error().message));
        } else {
            known = std::move(*read);
        }
    }
    if (known) {
        for (LocalEvent &event : *known) {
            if (event.identifier.isEmpty()) // no UID: the file name stands in for it
                event.identifier = QFileInfo(path).completeBaseName();
            event.calendarId = calendarId;
        }
        file.events = std::move(*known);
    }
    unindex(path);
    m_files.insert(path, std::move(file));
    index(path);
}

void LocalCalendarStore::forget(const QString &path)
{
    if (!m_files.contains(path))
        return;
    unindex(path);
    m_files.remove(path);
}

void LocalCalendarStore::index(const QString &path)
{
    // With one UID in several files the first to be read wins, as look-ups need one answer.
    for (const LocalEvent &event : m_files.value(path).events) {
        if (!m_pathByIdentifier.contains(event.identifier))
            m_pathByIdentifier.insert(event.identifier, path);
    }
}

void LocalCalendarStore::unindex(const QString &path)
{
    for (const LocalEvent &event : m_files.value(path).events) {
        const auto mapped = m_pathByIdentifier.find(event.identifier);
        if (mapped == m_pathByIdentifier.end() || *mapped != path)
            continue;
        m_pathByIdentifier.erase(mapped);
        // Another file holding the same UID takes over (rare: a scan, not a look-up).
        for (auto other = m_files.cbegin(); other != m_files.cend(); ++other) {
            if (other.key() == path)
                continue;
            const bool holds = std::any_of(
                other->events.cbegin(), other->events.cend(), [&](const LocalEvent &candidate) {
                    return candidate.identifier == event.identifier;
                });
            if (holds) {
                m_pathByIdentifier.insert(event.identifier, other.key());
                break;
            }
        }
    }
}

LocalCalendarStore::Snapshot LocalCalendarStore::snapshot() const
{
    Snapshot result;
    for (const QString &calendarId : calendarFolders()) {
        const QDir folder(QDir(m_root).filePath(calendarId));
        result.insert(folder.path(), {});
        for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
            const QString path = folder.filePath(name);
            if (const auto state = stateOf(path))
                result.insert(path, *state);
        }
    }
    return result;
}

void LocalCalendarStore::watchEverything()
{
    // An atomic replace drops the watch on the replaced file, and new files and folders have
    // none yet: add whatever is missing after every change.
    QStringList wanted {m_root};
    for (const QString &calendarId : calendarFolders()) {
        const QDir folder(QDir(m_root).filePath(calendarId));
        wanted.append(folder.path());
        for (const QString &name : folder.entryList(QDir::Files, QDir::Name))
            wanted.append(folder.filePath(name));
    }
    const QStringList watchedFiles = m_watcher.files();
    const QStringList watchedFolders = m_watcher.directories();
    QSet<QString> watched(watchedFiles.cbegin(), watchedFiles.cend());
    watched.unite(QSet<QString>(watchedFolders.cbegin(), watchedFolders.cend()));
    QStringList missing;
    for (const QString &path : std::as_const(wanted)) {
        if (!watched.contains(path))
            missing.append(path);
    }
    if (!missing.isEmpty())
        m_watcher.addPaths(missing);
}

void LocalCalendarStore::onFileChanged(const QString &path)
{
    m_changedFiles.insert(path);
    onPathChanged();
}

void LocalCalendarStore::onPathChanged()
{
    if (!m_rescanTimer.isActive())
        m_rescanTimer.start();
}

void LocalCalendarStore::rescan()
{
    watchEverything();
    Snapshot current = snapshot();
    if (current == m_notified)
        return;
    m_notified = std::move(current);
    emit storeChanged();
}

} // namespace tolvo
