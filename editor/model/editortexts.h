#pragma once

// The editor's own texts that more than one file uses.
namespace EditorText {

inline constexpr char TopicNotSeen[] = "sqlCurrentTopic не видит тему!";
inline constexpr char Position[] = "Вопрос %D из %D";
inline constexpr char PictureOnlyAnswer[] = "...";
inline constexpr char DeleteQuestion[] =
    "Вопрос может входить и в другие темы.\r\rЧтобы удалить вопрос из ВСЕХ тем, где он содержится, нажмите "
    "\"Yes\".\rЧтобы удалить его только из этой темы, нажмите \"No\".";
inline constexpr char PictureNotStored[] = "Рисунок из буфера обмена не удалось сохранить.";
inline constexpr char DrawingNotRead[] = "Рисунок из буфера обмена не удаётся прочитать.";
inline constexpr char DrawingWithoutSize[] = "У рисунка из буфера обмена не указаны ширина и высота.";
inline constexpr char DrawingTooLarge[] = "Рисунок из буфера обмена слишком велик (%1 x %2).";

} // namespace EditorText

namespace EditorText {

inline constexpr char DeleteTopic[] =
    "Восстановить удалённую тему будет невозможно!\r\rВы действительно хотите удалить тему \"%S\"?";
inline constexpr char HoldingNotDeleted[] = "Эту тему удалять нельзя.";

} // namespace EditorText
