#pragma once

#include "viewsettings.h"

#include <QDialog>

class QLabel;
class QSlider;

// "Настройка вида Student" over StudentViewSettings: samples of the question, the answers and
// the right answer in their colours and sizes, the colour buttons (the system colour dialog),
// two size sliders, the defaults, OK (stores) and Cancel (stores nothing).
class TViewSettingsF : public QDialog
{
    Q_OBJECT

public:
    explicit TViewSettingsF(Dataset* appSettings, QWidget* parent = nullptr);

    StudentViewSettings& settings() { return m_settings; }
    void accept() override;

private:
    using Setter = void (StudentViewSettings::*)(int);
    QWidget* colourButton(const QString& caption, const char* name, int Appearance::*value, Setter set);
    void showValues();

    StudentViewSettings m_settings;
    QLabel* m_questionSample = nullptr;
    QLabel* m_answerSample = nullptr;
    QLabel* m_rightSample = nullptr;
    QLabel* m_questionSize = nullptr;
    QLabel* m_answerSize = nullptr;
    QSlider* m_questionSlider = nullptr;
    QSlider* m_answerSlider = nullptr;
};
