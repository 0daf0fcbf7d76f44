#pragma once

#include <QString>

// The texts of the student's connection side: captions, prompts, messages, notices and log lines.
namespace LinkText {
inline const QString PortsLog = QStringLiteral("UDP port is %1. TCP port is %2");
inline const QString ConnectingLog = QStringLiteral("Connecting %1 ...");
inline const QString ConnectedLog = QStringLiteral("Connected");
inline const QString DisconnectedLog = QStringLiteral("Disconnected");
inline const QString WriteLog = QStringLiteral("OnWrite...");
inline const QString AdvertisementLog = QStringLiteral("Advertisement: %1 %2 \"%3\"");
inline const QString ServerOptionLog = QStringLiteral("Server address from the command line: %1");
inline const QString BadServerOptionLog = QStringLiteral("Server address from the command line refused: %1");
inline const QString UndeliveredLog = QStringLiteral("FinishReport not confirmed: the work is saved to a file.");
inline const QString ClosedInTestLog =
    QStringLiteral("Closed during a test no server holds: the work is saved to a file.");

inline const QString Searching = QStringLiteral("Поиск сервера...");
inline const QString SearchHint = QStringLiteral("Щелкните здесь для выбора вариантов...");
inline const QString ConnectingTo = QStringLiteral("Соединение с адресом %1 ...");
inline const QString ModeChoice = QStringLiteral("Выбор режима работы ");
inline const QString ModeAutomatic = QStringLiteral("Автоматический поиск сервера");
inline const QString ModeManual = QStringLiteral("Назначить адрес сервера вручную");
inline const QString ModeSaved = QStringLiteral("Назначить сохранённый IP");
inline const QString ModeAutonomous = QStringLiteral("Автономная работа");
inline const QString AddressTitle = QStringLiteral("Назначение сервера");
inline const QString AddressPrompt = QStringLiteral("Введите IP-адрес сервера:");
inline const QString BadAddress = QStringLiteral("Некорректный IP-адрес: %1");
inline const QString NoSavedAddress = QStringLiteral("Сохранённый IP-адрес сервера не найден");
inline const QString QuestionFileFilter =
    QStringLiteral("Файлы вопросов Vastrel (*.vst4;*.vst)|*.vst4;*.vst|Все файлы (*.*)|*.*");

inline const QString OrPressButton = QStringLiteral("или нажмите кнопку");
inline const QString GetQuestions = QStringLiteral("Получить вопросы");
inline const QString TopicOffered = QStringLiteral("Доступна тема: \"%1\"");
inline const QString WaitForQuestions = QStringLiteral("Ожидайте вопросы...");
inline const QString ReceivingQuestions = QStringLiteral("Приём вопросов...");
inline const QString WaitCalmly = QStringLiteral("Ну тебе же сказано: \"ЖДИ СПОКОЙНО!!!\"");
inline const QString DoNotClose = QStringLiteral("Не нужно закрывать программу!");

inline const QString RestoredTitle = QStringLiteral("Соединение восстановлено!");
inline const QString RestoredText = QStringLiteral("Соединение с сервером восстановлено.");
inline const QString LostTitle = QStringLiteral("Соединение потеряно!");
inline const QString LostText =
    QStringLiteral("Соединение с сервером потеряно.\rСообщите преподавателю!\rЕсли до окончания тестирования связь "
                   "не восстановится, работа будет сохранена в файл.");
inline const QString FinalMarkTitle = QStringLiteral("Окончательная оценка");
inline const QString FinalMarkText = QStringLiteral("Окончательная оценка: \"%1\"%2");
inline const QString SavedTitle = QStringLiteral("Работа сохранена в файл");
inline const QString SavedText =
    QStringLiteral("Сервер не подтвердил приём работы.\rРабота сохранена в файл:\r%1\rСообщите преподавателю!");

// The network module could not be loaded: the program works only from question files.
inline const QString NetworkNotLoaded =
    QStringLiteral("Сетевая часть программы не загружена: сервер не будет найден.\rСообщите преподавателю!");
inline const QString NetworkNotLoadedLog = QStringLiteral("Network module not loaded: %1");

inline const QString ServerIpFile = QStringLiteral("ServerIP");
inline const QString TempFolder = QStringLiteral("Temp");
inline const QString SavedWorksFolder = QStringLiteral("SavedWorks");
} // namespace LinkText
