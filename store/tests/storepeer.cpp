// The other program on the same store, for the tests of two processes: opens vs4.mdb in the
// folder of VASTREL_HOME as the editor does and obeys one command per line on its input:
//   add <name>       a Klasses row posted through a dataset; answers "added"
//   count            reconnects and answers the number of Klasses rows
//   hold <ms>        holds a write transaction for that long; answers "locked", then "committed"
//   begin <name>     inserts a row inside a transaction left open; answers "begun"
//   quit             ends normally (closing and, when alone, compacting the store)
#include "datamodules.h"
#include "dataset.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QThread>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    auto say = [](const std::string& s) { std::cout << s << std::endl; };
    try {
        TDM dm(StoreProgram::Scribant);
        TSharedDM shared(&dm);
        Dataset klasses(dm.ADOConnection(), QStringLiteral("klasses"), QStringLiteral("SELECT * FROM Klasses"));
        klasses.open();
        say("ready");
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString command = QString::fromStdString(line).trimmed();
            const QString verb = command.section(u' ', 0, 0);
            const QString arg = command.section(u' ', 1);
            if (verb == QLatin1String("add")) {
                klasses.append();
                klasses.setValue(QStringLiteral("Klass"), arg);
                klasses.post();
                say("added");
            } else if (verb == QLatin1String("count")) {
                dm.Reconnect(false);
                say(std::to_string(klasses.recordCount()));
            } else if (verb == QLatin1String("hold")) {
                QSqlQuery q(dm.ADOConnection()->database());
                q.exec(QStringLiteral("BEGIN IMMEDIATE"));
                q.exec(QStringLiteral("INSERT INTO Klasses (Klass) VALUES ('held')"));
                say("locked");
                QThread::msleep(arg.toULong());
                q.exec(QStringLiteral("COMMIT"));
                say("committed");
            } else if (verb == QLatin1String("begin")) {
                QSqlQuery q(dm.ADOConnection()->database());
                q.exec(QStringLiteral("BEGIN IMMEDIATE"));
                q.prepare(QStringLiteral("INSERT INTO Klasses (Klass) VALUES (?)"));
                q.addBindValue(arg);
                q.exec();
                say("begun");
            } else if (verb == QLatin1String("quit")) {
                break;
            }
        }
    } catch (const std::exception& e) {
        say(std::string("error ") + e.what());
        return 1;
    }
    return 0;
}
