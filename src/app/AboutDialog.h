#pragma once

class QMessageBox;
class QWidget;

namespace tolvo {

// "About Tolvo": the icon, the name and version, and what the application is for.
QMessageBox *showAboutDialog(QWidget *parent);

} // namespace tolvo
