#include "Unprivileged.h"

#include <QDirIterator>
#include <QFile>

#include <unistd.h>

namespace tolvo::test {

namespace {
constexpr uid_t nobody = 65534;

void handOver(const QString &path)
{
    if (::chown(QFile::encodeName(path).constData(), nobody, gid_t(-1)) != 0)
        qFatal("%s cannot be handed to nobody", qUtf8Printable(path));
}
} // namespace

Unprivileged::Unprivileged(const QString &folder)
{
    if (::geteuid() != 0)
        return;
    handOver(folder);
    QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (entries.hasNext())
        handOver(entries.next());
    if (::seteuid(nobody) != 0)
        qFatal("cannot act as nobody");
    m_dropped = true;
}

Unprivileged::~Unprivileged()
{
    if (m_dropped && ::seteuid(0) != 0)
        qFatal("cannot act as root again");
}

} // namespace tolvo::test
