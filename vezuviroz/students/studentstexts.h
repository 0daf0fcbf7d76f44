#pragma once

#include <QString>

// The texts of the classes, students, student-choice and view-settings windows that their logic
// and their windows share.
namespace StudentsText {

inline const QString KlassesTitle = QStringLiteral("Классы");
inline const QString KlassColumn = QStringLiteral("Класс");
inline const QString StudentsTitle = QStringLiteral("Студенты");
inline const QString NameColumn = QStringLiteral("Фамилия");

inline const QString ChooseKlassFirst = QStringLiteral("Сначала нужно выбрать класс.");
inline const QString CreateKlassFirst = QStringLiteral("Сначала следует создать хотя бы один класс.");
inline const QString NowChooseKlass = QStringLiteral("Теперь выберите нужный класс");
inline const QString ImportFilter = QStringLiteral("Текстовые файлы (*.txt)|*.txt|Все файлы (*.*)|*.*");
inline const QString ImportNotText =
    QStringLiteral("Файл \"%1\" не является текстовым: в строке %2 есть управляющие символы.");
inline const QString ImportLineTooLong =
    QStringLiteral("В файле \"%1\" строка %2 длиннее %3 символов: такую фамилию сохранить нельзя.");
inline const QString ImportTooLarge = QStringLiteral("Файл \"%1\" слишком велик для списка студентов (%2 байт).");
inline const QString ImportUnreadable = QStringLiteral("Файл \"%1\" не удалось прочитать: %2");

inline const QString ChoiceTitle = QStringLiteral("Выбор студента на %1");
inline const QString AllKlassesLabel = QStringLiteral("Все");
inline const QString AllKlassesBox = QStringLiteral("все классы");
inline const QString KlassNamesSeparator = QStringLiteral(", ");
inline const QString MultiKlassHint =
    QStringLiteral("Для выбора нескольких классов удерживать нажатой клавишу \"CTRL\"");

inline const QString ViewTitle = QStringLiteral("Настройка вида Student");
inline const QString QuestionSample = QStringLiteral("Текст вопроса (размер %1)");
inline const QString AnswerSample = QStringLiteral("Текст варианта ответа (размер: %1)");
inline const QString RightAnswerSample = QStringLiteral("Правильный вариант ответа");
inline const QString QuestionSizeLabel = QStringLiteral("Размер шрифта вопроса: %1");
inline const QString AnswerSizeLabel = QStringLiteral("Размер шрифта варианта ответа: %1");

} // namespace StudentsText
