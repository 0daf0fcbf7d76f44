#pragma once

#include "testsettings.h"

#include <QString>
#include <array>
#include <functional>

// What the topic settings dialog does, without the dialog: the check boxes and the mark system
// are bound to the topic's Settings row and change it at once (in edit mode); the count, the time
// and the thresholds are editors of their own, stored into the row by ok().
class TopicSettingsEditor
{
public:
    static constexpr int MinQuestionCount = 1;
    static constexpr int MaxQuestionCount = 999;
    static constexpr int MinThreshold = 0;
    static constexpr int MaxThreshold = 200;
    static constexpr int MinMinutes = 0;
    static constexpr int MaxMinutes = 90;
    static constexpr int MinutesTick = 5;
    static constexpr int MarkSystems[] = {100, 12, 5, 1};

    // Makes the topic's row current, creating it from the defaults when it has none.
    TopicSettingsEditor(SettingsRows& rows, int topicId);

    int topicId() const { return m_topicId; }

    // The editors of their own.
    int giveMaxCount = 0;
    int maxTime = 0;
    std::array<int, 12> na{}; // Na12 ... Na1

    // The bound check boxes, by column: RandomOrder, AllowBack, ShowRights, TimeLimit, MixAnswers,
    // ShowPrice, ShowRightCount, ShowRightsInstant, HideDetails, TakePartialRight.
    bool flag(const QString& column) const;
    // Allowing the way back takes away the right answers after each question.
    void setFlag(const QString& column, bool value);
    int maxPointSystem() const;
    void setMaxPointSystem(int system);

    bool showRightsInstantEnabled() const { return !flag(QStringLiteral("AllowBack")); }
    bool timeBarEnabled() const { return flag(QStringLiteral("TimeLimit")); }
    QList<int> visibleThresholds() const { return ThresholdsInUse(maxPointSystem()); }
    static QString timeText(int minutes);

    // "OK": the editors into the row, and the row posted.
    void ok();
    // "Отмена": pending changes of the row are dropped (a row made at opening stays).
    void cancel();
    // "Сделать настройками по умолчанию": stores as ok() and copies the 24 values into the
    // Default row (the window then tells the user SettingsTexts::MadeDefault).
    void makeDefault();
    // "Восстановить настройки по умолчанию": the topic's row is made again from the defaults.
    void restoreDefaults();

private:
    void fillFrom(const TestSettings& s);
    // The change of two rows as one: a failure leaves both as they were.
    void atomically(const std::function<void()>& change);
    void ensureEditing();
    void makeRow();

    SettingsRows& m_rows;
    int m_topicId;
};

namespace SettingsTexts {
inline constexpr char Caption[] = "Настройки темы";
inline constexpr char MadeDefault[] = "Текущие настройки будут применены ко всем новым темам.";
inline constexpr char MinutesFormat[] = "%1 мин.";
} // namespace SettingsTexts
