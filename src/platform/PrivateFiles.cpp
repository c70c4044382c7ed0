#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvo::privatefiles {

namespace {
Error ioError(const QString &what, int code)
{
    return Error::make(ErrorDomain::io, code,
        QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(code))));
}
} // namespace

VoidResult makeFolder(const QString &path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // From the nearest folder that exists down, so that each one made is private.
    QStringList missing;
    for (QString at = clean; !QFileInfo(at).exists();) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).absolutePath();
        if (parent == at)
            break;
        at = parent;
    }
    for (const QString &folder : std::as_const(missing)) {
        if (::mkdir(QFile::encodeName(folder).constData(), folderMode) != 0 && errno != EEXIST)
            return failure(
                ioError(QStringLiteral("The folder %1 could not be created").arg(folder), errno));
    }
    if (!QFileInfo(clean).isDir())
        return failure(Error::make(
            ErrorDomain::io, ENOTDIR, QStringLiteral("%1 is not a folder.").arg(clean)));
    return {};
}

VoidResult makeFile(const QString &path)
{
    TRY(makeFolder(QFileInfo(path).absolutePath()));
    const int fd = ::open(
        QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, fileMode);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    if (errno != EEXIST)
        return failure(ioError(QStringLiteral("%1 could not be created").arg(path), errno));
    return tighten(path);
}

VoidResult tighten(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0) {
        if (errno == ENOENT)
            return {};
        return failure(ioError(QStringLiteral("%1 could not be examined").arg(path), errno));
    }
    if ((info.st_mode & 077) == 0)
        return {};
    if (::chmod(name.constData(), info.st_mode & 07700) != 0)
        return failure(ioError(QStringLiteral("%1 could not be made private").arg(path), errno));
    return {};
}

} // namespace tolvo::privatefiles
