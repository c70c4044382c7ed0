#include "MenuPage.h"

#include "components/Appearance.h"
#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/Palette.h"
#include "components/StyledButton.h"
#include "reserve/AppMenu.h"
#include "reserve/CollectionViewController.h"
#include "reserve/MenuWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace tolvo::galleryPages {

namespace {

// The application's menu style, held to a height so a long list scrolls.
class ScrollingMenuConfig : public MenuConfig
{
public:
    std::optional<qreal> maximumHeight() const override { return 220; }
};

QIcon maskSymbol(const char *name)
{
    QIcon icon = symbolIcon(QString::fromLatin1(name), Qt::black, QSize(16, 16));
    icon.setIsMask(true);
    return icon;
}

MenuItem entry(const QString &title, const char *symbol = nullptr, bool enabled = true)
{
    MenuItem item;
    item.title = title;
    if (symbol)
        item.image = maskSymbol(symbol);
    item.isEnabled = enabled;
    item.action = [] {};
    return item;
}

// A row of calendar colours: what a caller's own row looks like.
QWidget *colourRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 8, 0, 8);
    layout->setSpacing(8);
    for (const char *hex : {"#379BFF", "#3066BE", "#E0584C", "#F2B84B", "#5BBF8A"}) {
        auto *dot = new QLabel;
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(colorFromHex(QString::fromLatin1(hex)));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(pixmap.rect());
        painter.end();
        dot->setPixmap(pixmap);
        layout->addWidget(dot);
    }
    return row;
}

QList<MenuItem> shortMenu()
{
    MenuItem custom;
    custom.customView = colourRow;
    return {entry("Edit", "pencil"), entry("Join Google Meet", "video"),
        entry("Show description", "file-text"), MenuItem::separator(),
        entry("Copy to Apple Calendar (no calendar chosen)", "square", false), custom,
        MenuItem::separator(), entry("Delete", "trash-2")};
}

QList<MenuItem> longMenu()
{
    QList<MenuItem> items;
    const char *names[] = {"Work", "Family", "Birthdays", "Holidays in Germany", "Team rota", "Gym",
        "Reading group", "Side project", "Travel", "Conference talks"};
    for (const char *name : names)
        items << entry(QString::fromLatin1(name), "square-check");
    items.insert(4, MenuItem::separator());
    return items;
}

class EventCard : public QWidget
{
public:
    EventCard(QString title, QString time, QColor colour)
        : m_title(std::move(title))
        , m_time(std::move(time))
        , m_colour(std::move(colour))
    {
        setFixedHeight(54);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Appearance::current() == ColorScheme::dark;
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()), 10, 10);
        painter.fillPath(card, dark ? QColor(58, 69, 84) : QColor(Qt::white));
        painter.fillRect(QRectF(0, 10, 4, height() - 20), m_colour);
        painter.setPen(dark ? QColor(Qt::white) : palette::textDark());
        painter.setFont(uiFont(14, QFont::DemiBold));
        const QRect text = rect().adjusted(16, 8, -12, -8);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignTop,
            painter.fontMetrics().elidedText(m_title, Qt::ElideRight, text.width()));
        painter.setPen(palette::textGray());
        painter.setFont(uiFont(12));
        painter.drawText(text, Qt::AlignLeft | Qt::AlignBottom, m_time);
    }

private:
    QString m_title;
    QString m_time;
    QColor m_colour;
};

QList<EventListItem> sampleEvents()
{
    struct Sample
    {
        const char *title;
        const char *time;
        QColor colour;
    };
    const Sample samples[] = {
        {"Stand-up", "09:00 - 09:15", palette::accentBlue()},
        {"Quarterly planning with the design team and everyone who asked to join late",
            "09:30 - 10:15", palette::primaryBlue()},
        {"Lunch with Ana", "12:30 - 13:30", QColor(91, 191, 138)},
        {"Interview: backend engineer", "14:00 - 15:00", QColor(224, 88, 76)},
        {"Review release notes", "16:00 - 16:30", palette::accentBlue()},
        {"Gym", "18:00 - 19:00", QColor(242, 184, 75)},
    };
    QList<EventListItem> items;
    for (const Sample &sample : samples) {
        const QString title = QString::fromUtf8(sample.title);
        const QString time = QString::fromLatin1(sample.time);
        const QColor colour = sample.colour;
        items << EventListItem {QUuid::createUuid(),
            [title, time, colour] { return new EventCard(title, time, colour); }};
    }
    return items;
}

} // namespace

QWidget *newPage()
{
    auto *page = new QWidget;
    page->setAutoFillBackground(true);
    QPalette background = page->palette();
    background.setColor(QPalette::Window,
        DynamicColor {palette::backgroundLight(), palette::backgroundDark()}.resolve());
    page->setPalette(background);
    return page;
}

QWidget *menuPage()
{
    QWidget *page = newPage();
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(24);

    auto *buttons = new QVBoxLayout;
    auto *openShort = new StyledButton(ButtonStyle::blue, QStringLiteral("Event actions"));
    openShort->setFixedSize(240, 35);
    openShort->setObjectName(QStringLiteral("shortMenuButton"));
    auto *openLong = new StyledButton(ButtonStyle::grayed, QStringLiteral("Calendars"));
    openLong->setFixedSize(200, 35);
    openLong->setObjectName(QStringLiteral("longMenuButton"));
    buttons->addWidget(openShort);
    buttons->addSpacing(16);
    buttons->addWidget(openLong);
    buttons->addStretch();
    layout->addLayout(buttons);

    auto *shortMenuObject
        = new AppMenu(shortMenu(), std::make_shared<MenuConfig>(), std::nullopt, page);
    shortMenuObject->setObjectName(QStringLiteral("shortMenu"));
    shortMenuObject->setSelectedId(shortMenuObject->items().at(1).id);
    auto *longMenuObject = new AppMenu(
        longMenu(), std::make_shared<ScrollingMenuConfig>(), QStringLiteral("Calendars"), page);
    longMenuObject->setObjectName(QStringLiteral("longMenu"));
    QObject::connect(openShort, &QAbstractButton::clicked, shortMenuObject,
        [shortMenuObject, openShort] { shortMenuObject->popUp(openShort); });
    QObject::connect(openLong, &QAbstractButton::clicked, longMenuObject,
        [longMenuObject, openLong] { longMenuObject->popUp(openLong); });

    auto *list = new CollectionViewController(sampleEvents());
    list->setFixedSize(360, 420);
    layout->addWidget(list, 0, Qt::AlignTop);
    layout->addStretch();
    return page;
}

void openMenu(QWidget *page, bool scrolling)
{
    auto *menu = page->findChild<AppMenu *>(scrolling ? "longMenu" : "shortMenu");
    auto *button = page->findChild<QWidget *>(scrolling ? "longMenuButton" : "shortMenuButton");
    if (menu && button)
        menu->popUp(button);
}

QImage menuPagePicture(QWidget *page)
{
    QImage image = page->grab().toImage();
    QPainter painter(&image);
    for (AppMenu *menu : page->findChildren<AppMenu *>()) {
        MenuWindow *window = menu->window();
        if (!window)
            continue;
        // The popup is its own window; draw it where it stands over the page.
        QImage popup(window->size(), QImage::Format_ARGB32_Premultiplied);
        popup.fill(Qt::transparent);
        window->setWindowOpacity(1);
        window->render(&popup, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.drawImage(page->mapFromGlobal(window->pos()), popup);
    }
    return image;
}

} // namespace tolvo::galleryPages
