#pragma once

#include "components/Fonts.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QtTest>

namespace tolvo::test {

// The application's own font (Inter, from the project's packages) for the life of the scope,
// so that a test that measures text does not follow whatever font the machine prefers.
class BundledFontScope
{
public:
    BundledFontScope()
        : m_previous(QApplication::font())
    {
        QApplication::setFont(applicationFont());
    }
    ~BundledFontScope() { QApplication::setFont(m_previous); }
    BundledFontScope(const BundledFontScope &) = delete;
    BundledFontScope &operator=(const BundledFontScope &) = delete;

    // Whether the font really is the bundled one (its package may be missing).
    static bool isActive() { return QFontInfo(QApplication::font()).family() == u"Inter"; }

private:
    QFont m_previous;
};

} // namespace tolvo::test
