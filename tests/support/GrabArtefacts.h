#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

namespace tolvo::test {

// Writes a widget's picture to "grabs/<name>.png" beside the test executable, for a person to
// look at. Nothing compares it.
inline QString saveGrab(QWidget &widget, const QString &name)
{
    QDir folder(QCoreApplication::applicationDirPath());
    folder.mkpath(QStringLiteral("grabs"));
    const QString path = folder.filePath(QStringLiteral("grabs/%1.png").arg(name));
    widget.grab().save(path);
    return path;
}

} // namespace tolvo::test
