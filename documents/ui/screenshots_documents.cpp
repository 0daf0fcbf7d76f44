// Draws the two export dialogs from sample data into the folder given, for the documentation.
#include "appfolder.h"
#include "datamodules.h"
#include "documentfiles.h"
#include "exportoptionsf.h"
#include "exportresultsf.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QLocale>

int main(int argc, char** argv)
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    TDM dm(StoreProgram::Vezuviroz);
    Dataset& settings = *dm.sqlAppSettings;
    StoreExportPath(settings, QStringLiteral("/home/учитель/Документы/Отчёты/"));

    TExportResultsF results(ResultsFormat::Sheet, {},
                            {.date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat),
                             .topic = QStringLiteral("Арифметика"),
                             .klass = QStringLiteral("9Б"),
                             .student = QString()},
                            settings);
    results.lstFields->item(1)->setCheckState(Qt::Unchecked); // "ПК"
    results.lstFields->setCurrentRow(3);
    results.adjustSize();
    results.grab().save(QDir(out).filePath("exportresults.png"));

    TExportOptionsF options(QStringLiteral("Арифметика: дроби"), {}, settings);
    options.cbRights->setChecked(true);
    options.cbPictures->setChecked(true);
    options.adjustSize();
    options.grab().save(QDir(out).filePath("exportoptions.png"));
    return 0;
}
