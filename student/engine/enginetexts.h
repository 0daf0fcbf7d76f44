#pragma once

#include <QString>

// The texts the test engine shows, logs or puts into captions.
namespace EngineText {
inline const QString QuestionOf = QStringLiteral("Вопрос %1 из %2");
inline const QString TitleQuestionOf = QStringLiteral("[Вопрос %1 из %2]");
inline const QString Minutes = QStringLiteral("%1 мин.");
inline const QString Seconds = QStringLiteral("%1 сек.");
inline const QString OneMinuteTitle = QStringLiteral("Осталось меньше 1 минуты!");
inline const QString OneMinuteText =
    QStringLiteral("Через 1 минуту работа будет остановлена и нерешённые вопросы будут засчитаны, как неправильные.");
inline const QString TimeUpTitle = QStringLiteral("Время истекло!");
inline const QString TimeUpText =
    QStringLiteral("Работа остановлена. Нерешённые вопросы будут засчитаны, как неправильные.");
inline const QString MarkTitle = QStringLiteral("Ваша оценка");
// %1 mark text, %2 percentage, %3 CR CR. The quote is left open, as the students have always seen it.
inline const QString MarkWithRights =
    QStringLiteral("Ваша оценка \"%1 (%2%)%3Теперь можно просмотреть правильные (подчёркнутые) варианты ответов.");
inline const QString MarkPlain = QStringLiteral("Ваша оценка \"%1\" (%2%)");
inline const QString NetworkFailure = QStringLiteral("Сбой сети. Нажмите кнопку ещё раз, пожалуйста.");
inline const QString SetNotTaken = QStringLiteral("Не удалось принять вопросы. Сообщите преподавателю.");
inline const QString NotAQuestionFile = QStringLiteral("Файл \"%1\" не является файлом вопросов.");
inline const QString EmptySet = QStringLiteral("В наборе вопросов нет ни одного вопроса.");
inline const QString NoSetMember = QStringLiteral("В пакете вопросов нет файла QuestionList.ADTG.");
inline const QString RepeatedQuestion = QStringLiteral("Вопрос %1 встречается в наборе вопросов дважды.");
inline const QString NoWorkingField = QStringLiteral("В наборе вопросов нет рабочего поля %1.");
inline const QString NoTopicSettings = QStringLiteral("В файле вопросов нет настроек темы \"%1\".");
inline const QString SettingsRefusedLog = QStringLiteral("SettingsList refused: %1");
inline const QString SetAfterRefusedSettingsLog =
    QStringLiteral("QuestionList refused: its settings list was not taken in.");
inline const QString SetReceivedLog = QStringLiteral("QuestionList received. No errors.");
inline const QString PackageName = QStringLiteral("QuestionList.cmpr");
inline const QString SetMemberName = QStringLiteral("QuestionList.ADTG");
inline const QString EmptyOpenAnswer = QStringLiteral("***");
} // namespace EngineText
