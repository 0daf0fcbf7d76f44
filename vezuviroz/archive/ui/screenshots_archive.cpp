// Draws the archive window (with statistics) and the saved-work viewer from sample data into the
// folder given, for the documentation.
#include "appfolder.h"
#include "archivef.h"
#include "datamodules.h"
#include "resultfile.h"
#include "savedwork.h"
#include "savedworkf.h"
#include "storeconnection.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPixmap>
#include <QSqlQuery>

namespace {

QVariant insert(StoreConnection* store, const QString& sql, const QVariantMap& params)
{
    store->execute(sql, params);
    QSqlQuery q(store->database());
    q.exec(QStringLiteral("SELECT last_insert_rowid()"));
    q.next();
    return q.value(0);
}

Table sampleQuestions(int topicId)
{
    QList<Column> columns{{"QueID", ColumnType::Int}, {"TopicID", ColumnType::Int}, {"Question", ColumnType::Memo}};
    for (int k = 1; k <= 8; ++k)
        columns.append({QStringLiteral("Ans%1").arg(k), ColumnType::Text, 255});
    for (int k = 1; k <= 8; ++k)
        columns.append({QStringLiteral("Pict%1").arg(k), ColumnType::Binary});
    for (int k = 1; k <= 8; ++k)
        columns.append({QStringLiteral("OK%1").arg(k), ColumnType::Bool});
    columns += {{"Price", ColumnType::Int},
                {"QueType", ColumnType::Int},
                {"MixAnswers", ColumnType::Bool},
                {"LinksCount", ColumnType::Int}};
    for (int k = 1; k <= 8; ++k)
        columns.append({QStringLiteral("Fact%1").arg(k), ColumnType::Bool});
    columns += {{"Rslt", ColumnType::Text, 255}, {"HowMixed", ColumnType::Text, 50}};
    Table t(columns);
    const auto add = [&](int id, int type, const QString& question, const QStringList& answers, const QString& right) {
        t.appendRow({});
        const int row = t.rowCount() - 1;
        t.setValue(row, "QueID", id);
        t.setValue(row, "TopicID", topicId);
        t.setValue(row, "Question", question);
        t.setValue(row, "Price", 1);
        t.setValue(row, "QueType", type);
        for (int k = 1; k <= 8; ++k) {
            t.setValue(row, QStringLiteral("Ans%1").arg(k), answers.value(k - 1));
            t.setValue(row, QStringLiteral("OK%1").arg(k), right.contains(QString::number(k)));
        }
    };
    add(1, 0, "Какие из чисел чётные?", {"2", "3", "4", "7"}, "13");
    add(2, 1, "Столица России?", {"Москва", "москва"}, "");
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    TDM dm(StoreProgram::Vezuviroz);
    TSharedDM shared(&dm);
    StoreConnection* store = dm.ADOConnection();

    const int klass = insert(store, "INSERT INTO Klasses (Klass) VALUES (:k)", {{"k", "9Б"}}).toInt();
    const int topic =
        insert(store, "INSERT INTO Topics (TopicName, ParentID) VALUES (:n, 0)", {{"n", "Арифметика"}}).toInt();
    const QString day = QDateTime(QDate::currentDate(), QTime(0, 0)).toString(Qt::ISODate);
    const QList<std::pair<QString, int>> students{{"Антонова", 12}, {"Борисов", 9},   {"Васильева", 10},
                                                  {"Григорьев", 5}, {"Дмитриева", 7}, {"Егоров", 3}};
    int pc = 1;
    for (const auto& [name, points] : students) {
        const int id =
            insert(store, "INSERT INTO Students (Name, KlassID) VALUES (:n, :k)", {{"n", name}, {"k", klass}}).toInt();
        insert(store,
               "INSERT INTO Results (Date, StudentID, TopicID, PcName, RightsPercent, Points, TimeRemain, RoutChecked) "
               "VALUES (:d, :s, :t, :pc, :rp, :p, 120, '1=13\r\n2=Москва\r\n')",
               {{"d", day},
                {"s", id},
                {"t", topic},
                {"pc", QStringLiteral("PC%1").arg(pc++)},
                {"rp", points * 8.1},
                {"p", points}});
    }

    TArchiveF* archive = TArchiveF::ensure(&shared);
    archive->resize(900, 620);
    archive->grab().save(QDir(out).filePath("archive.png"));

    ResultWork work;
    work.questions = sampleQuestions(topic);
    work.studentName = "Жуков";
    work.topicId = topic;
    work.maxTime = 20;
    work.timeRemain = 420;
    work.answerList = "1=12\r\n2=Москва\r\n";
    work.criteriaList = "Na12=100\r\nNa11=95\r\nNa10=90\r\nNa9=85\r\nNa8=80\r\nNa7=70\r\nNa6=60\r\nNa5=50\r\n"
                        "Na4=40\r\nNa3=30\r\nNa2=20\r\nNa1=50\r\nMaxPointSystem=12\r\nTakePartialRight=-1\r\n";
    const QString folder = AppFilePath("incoming") + "/";
    QDir().mkpath(folder);
    TSavedWorkF* viewer = TSavedWorkF::OpenResultFile(&shared, WriteResultFile(work, folder));
    if (viewer) {
        viewer->grab().save(QDir(out).filePath("savedwork.png"));
        delete viewer;
    }
    delete archive;
    return 0;
}
