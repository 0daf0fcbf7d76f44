#pragma once

// The texts of the topic tree, question files and imports that more than one file uses.
namespace TopicsText {

inline constexpr char HoldingTopic[] = "Вопросы без темы";
inline constexpr char WholeTopicPrefix[] = "Вся тема: ";
inline constexpr char HoldingNotRenamed[] = "Эту тему переименовывать нельзя!";
inline constexpr char HoldingNotDragged[] = "\"%S\" нельзя перемещать и копировать.";
inline constexpr char LoadFromFile[] = "Загрузить из файла...";
inline constexpr char LoadFromFileHint[] = "Загрузить из файла...|Загрузить список вопросов из файла...";
inline constexpr char LoadFromFileShortcut[] = "Ctrl+O";
inline constexpr char WorkFolder[] = "Temp";

inline constexpr char SaveFilter[] = "Файлы вопросов Vastrel (*.vst4;*.vst)|*.vst4;*.vst|All files (*.*)|*.*";
inline constexpr char LoadFilter[] = "Файлы вопросов Vastrel (*.vst4;*.vst)|*.vst4;*.vst|Все файлы (*.*)|*.*";
inline constexpr char QuestionFileExtension[] = "vst4";
inline constexpr char FileExists[] = "Файл \"%S\" уже существует. Заменить его?";

inline constexpr char TestWFilter[] = "Файлы вопросов Test-W (*.tst)|*.tst|Все файлы (*.*)|*.*";
inline constexpr char Assistant2Filter[] = "Файлы вопросов Ассистент-2 (*.qst)|*.qst|Все файлы (*.*)|*.*";
inline constexpr char MyTestFilter[] = "Файлы вопросов MyTest (*.txt)|*.txt|Все файлы (*.*)|*.*";
inline constexpr char TopicExists[] =
    "Тема \"%S\" уже существует.\rПереименуйте существующую тему или загрузите новую в другой уровень.";

// Messages of our own for input the formats do not allow (Qt's %1.. placeholders).
inline constexpr char BadPicture[] = "Файл \"%1\" не является рисунком: %2";
inline constexpr char NotABitmap[] = "это не точечный рисунок Windows (BMP)";
inline constexpr char EmptyPictureFile[] = "файл пуст";
inline constexpr char PictureTooLarge[] = "слишком большой размер рисунка (%1 x %2)";
inline constexpr char PictureFileTooLarge[] = "слишком большой файл";
inline constexpr char UnsupportedJpegColours[] = "неподдерживаемая цветовая модель JPEG";
inline constexpr char CannotReadFile[] = "Не удаётся прочитать файл \"%1\": %2";
inline constexpr char ImportFileTooLarge[] = "Файл \"%1\" слишком велик для файла вопросов (%2 байт).";
inline constexpr char ImportNoTitle[] = "В файле \"%1\" нет строки Title= с названием темы.";
inline constexpr char ImportNoTopicName[] = "В файле \"%1\" нет названия темы в первой строке.";
inline constexpr char ImportNoQuestions[] = "В файле \"%1\" не найдено ни одного вопроса.";
inline constexpr char NoTopFile[] = "В файле \"%1\" нет списка вопросов.";

} // namespace TopicsText
