#include "apperror.h"
#include "appfolder.h"
#include "datamodules.h"
#include "dataset.h"
#include "documentfiles.h"
#include "exportoptionsf.h"
#include "exportresultsf.h"
#include "filedialogrecorder.h"
#include "gradingfixture.h"
#include "messagerecorder.h"
#include "odtreader.h"
#include "shellrecorder.h"
#include "waitwindow.h"
#include "xlsxreader.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QList<ResultRecord> sampleRecords()
{
    ResultRecord a;
    a.date = QDateTime(QDate(2026, 12, 10), QTime(0, 0));
    a.dateText = "10.12.2026";
    a.name = "Иванов";
    a.points = 12;
    a.pointsText = "12";
    ResultRecord b = a;
    b.name = "Петров";
    b.points = -1;
    b.pointsText = "Незачёт";
    return {a, b};
}

QStringList listed(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? "+" : "-");
    return texts;
}

class ExportDialogsTest : public ::testing::Test
{
protected:
    TDM dm{StoreProgram::Vezuviroz};
    Dataset& settings = *dm.sqlAppSettings;
    QString folder = AppFilePath("Отчёты") + u'/';

    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            delete w;
    }
    QString exportPath() { return settings.value("ExportPath").toString(); }
    void setExportPath(const QString& path) { StoreExportPath(settings, path); }
    static QStringList files(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace

TEST_F(ExportDialogsTest, ResultsDialogShowsTheFolderFieldsAndFilters)
{
    setExportPath(folder);
    const ResultFilters filters{.date = "10.12.2026", .topic = "Алгебра", .klass = "", .student = "Иванов"};
    QPointer<TExportResultsF> text = ExportResults(ResultsFormat::Text, sampleRecords(), filters, settings, nullptr);
    EXPECT_EQ(text->windowTitle(), "Экспорт результатов в текстовый документ");
    EXPECT_TRUE(text->isVisible());
    EXPECT_TRUE(text->isModal());
    TExportResultsF* sheet = ExportResults(ResultsFormat::Sheet, sampleRecords(), filters, settings, nullptr);
    EXPECT_EQ(sheet->windowTitle(), "Экспорт результатов в электронную таблицу");
    EXPECT_EQ(sheet->edFolder->text(), folder);
    EXPECT_EQ(listed(sheet->lstFields),
              QStringList({"Дата+", "ПК+", "Класс+", "Фамилия+", "Тема+", "Оценка+", "% правильности+"}));
    EXPECT_EQ(sheet->lblDate->text(), "10.12.2026");
    EXPECT_EQ(sheet->lblTopic->text(), "Алгебра");
    EXPECT_EQ(sheet->lblKlass->text(), "");
    EXPECT_EQ(sheet->lblName->text(), "Иванов");
    EXPECT_EQ(sheet->btnStart->text(), "Начать экспорт");
    EXPECT_TRUE(sheet->btnStart->isDefault());
    EXPECT_EQ(sheet->btnCancel->text(), "Отмена");

    // The moves are enabled only where the selected field can move.
    const struct
    {
        int row;
        bool up;
        bool down;
    } moves[] = {{-1, false, false}, {0, false, true}, {3, true, true}, {6, true, false}};
    for (const auto& m : moves) {
        sheet->lstFields->setCurrentRow(m.row);
        EXPECT_EQ(sheet->btnUp->isEnabled(), m.up) << m.row;
        EXPECT_EQ(sheet->btnDown->isEnabled(), m.down) << m.row;
    }
    // Cancel closes without writing anything.
    text->btnCancel->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(text.isNull());
    EXPECT_FALSE(QDir(folder).exists());
}

TEST_F(ExportDialogsTest, TickedFieldsInTheirMovedOrderGoIntoTheSheet)
{
    setExportPath(folder);
    QDir().mkpath(folder);
    QPointer<TExportResultsF> dialog = ExportResults(ResultsFormat::Sheet, sampleRecords(), {}, settings, nullptr);
    for (int row : {0, 1, 2, 4, 6})
        dialog->lstFields->item(row)->setCheckState(Qt::Unchecked);
    dialog->lstFields->setCurrentRow(5); // "Оценка" goes above "Фамилия"
    dialog->btnUp->click();
    dialog->btnUp->click();
    EXPECT_EQ(dialog->lstFields->currentRow(), 3);
    EXPECT_EQ(listed(dialog->lstFields),
              QStringList({"Дата-", "ПК-", "Класс-", "Оценка+", "Фамилия+", "Тема-", "% правильности-"}));
    ShellRecorder desktop(true);
    MessageRecorder messages;
    dialog->btnStart->click();
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    const QString path = folder + "Результаты тестирования.xlsx";
    EXPECT_EQ(desktop.targets, QStringList{path});
    EXPECT_FALSE(dialog->isVisible());
    const XlsxSheet s = ReadXlsxSheet(path);
    EXPECT_EQ(s.cells.value("A4").text, "Оценка");
    EXPECT_EQ(s.cells.value("B4").text, "Фамилия");
    EXPECT_FALSE(s.has("C4"));
    EXPECT_EQ(s.cells.value("A6").text, "Незачёт");
    EXPECT_EQ(exportPath(), folder);
}

TEST_F(ExportDialogsTest, TheFolderIsChosenOrMadeBeforeTheExport)
{
    setExportPath("");
    TExportResultsF* dialog = ExportResults(ResultsFormat::Text, sampleRecords(), {}, settings, nullptr);
    MessageRecorder messages({MsgResult::Cancel, MsgResult::Yes});
    ShellRecorder desktop(false);
    // An empty folder does nothing.
    dialog->btnStart->click();
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_TRUE(dialog->isVisible());

    // The browse button puts the chosen folder in with a separator at its end.
    const QString chosen = AppFilePath("Новая/Папка");
    FileDialogRecorder dialogs({chosen});
    dialog->btnBrowse->click();
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].kind, FileDialogRequest::Kind::Folder);
    EXPECT_EQ(dialog->edFolder->text(), chosen + "/");

    // A missing folder is made only when the user says so; until then nothing changes.
    dialog->btnStart->click();
    EXPECT_EQ(messages.texts, QStringList{"Каталог назначения не существует. Создать его?"});
    EXPECT_EQ(messages.icons, QList<MsgIcon>{MsgIcon::Error});
    EXPECT_FALSE(QDir(chosen).exists());
    EXPECT_EQ(exportPath(), "");
    EXPECT_TRUE(dialog->isVisible());

    dialog->btnStart->click();
    EXPECT_TRUE(QDir(chosen).exists());
    EXPECT_EQ(files(chosen), QStringList{"Результаты тестирования.odt"});
    EXPECT_EQ(exportPath(), chosen + "/");
    // Asked again, made; the desktop could not open the document: the message says where it is.
    ASSERT_EQ(messages.texts.size(), 3);
    EXPECT_EQ(messages.texts[1], messages.texts[0]);
    EXPECT_TRUE(messages.texts[2].contains(chosen + "/Результаты тестирования.odt")) << messages.texts[2].toStdString();
}

TEST_F(ExportDialogsTest, AFailedExportIsReportedAndTheDialogStays)
{
    // A file where the folder should be: the folder "exists" for nobody, and cannot be made.
    QFile blocker(AppFilePath("занято"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    setExportPath(AppFilePath("занято") + "/");
    TExportResultsF* dialog = ExportResults(ResultsFormat::Sheet, sampleRecords(), {}, settings, nullptr);
    MessageRecorder messages({MsgResult::Yes});
    dialog->btnStart->click();
    ASSERT_EQ(messages.texts.size(), 2);
    EXPECT_TRUE(messages.texts[1].startsWith("Не удалось создать каталог")) << messages.texts[1].toStdString();
    EXPECT_TRUE(dialog->isVisible());

    // A folder that nobody can write into: "Ошибка формирования отчета." with the reason.
    dialog->edFolder->setText("/proc/");
    dialog->btnStart->click();
    ASSERT_EQ(messages.texts.size(), 3);
    EXPECT_TRUE(messages.texts[2].startsWith("Ошибка формирования отчета.\r")) << messages.texts[2].toStdString();
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(ExportDialogsTest, OptionsDialogDefaultsAndEnabling)
{
    setExportPath(folder);
    TExportOptionsF* dialog = ExportQuestionList("Дроби", fixture::questionTable(), settings, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Экспорт вопросов в текстовый документ");
    EXPECT_EQ(dialog->lblTopic->text(), "Дроби");
    EXPECT_EQ(dialog->edFolder->text(), folder);
    EXPECT_EQ(dialog->cbRights->text(), "показывать правильные варианты ответов");
    EXPECT_EQ(dialog->cbPictures->text(), "экспортировать рисунки");
    EXPECT_EQ(dialog->cbOwnSize->text(), "использовать оригинальный размер рисунков");
    EXPECT_TRUE(dialog->btnStart->isDefault());
    for (QCheckBox* box : {dialog->cbRights, dialog->cbPictures, dialog->cbOwnSize})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(dialog->seZoom->value(), 100);
    EXPECT_EQ(dialog->seZoom->minimum(), 1);
    EXPECT_EQ(dialog->seZoom->maximum(), 500);
    EXPECT_EQ(dialog->seZoom->singleStep(), 10);

    const struct
    {
        bool pictures;
        bool ownSize;
        bool ownSizeEnabled;
        bool zoomEnabled;
    } cases[] = {{false, false, false, false},
                 {true, false, true, false},
                 {true, true, true, true},
                 {false, true, false, false}};
    for (const auto& c : cases) {
        dialog->cbPictures->setChecked(c.pictures);
        dialog->cbOwnSize->setChecked(c.ownSize);
        EXPECT_EQ(dialog->cbOwnSize->isEnabled(), c.ownSizeEnabled) << c.pictures << c.ownSize;
        EXPECT_EQ(dialog->seZoom->isEnabled(), c.zoomEnabled) << c.pictures << c.ownSize;
    }
}

TEST_F(ExportDialogsTest, TheQuestionListIsWrittenStepByStepBehindTheWaitWindow)
{
    Table questions = fixture::questionTable();
    fixture::addQuestion(questions, {.id = 1, .answers = {"да", "нет"}, .correct = "2"});
    fixture::addQuestion(questions, {.id = 2, .answers = {"один", "два", "три"}, .correct = "3"});
    questions.setValue(0, "Question", "Первый?");
    questions.setValue(1, "Question", "Второй?");
    setExportPath(folder);
    QDir().mkpath(folder);
    TExportOptionsF* dialog = ExportQuestionList("Дроби: 1/2", questions, settings, nullptr);
    dialog->cbRights->setChecked(true);
    QPointer<WaitWindow> wait;
    QObject::connect(dialog, &TExportOptionsF::exportStarted, [&](WaitWindow* w) { wait = w; });
    ShellRecorder desktop(true);
    MessageRecorder messages;
    dialog->btnStart->click();
    ASSERT_FALSE(wait.isNull());
    EXPECT_TRUE(wait->isVisible());
    EXPECT_TRUE(wait->isModal());
    EXPECT_TRUE(files(folder).isEmpty()); // nothing is written before the event loop runs
    // Neither Escape nor the window manager takes the window away while the export runs.
    QTest::keyClick(wait, Qt::Key_Escape);
    EXPECT_FALSE(wait->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(wait.isNull());
    EXPECT_TRUE(wait->isVisible());
    QStringList seen;
    const bool closed = QTest::qWaitFor(
        [&] {
            if (auto* text = wait ? wait->findChild<QLabel*>("waitText") : nullptr;
                text && !seen.contains(text->text()))
                seen << text->text();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return wait.isNull();
        },
        10000);
    EXPECT_TRUE(closed && wait.isNull()); // closed and freed when done
    EXPECT_EQ(seen, QStringList({"Экспорт вопросов в текстовый документ...",
                                 "Экспорт вопросов в текстовый документ...\nВопрос 1 из 2",
                                 "Экспорт вопросов в текстовый документ...\nВопрос 2 из 2"}));
    const QString path = folder + "Дроби_ 1_2.odt";
    EXPECT_EQ(desktop.targets, QStringList{path});
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(exportPath(), folder);
    QStringList bold;
    for (const OdtParagraph& p : ReadOdt(path).body()) {
        if (p.bold && p.text.startsWith('\t'))
            bold << p.text;
    }
    EXPECT_EQ(bold, QStringList({"\tB. нет", "\tC. три"}));
}

TEST_F(ExportDialogsTest, AnEmptyTopicOrADeclinedFolderExportsNothing)
{
    setExportPath(folder);
    MessageRecorder messages({MsgResult::Cancel});
    TExportOptionsF* declined = ExportQuestionList("Дроби", fixture::questionTable(), settings, nullptr);
    const QString other = AppFilePath("Другая") + "/";
    declined->edFolder->setText(other);
    declined->btnStart->click();
    EXPECT_EQ(messages.texts, QStringList{"Каталог назначения не существует. Создать его?"});
    EXPECT_FALSE(QDir(other).exists());
    EXPECT_EQ(exportPath(), other); // the folder text is kept all the same

    QDir().mkpath(other);
    TExportOptionsF* empty = ExportQuestionList("Дроби", fixture::questionTable(), settings, nullptr);
    bool started = false;
    QObject::connect(empty, &TExportOptionsF::exportStarted, [&] { started = true; });
    empty->btnStart->click();
    EXPECT_EQ(messages.texts.last(), "Тема \"Дроби\" не содержит вопросов.");
    EXPECT_FALSE(started);
    EXPECT_TRUE(files(other).isEmpty());

    // A topic of the bank by its id.
    EXPECT_THROW(ExportQuestionList(&dm, 4711, nullptr), AppError);
}
