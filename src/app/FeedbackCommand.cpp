#include "app/FeedbackCommand.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tolvo {

void openFeedbackWindow()
{
    auto *window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QObject::tr("Send Feedback"));
    window->resize(500, 600);
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(new QLabel(QObject::tr("Send Feedback")), 0, Qt::AlignCenter);
    window->show();
}

} // namespace tolvo
