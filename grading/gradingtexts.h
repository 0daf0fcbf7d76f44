#pragma once

#include <QString>

// Texts of the grading module that more than one file shows.
namespace GradingTexts {
inline const QString Pass = QStringLiteral("Зачёт");
inline const QString Fail = QStringLiteral("Незачёт");
inline const QString CriteriaCaption = QStringLiteral("Критерии оценки");
inline const QString MarkHeading = QStringLiteral("Балл");
inline const QString MinPercentHeading = QStringLiteral("Мин. %");
inline const QString Close = QStringLiteral("Закрыть");
// Shown by the criteria window for a MaxPointSystem it does not know; %1 is the value as written.
inline const QString UnknownScale = QStringLiteral("Неизвестная система оценивания: %1");
} // namespace GradingTexts
