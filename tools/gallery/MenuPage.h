#pragma once

#include <QImage>

class QWidget;

namespace tolvo::galleryPages {

// An empty page in the appearance's background colour.
QWidget *newPage();

// The popup menu and the event list: a page with two buttons that open a short and a long
// (scrolling) menu, and the list beside them.
QWidget *menuPage();
// Opens one of the page's menus from code (for pictures).
void openMenu(QWidget *page, bool scrolling);
// The page with its open menu drawn where it stands.
QImage menuPagePicture(QWidget *page);

} // namespace tolvo::galleryPages
