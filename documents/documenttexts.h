#pragma once

#include <QString>

// The texts of the exports: the dialogs, the wait window and the messages.
namespace DocumentText {

inline const QString ResultsTitle = QStringLiteral("Результаты тестирования");
inline const QString ReportFailed = QStringLiteral("Ошибка формирования отчета.\r");
inline const QString EmptyTopic = QStringLiteral("Тема \"%1\" не содержит вопросов.");
inline const QString CreateFolder = QStringLiteral("Каталог назначения не существует. Создать его?");
inline const QString FolderNotCreated = QStringLiteral("Не удалось создать каталог \"%1\".");
inline const QString NotOpened =
    QStringLiteral("Документ сохранён в файле \"%1\", но открыть его не удалось: нет программы для таких файлов.");

// The commands and captions.
inline const QString ResultsToText = QStringLiteral("Экспорт результатов в текстовый документ");
inline const QString ResultsToSheet = QStringLiteral("Экспорт результатов в электронную таблицу");
inline const QString QuestionsToText = QStringLiteral("Экспорт вопросов в текстовый документ");
inline const QString Ellipsis = QStringLiteral("...");

// The dialogs.
inline const QString Folder = QStringLiteral("Каталог назначения:");
inline const QString TickFields = QStringLiteral("Отметьте поля, которые должны быть включены в отчёт:");
inline const QString AppliedFilters = QStringLiteral("Применённые фильтры");
inline const QString ByDate = QStringLiteral("По дате:");
inline const QString ByTopic = QStringLiteral("По теме:");
inline const QString ByKlass = QStringLiteral("По классу:");
inline const QString ByName = QStringLiteral("По фамилии:");
inline const QString Start = QStringLiteral("Начать экспорт");
inline const QString Cancel = QStringLiteral("Отмена");
inline const QString Topic = QStringLiteral("Тема:");
inline const QString ShowRights = QStringLiteral("показывать правильные варианты ответов");
inline const QString ExportPictures = QStringLiteral("экспортировать рисунки");
inline const QString OwnSize = QStringLiteral("использовать оригинальный размер рисунков");
inline const QString Zoom = QStringLiteral("в масштабе относительно оригинала:");

// The question list.
inline const QString QuestionHeading = QStringLiteral("Вопрос %1");
inline const QString Exporting = QStringLiteral("Экспорт вопросов в текстовый документ...");
inline const QString Progress = Exporting + QStringLiteral("\rВопрос %1 из %2");

} // namespace DocumentText
