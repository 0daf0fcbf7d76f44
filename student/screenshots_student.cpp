// Renders the Student windows from sample data into PNG files in the folder given as the argument:
// the main window with a choice, an ordering and a matching question, the details window and a
// notice. The test is taken from a question file, as in work without a server.
#include "adtg.h"
#include "appfolder.h"
#include "archive.h"
#include "filedialogs.h"
#include "gradingfixture.h"
#include "studentf.h"
#include "testengine.h"
#include "textprompt.h"
#include "traymsgf.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

namespace {

Table sampleQuestions()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 1,
                             .type = 0,
                             .price = 2,
                             .answers = {"Москва", "Санкт-Петербург", "Новосибирск", "Казань"},
                             .correct = "1"});
    fixture::addQuestion(t,
                         {.id = 2, .type = 2, .price = 3, .answers = {"Рюрик", "Олег", "Игорь", "Ольга", "Святослав"}});
    fixture::addQuestion(t, {.id = 3,
                             .type = 3,
                             .price = 4,
                             .answers = {"Волга", "Нева", "Обь", "Енисей", "Каспийское море", "Балтийское море",
                                         "Карское море", "Карское море (Енисейский залив)"}});
    t.setValue(0, QStringLiteral("Question"), QStringLiteral("Какой город является столицей России?"));
    t.setValue(1, QStringLiteral("Question"), QStringLiteral("Расставьте правителей в порядке их правления."));
    t.setValue(2, QStringLiteral("Question"), QStringLiteral("Сопоставьте реки и моря, в которые они впадают."));
    return t;
}

const char SampleSettings[] =
    "RandomOrder=0\r\nAllowBack=-1\r\nShowRights=-1\r\nTimeLimit=-1\r\nMaxTime=20\r\nGiveMaxCount=20\r\n"
    "TopicID=7\r\nMixAnswers=0\r\nHideDetails=0\r\nShowPrice=-1\r\nShowRightCount=-1\r\nShowRightsInstant=0\r\n";

QString sampleQuestionFile()
{
    const QString folder = AppFolder();
    const QString top = QDir(folder).filePath(QStringLiteral("История и география.top"));
    WriteAdtgFile(sampleQuestions(), top);
    const QString set = QDir(folder).filePath(QStringLiteral("История и география.set"));
    QFile settings(set);
    if (!settings.open(QIODevice::WriteOnly))
        return {};
    settings.write(QByteArray("[Fields]\r\n") + SampleSettings +
                   fixture::criteria(5, true, {101, 101, 101, 101, 101, 101, 101, 90, 75, 50, 30, 60}).toUtf8() +
                   "[Topic]\r\nRemark=\r\n");
    settings.close();
    const QString path = QDir(folder).filePath(QStringLiteral("История и география.vst4"));
    TZLibCompression().CompressFiles({top, set}, path);
    return path;
}

bool save(QWidget* w, const QString& folder, const QString& name)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); // lay out what changed
    const bool ok = w->grab().save(QDir(folder).filePath(name));
    if (!ok)
        qWarning("screenshots_student: %s not written", qPrintable(name));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: screenshots_student OUTPUT_FOLDER");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString file = sampleQuestionFile();
    SetFileDialogHandler([&file](const FileDialogRequest&) { return file; });
    SetTextPromptHandler([](const QString&, const QString&, const QString&) { return QStringLiteral("Иванов"); });

    StudentParts parts;
    parts.seed = 1;
    parts.screenHeight = 900;
    TStudentF window({}, {}, parts);
    window.setWindowState(Qt::WindowNoState); // drawn at a sample size, not the headless screen's
    window.resize(1200, 860);
    window.show();
    window.link().rgMetodClick(WorkMode::Autonomous);
    TestEngine& engine = window.engine();

    bool ok = save(&window, out, QStringLiteral("student_main.png"));
    engine.ToggleTick(1);
    engine.btnNextClick();
    ok &= save(&window, out, QStringLiteral("student_ordering.png"));
    Arrangement a = engine.arrangement();
    std::swap(a[0], a[1]);
    engine.SetArrangement(a);
    engine.btnNextClick();
    ok &= save(&window, out, QStringLiteral("student_matching.png"));
    engine.btnReadyClick();
    if (window.details())
        ok &= save(window.details(), out, QStringLiteral("student_details.png"));
    else
        ok = false;
    TTrayMsgF* notice = TTrayMsgF::show({QStringLiteral("Соединение восстановлено!"),
                                         QStringLiteral("Соединение с сервером восстановлено."),
                                         NoticeIcon::Information, NoticeColour::Tooltip, 10});
    ok &= save(notice, out, QStringLiteral("student_notice.png"));
    TTrayMsgF::withdrawAll();
    return ok ? 0 : 1;
}
