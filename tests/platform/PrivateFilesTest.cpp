#include "support/TestMain.h"

#include "platform/PrivateFiles.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace tolvo;

namespace {
int modeOf(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}
} // namespace

// The helpers' edges; what the database, settings and local calendar make of them is checked
// with those.
class PrivateFilesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_umask = ::umask(022); }
    void cleanupTestCase() { ::umask(m_umask); }

    void makeFile_data()
    {
        QTest::addColumn<int>("before"); // -1: missing
        QTest::addColumn<int>("after");
        QTest::addRow("missing") << -1 << 0600;
        QTest::addRow("readable to all") << 0644 << 0600;
        QTest::addRow("writable to all") << 0666 << 0600;
        QTest::addRow("already private") << 0600 << 0600;
        QTest::addRow("read-only stays read-only") << 0400 << 0400;
        QTest::addRow("executable by all") << 0755 << 0700;
    }

    void makeFile()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        QTemporaryDir home;
        const QString path = QDir(home.path()).filePath(QStringLiteral("a/b/file"));
        if (before >= 0) {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
            file.close();
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(before)) == 0);
        }
        QVERIFY(privatefiles::makeFile(path));
        QCOMPARE(modeOf(path), after);
        if (before >= 0) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QFileInfo(path).size(), 4); // the content stays
        } else {
            QCOMPARE(modeOf(QFileInfo(path).absolutePath()), 0700);
        }
    }

    // Folders made are private; one that was there keeps its mode (it may be shared on purpose).
    void makeFolderTouchesOnlyWhatItMakes()
    {
        QTemporaryDir home;
        const QDir root(home.path());
        QVERIFY(root.mkdir(QStringLiteral("shared")));
        QVERIFY(
            ::chmod(QFile::encodeName(root.filePath(QStringLiteral("shared"))).constData(), 0755)
            == 0);
        QVERIFY(privatefiles::makeFolder(root.filePath(QStringLiteral("shared/x/y"))));
        QCOMPARE(modeOf(root.filePath(QStringLiteral("shared"))), 0755);
        QCOMPARE(modeOf(root.filePath(QStringLiteral("shared/x"))), 0700);
        QCOMPARE(modeOf(root.filePath(QStringLiteral("shared/x/y"))), 0700);
        QVERIFY(privatefiles::makeFolder(root.filePath(QStringLiteral("shared/x/y"))));
    }

    void failuresAreReported()
    {
        QTemporaryDir home;
        const QDir root(home.path());
        QFile blocker(root.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // A file where a folder should be.
        QVERIFY(!privatefiles::makeFolder(root.filePath(QStringLiteral("file"))));
        QVERIFY(!privatefiles::makeFile(root.filePath(QStringLiteral("file/db.sqlite"))));
        // Tightening what is not there is no failure.
        QVERIFY(privatefiles::tighten(root.filePath(QStringLiteral("missing"))));
    }

private:
    mode_t m_umask = 022;
};

TOLVO_TEST_MAIN(PrivateFilesTest)
#include "PrivateFilesTest.moc"
