// Renders the student view panel from sample data into PNG files in the folder given as the
// argument: a matching question in which the student has mixed up two pairs.
#include "gradingfixture.h"
#include "schema.h"
#include "studentviewfixture.h"
#include "studentviewpanel.h"

#include <QApplication>
#include <QDir>

namespace {

Table sampleTopic()
{
    Table t = fixture::questionTable();
    fixture::addQuestion(t, {.id = 3,
                             .type = 3,
                             .price = 4,
                             .answers = {"Волга", "Нева", "Обь", "Енисей", "Каспийское море", "Балтийское море",
                                         "Карское море", "Карское море (Енисейский залив)"}});
    fixture::addQuestion(t, {.id = 1, .type = 0, .price = 2, .answers = {"Москва", "Казань"}, .correct = "1"});
    fixture::addQuestion(t, {.id = 2, .type = 2, .price = 3, .answers = {"Рюрик", "Олег", "Игорь"}});
    t.setValue(0, QStringLiteral("Question"), QStringLiteral("Сопоставьте реки и моря, в которые они впадают."));
    t.setValue(0, QStringLiteral("Pict5"), viewfixture::picture(96, 64));
    t.setValue(0, QStringLiteral("Pict6"), viewfixture::picture(96, 64, QColor(40, 90, 160)));
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: screenshots_studentview OUTPUT_FOLDER");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const Table topic = sampleTopic();

    StudentViewRow row = viewfixture::row(QStringLiteral("1=1\r\n2=213\r\n3=12346578\r\n"));
    row.timeRemain = 11 * 60 + 20;
    row.priceSum = 9;

    StudentViewPanel panel;
    panel.setRightAnswerColour(StudentViewDefaults::RightAnsFontColor);
    panel.resize(900, 349);
    panel.setRow(row, &topic);
    panel.nextAction()->trigger();
    panel.nextAction()->trigger();
    panel.show();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest); // lay out what changed
    const QString name = QStringLiteral("vezuviroz_studentview.png");
    const bool ok = panel.grab().save(QDir(out).filePath(name));
    if (!ok)
        qWarning("screenshots_studentview: %s not written", qPrintable(name));
    return ok ? 0 : 1;
}
