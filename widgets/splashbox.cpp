#include "splashbox.h"

#include <QLabel>
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
    setStyleSheet(QStringLiteral("SplashBox { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                                 "stop:0 #2b5797, stop:1 #1e3c6e); } QLabel { color: white; }"));
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}
