#pragma once

#include <QString>

// The archive's own texts, shown by its windows, printed in its report and printed by the tool.
namespace ArchiveText {

inline const QString WindowTitle = QStringLiteral("Архив сохранённых результатов");
inline const QString Zero = QStringLiteral("0");

// Grid column titles, in grid order.
inline const QString DateTitle = QStringLiteral("Дата");
inline const QString PcTitle = QStringLiteral("ПК");
inline const QString KlassTitle = QStringLiteral("Класс");
inline const QString NameTitle = QStringLiteral("Фамилия");
inline const QString PointsTitle = QStringLiteral("Оценка");
inline const QString PercentTitle = QStringLiteral("% правильности");
inline const QString TopicTitle = QStringLiteral("Тема");

// The statistics panel.
inline const QString StatisticsTitle = QStringLiteral("Статистика по текущему фильтру:");
inline const QString RecordsLabel = QStringLiteral("Записей:");
inline const QString AverageLabel = QStringLiteral("Средний балл:");
inline const QString HighLabel = QStringLiteral("Высокий уровень:");
inline const QString SufficientLabel = QStringLiteral("Достаточный уровень:");
inline const QString MediumLabel = QStringLiteral("Средний уровень:");
inline const QString InitialLabel = QStringLiteral("Начальный уровень:");
inline const QString PassLabel = QStringLiteral("Зачёт:");
inline const QString FailLabel = QStringLiteral("Незачёт:");

inline const QString ReportTitle = QStringLiteral("Результаты тестирования");

inline const QString AskDelete = QStringLiteral("Удалить запись \"%1\" ?");

// The saved-work viewer.
inline const QString FileNotFound = QStringLiteral("Файл \"%1\" не найден.");
inline const QString UnknownTopic = QStringLiteral("Неизвестно");
inline const QString NotInBank = QStringLiteral("Вопрос не найден в базе данных. Возможно, он был удалён.");
inline const QString RenameFailed = QStringLiteral("Работа сохранена, но файл \"%1\" не удалось переименовать.");
inline const QString NoStoredWork = QStringLiteral("Для этой записи нет сохранённой работы.");
inline const QString AlreadyStored = QStringLiteral("Работа уже сохранена в общей базе данных");
inline const QString StoreCommand = QStringLiteral("Сохранить в общую базу данных");
inline const QString BankDiffers =
    QStringLiteral("Вопросы в файле отличаются от базы данных; оценка вычислена по базе данных.");
inline const QString StoredTwice = QStringLiteral("Эта работа уже сохранена в общей базе данных.");
inline const QString Autonomous = QStringLiteral("Автономно");
inline const QString ViewerTitle = QStringLiteral("Просмотр сохранённой работы");
inline const QString ViewerCaption = QStringLiteral("%1 студента %2");
inline const QString ViewerWindowTitle = QStringLiteral("%1          [Вопрос %2 из %3]");
inline const QString QuestionOf = QStringLiteral("Вопрос %1 из %2");

} // namespace ArchiveText
