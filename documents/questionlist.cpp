#include "questionlist.h"

#include "apperror.h"
#include "documentfiles.h"
#include "documenttexts.h"

#include <QImage>
#include <QTimer>
#include <algorithm>

namespace {

constexpr int AnswerCount = 8;

QString column(const char* stem, int n)
{
    return QString::fromLatin1(stem) + QString::number(n);
}

QString failure(const QString& reason)
{
    return DocumentText::ReportFailed + reason;
}

} // namespace

QuestionListBuilder::QuestionListBuilder(const QString& topicName, const Table& questions,
                                         const QuestionListOptions& options)
    : m_questions(questions), m_options(options)
{
    m_options.zoom = std::clamp(m_options.zoom, QuestionListOptions::MinZoom, QuestionListOptions::MaxZoom);
    m_builder.paragraph(topicName, {.pointSize = 14, .bold = true, .centred = true});
    m_builder.emptyParagraph();
}

QImage QuestionListBuilder::picture(const QVariant& bytes) const
{
    // An empty slot, or bytes that are no picture, give none.
    return m_options.pictures ? QImage::fromData(bytes.toByteArray()) : QImage();
}

void QuestionListBuilder::addPicture(const QImage& image)
{
    if (!image.isNull())
        m_builder.picture(image, m_options.ownSize ? m_options.zoom / 100.0 : 1.0);
}

void QuestionListBuilder::step()
{
    if (atEnd())
        return;
    const TableRow question(m_questions, m_next++);
    m_builder.paragraph(DocumentText::QuestionHeading.arg(m_next), {.bold = true, .centred = true});
    m_builder.paragraph(question.value(QStringLiteral("Question")).toString(), {.italic = true});
    addPicture(picture(question.value(QStringLiteral("QuePict"))));
    for (int n = 1; n <= AnswerCount; ++n) {
        QString text = question.value(column("Ans", n)).toString();
        const QImage image = picture(question.value(column("Pict", n)));
        // An answer that is only a picture reads "..." (also when its text got lost).
        if (text.isEmpty() && !image.isNull())
            text = DocumentText::Ellipsis;
        if (text.isEmpty())
            continue;
        const bool right = m_options.showRights && question.value(column("OK", n)).toBool();
        m_builder.paragraph(QStringLiteral("\t%1. %2").arg(QChar(u'A' + n - 1), text), {.bold = right});
        addPicture(image);
    }
    m_builder.emptyParagraph();
}

QuestionListExport::QuestionListExport(const QString& folder, const QString& topicName, const Table& questions,
                                       const QuestionListOptions& options, QObject* parent)
    : QObject(parent), m_folder(folder), m_topicName(topicName), m_builder(topicName, questions, options)
{}

QuestionListExport::~QuestionListExport()
{
    if (m_writer) {
        m_writer->wait();
        delete m_writer;
    }
}

void QuestionListExport::start()
{
    QTimer::singleShot(0, this, &QuestionListExport::stepOnce);
}

void QuestionListExport::stepOnce()
{
    if (!m_builder.atEnd()) {
        m_builder.step();
        Q_EMIT progress(m_builder.done(), m_builder.count());
        QTimer::singleShot(0, this, &QuestionListExport::stepOnce);
        return;
    }
    // The writer asks the document for its layout, which the document makes as its child on first
    // use: it must be made here, on the document's own thread.
    m_builder.document().documentLayout();
    m_writer = QThread::create([this] {
        try {
            m_path = save();
        } catch (const AppError& e) {
            m_error = failure(e.message());
        }
    });
    connect(m_writer, &QThread::finished, this, &QuestionListExport::written);
    m_writer->start();
}

void QuestionListExport::written()
{
    m_writer->wait();
    delete m_writer;
    m_writer = nullptr;
    if (m_error.isEmpty())
        Q_EMIT finished(m_path);
    else
        Q_EMIT failed(m_error);
}

QString QuestionListExport::save()
{
    const QString path = FreeDocumentPath(m_folder, FileNameFromTitle(m_topicName), QStringLiteral(".odt"));
    WriteDocumentAtomically(path, [this](const QString& temporary) { m_builder.write(temporary); });
    return path;
}

QString QuestionListExport::run()
{
    while (!m_builder.atEnd())
        m_builder.step();
    try {
        return save();
    } catch (const AppError& e) {
        throw AppError(failure(e.message()));
    }
}
