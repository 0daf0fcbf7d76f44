#include "serverbank.h"

#include "dataset.h"
#include "sqltexts.h"

namespace {

QString sql(const char* text)
{
    return QString::fromUtf8(text);
}

void startQuestion(Dataset& q, const QString& text, int queType, int price)
{
    q.open();
    q.append();
    q.setValue(QStringLiteral("Question"), text);
    q.setValue(QStringLiteral("QueType"), queType);
    q.setValue(QStringLiteral("Price"), price);
    q.setValue(QStringLiteral("LinksCount"), 1);
}

} // namespace

ServerBank::ServerBank() : dm(StoreProgram::Vezuviroz), shared(&dm), topics(&shared)
{
    topics.PrepareStore();
    dm.OpenAllDatasets();
}

int ServerBank::addTopic(const QString& name, int parentId)
{
    Dataset t(connection(), QStringLiteral("t"), sql(Sql::AllTopics));
    t.open();
    t.append();
    t.setValue(QStringLiteral("TopicName"), name);
    t.setValue(QStringLiteral("ParentID"), parentId);
    t.post();
    return t.value(QStringLiteral("TopicID")).toInt();
}

int ServerBank::addChoice(int topicId, const QString& text, int right, int price, const QByteArray& picture)
{
    Dataset q(connection(), QStringLiteral("q"), sql(Sql::AllQuestions) + QStringLiteral(" WHERE FALSE"));
    startQuestion(q, text, 0, price);
    for (int n = 1; n <= 3; ++n) {
        q.setValue(QStringLiteral("Ans%1").arg(n), QStringLiteral("%1 / %2").arg(text).arg(n));
        q.setValue(QStringLiteral("OK%1").arg(n), n == right);
    }
    if (!picture.isEmpty())
        q.setValue(QStringLiteral("QuePict"), picture);
    q.post();
    const int id = q.value(QStringLiteral("QueID")).toInt();
    listQuestions(topicId, {id});
    return id;
}

int ServerBank::addOrdering(int topicId, const QString& text, const QString& howMixed, int price)
{
    Dataset q(connection(), QStringLiteral("q"), sql(Sql::AllQuestions) + QStringLiteral(" WHERE FALSE"));
    startQuestion(q, text, 2, price);
    q.setValue(QStringLiteral("HowMixed"), howMixed);
    for (int n = 1; n <= 4; ++n)
        q.setValue(QStringLiteral("Ans%1").arg(n), QStringLiteral("%1 / %2").arg(text).arg(n));
    q.post();
    const int id = q.value(QStringLiteral("QueID")).toInt();
    listQuestions(topicId, {id});
    return id;
}

int ServerBank::addMatching(int topicId, const QString& text, const QStringList& left, const QStringList& right,
                            const QString& howMixed)
{
    Dataset q(connection(), QStringLiteral("q"), sql(Sql::AllQuestions) + QStringLiteral(" WHERE FALSE"));
    startQuestion(q, text, 3, 1);
    q.setValue(QStringLiteral("HowMixed"), howMixed);
    for (int n = 0; n < 4; ++n) {
        q.setValue(QStringLiteral("Ans%1").arg(n + 1), left.value(n));
        q.setValue(QStringLiteral("Ans%1").arg(n + 5), right.value(n));
    }
    q.post();
    const int id = q.value(QStringLiteral("QueID")).toInt();
    listQuestions(topicId, {id});
    return id;
}

void ServerBank::listQuestions(int topicId, const QList<int>& queIds)
{
    Dataset t(connection(), QStringLiteral("t"), sql(Sql::AllTopics));
    t.open();
    if (!t.locate(QStringLiteral("TopicID"), topicId))
        return;
    QStringList ids = TopicStore::QueIdLines(t.value(QStringLiteral("QueIDs")).toString());
    for (int id : queIds)
        ids.append(QString::number(id));
    t.edit();
    t.setValue(QStringLiteral("QueIDs"), TopicStore::QueIdText(ids));
    t.post();
}

int ServerBank::addStudent(const QString& name)
{
    Dataset s(connection(), QStringLiteral("s"), sql(Sql::AllStudentsByName));
    s.open();
    s.append();
    s.setValue(QStringLiteral("Name"), name);
    s.setValue(QStringLiteral("KlassID"), 1);
    s.post();
    return s.value(QStringLiteral("StudentID")).toInt();
}

void ServerBank::setSettings(int topicId, const std::function<void(TestSettings&)>& change)
{
    SettingsRows& rows = shared.settings();
    rows.EnsureSettingsRow(topicId);
    rows.locateTopic(topicId);
    TestSettings s = rows.ReadSettingsRow();
    change(s);
    rows.WriteSettingsRow(s);
}

QVariant ServerBank::firstValue(const QString& text, const QString& column)
{
    Dataset d(connection(), QStringLiteral("v"), text);
    d.open();
    return d.isEmpty() ? QVariant() : d.value(column);
}

QByteArray SamplePicture(int bytes, int seed)
{
    QByteArray b("BM");
    b.resize(bytes);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (int i = 2; i < bytes; ++i) {
        // a picture compresses somewhat, never to nothing
        x = x * 1103515245u + 12345u;
        b[i] = char((i % 7 == 0) ? (x >> 24) : (i / 64));
    }
    return b;
}
