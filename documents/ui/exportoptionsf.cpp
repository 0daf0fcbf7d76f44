#include "exportoptionsf.h"

#include "datamodules.h"
#include "documentfiles.h"
#include "documenttexts.h"
#include "exportfolderrow.h"
#include "messages.h"
#include "topicquestionset.h"
#include "waitcursor.h"
#include "waitwindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

namespace T = DocumentText;

namespace {

QString progressText(int done, int count)
{
    return T::Progress.arg(done).arg(count).replace(u'\r', u'\n');
}

// The wait window of one export: it owns the export and keeps the hour-glass while it runs. It
// closes when the export ends, not before (Escape or the window manager would drop the export
// unseen).
class ExportWaitWindow : public WaitWindow
{
public:
    ExportWaitWindow(QuestionListExport* job, QWidget* parent)
        : WaitWindow(T::Exporting, parent), m_cursor(std::make_unique<WaitCursor>())
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setModal(true);
        job->setParent(this);
        connect(job, &QuestionListExport::progress, this, [this](int done, int count) {
            setText(progressText(done, count));
            setProgress(count > 0 ? done * 100 / count : 100);
        });
        connect(job, &QuestionListExport::finished, this, [this](const QString& path) {
            end();
            OpenSavedDocument(path);
        });
        connect(job, &QuestionListExport::failed, this, [this](const QString& message) {
            end();
            ShowMessage(message, MsgIcon::Error);
        });
    }

    void reject() override
    {
        if (m_ended)
            WaitWindow::reject();
    }

private:
    void end()
    {
        m_ended = true;
        m_cursor.reset();
        close();
    }

    std::unique_ptr<WaitCursor> m_cursor;
    bool m_ended = false;
};

} // namespace

TExportOptionsF::TExportOptionsF(const QString& topicName, Table questions, Dataset& settings, QWidget* parent)
    : QDialog(parent), m_topicName(topicName), m_questions(std::move(questions)), m_settings(settings)
{
    setObjectName(QStringLiteral("ExportOptionsF"));
    setWindowTitle(T::QuestionsToText);
    auto* layout = new QVBoxLayout(this);
    auto* topicRow = new QHBoxLayout;
    topicRow->addWidget(new QLabel(T::Topic, this));
    lblTopic = new QLabel(topicName, this);
    lblTopic->setObjectName(QStringLiteral("lblTopic"));
    QFont bold = lblTopic->font();
    bold.setBold(true);
    lblTopic->setFont(bold);
    topicRow->addWidget(lblTopic, 1);
    layout->addLayout(topicRow);
    const ExportFolderRow folder = AddExportFolderRow(this, layout, StoredExportPath(settings));
    edFolder = folder.edit;
    btnBrowse = folder.browse;

    const auto check = [&](const QString& text, const char* name) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QString::fromLatin1(name));
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &TExportOptionsF::updateEnabling);
        return box;
    };
    cbRights = check(T::ShowRights, "cbRights");
    cbPictures = check(T::ExportPictures, "cbPictures");
    cbOwnSize = check(T::OwnSize, "cbOwnSize");
    auto* zoomRow = new QHBoxLayout;
    zoomRow->addSpacing(20);
    auto* zoomLabel = new QLabel(T::Zoom, this);
    zoomRow->addWidget(zoomLabel);
    seZoom = new QSpinBox(this);
    seZoom->setObjectName(QStringLiteral("seZoom"));
    seZoom->setRange(QuestionListOptions::MinZoom, QuestionListOptions::MaxZoom);
    seZoom->setSingleStep(QuestionListOptions::ZoomStep);
    seZoom->setValue(QuestionListOptions().zoom);
    zoomLabel->setBuddy(seZoom);
    zoomRow->addWidget(seZoom);
    zoomRow->addWidget(new QLabel(QStringLiteral("%"), this));
    zoomRow->addStretch(1);
    layout->addLayout(zoomRow);

    const ExportButtons buttons = AddExportButtons(this, layout);
    btnStart = buttons.start;
    btnCancel = buttons.cancel;
    connect(btnStart, &QPushButton::clicked, this, &TExportOptionsF::btnStartClick);
    updateEnabling();
}

QuestionListOptions TExportOptionsF::options() const
{
    QuestionListOptions o;
    o.showRights = cbRights->isChecked();
    o.pictures = cbPictures->isChecked();
    o.ownSize = cbOwnSize->isChecked();
    o.zoom = seZoom->value();
    return o;
}

void TExportOptionsF::updateEnabling()
{
    const QuestionListOptions o = options();
    cbOwnSize->setEnabled(o.ownSizeAvailable());
    seZoom->setEnabled(o.zoomAvailable());
}

void TExportOptionsF::btnStartClick()
{
    const QString folder = edFolder->text();
    if (folder.isEmpty())
        return;
    const bool ready = EnsureDestinationFolder(folder);
    StoreExportPath(m_settings, folder);
    if (!ready)
        return;
    accept();
    if (m_questions.rowCount() == 0) {
        ShowMessage(T::EmptyTopic.arg(m_topicName));
        return;
    }
    auto* job = new QuestionListExport(FolderWithSeparator(folder), m_topicName, m_questions, options());
    auto* wait = new ExportWaitWindow(job, parentWidget());
    wait->setWindowTitle(T::QuestionsToText);
    wait->show();
    Q_EMIT exportStarted(wait);
    job->start();
}

TExportOptionsF* ExportQuestionList(const QString& topicName, const Table& questions, Dataset& settings,
                                    QWidget* parent)
{
    auto* dialog = new TExportOptionsF(topicName, questions, settings, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

TExportOptionsF* ExportQuestionList(TDM* dm, int topicId, QWidget* parent)
{
    const TopicQuestionSet set = ReadTopicQuestionSet(dm->ADOConnection(), topicId);
    return ExportQuestionList(set.name, set.questions, *dm->sqlAppSettings, parent);
}
