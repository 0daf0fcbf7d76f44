#pragma once

#include <QMainWindow>

// The main window of Vezuviroz, the teacher's program and testing server.
class TVezuvirozF : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* BaseCaption = "Vastrel Vezuviroz " VASTREL_VERSION;

    explicit TVezuvirozF(QWidget* parent = nullptr);
};
