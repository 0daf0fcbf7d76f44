#pragma once

#include "table.h"
#include "textdocument.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QThread>

// The questions of a topic as a printable text document (.odt): the topic's name, then for each
// question "Вопрос N", its text in italic and its answers "A." to "H.", with the right ones in
// bold and the pictures when asked.

struct QuestionListOptions
{
    static constexpr int MinZoom = 1;
    static constexpr int MaxZoom = 500;
    static constexpr int ZoomStep = 10;

    bool showRights = false; // "показывать правильные варианты ответов"
    bool pictures = false;   // "экспортировать рисунки"
    bool ownSize = false; // "использовать оригинальный размер рисунков": pictures scaled by zoom
    int zoom = 100; // percent

    // The dialog's enabling: the own size needs the pictures, the zoom needs the own size.
    bool ownSizeAvailable() const { return pictures; }
    bool zoomAvailable() const { return pictures && ownSize; }
};

// Builds the document one question at a time, so that a window can show the progress between two.
class QuestionListBuilder
{
public:
    // The question set's columns used: Question, QuePict, Ans1..Ans8, Pict1..Pict8, OK1..OK8.
    QuestionListBuilder(const QString& topicName, const Table& questions, const QuestionListOptions& options);

    int count() const { return m_questions.rowCount(); }
    int done() const { return m_next; }
    bool atEnd() const { return m_next >= count(); }
    // Adds the next question.
    void step();
    const QTextDocument& document() const { return m_builder.document(); }
    void write(const QString& path) const { m_builder.write(path); }

private:
    QImage picture(const QVariant& bytes) const;
    void addPicture(const QImage& image);

    Table m_questions;
    QuestionListOptions m_options;
    TextDocumentBuilder m_builder;
    int m_next = 0;
};

// The export of a topic's question list into a folder (ending with a separator) under the first
// free of "<topic>.odt", "<topic> (1).odt", ...; characters that a file name cannot hold are
// replaced in the name only. start() adds one question per turn of the event loop and reports
// each, then writes the file on a thread of its own (packing hundreds of pictures takes seconds,
// which the event loop must not wait for); run() does it all at once.
class QuestionListExport : public QObject
{
    Q_OBJECT

public:
    QuestionListExport(const QString& folder, const QString& topicName, const Table& questions,
                       const QuestionListOptions& options, QObject* parent = nullptr);
    ~QuestionListExport() override;

    int count() const { return m_builder.count(); }
    void start();
    // The path written; AppError "Ошибка формирования отчета.\r" with the reason when it fails.
    QString run();

Q_SIGNALS:
    void progress(int done, int count);
    void finished(const QString& path);
    void failed(const QString& message);

private:
    void stepOnce();
    void written();
    QString save();

    QString m_folder;
    QString m_topicName;
    QuestionListBuilder m_builder;
    QThread* m_writer = nullptr; // nothing else touches the document while it runs
    QString m_path;
    QString m_error;
};
