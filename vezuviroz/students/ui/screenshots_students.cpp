// Draws the student-choice dialog and the students' view settings from sample data into the
// folder given, for the documentation.
#include "choosestudentf.h"
#include "datamodules.h"
#include "dataset.h"
#include "storeconnection.h"
#include "viewsettingsf.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPixmap>
#include <QSqlQuery>

namespace {

int insert(StoreConnection* store, const QString& sql, const QVariantMap& params)
{
    store->execute(sql, params);
    QSqlQuery q(store->database());
    q.exec(QStringLiteral("SELECT last_insert_rowid()"));
    q.next();
    return q.value(0).toInt();
}

} // namespace

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QDir().mkpath(out.path());
    TDM dm(StoreProgram::Vezuviroz);
    StoreConnection* store = dm.ADOConnection();

    const QList<std::pair<QString, QStringList>> klasses{
        {"7А", {"Антонова", "Борисов", "Васильева", "Григорьев"}},
        {"7Б", {"Дмитриева", "Егоров", "Жукова"}},
        {"8А", {"Зайцев", "Ильина"}},
        {"9В", {"Ким", "Лебедев"}},
    };
    int seated = 0;
    for (const auto& [klass, names] : klasses) {
        const int id = insert(store, "INSERT INTO Klasses (Klass) VALUES (:k)", {{"k", klass}});
        for (const QString& name : names) {
            const int student =
                insert(store, "INSERT INTO Students (Name, KlassID) VALUES (:n, :k)", {{"n", name}, {"k", id}});
            if (name == QStringLiteral("Жукова"))
                seated = student;
        }
    }
    insert(store, "INSERT INTO CurrentTesting (PcName, IP, StudentID) VALUES ('PC07', '192.168.0.7', :s)",
           {{"s", seated}});
    insert(store,
           "INSERT INTO VezuvirozSettings (PageScroller_Height, QueFontColor, QueBGColor, AnsFontColor, AnsBGColor, "
           "RightAnsFontColor, QueFontSize, AnsFontSize) VALUES (349, 65535, 14260127, 0, 16768480, 54272, 14, 12)",
           {});
    dm.OpenAllDatasets();

    {
        TChooseStudentF choice(&dm, QStringLiteral("все"));
        choice.resize(560, 400);
        // Two classes chosen with Ctrl; the student at the computer is one of theirs.
        auto* grid = choice.findChild<QTableWidget*>("gridKlasses");
        for (int row : {0, 1})
            grid->selectionModel()->select(grid->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        choice.choice().selectKlasses({0, 1});
        choice.grab().save(out.filePath("studentchoice.png"));
        choice.reject();
    }
    {
        TViewSettingsF view(dm.sqlAppSettings);
        view.adjustSize();
        view.grab().save(out.filePath("viewsettings.png"));
    }
    return 0;
}
