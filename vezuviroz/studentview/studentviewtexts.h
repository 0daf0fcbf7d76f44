#pragma once

#include <QString>

// The texts of the student view.
namespace StudentViewTexts {
inline const QString NoData = QStringLiteral("Нет данных для просмотра");
inline const QString QuestionNumber = QStringLiteral("Вопрос %1 из %2");
inline const QString Correctness = QStringLiteral("Правильность вопроса: %1%");
inline const QString CorrectnessNotCounted =
    QStringLiteral("Правильность вопроса: %1%. Согласно настройкам, засчитано 0%.");
inline const QString PriceCaption = QStringLiteral("Цена вопроса:");
inline const QString PriceShare = QStringLiteral("(%1%)");
inline const QString RightAnswerCaption = QStringLiteral("Правильный ответ:");
inline const QString VariantsCaption = QStringLiteral("Возможные варианты:");
inline const QString TimeCaption = QStringLiteral("Оставшееся время");
inline const QString Minutes = QStringLiteral("%1 мин.");
inline const QString PreviousQuestion = QStringLiteral("Предыдущий вопрос");
inline const QString NextQuestion = QStringLiteral("Следующий вопрос");
// An open answer that the student left empty travels as this text.
inline const QString EmptyOpenAnswer = QStringLiteral("***");
} // namespace StudentViewTexts
