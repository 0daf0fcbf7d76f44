#pragma once

#include <QWidget>

// Shown from start-up until the main window runs: the program's short name and its role.
class SplashBox : public QWidget
{
    Q_OBJECT
public:
    SplashBox(const QString& name, const QString& role, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent*) override;
};
