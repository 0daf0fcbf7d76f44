#pragma once

// The texts the testing server shows, logs and asks, exactly as the teacher and the run log see them.
namespace ServerText {

// Status line and hand-out panel.
inline constexpr char Preparing[] = "Подготовка...";
inline constexpr char StudentOf[] = "Студент %1 из %2";
inline constexpr char SendingOnRequest[] = "Отправка по запросу %1";
inline constexpr char Restarting[] = "Перезапуск сервера...";
inline constexpr char NetworkFault[] = "Извините, неожиданный сбой сети!";
inline constexpr char Waiting[] = "Ожидание подключений...";
inline constexpr char ServerReady[] = "Сервер готов к работе.";
inline constexpr char Connected[] = "Подключено: %1 чел.";
inline constexpr char Working[] = "Работают: %1 чел.";

// Window caption and topic messages.
inline constexpr char Caption[] = "Vastrel Vezuviroz " VASTREL_VERSION;
inline constexpr char TopicCaption[] = "%1 - %2 (%3 вопр.)";
inline constexpr char NoQuestionsInTopic[] = "В открытой теме \"%1\" нет вопросов!";
inline constexpr char TopicIdNotFound[] = "Тема № %1 не найдена.";
inline constexpr char TopicNameNotFound[] = "Тема \"%1\" не найдена.";

// Questions to the teacher.
inline constexpr char AcceptPrePoints[] = "Засчитать предварительную оценку \"%1\" студента %2 как окончательную?";
inline constexpr char DropStudent[] = "Удалить студента %1 без сохранения?";
inline constexpr char DropAllStudents[] = "Удалить всех студентов без сохранения?";

// Marks on the pass/fail scale.
inline constexpr char Pass[] = "Зачёт";
inline constexpr char Fail[] = "Незачёт";

// Run log.
inline constexpr char LogConnected[] = "Connected \"%1\". ActiveConnections=%2";
inline constexpr char LogDisconnected[] = "\"%1\" disconnected . ActiveConnections=%2";
inline constexpr char LogQueDataSetStored[] = "QueDataSet is stored. TopicList.Count=%1";
inline constexpr char LogQueDataSetRemoved[] = "QueDataSet is removed from list. TopicList.Count=%1";
inline constexpr char LogServerActive[] = "Server is Active. Advertiser is Active";
inline constexpr char LogRestart[] = "Restart Server!!!";
inline constexpr char LogTableEmpty[] = "sqlCurrentTesting is empty.";
inline constexpr char LogWaiting[] = "Server is Active. It is waiting...";
inline constexpr char LogListen[] = "OnListen...";
inline constexpr char LogAccepted[] = "Accepted";
inline constexpr char LogGetSocket[] = "OnGetSocket...";
inline constexpr char LogClientWrite[] = "OnClientWrite...";
inline constexpr char LogPorts[] = "UDP port is %1. TCP port is %2";
// Lines of this server's own, where a work is kept or an answer refused.
inline constexpr char LogRowKept[] = "\"%1\" keeps its row: the work waits for the computer or for filing";
inline constexpr char LogRowRebound[] = "\"%1\" takes its row back";
inline constexpr char LogWorksKept[] = "sqlCurrentTesting keeps %1 works.";
inline constexpr char LogNotHandedOut[] = "\"%1\": QueID=%2 was not handed out to it; the line is ignored";
inline constexpr char LogListenFailed[] = "Cannot listen on TCP port %1: %2";

} // namespace ServerText
