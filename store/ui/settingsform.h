#pragma once

#include "topicsettingseditor.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;
class QWidget;

// "Настройки темы": the test settings of one topic, on the pages "Общие" and "Оценивание".
// Made for one use; everything it does to the row is TopicSettingsEditor's.
class TSettingsF : public QDialog
{
    Q_OBJECT

public:
    TSettingsF(SettingsRows& rows, int topicId, const QString& topicName, QWidget* parent = nullptr);

    // Shows the dialog modally for the topic; the dialog is gone when it returns.
    static int Execute(SettingsRows& rows, int topicId, const QString& topicName, QWidget* parent = nullptr);

    TopicSettingsEditor& editor() { return m_editor; }

private:
    void btnOKClick();
    void btnCancelClick();
    void btnMakeDefaultClick();
    void btnRestoreDefaultClick();
    void loadEditors();
    void takeEditors();
    void showBoundValues();
    void showMarkSystem();
    QCheckBox* boundBox(const char* column, const char* caption, QWidget* parent);

    TopicSettingsEditor m_editor;
    QList<QPair<QString, QCheckBox*>> m_boxes;
    QSpinBox* m_count = nullptr;
    QSlider* m_timeBar = nullptr;
    QLabel* m_timeLabel = nullptr;
    QComboBox* m_system = nullptr;
    std::array<QSpinBox*, 12> m_thresholds{};
    std::array<QWidget*, 12> m_thresholdRows{};
    QLabel* m_percentLine = nullptr;
    bool m_showing = false;
};
