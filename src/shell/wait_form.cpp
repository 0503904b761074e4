#include "wait_form.h"

#include <ui/app_title.h>

#include <QApplication>
#include <QLabel>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {
constexpr int kExposeWaitMs = 3000;
} // namespace

void ShowPainted(QWidget* window)
{
    window->show();
    const QWindow* handle = window->window()->windowHandle();
    // The timer only wakes the pump at the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(kExposeWaitMs);
    while (handle && !handle->isExposed() && wake.isActive())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    window->repaint();
}

Waitfrm::Waitfrm(const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Label2(new QLabel(text, this))
{
    setWindowTitle(kAppTitle);
    auto* image = new QLabel(this);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    image->setAlignment(Qt::AlignCenter);
    Label2->setAlignment(Qt::AlignCenter);
    auto* caption = new QLabel(QStringLiteral("Παρακαλώ περιμένετε"), this);
    caption->setAlignment(Qt::AlignCenter);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(image);
    layout->addWidget(Label2);
    layout->addWidget(caption);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ShowPainted(this);
}
