#pragma once

#include "core/Clock.h"
#include "core/LocalCalendar.h"
#include "core/LocalEvent.h"
#include "core/Result.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimeZone>
#include <QTimer>

#include <chrono>
#include <optional>

namespace tolvo {

// The local calendar store: a root folder with one vdir folder per calendar ("displayname",
// "color" and "source" files, one .ics file per event), so that other calendar tools can read
// and sync the same folders. Writes replace whole files atomically; a file that cannot be
// parsed is skipped (and logged once per change of it), never rewritten or removed. A root or
// folder that cannot be read is logged and keeps the events known of it: it is not empty.
// Lives on the thread that made it.
class LocalCalendarStore : public QObject
{
    Q_OBJECT
public:
    enum ErrorCode { calendarNotFound = 1, eventNotFound = 2, writeFailed = 3 };

    struct Options
    {
        // All-day dates and times without a zone are read in this zone: the application passes
        // its calendar context's. UTC until then, so that a store made by hand reads the same
        // files alike on every machine.
        QTimeZone localZone = QTimeZone::utc();
        Clock clock = systemClock();
        // How long a burst of file changes is gathered before one storeChanged.
        std::chrono::milliseconds rescanDelay {200};
    };

    static constexpr const char *defaultCalendarTitle = "Calendar";

    // Creates the root when needed; a root without any calendar gets one named "Calendar".
    explicit LocalCalendarStore(QString root, Options options, QObject *parent = nullptr);
    explicit LocalCalendarStore(QString root)
        : LocalCalendarStore(std::move(root), Options {})
    {
    }

    // "<generic data location>/Tolvo/calendars".
    static QString defaultRoot();
    const QString &root() const { return m_root; }
    const QTimeZone &localZone() const { return m_options.localZone; }

    // Sorted by title.
    QList<LocalCalendar> calendars() const;
    std::optional<LocalCalendar> calendar(const QString &identifier) const;
    Result<LocalCalendar> createCalendar(
        const QString &title, const QString &color, LocalCalendarSource source);

    // The events of every calendar that overlap [start, end), by start.
    QList<LocalEvent> events(const QDateTime &start, const QDateTime &end);
    std::optional<LocalEvent> event(const QString &identifier);
    // Whether an event with this identifier overlaps [start, end): `events` without copying
    // and sorting the whole span.
    bool hasEventIn(const QString &identifier, const QDateTime &start, const QDateTime &end);
    // Writes the event into its calendar (`calendarId`), committed at once; an event without
    // an identifier gets a new one. Answers the event as stored (identifier, created and
    // last-modified dates filled in).
    Result<LocalEvent> save(LocalEvent event);
    VoidResult remove(const QString &identifier);

    // Reads within one scope share a single look at the disk, so that a pass reading the store
    // once per event (the change monitor's) costs one scan instead of one per read. A write
    // in the scope makes the next read look again.
    class ReadScope
    {
    public:
        explicit ReadScope(LocalCalendarStore &store)
            : m_store(store)
        {
            ++m_store.m_readScopes;
        }
        ~ReadScope()
        {
            if (--m_store.m_readScopes == 0)
                m_store.m_scopeRefreshed = false;
        }
        ReadScope(const ReadScope &) = delete;
        ReadScope &operator=(const ReadScope &) = delete;

    private:
        LocalCalendarStore &m_store;
    };

signals:
    // Something in the root changed on disk (any writer, this store included).
    void storeChanged();

private:
    struct FileState
    {
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        friend bool operator==(const FileState &, const FileState &) = default;
    };
    struct CachedFile
    {
        FileState state;
        QString calendarId;
        QList<LocalEvent> events; // empty when the file cannot be read
    };
    using Snapshot = QMap<QString, FileState>;

    // `error` receives errno when the path cannot be looked at.
    static std::optional<FileState> stateOf(const QString &path, int *error = nullptr);
    // Whether the folder can be listed; logs once when it cannot.
    bool checkListable(const QString &folder);
    void ensureRoot();
    QStringList calendarFolders() const;
    // Brings the index up to date with the disk: only folders whose own state changed and
    // files the watcher named are looked at again, so a read costs the same whatever the
    // number of events.
    void refresh();
    void rescanFolder(const QString &calendarId);
    // Reads the file again when its state changed; `known` are its events as just checked.
    void remember(const QString &path, const QString &calendarId,
        std::optional<QList<LocalEvent>> known = std::nullopt);
    void forget(const QString &path);
    void index(const QString &path);
    void unindex(const QString &path);
    QString folderOf(const QString &calendarId) const;
    // Notes the folder's state and answers whether it may have gained, lost or replaced files
    // since last noted: always when it was never noted or cannot be read.
    bool noteFolderState(const QString &folder);
    // Writes `text` to `path` when it reads back as at least `minimumCount` events including
    // `identifier`: a save must not lose the file's other events either.
    Result<QList<LocalEvent>> writeChecked(const QString &path, const QString &calendarId,
        const QByteArray &text, const QString &identifier, qsizetype minimumCount);
    QString pathFor(const QString &calendarId, const QString &identifier) const;
    Snapshot snapshot() const;
    void watchEverything();
    void onPathChanged();
    void onFileChanged(const QString &path);
    void rescan();

    QString m_root;
    Options m_options;
    QHash<QString, CachedFile> m_files;
    QHash<QString, QString> m_pathByIdentifier;
    // The root's and each calendar folder's state when last listed.
    QHash<QString, FileState> m_folderStates;
    QStringList m_calendarIds;
    QSet<QString> m_changedFiles;
    // Folders found unreadable (and logged) and not readable again since.
    QSet<QString> m_unlistable;
    QFileSystemWatcher m_watcher;
    QTimer m_rescanTimer;
    Snapshot m_notified;
    int m_readScopes = 0;
    bool m_scopeRefreshed = false;
};

} // namespace tolvo
