#include "apperror.h"
#include "appfolder.h"
#include "archivef.h"
#include "archivefixture.h"
#include "archivegrid.h"
#include "archivequery.h"
#include "documentfiles.h"
#include "exportresultsf.h"
#include "filedialogrecorder.h"
#include "gradingfixture.h"
#include "messagerecorder.h"
#include "odtreader.h"
#include "resultfile.h"
#include "savedwork.h"
#include "savedworkf.h"
#include "shellrecorder.h"
#include "studentsearchf.h"
#include "xlsxreader.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

namespace {

QString today(const QTime& time = QTime(0, 0))
{
    return QDateTime(QDate::currentDate(), time).toString(Qt::ISODate);
}

} // namespace

class ArchiveWindowTest : public ArchiveFixture
{
protected:
    TSharedDM shared{&dm};
    int klass7a = addKlass("7А");
    int klass7b = addKlass("7Б");
    int topic = addTopic("Алгебра");

    void TearDown() override
    {
        delete TArchiveF::instance();
        delete TSavedWorkF::instance();
        TSavedWorkF::setStudentSearch({});
    }
    QString label(QWidget* w, const char* name) { return w->findChild<QLabel*>(name)->text(); }
    QString writeWork(const QString& answers, const QDateTime& savedAt)
    {
        ResultWork w;
        w.questions = fixture::questionTable();
        fixture::addQuestion(w.questions, {.id = 1, .type = 0, .answers = {"да", "нет"}, .correct = "1"});
        fixture::addQuestion(w.questions, {.id = 2, .type = 1, .answers = {"Москва"}});
        w.studentName = "Сидоров";
        w.topicId = topic;
        w.answerList = answers;
        w.criteriaList = fixture::criteria(12, true, {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 5, 0});
        const QString folder = AppFilePath("incoming") + "/";
        QDir().mkpath(folder);
        return WriteResultFile(w, folder, savedAt);
    }
};

TEST_F(ArchiveWindowTest, StartsOnTodaysResultsWithStatisticsAndExistsOnce)
{
    addResult({.studentId = addStudent("Иванов", klass7a), .topicId = topic, .date = today(), .points = 12});
    addResult({.studentId = addStudent("Петров", klass7b), .topicId = topic, .date = today(QTime(9, 30)), .points = 5});
    addResult(
        {.studentId = addStudent("Старый", klass7a), .topicId = topic, .date = "2020-01-01T00:00:00", .points = 1});
    TArchiveF* w = TArchiveF::ensure(&shared);
    EXPECT_EQ(TArchiveF::ensure(&shared), w);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->windowTitle(), "Архив сохранённых результатов");
    EXPECT_TRUE(w->findChild<QCheckBox*>()->parentWidget()->findChildren<QCheckBox*>()[2]->isChecked()); // "по дате"
    auto* grid = w->findChild<ArchiveGrid*>("DBGrid1");
    EXPECT_EQ(grid->model()->rowCount(), 2);
    EXPECT_EQ(label(w, "stat0"), "2");
    EXPECT_EQ(label(w, "stat1"), "8,5");
    EXPECT_TRUE(w->findChild<QLabel*>("stat6")->isHidden()); // no pass/fail rows

    // Choosing a class ticks its box and filters.
    auto* klasses = w->findChildren<QComboBox*>()[0];
    klasses->setCurrentIndex(1);
    Q_EMIT klasses->activated(1);
    EXPECT_TRUE(w->findChildren<QCheckBox*>()[0]->isChecked());
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(grid->model()->index(0, 3).data().toString(), "Петров");

    // Titles sort.
    w->findChildren<QCheckBox*>()[0]->setChecked(false);
    grid->horizontalHeader()->sectionClicked(4);
    EXPECT_EQ(grid->model()->index(0, 3).data().toString(), "Петров");
    grid->horizontalHeader()->sectionClicked(4);
    EXPECT_EQ(grid->model()->index(0, 3).data().toString(), "Иванов");

    // Deleting the current row after asking.
    grid->setCurrentIndex(grid->model()->index(0, 0));
    MessageRecorder yes({MsgResult::Yes});
    w->findChild<QAction*>("btnDelete")->trigger();
    EXPECT_EQ(yes.texts, QStringList{"Удалить запись \"Иванов\" ?"});
    EXPECT_EQ(grid->model()->rowCount(), 1);
    EXPECT_EQ(resultCount(), 2);

    w->close();
    EXPECT_EQ(TArchiveF::instance(), nullptr);
}

TEST_F(ArchiveWindowTest, OpeningAResultFileAndStoringItRereadsTheArchive)
{
    const int student = addStudent("Сидоров", klass7a);
    const QString path = writeWork("1=1\r\n2=***\r\n", QDateTime(QDate::currentDate(), QTime(11, 0)));
    TArchiveF* archive = TArchiveF::ensure(&shared);
    auto* grid = archive->findChild<ArchiveGrid*>("DBGrid1");
    EXPECT_EQ(grid->model()->rowCount(), 0);

    FileDialogRecorder dialogs({path});
    archive->findChild<QAction*>("btnOpenResultFile")->trigger();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_TRUE(dialogs.requests[0].filter.contains("*.rslt4"));
    EXPECT_TRUE(dialogs.requests[0].filter.contains("*.rslt"));
    TSavedWorkF* viewer = TSavedWorkF::instance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(viewer->windowTitle(), "Просмотр сохранённой работы студента Сидоров          [Вопрос 1 из 2]");
    auto* store = viewer->findChild<QPushButton*>("btnStore");
    EXPECT_FALSE(store->isHidden());
    EXPECT_TRUE(viewer->findChild<QLabel*>("lblStored")->isHidden());

    viewer->findChild<QPushButton*>("btnNext")->click();
    EXPECT_EQ(label(viewer, "lblPosition"), "Вопрос 2 из 2");
    EXPECT_FALSE(viewer->findChild<QPushButton*>("btnNext")->isEnabled());
    EXPECT_EQ(viewer->findChild<QLineEdit*>("edTypedAnswer")->text(), ""); // "***"

    QStringList asked;
    TSavedWorkF::setStudentSearch([&](const QString& name) {
        asked.append(name);
        return student;
    });
    viewer->work()->OpenResultFile(path); // the viewer is reused
    store->click();
    EXPECT_EQ(asked, QStringList{"Сидоров"});
    EXPECT_TRUE(store->isHidden());
    EXPECT_FALSE(viewer->findChild<QLabel*>("lblStored")->isHidden());
    EXPECT_EQ(grid->model()->rowCount(), 1); // told to re-read
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), "Автономно");
}

TEST_F(ArchiveWindowTest, ViewerOfAnArchiveRowAndOfAMissingQuestion)
{
    const int student = addStudent("Иванов", klass7a);
    addResult({.studentId = student, .topicId = topic, .date = today(), .points = 3, .rout = "77=1\r\n"});
    addResult({.studentId = student, .topicId = topic, .date = today(), .points = 4});
    TArchiveF* archive = TArchiveF::ensure(&shared);
    auto* grid = archive->findChild<ArchiveGrid*>("DBGrid1");
    grid->setCurrentIndex(grid->model()->index(0, 0));
    archive->btnShowWorkClick();
    TSavedWorkF* viewer = TSavedWorkF::instance();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(label(viewer, "lblQuestion"), "Вопрос не найден в базе данных. Возможно, он был удалён.");
    EXPECT_TRUE(viewer->findChild<QPushButton*>("btnStore")->isHidden());

    MessageRecorder messages;
    grid->setCurrentIndex(grid->model()->index(1, 0));
    archive->btnShowWorkClick();
    EXPECT_EQ(messages.texts, QStringList{"Для этой записи нет сохранённой работы."});
}

TEST_F(ArchiveWindowTest, StudentSearchDialogFindsAddsAndRefuses)
{
    const int ivanov = addStudent("Иванов", klass7a);
    addStudent("Ивлев", klass7a);
    {
        TStudentSearchF dialog(store, "иванов");
        EXPECT_EQ(dialog.windowTitle(), "Поиск студента");
        EXPECT_EQ(label(&dialog, "lblChoice"), "(найдено)");
        EXPECT_EQ(label(&dialog, "lblResultName"), "Иванов");
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.studentId(), ivanov);
    }
    TStudentSearchF dialog(store, "Сидоров");
    EXPECT_EQ(label(&dialog, "lblChoice"), "(будет добавлено)");
    EXPECT_EQ(label(&dialog, "lblResultName"), "Сидоров");
    auto* name = dialog.findChild<QLineEdit*>("edName");
    name->setText("Ив");
    EXPECT_EQ(dialog.findChild<QListWidget*>("lstNames")->count(), 2);
    name->setText("Сидоров");
    {
        MessageRecorder messages;
        dialog.accept(); // no class for a new name: the dialog stays
        EXPECT_EQ(messages.texts, QStringList{"Для добавления фамилии надо установить класс"});
        EXPECT_EQ(dialog.studentId(), 0);
    }
    auto* klasses = dialog.findChild<QComboBox*>("cbKlass");
    klasses->setCurrentIndex(1);
    Q_EMIT klasses->activated(1);
    dialog.accept();
    EXPECT_GT(dialog.studentId(), ivanov);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(ArchiveWindowTest, ADamagedResultFileIsRefusedWithItsReasonAndLeavesNoViewer)
{
    const QString path = AppFilePath("broken.rslt4");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a packed archive at all");
    f.close();
    try {
        TSavedWorkF::OpenResultFile(&shared, path);
        ADD_FAILURE() << "no error for a damaged file";
    } catch (const AppError& e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_EQ(TSavedWorkF::instance(), nullptr);
}

TEST_F(ArchiveWindowTest, PrintingToAFileWritesTheReportAsPdf)
{
    addResult({.studentId = addStudent("Иванов", klass7a), .topicId = topic, .date = today(), .points = 12});
    TArchiveF* archive = TArchiveF::ensure(&shared);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString path = AppFilePath("archive.pdf");
    printer.setOutputFileName(path);
    archive->printReport(&printer);
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_TRUE(bytes.contains("/MediaBox [0 0 595"));
}

TEST_F(ArchiveWindowTest, ExportsTheRowsShownWithTheFiltersThatAreOn)
{
    const int ivanov = addStudent("Иванов", klass7a);
    addResult({.studentId = ivanov, .topicId = topic, .date = today(QTime(10, 15)), .points = -2, .percent = 90});
    addResult({.studentId = addStudent("Петров", klass7b), .topicId = topic, .date = today(), .points = 7});
    TArchiveF* w = TArchiveF::ensure(&shared);
    const QString folder = AppFilePath("Отчёты") + "/";
    QDir().mkpath(folder);
    StoreExportPath(*dm.sqlAppSettings, folder);
    auto* students = w->findChildren<QComboBox*>()[1];
    students->setCurrentIndex(students->findText("Иванов"));
    Q_EMIT students->activated(students->currentIndex());
    ASSERT_EQ(w->findChild<ArchiveGrid*>("DBGrid1")->model()->rowCount(), 1);

    QAction* toSheet = w->findChild<QAction*>("btnExprotResultsToExcel");
    EXPECT_EQ(toSheet->text(), "Экспорт результатов в электронную таблицу...");
    EXPECT_TRUE(toSheet->isEnabled());
    toSheet->trigger();
    auto* dialog = w->findChild<TExportResultsF*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Экспорт результатов в электронную таблицу");
    EXPECT_EQ(dialog->lblName->text(), "Иванов");
    EXPECT_EQ(dialog->lblDate->text(), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    ShellRecorder desktop(true);
    dialog->btnStart->click();
    ASSERT_EQ(desktop.targets.size(), 1);
    const XlsxSheet s = ReadXlsxSheet(desktop.targets[0]);
    EXPECT_EQ(s.cells.value("B2").text, "Дата: " + QLocale().toString(QDate::currentDate(), QLocale::ShortFormat) +
                                            "         Студент: Иванов         ");
    EXPECT_EQ(s.cells.value("D5").text, "Иванов");
    EXPECT_EQ(s.cells.value("F5").text, "Зачёт");
    EXPECT_FALSE(s.has("A6"));

    QAction* toText = w->findChild<QAction*>("btnExprotResultsToWord");
    EXPECT_EQ(toText->text(), "Экспорт результатов в текстовый документ...");
    w->findChildren<QCheckBox*>()[1]->setChecked(false); // every student again
    toText->trigger();
    auto* textDialog = w->findChildren<TExportResultsF*>().last();
    EXPECT_EQ(textDialog->lblName->text(), "");
    textDialog->btnStart->click();
    ASSERT_EQ(desktop.targets.size(), 2);
    EXPECT_EQ(ReadOdt(desktop.targets[1]).cells(0).size(), 3); // the header and both rows
}
