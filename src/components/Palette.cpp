#include "components/Palette.h"

#include <QString>
#include <QTextBoundaryFinder>

namespace tolvo {

namespace {

bool isKept(char32_t codePoint)
{
    return QChar::isLetterOrNumber(codePoint) || QChar::isMark(codePoint);
}

// Trims by code point, so that a surrogate pair is kept or dropped whole.
QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end) {
        const bool pair = begin + 1 < end && QChar::isHighSurrogate(text[begin].unicode())
            && QChar::isLowSurrogate(text[begin + 1].unicode());
        const char32_t cp = pair ? QChar::surrogateToUcs4(text[begin], text[begin + 1])
                                 : char32_t(text[begin].unicode());
        if (isKept(cp))
            break;
        begin += pair ? 2 : 1;
    }
    while (end > begin) {
        const bool pair = end - 2 >= begin && QChar::isLowSurrogate(text[end - 1].unicode())
            && QChar::isHighSurrogate(text[end - 2].unicode());
        const char32_t cp = pair ? QChar::surrogateToUcs4(text[end - 2], text[end - 1])
                                 : char32_t(text[end - 1].unicode());
        if (isKept(cp))
            break;
        end -= pair ? 2 : 1;
    }
    return text.mid(begin, end - begin);
}

// User-perceived characters, the way a person counts the digits they typed.
qsizetype characterCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    const QString copy = text.toString();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, copy);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads leading hex digits after an optional 0x; stops at the first other character.
quint64 leadingHex(QStringView text)
{
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')
        && hexDigit(text[2]) >= 0)
        text = text.mid(2);
    quint64 value = 0;
    for (QChar c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = (value << 4) | quint64(digit);
    }
    return value;
}

} // namespace

QColor colorFromHex(QStringView text)
{
    const QStringView digits = trimmed(text);
    const quint64 value = leadingHex(digits);
    int a = 0, r = 0, g = 0, b = 0;
    switch (characterCount(digits)) {
    case 3:
        a = 255;
        r = int((value >> 8) & 0xF) * 17;
        g = int((value >> 4) & 0xF) * 17;
        b = int(value & 0xF) * 17;
        break;
    case 6:
        a = 255;
        r = int((value >> 16) & 0xFF);
        g = int((value >> 8) & 0xFF);
        b = int(value & 0xFF);
        break;
    case 8:
        a = int((value >> 24) & 0xFF);
        r = int((value >> 16) & 0xFF);
        g = int((value >> 8) & 0xFF);
        b = int(value & 0xFF);
        break;
    default: a = 1, r = 1, g = 1, b = 0; break;
    }
    return QColor(r, g, b, a);
}

namespace palette {
QColor backgroundDark()
{
    return QColor(48, 58, 72);
}
QColor accentBlue()
{
    return QColor(55, 155, 255);
}
QColor textDark()
{
    return QColor(48, 48, 48);
}
QColor textGray()
{
    return QColor(163, 176, 187);
}
QColor backgroundLight()
{
    return QColor(238, 239, 242);
}
QColor primaryBlue()
{
    return colorFromHex(u"#3066BE");
}
} // namespace palette

} // namespace tolvo
