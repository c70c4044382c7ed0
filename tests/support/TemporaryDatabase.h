#pragma once

#include "services/AppDatabase.h"
#include "services/DatabaseClient.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

namespace tolvo::test {

// A database of its own in `folder`, for a test whose services keep state there (reminder
// marks, channels) that must not reach the next test function through the process's shared
// test database.
inline DatabaseClient temporaryDatabase(const QTemporaryDir &folder)
{
    auto opened = AppDatabase::open(QDir(folder.path()).filePath(QStringLiteral("db.sqlite")));
    if (!opened)
        qFatal("A test database cannot be opened: %s", qUtf8Printable(opened.error().message));
    return DatabaseClient::over(*opened);
}

} // namespace tolvo::test
