#include "splashbox.h"

#include "widgetlook.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

SplashBox::SplashBox(const QString& name, const QString& role, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("splashBox"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* title = new QLabel(name, this);
    title->setObjectName(QStringLiteral("splashName"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2.4);
    big.setBold(true);
    title->setFont(big);
    auto* subtitle = new QLabel(role, this);
    subtitle->setObjectName(QStringLiteral("splashRole"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 30, 40, 30);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(subtitle, 0, Qt::AlignHCenter);
    // No style sheet: the splash is the first thing drawn.
    SetColours(this, {{QPalette::WindowText, Qt::white}});
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashBox::paintEvent(QPaintEvent*)
{
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, QColor(0x2b, 0x57, 0x97));
    gradient.setColorAt(1, QColor(0x1e, 0x3c, 0x6e));
    QPainter(this).fillRect(rect(), gradient);
}
