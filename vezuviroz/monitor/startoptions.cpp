#include "startoptions.h"

namespace {

const QString TopicOption = QStringLiteral("--topic");
const QString RequestsOption = QStringLiteral("--allow-requests");
constexpr char Usage[] = "Vezuviroz [файл результата] | [--topic НОМЕР|НАЗВАНИЕ [--allow-requests]]";

StartOptions refused(const QString& why)
{
    StartOptions o;
    o.error = why + QStringLiteral("\n") + QString::fromUtf8(Usage);
    return o;
}

} // namespace

StartOptions ParseStartOptions(const QStringList& arguments)
{
    StartOptions o;
    bool topicGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == TopicOption) {
            if (topicGiven)
                return refused(QStringLiteral("Тема задана дважды."));
            if (i + 1 >= arguments.size() || arguments[i + 1].trimmed().isEmpty())
                return refused(QStringLiteral("После --topic нужен номер или название темы."));
            topicGiven = true;
            const QString value = arguments[++i].trimmed();
            bool number = false;
            const int id = value.toInt(&number);
            if (number && id > 0)
                o.topicId = id;
            else if (number)
                return refused(QStringLiteral("Номер темы должен быть больше 0: %1").arg(value));
            else
                o.topicName = value;
        } else if (a == RequestsOption) {
            o.allowRequests = true;
        } else if (a.startsWith(QStringLiteral("--"))) {
            return refused(QStringLiteral("Неизвестный параметр: %1").arg(a));
        } else if (o.resultFile.isEmpty()) {
            o.resultFile = a;
        } else {
            return refused(QStringLiteral("Лишний параметр: %1").arg(a));
        }
    }
    if (o.allowRequests && !topicGiven)
        return refused(QStringLiteral("--allow-requests действует только вместе с --topic."));
    if (topicGiven && !o.resultFile.isEmpty())
        return refused(QStringLiteral("Файл результата и тема не задаются вместе."));
    return o;
}
