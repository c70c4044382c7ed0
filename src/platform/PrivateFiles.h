#pragma once

#include "core/Result.h"

#include <QString>

// What Tolvo keeps (the database, the settings, the local calendar) tells who meets whom and
// when: its files are for their user alone, whatever the umask says.
namespace tolvo::privatefiles {

constexpr unsigned fileMode = 0600;
constexpr unsigned folderMode = 0700;

// Makes the folder and every missing parent, each 0700. Folders that exist stay as they are.
VoidResult makeFolder(const QString &path);

// Makes the file empty and 0600 when it is missing (its folder with makeFolder), and tightens
// it when it exists.
VoidResult makeFile(const QString &path);

// Takes group and other permissions off a file that exists; a missing file is no failure.
VoidResult tighten(const QString &path);

} // namespace tolvo::privatefiles
