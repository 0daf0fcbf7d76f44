// Draws the editor's windows from sample data into PNG files in the folder given as the argument:
// the main window with the topic panel, and the topic window showing each kind of question.
#include "datamodules.h"
#include "dataset.h"
#include "scribantf.h"
#include "scribantmodules.h"
#include "sqltexts.h"
#include "topicf.h"
#include "topicstore.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QByteArray samplePicture(QColor colour)
{
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setBrush(colour);
    painter.drawEllipse(10, 10, 100, 60);
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return buffer.data();
}

struct SampleQuestion
{
    int kind;
    const char* text;
    const char* answers[8];
    bool right[8];
    int price;
};

const SampleQuestion Samples[] = {
    {0, "Какие из чисел являются простыми?", {"2", "4", "7", "9"}, {true, false, true, false}, 3},
    {1, "Столица Франции?", {"Париж", "Paris", "париж*"}, {}, 1},
    {2, "Расположите планеты по удалённости от Солнца.", {"Меркурий", "Венера", "Земля", "Марс"}, {}, 5},
    {3,
     "Сопоставьте страны и столицы.",
     {"Франция", "Италия", "Испания", "Германия", "Париж", "Рим", "Мадрид", "Берлин"},
     {},
     4},
};

int fill(StoreConnection* connection)
{
    Dataset topics(connection, "t", u(Sql::AllTopics));
    topics.open();
    const auto addTopic = [&](const char* name, int parent, const QString& ids = {}) {
        topics.append();
        topics.setValue("TopicName", u(name));
        topics.setValue("ParentID", parent);
        topics.setValue("QueIDs", ids);
        topics.post();
        return topics.value("TopicID").toInt();
    };
    Dataset questions(connection, "q", u(Sql::AllQuestions) + " WHERE FALSE");
    questions.open();
    QStringList ids;
    for (const SampleQuestion& sample : Samples) {
        questions.append();
        questions.setValue("Question", u(sample.text));
        questions.setValue("QueType", sample.kind);
        questions.setValue("Price", sample.price);
        questions.setValue("LinksCount", 1);
        for (int n = 0; n < 8 && sample.answers[n]; ++n) {
            questions.setValue(QString("Ans%1").arg(n + 1), u(sample.answers[n]));
            questions.setValue(QString("OK%1").arg(n + 1), sample.right[n]);
        }
        if (sample.kind == 0) {
            questions.setValue("QuePict", samplePicture(Qt::darkCyan));
            questions.setValue("Pict3", samplePicture(Qt::darkYellow));
        }
        questions.post();
        ids.append(questions.value("QueID").toString());
    }
    const int maths = addTopic("Математика", 0);
    addTopic("Алгебра 7 класс", maths);
    addTopic("Геометрия 8 класс", maths);
    addTopic("История", 0);
    return addTopic("Смешанная тема", 0, ids.join("\r\n"));
}

bool save(QWidget* window, const QString& folder, const char* name)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(name) + ".png");
    // The layouts settle through posted events, as they would before the next paint.
    QCoreApplication::sendPostedEvents();
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots_editor <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ScribantModules modules;
    TScribantF* window = modules.window();
    window->resize(1200, 800);
    const int topicId = fill(window->topics().shared()->dm()->ADOConnection());
    window->show();
    window->action("acTopicsCtrl")->trigger();
    TTopicF* topic = window->OpenTopic(topicId);
    bool ok = true;
    const char* names[] = {"editor_kind0_choice", "editor_kind1_open", "editor_kind2_order", "editor_kind3_match"};
    topic->form().first();
    for (const char* name : names) {
        ok = save(window, folder, name) && ok;
        topic->form().next();
    }
    window->action("acTopicsCtrl")->trigger();
    topic->form().first();
    ok = save(window, folder, "editor_topic_window") && ok;
    return ok ? 0 : 1;
}
