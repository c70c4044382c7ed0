#include "platform/LocalCalendarStore.h"

#include "platform/IcsEvent.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>
#include <QUuid>

#include <sys/stat.h>

#include <algorithm>

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

VoidResult writeAtomically(const QString &path, const QByteArray &bytes)
{
    // QSaveFile writes a temporary file and renames it over the old one: a crash leaves
    // either the old file or the new one, never half of either.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return failure(ErrorDomain::localCalendar, LocalCalendarStore::writeFailed,
            QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
    }
    return {};
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
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &LocalCalendarStore::onPathChanged);
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
    if (!QDir().mkpath(m_root)) {
        qWarning("The calendar folder %s cannot be created", qUtf8Printable(m_root));
        return;
    }
    if (calendarFolders().isEmpty()) {
        auto created = createCalendar(QString::fromLatin1(defaultCalendarTitle),
            QStringLiteral("#2F80ED"), LocalCalendarSource::local);
        if (!created)
            qWarning("%s", qUtf8Printable(created.error().describe()));
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
    if (!QDir().mkpath(folder.path())) {
        return failure(ErrorDomain::localCalendar, writeFailed,
            QStringLiteral("The calendar folder %1 could not be created.").arg(folder.path()));
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
        if (file.event && overlaps(*file.event, start, end))
            result.append(*file.event);
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
    return std::any_of(m_files.cbegin(), m_files.cend(), [&](const CachedFile &file) {
        return file.event && file.event->identifier == identifier
            && overlaps(*file.event, start, end);
    });
}

std::optional<LocalEvent> LocalCalendarStore::event(const QString &identifier)
{
    refresh();
    const auto path = m_pathByIdentifier.constFind(identifier);
    if (path == m_pathByIdentifier.cend())
        return std::nullopt;
    return m_files.value(*path).event;
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
    const QDir folder(QDir(m_root).filePath(event.calendarId));
    const bool sameFolder
        = !existing.isEmpty() && QFileInfo(existing).absolutePath() == folder.absolutePath();

    TRY_ASSIGN(const QByteArray text, ics::writeEvent(event, previous, m_options.clock()));
    const QString target = sameFolder ? existing : pathFor(event.calendarId, event.identifier);
    TRY(writeAtomically(target, text));
    if (!existing.isEmpty() && !sameFolder) {
        // Moved to another calendar: the new copy is safe on disk before the old one goes.
        if (!QFile::remove(existing))
            qWarning(
                "The moved event's old file %s could not be removed", qUtf8Printable(existing));
        m_files.remove(existing);
    }
    remember(target, event.calendarId);
    watchEverything();
    const auto stored = m_files.value(target).event;
    if (!stored) {
        return failure(ErrorDomain::localCalendar, writeFailed,
            QStringLiteral("%1 was written but cannot be read back.").arg(target));
    }
    m_pathByIdentifier.insert(stored->identifier, target);
    return *stored;
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
    if (!QFile::remove(path)) {
        return failure(ErrorDomain::localCalendar, writeFailed,
            QStringLiteral("%1 could not be removed.").arg(path));
    }
    m_files.remove(path);
    m_pathByIdentifier.remove(identifier);
    return {};
}

void LocalCalendarStore::refresh()
{
    if (m_readScopes > 0) {
        if (m_scopeRefreshed)
            return;
        m_scopeRefreshed = true;
    }
    QHash<QString, CachedFile> previous = std::move(m_files);
    m_files.clear();
    m_pathByIdentifier.clear();
    for (const QString &calendarId : calendarFolders()) {
        const QDir folder(QDir(m_root).filePath(calendarId));
        for (const QString &name :
            folder.entryList({QStringLiteral("*") + eventSuffix}, QDir::Files, QDir::Name)) {
            const QString path = folder.filePath(name);
            const auto known = previous.constFind(path);
            if (known != previous.cend()) {
                m_files.insert(path, *known);
            }
            remember(path, calendarId);
        }
    }
}

void LocalCalendarStore::remember(const QString &path, const QString &calendarId)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        m_files.remove(path);
        return;
    }
    const FileState state {static_cast<quint64>(info.st_ino), static_cast<qint64>(info.st_size),
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
        static_cast<qint64>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
    auto cached = m_files.find(path);
    if (cached == m_files.end() || !(cached->state == state)) {
        CachedFile file {state, std::nullopt};
        QFile input(path);
        if (!input.open(QIODevice::ReadOnly)) {
            qWarning("Skipping %s: %s", qUtf8Printable(path), qUtf8Printable(input.errorString()));
        } else if (auto read = ics::readEvent(input.readAll(), m_options.localZone); !read) {
            qWarning("Skipping %s: %s", qUtf8Printable(path), qUtf8Printable(read.error().message));
        } else {
            file.event = std::move(*read);
            if (file.event->identifier.isEmpty()) // no UID: the file name stands in for it
                file.event->identifier = QFileInfo(path).completeBaseName();
            file.event->calendarId = calendarId;
        }
        cached = m_files.insert(path, std::move(file));
    }
    // With one UID in several files the first by name wins, as lookups need one answer.
    if (cached->event && !m_pathByIdentifier.contains(cached->event->identifier))
        m_pathByIdentifier.insert(cached->event->identifier, path);
}

LocalCalendarStore::Snapshot LocalCalendarStore::snapshot() const
{
    Snapshot result;
    for (const QString &calendarId : calendarFolders()) {
        const QDir folder(QDir(m_root).filePath(calendarId));
        result.insert(folder.path(), {});
        for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
            const QString path = folder.filePath(name);
            struct stat info
            {
            };
            if (::stat(QFile::encodeName(path).constData(), &info) != 0)
                continue;
            result.insert(path,
                {static_cast<quint64>(info.st_ino), static_cast<qint64>(info.st_size),
                    static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                    static_cast<qint64>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec});
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
