#include "savedworkf.h"

#include "apperror.h"
#include "archivetexts.h"
#include "datamodules.h"
#include "filedialogs.h"
#include "fixedtext.h"
#include "savedwork.h"
#include "studentsearchf.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

TSavedWorkF* s_instance = nullptr;
TSavedWorkF::StudentSearch s_studentSearch;

constexpr int ThumbnailSize = 64;
const QString RightStyle = QStringLiteral("color: green; font-weight: bold; text-decoration: underline;");
const QString PlainStyle = QStringLiteral("font-weight: bold;");

// A picture shown small; a double click shows it at full size in a window of its own.
class Thumbnail : public QLabel
{
public:
    Thumbnail(const QByteArray& bytes, QWidget* parent) : QLabel(parent)
    {
        m_pixmap.loadFromData(bytes);
        setPixmap(m_pixmap.scaled(ThumbnailSize, ThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override
    {
        auto* large = new QLabel(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
        large->setAttribute(Qt::WA_DeleteOnClose);
        large->setPixmap(m_pixmap);
        large->show();
    }

private:
    QPixmap m_pixmap;
};

QLabel* styled(const QString& text, bool right, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setStyleSheet(right ? RightStyle : PlainStyle);
    return label;
}

void addPicture(QGridLayout* grid, int row, int column, const QByteArray& bytes, QWidget* parent)
{
    if (!bytes.isEmpty())
        grid->addWidget(new Thumbnail(bytes, parent), row, column);
}

} // namespace

QString SavedWorkFilter()
{
    return QtFileFilter(
        QStringLiteral("Файлы результатов Vastrel (*.rslt4;*.rslt)|*.rslt4;*.rslt|Все файлы (*.*)|*.*"));
}

void TSavedWorkF::setStudentSearch(StudentSearch search)
{
    s_studentSearch = std::move(search);
}

TSavedWorkF* TSavedWorkF::instance()
{
    return s_instance;
}

TSavedWorkF* TSavedWorkF::ensure(TSharedDM* shared)
{
    if (!s_instance)
        s_instance = new TSavedWorkF(shared);
    return s_instance;
}

TSavedWorkF* TSavedWorkF::OpenResultFile(TSharedDM* shared, const QString& path)
{
    TSavedWorkF* viewer = ensure(shared);
    SavedWork::Opened opened = SavedWork::Opened::NoQuestionSet;
    try {
        opened = viewer->m_work->OpenResultFile(path);
    } catch (const AppError&) {
        // A damaged file: the program's handler tells why; a viewer made for it goes again.
        if (!viewer->isVisible())
            viewer->close();
        throw;
    }
    if (opened != SavedWork::Opened::Shown) {
        viewer->close();
        return nullptr;
    }
    viewer->showWork();
    return viewer;
}

TSavedWorkF* TSavedWorkF::ShowStoredWork(TSharedDM* shared, int topicId, int timeRemain, const QString& answerList,
                                         const QString& topicName, const QString& studentName)
{
    TSavedWorkF* viewer = ensure(shared);
    if (!viewer->m_work->ShowStoredWork(topicId, timeRemain, answerList, topicName, studentName)) {
        viewer->close();
        return nullptr;
    }
    viewer->showWork();
    return viewer;
}

TSavedWorkF::TSavedWorkF(TSharedDM* shared)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), m_work(new SavedWork(shared, this)),
      m_storeConnection(shared->dm()->ADOConnection())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("SavedWorkF"));
    auto* layout = new QVBoxLayout(this);
    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("lblPosition"));
    m_question = new QLabel(this);
    m_question->setObjectName(QStringLiteral("lblQuestion"));
    m_question->setWordWrap(true);
    m_picture = new QLabel(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    m_answers = new QWidget(scroll);
    m_answers->setObjectName(QStringLiteral("Answers"));
    new QGridLayout(m_answers);
    scroll->setWidget(m_answers);
    m_price = new QLabel(this);
    m_price->setObjectName(QStringLiteral("lblPrice"));
    m_correctness = new QLabel(this);
    m_correctness->setObjectName(QStringLiteral("lblCorrectness"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("lblResult"));
    m_bankDiffers = new QLabel(ArchiveText::BankDiffers, this);
    m_bankDiffers->setObjectName(QStringLiteral("lblBankDiffers"));
    m_bankDiffers->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    m_bankDiffers->setWordWrap(true);
    m_time = new QProgressBar(this);
    m_time->setObjectName(QStringLiteral("TimeGauge"));
    m_store = new QPushButton(ArchiveText::StoreCommand, this);
    m_store->setObjectName(QStringLiteral("btnStore"));
    m_storedNote = new QLabel(ArchiveText::AlreadyStored, this);
    m_storedNote->setObjectName(QStringLiteral("lblStored"));
    m_prev = new QPushButton(QStringLiteral("<< Предыдущий"), this);
    m_prev->setObjectName(QStringLiteral("btnPrev"));
    m_next = new QPushButton(QStringLiteral("Следующий >>"), this);
    m_next->setObjectName(QStringLiteral("btnNext"));

    auto* steps = new QHBoxLayout;
    steps->addWidget(m_prev);
    steps->addWidget(m_position, 1, Qt::AlignCenter);
    steps->addWidget(m_next);
    layout->addLayout(steps);
    layout->addWidget(m_question);
    layout->addWidget(m_picture);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_price);
    layout->addWidget(m_correctness);
    layout->addWidget(m_result);
    layout->addWidget(m_time);
    layout->addWidget(m_bankDiffers);
    layout->addWidget(m_store);
    layout->addWidget(m_storedNote);

    connect(m_prev, &QPushButton::clicked, this, [this] { m_work->setPosition(m_work->position() - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { m_work->setPosition(m_work->position() + 1); });
    connect(m_store, &QPushButton::clicked, this, &TSavedWorkF::btnStoreClick);
    connect(m_work, &SavedWork::changed, this, &TSavedWorkF::showWork);
    resize(640, 560);
}

void TSavedWorkF::closeEvent(QCloseEvent* event)
{
    if (s_instance == this)
        s_instance = nullptr;
    QWidget::closeEvent(event);
}

TSavedWorkF::~TSavedWorkF()
{
    if (s_instance == this)
        s_instance = nullptr;
}

void TSavedWorkF::btnStoreClick()
{
    if (!m_work->canStore())
        return;
    const QString name = m_work->studentName();
    m_work->Store(s_studentSearch ? s_studentSearch(name) : TStudentSearchF::Run(m_storeConnection, name, this));
}

void TSavedWorkF::showWork()
{
    const SavedWork& w = *m_work;
    m_result->setText(QStringLiteral("%1   %2").arg(w.percentText(), w.markText()));
    m_time->setVisible(w.showsTimeGauge());
    if (w.showsTimeGauge()) {
        m_time->setRange(0, w.maxTime() * 60);
        m_time->setValue(qBound(0, w.timeRemain(), w.maxTime() * 60));
    }
    m_bankDiffers->setVisible(w.bankDiffers());
    m_store->setVisible(w.canStore());
    m_storedNote->setVisible(w.isStored());
    showQuestion();
}

void TSavedWorkF::showQuestion()
{
    const SavedWork& w = *m_work;
    setWindowTitle(w.windowTitle());
    const SavedQuestion q = w.question(w.position());
    m_position->setText(ArchiveText::QuestionOf.arg(q.position + 1).arg(q.count));
    m_prev->setEnabled(w.canGoBack());
    m_next->setEnabled(w.canGoForward());

    // The answers area is rebuilt for each question.
    delete m_answers->layout();
    qDeleteAll(m_answers->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
    auto* grid = new QGridLayout(m_answers);
    grid->setAlignment(Qt::AlignTop);
    m_picture->clear();
    m_price->clear();
    m_correctness->clear();
    if (!q.found) {
        m_question->setText(ArchiveText::NotInBank);
        return;
    }
    m_question->setText(q.question);
    if (!q.picture.isEmpty()) {
        QPixmap pixmap;
        pixmap.loadFromData(q.picture);
        m_picture->setPixmap(pixmap.scaled(ThumbnailSize * 3, ThumbnailSize * 3, Qt::KeepAspectRatio));
    }
    int row = 0;
    switch (q.queType) {
    case 0:
        for (const SavedAnswer& a : q.answers) {
            if (!a.present)
                continue;
            auto* box = new QCheckBox(m_answers);
            box->setChecked(a.ticked);
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            grid->addWidget(box, row, 0);
            grid->addWidget(styled(a.text, a.right, m_answers), row, 1);
            addPicture(grid, row++, 2, a.picture, m_answers);
        }
        break;
    case 1: {
        auto* typed = new QLineEdit(q.typedAnswer, m_answers);
        typed->setObjectName(QStringLiteral("edTypedAnswer"));
        typed->setReadOnly(true);
        grid->addWidget(typed, row++, 0, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Правильный ответ:"), m_answers), row, 0);
        grid->addWidget(styled(q.rightAnswer, true, m_answers), row++, 1);
        grid->addWidget(new QLabel(QStringLiteral("Возможные варианты:"), m_answers), row, 0);
        grid->addWidget(new QLabel(q.variants.join(u'\n'), m_answers), row++, 1);
        break;
    }
    case 2:
        for (const SavedAnswer& a : q.answers) {
            if (!a.present)
                continue;
            grid->addWidget(new QLabel(a.text, m_answers), row, 0);
            addPicture(grid, row, 1, a.picture, m_answers);
            grid->addWidget(styled(a.placed, a.highlighted, m_answers), row++, 2);
        }
        break;
    case 3:
        for (int i = 0; i < 4 && i + 4 < q.answers.size(); ++i) {
            const SavedAnswer& leftAnswer = q.answers[i];
            const SavedAnswer& rightAnswer = q.answers[i + 4];
            grid->addWidget(
                styled(QStringLiteral("%1. %2").arg(i + 1).arg(leftAnswer.text), leftAnswer.highlighted, m_answers), i,
                0);
            addPicture(grid, i, 1, leftAnswer.picture, m_answers);
            grid->addWidget(new QLabel(rightAnswer.placed, m_answers), i, 2);
            grid->addWidget(new QLabel(rightAnswer.text, m_answers), i, 3);
            addPicture(grid, i, 4, rightAnswer.picture, m_answers);
        }
        break;
    }
    grid->setColumnStretch(grid->columnCount(), 1); // the answers keep to the left
    m_price->setText(QStringLiteral("Цена вопроса: %1 (%2%)").arg(q.price).arg(FormatFixed(q.priceShare, 1)));
    m_correctness->setText(QStringLiteral("Правильность вопроса: %1%").arg(FormatFixed(q.correctness, 0)));
}
