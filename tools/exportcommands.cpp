// vastrel export results|questions ...: the archive's results as a spreadsheet or a text document,
// and a topic's question list as a text document, as the programs' export commands write them.
#include "apperror.h"
#include "archiveexport.h"
#include "archiveoptions.h"
#include "command.h"
#include "documentfiles.h"
#include "documenttexts.h"
#include "questionfile.h"
#include "questionlist.h"
#include "sqltexts.h"
#include "storeconnection.h"
#include "topicquestionset.h"

#include <QDir>
#include <QFileInfo>

namespace {

const char Usage[] = "export results OUT.xlsx|OUT.odt [--class NAME] [--date YYYY-MM-DD] [--student NAME] "
                     "[--topic NAME] [--fields \"Фамилия,Оценка,...\"] | export questions (--topic ID|NAME | --file "
                     "QUESTION-FILE) OUT.odt [--rights] [--pictures] [--zoom N]";

int usage()
{
    return fail(QStringLiteral("usage: vastrel ") + QString::fromUtf8(Usage));
}

// The value after an option, taken out of args with it; empty when the option is not there.
QString takeValue(QStringList* args, const QString& option)
{
    const qsizetype at = args->indexOf(option);
    if (at < 0)
        return {};
    if (at + 1 >= args->size() || args->at(at + 1).isEmpty())
        throw AppError(QStringLiteral("%1 needs a value").arg(option));
    const QString value = args->at(at + 1);
    args->remove(at, 2);
    return value;
}

bool takeFlag(QStringList* args, const QString& option)
{
    return args->removeAll(option) > 0;
}

QList<ResultField> parseFields(const QString& list)
{
    QList<ResultField> fields;
    for (const QString& caption : list.split(u',')) {
        ResultField field{};
        if (!ResultFieldByCaption(caption.trimmed(), &field))
            throw AppError(QStringLiteral("no field \"%1\" (the fields: Дата, ПК, Класс, Фамилия, Тема, Оценка, "
                                          "% правильности)")
                               .arg(caption.trimmed()));
        if (fields.contains(field))
            throw AppError(QStringLiteral("field \"%1\" given twice").arg(caption.trimmed()));
        fields.append(field);
    }
    return fields;
}

// The file is written as named, replacing one that is there.
void writeTo(const QString& out, const std::function<void(const QString&)>& write)
{
    WriteDocumentAtomically(QFileInfo(out).absoluteFilePath(), write);
    printOut(QDir::toNativeSeparators(QFileInfo(out).absoluteFilePath()) + u'\n');
}

int runResults(QStringList args)
{
    StoreConnection store(QStringLiteral("vastrel-export"));
    OpenProgramStore(store);
    const ArchiveOptions options = TakeArchiveOptions(store, &args);
    const QString fields = takeValue(&args, QStringLiteral("--fields"));
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return usage();
    const QString out = args[0];
    const QString suffix = QFileInfo(out).suffix().toLower();
    if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("odt"))
        return fail(QStringLiteral("the file name must end with .xlsx or .odt: \"%1\"").arg(out));

    ArchiveQuery query(&store);
    query.setFilter(options.filter);
    ResultsDocument document;
    document.fields = fields.isEmpty() ? AllResultFields() : parseFields(fields);
    document.records = ArchiveResultRecords(query);
    document.filters = ArchiveFilterTexts(query, options.studentName);
    writeTo(out, [&](const QString& temporary) {
        if (suffix == QLatin1String("xlsx"))
            WriteResultsSheet(temporary, document);
        else
            WriteResultsText(temporary, document);
    });
    return 0;
}

TopicQuestionSet topicByIdOrName(const QString& topic)
{
    StoreConnection store(QStringLiteral("vastrel-export"));
    OpenProgramStore(store);
    bool number = false;
    int id = topic.toInt(&number);
    if (!number)
        id = IdByName(store, Sql::TopicNames, "TopicID", "TopicName", topic, "topic");
    return ReadTopicQuestionSet(&store, id);
}

int runQuestions(QStringList args)
{
    const QString topic = takeValue(&args, QStringLiteral("--topic"));
    const QString file = takeValue(&args, QStringLiteral("--file"));
    const QString zoom = takeValue(&args, QStringLiteral("--zoom"));
    QuestionListOptions options;
    options.showRights = takeFlag(&args, QStringLiteral("--rights"));
    options.pictures = takeFlag(&args, QStringLiteral("--pictures"));
    if (!zoom.isEmpty()) {
        bool ok = false;
        options.ownSize = true;
        options.zoom = zoom.toInt(&ok);
        if (!ok || options.zoom < QuestionListOptions::MinZoom || options.zoom > QuestionListOptions::MaxZoom)
            return fail(QStringLiteral("--zoom takes a percentage from 1 to 500: \"%1\"").arg(zoom));
    }
    if (topic.isEmpty() == file.isEmpty() || args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return usage();
    const QString out = args[0];
    if (QFileInfo(out).suffix().toLower() != QLatin1String("odt"))
        return fail(QStringLiteral("the file name must end with .odt: \"%1\"").arg(out));

    TopicQuestionSet set;
    if (file.isEmpty()) {
        set = topicByIdOrName(topic);
    } else {
        QuestionFileContents contents = ReadQuestionFile(file);
        set = {contents.topicName, std::move(contents.questions)};
    }
    if (set.questions.rowCount() == 0)
        return fail(DocumentText::EmptyTopic.arg(set.name));
    QuestionListBuilder builder(set.name, set.questions, options);
    while (!builder.atEnd())
        builder.step();
    writeTo(out, [&](const QString& temporary) { builder.write(temporary); });
    return 0;
}

int runExport(const QStringList& args)
{
    if (args.isEmpty())
        return usage();
    if (args[0] == QLatin1String("results"))
        return runResults(args.mid(1));
    if (args[0] == QLatin1String("questions"))
        return runQuestions(args.mid(1));
    return usage();
}

const bool registered = registerCommand(
    {"export", Usage,
     "writes the archive's results under the filter as a spreadsheet (.xlsx) or a text document (.odt), with the "
     "fields given (all seven when not), or a topic's question list as a text document, with the right answers in "
     "bold and the pictures when asked (--zoom scales them, in percent)",
     runExport});

} // namespace
