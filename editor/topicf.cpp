#include "topicf.h"

#include "apperror.h"
#include "clipboardpicture.h"
#include "dataset.h"
#include "dragmover.h"
#include "filedialogs.h"
#include "inputprompt.h"
#include "messages.h"
#include "schema.h"
#include "wholequestion.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDrag>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

TTopicF* TTopicF::s_dragSource = nullptr;

namespace {

struct KindText
{
    const char* caption;
    const char* answersCaption;
};

constexpr KindText Kinds[] = {
    {"обычный (выбор одного или нескольких правильных)", "Варианты ответов:"},
    {"открытый (ответ-слово)", "Варианты правильного ответа (допускаются знаки подстановки * и ?):"},
    {"установление порядка следования", "Варианты ответов (в правильном порядке):"},
    {"установление соответствия", "Варианты ответов (в правильном соответствии левого и правого столбцов):"},
};

struct NavigatorButton
{
    const char* name;
    const char* caption;
    const char* hint;
};

constexpr NavigatorButton Navigator[] = {
    {"btnFirst", "|<", "Первый вопрос ( F5 )"},
    {"btnPrior", "<", "Предыдущий вопрос ( F6 )"},
    {"btnNext", ">", "Следующий вопрос ( F7 )"},
    {"btnLast", ">|", "Последний вопрос ( F8 )"},
    {"btnInsert", "+", "Вставить вопрос ( Ins )"},
    {"btnDelete", "−", "Удалить вопрос"},
    {"btnEdit", "✎", "Редактировать"},
    {"btnPost", "✓", "Сохранить изменения"},
    {"btnCancel", "✗", "Отменить изменения"},
};

constexpr char PriceCaption[] = "Цена вопроса = ";
constexpr char PictureHint[] = "Двойной щелчок изменяет размер рисунка, левой кнопкой мыши можно перетаскивать";
constexpr char AttachTitle[] = "Прикрепление рисунка";
constexpr char AttachFilter[] = "All (*.bmp;*.jpg;*.jpeg)|*.bmp;*.jpg;*.jpeg|JPEG Image File (*.jpg)|*.jpg|JPEG Image "
                                "File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp";
constexpr char DragHint[] = "Для копирования/перемещения вопроса в другую тему перетащите этот рисунок на дерево тем";
// A label showing its picture at natural size rather than as a thumbnail.
constexpr char NaturalSize[] = "naturalSize";

QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, const QString& hint)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    return button;
}

} // namespace

TTopicF::TTopicF(TopicStore& store, QWidget* parent) : QWidget(parent), m_form(store)
{
    setObjectName(QStringLiteral("TTopicF"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAcceptDrops(true);
    auto* top = new QVBoxLayout(this);

    auto* bar = new QHBoxLayout;
    buildNavigator(bar);
    lbPosition = new QLabel(this);
    lbPosition->setObjectName(QStringLiteral("lbPosition"));
    bar->addWidget(lbPosition);
    bar->addStretch();
    auto* copy = makeButton(this, QStringLiteral("btnCopyQuestion"), u("Копировать весь вопрос"),
                            u("Копировать вопрос с вариантами ответов"));
    auto* paste = makeButton(this, QStringLiteral("btnPasteQuestion"), u("Вставить весь вопрос"),
                             u("Вставить вопрос с вариантами ответов"));
    paste->setEnabled(WholeQuestion::Exists());
    connect(copy, &QPushButton::clicked, this, [this] { guarded([this] { m_form.copyWholeQuestion(); }); });
    connect(paste, &QPushButton::clicked, this, [this] { guarded([this] { m_form.pasteWholeQuestion(); }); });
    bar->addWidget(copy);
    bar->addWidget(paste);
    DragImg = new QLabel(QStringLiteral("⇄"), this);
    DragImg->setObjectName(QStringLiteral("DragImg"));
    DragImg->setToolTip(u(DragHint));
    DragImg->setFrameShape(QFrame::Box);
    DragImg->installEventFilter(this);
    bar->addWidget(DragImg);
    top->addLayout(bar);

    auto* questionRow = new QHBoxLayout;
    questionRow->addWidget(buildPictureSlot(0));
    mmQuestion = new QPlainTextEdit(this);
    mmQuestion->setObjectName(QStringLiteral("mmQuestion"));
    connect(mmQuestion, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showing)
            m_form.setValue(QStringLiteral("Question"), mmQuestion->toPlainText());
    });
    questionRow->addWidget(mmQuestion, 1);
    auto* priceColumn = new QVBoxLayout;
    btnShowPrice = new QPushButton(this);
    btnShowPrice->setObjectName(QStringLiteral("btnShowPrice"));
    connect(btnShowPrice, &QPushButton::clicked, this, &TTopicF::btnShowPriceClick);
    tbPrice = new QSlider(Qt::Vertical, this);
    tbPrice->setObjectName(QStringLiteral("tbPrice"));
    tbPrice->setRange(1, TopicQuestions::MaxPrice);
    // Upside down: position 1 stands at the top and is the highest price.
    tbPrice->setInvertedAppearance(true);
    tbPrice->setVisible(false);
    tbPrice->installEventFilter(this);
    connect(tbPrice, &QSlider::valueChanged, this, &TTopicF::tbPriceChange);
    priceColumn->addWidget(btnShowPrice);
    priceColumn->addWidget(tbPrice);
    questionRow->addLayout(priceColumn);
    top->addLayout(questionRow, 1);

    lbPictHint = new QLabel(u(PictureHint), this);
    lbPictHint->setObjectName(QStringLiteral("lbPictHint"));
    lbPictHint->setVisible(false);
    m_hintTimer = new QTimer(this);
    m_hintTimer->setSingleShot(true);
    m_hintTimer->setInterval(PictureHintMs);
    connect(m_hintTimer, &QTimer::timeout, lbPictHint, &QLabel::hide);
    top->addWidget(lbPictHint);

    auto* kinds = new QGroupBox(u("Тип вопроса "), this);
    auto* kindGrid = new QGridLayout(kinds);
    DBRadioGroup1 = new QButtonGroup(this);
    for (int kind = 0; kind < 4; ++kind) {
        auto* radio = new QRadioButton(u(Kinds[kind].caption), kinds);
        radio->setObjectName(QStringLiteral("rbKind%1").arg(kind));
        DBRadioGroup1->addButton(radio, kind);
        kindGrid->addWidget(radio, kind % 2, kind / 2);
    }
    connect(DBRadioGroup1, &QButtonGroup::idClicked, this, &TTopicF::DBRadioGroup1Click);
    top->addWidget(kinds);

    lbAnswersCaption = new QLabel(this);
    lbAnswersCaption->setObjectName(QStringLiteral("lbAnswersCaption"));
    top->addWidget(lbAnswersCaption);
    m_answersLayout = new QBoxLayout(QBoxLayout::TopToBottom);
    pnlAnswers1 = buildAnswerPanel(1);
    pnlAnswers2 = buildAnswerPanel(5);
    m_answersLayout->addWidget(pnlAnswers1);
    m_answersLayout->addWidget(pnlAnswers2);
    top->addLayout(m_answersLayout, 2);

    mmRemark = new QPlainTextEdit(this);
    mmRemark->setObjectName(QStringLiteral("mmRemark"));
    mmRemark->setPlaceholderText(u("Примечание"));
    mmRemark->setMaximumHeight(60);
    mmRemark->installEventFilter(this);
    top->addWidget(mmRemark);

    connect(&m_form, &TopicQuestions::currentChanged, this, &TTopicF::showCurrent);
    connect(&m_form, &TopicQuestions::editingChanged, this, &TTopicF::updateNavigator);
    connect(&m_form, &TopicQuestions::topicRenamed, this, &QWidget::setWindowTitle);
    connect(&m_form, &TopicQuestions::wholeQuestionCopied, this, &TTopicF::wholeQuestionCopied);
}

TTopicF::~TTopicF()
{
    if (s_dragSource == this)
        s_dragSource = nullptr;
}

void TTopicF::buildNavigator(QBoxLayout* into)
{
    for (const NavigatorButton& b : Navigator) {
        auto* button = makeButton(this, u(b.name), u(b.caption), u(b.hint));
        button->setMaximumWidth(32);
        into->addWidget(button);
    }
    const auto on = [this](const char* name, void (TopicQuestions::*step)()) {
        connect(button(u(name)), &QPushButton::clicked, this,
                [this, step] { guarded([this, step] { (m_form.*step)(); }); });
    };
    on("btnFirst", &TopicQuestions::first);
    on("btnPrior", &TopicQuestions::prior);
    on("btnNext", &TopicQuestions::next);
    on("btnLast", &TopicQuestions::last);
    on("btnInsert", &TopicQuestions::insertQuestion);
    on("btnDelete", &TopicQuestions::deleteQuestion);
    on("btnPost", &TopicQuestions::store);
    on("btnCancel", &TopicQuestions::cancel);
    connect(button(QStringLiteral("btnEdit")), &QPushButton::clicked, this, [this] { mmQuestion->setFocus(); });
}

QPushButton* TTopicF::button(const QString& objectName) const
{
    return findChild<QPushButton*>(objectName);
}

QWidget* TTopicF::buildPictureSlot(int slot)
{
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    const int thumb = slot == 0 ? QuestionThumb : AnswerThumb;
    imgPict[slot] = new QLabel(box);
    imgPict[slot]->setObjectName(QStringLiteral("imgPict%1").arg(slot));
    imgPict[slot]->setFixedSize(thumb, thumb);
    imgPict[slot]->setFrameShape(QFrame::Box);
    imgPict[slot]->installEventFilter(this);
    // Moved on the form with the left button (display only).
    new DragMover(
        imgPict[slot], imgPict[slot], [this, slot] { liftPicture(slot); },
        [this, slot] { return !imgPict[slot]->pixmap().isNull(); });
    layout->addWidget(imgPict[slot]);
    // Holds the picture's place in the form while the picture is moved or enlarged.
    m_pictHome[slot] = new QFrame(box);
    m_pictHome[slot]->setFixedSize(thumb, thumb);
    m_pictHome[slot]->setFrameShape(QFrame::Box);
    m_pictHome[slot]->hide();
    auto* buttons = new QHBoxLayout;
    btnOpenPict[slot] =
        makeButton(box, QStringLiteral("btnOpenPict%1").arg(slot), QStringLiteral("…"), u("Прикрепить рисунок..."));
    btnPastePict[slot] = makeButton(box, QStringLiteral("btnPastePict%1").arg(slot), QStringLiteral("П"),
                                    u("Вставить рисунок из буфера обмена"));
    btnClearPic[slot] =
        makeButton(box, QStringLiteral("btnClearPic%1").arg(slot), QStringLiteral("✗"), u("Очистить рисунок"));
    for (QPushButton* b : {btnOpenPict[slot], btnPastePict[slot], btnClearPic[slot]}) {
        b->setMaximumWidth(24);
        buttons->addWidget(b);
    }
    connect(btnOpenPict[slot], &QPushButton::clicked, this, [this, slot] { btnOpenPictClick(slot); });
    connect(btnPastePict[slot], &QPushButton::clicked, this, [this, slot] { btnPastePictClick(slot); });
    connect(btnClearPic[slot], &QPushButton::clicked, this,
            [this, slot] { guarded([this, slot] { m_form.clearPicture(slot); }); });
    layout->addLayout(buttons);
    return box;
}

QGroupBox* TTopicF::buildAnswerPanel(int firstAnswer)
{
    auto* panel = new QGroupBox(this);
    panel->setObjectName(QStringLiteral("pnlAnswers%1").arg(firstAnswer == 1 ? 1 : 2));
    auto* grid = new QGridLayout(panel);
    auto* title = new QLabel(u("Правильный"), panel);
    m_okTitles.append(title);
    grid->addWidget(title, 0, 0);
    const SchemaTable* questions = FindSchemaTable(QStringLiteral("Questions"));
    for (int n = firstAnswer; n < firstAnswer + 4; ++n) {
        const int row = n - firstAnswer + 1;
        const int index = n - 1;
        chkOK[index] = new QCheckBox(panel);
        chkOK[index]->setObjectName(QStringLiteral("chkOK%1").arg(n));
        connect(chkOK[index], &QCheckBox::clicked, this,
                [this, n](bool on) { m_form.setValue(QStringLiteral("OK%1").arg(n), on); });
        edAns[index] = new QLineEdit(panel);
        edAns[index]->setObjectName(QStringLiteral("edAns%1").arg(n));
        // Typing stops where the column ends, rather than at a refusal on every further key.
        if (const SchemaColumn* column = questions ? questions->find(QStringLiteral("Ans%1").arg(n)) : nullptr;
            column && column->column.size > 0)
            edAns[index]->setMaxLength(column->column.size);
        connect(edAns[index], &QLineEdit::textEdited, this,
                [this, n](const QString& text) { m_form.setValue(QStringLiteral("Ans%1").arg(n), text); });
        grid->addWidget(chkOK[index], row, 0);
        grid->addWidget(new QLabel(QString::number(n), panel), row, 1);
        grid->addWidget(edAns[index], row, 2);
        grid->addWidget(buildPictureSlot(n), row, 3);
    }
    grid->setColumnStretch(2, 1);
    return panel;
}

void TTopicF::OpenTopic(int topicId)
{
    guarded([&] { m_form.OpenTopic(topicId); });
    setWindowTitle(m_form.topicName());
    mmRemark->setPlainText(m_form.remark());
}

bool TTopicF::CreateAndOpenTopic(const QString& name, int parentId)
{
    bool made = false;
    guarded([&] { made = m_form.CreateAndOpenTopic(name, parentId); });
    setWindowTitle(m_form.topicName());
    mmRemark->setPlainText(m_form.remark());
    return made;
}

bool TTopicF::RenameTopic()
{
    QString name = m_form.topicName();
    if (!InputQuery(this, u("Переименование темы"), u("Введите новое название темы:"), name))
        return false;
    guarded([&] { m_form.rename(name); });
    return true;
}

void TTopicF::setPicturePasteEnabled(bool enabled)
{
    for (QPushButton* b : btnPastePict)
        b->setEnabled(enabled);
}

void TTopicF::setQuestionPasteEnabled(bool enabled)
{
    button(QStringLiteral("btnPasteQuestion"))->setEnabled(enabled);
}

void TTopicF::showCurrent()
{
    m_showing = true;
    const QString question = m_form.value(QStringLiteral("Question")).toString();
    if (mmQuestion->toPlainText() != question)
        mmQuestion->setPlainText(question);
    for (int n = 1; n <= TopicQuestions::AnswerCount; ++n) {
        edAns[n - 1]->setText(m_form.value(QStringLiteral("Ans%1").arg(n)).toString());
        chkOK[n - 1]->setChecked(m_form.value(QStringLiteral("OK%1").arg(n)).toBool());
    }
    for (int slot = 0; slot < TopicQuestions::PictureSlots; ++slot) {
        homePicture(slot);
        const QImage image = storedPicture(slot);
        showPicture(slot, image, false);
        btnClearPic[slot]->setEnabled(!image.isNull());
    }
    if (DBRadioGroup1->button(m_form.kind()))
        DBRadioGroup1->button(m_form.kind())->setChecked(true);
    tbPrice->setValue(m_form.sliderPosition());
    btnShowPrice->setText(u(PriceCaption) + QString::number(TopicQuestions::PriceFromSlider(tbPrice->value())));
    lbPosition->setText(m_form.positionCaption());
    applyLayout();
    updateNavigator();
    if (m_form.hasAnyPicture()) {
        lbPictHint->show();
        m_hintTimer->start();
    }
    m_showing = false;
}

void TTopicF::updateNavigator()
{
    const Dataset& questions = m_form.questions();
    const bool editing = m_form.editing();
    const int count = questions.isOpen() ? questions.recordCount() : 0;
    const int at = editing && questions.state() == DatasetState::Insert ? count + 1 : questions.recNo();
    button(QStringLiteral("btnFirst"))->setEnabled(at > 1 || (editing && count > 0));
    button(QStringLiteral("btnPrior"))->setEnabled(at > 1);
    button(QStringLiteral("btnNext"))->setEnabled(at < count);
    button(QStringLiteral("btnLast"))->setEnabled(at < count);
    button(QStringLiteral("btnPost"))->setEnabled(editing);
    button(QStringLiteral("btnCancel"))->setEnabled(editing);
    button(QStringLiteral("btnDelete"))->setEnabled(count > 0 || editing);
}

bool TTopicF::answersSideBySide() const
{
    return m_answersLayout->direction() == QBoxLayout::LeftToRight;
}

void TTopicF::applyLayout()
{
    const int kind = std::clamp(m_form.kind(), 0, 3);
    lbAnswersCaption->setText(u(Kinds[kind].answersCaption));
    m_answersLayout->setDirection(kind == 3 ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    for (QCheckBox* box : chkOK)
        box->setVisible(kind == 0);
    for (QLabel* title : std::as_const(m_okTitles))
        title->setVisible(kind == 0);
    for (int slot = 1; slot < TopicQuestions::PictureSlots; ++slot) {
        QWidget* pictureSlot = imgPict[slot]->parentWidget();
        pictureSlot->setVisible(kind != 1);
    }
}

void TTopicF::DBRadioGroup1Click(int kind)
{
    m_form.setKind(kind);
    // The pictures of answers a kind hides must not stay floating over the form.
    for (int slot = 0; slot < TopicQuestions::PictureSlots; ++slot)
        homePicture(slot);
    applyLayout();
}

void TTopicF::btnShowPriceClick()
{
    tbPrice->setVisible(true);
    tbPrice->setFocus();
}

void TTopicF::tbPriceChange(int position)
{
    if (m_showing)
        return;
    m_form.sliderMoved(position, tbPrice->isVisible());
    btnShowPrice->setText(u(PriceCaption) + QString::number(TopicQuestions::PriceFromSlider(position)));
}

void TTopicF::btnOpenPictClick(int slot)
{
    const QString path = ChooseOpenFile(this, u(AttachTitle), QtFileFilter(u(AttachFilter)));
    if (!path.isEmpty())
        guarded([&] { m_form.attachPicture(slot, path); });
}

void TTopicF::btnPastePictClick(int slot)
{
    guarded([&] { m_form.pastePicture(slot, ClipboardPicture::Take(QApplication::clipboard()->mimeData())); });
}

void TTopicF::guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const AppError& e) {
        ShowMessage(e.message(), MsgIcon::Error);
    }
}

bool TTopicF::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tbPrice && event->type() == QEvent::FocusOut)
        tbPrice->setVisible(false);
    else if (watched == mmRemark && event->type() == QEvent::FocusOut)
        guarded([this] { m_form.storeRemark(mmRemark->toPlainText()); });
    else if (watched == DragImg && event->type() == QEvent::MouseButtonPress)
        startQuestionDrag();
    else if (const int slot = pictureSlotOf(watched); slot >= 0 && event->type() == QEvent::MouseButtonDblClick) {
        switchPictureSize(slot);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

int TTopicF::pictureSlotOf(QObject* watched) const
{
    const auto at = std::find(imgPict.cbegin(), imgPict.cend(), watched);
    return at == imgPict.cend() ? -1 : int(at - imgPict.cbegin());
}

void TTopicF::switchPictureSize(int slot)
{
    // Thumbnail and natural size take turns; the right edge and the top stay where they were.
    const QImage image = storedPicture(slot);
    if (image.isNull())
        return;
    QLabel* label = imgPict[slot];
    liftPicture(slot);
    const QRect before = label->geometry();
    showPicture(slot, image, !label->property(NaturalSize).toBool());
    label->move(before.right() + 1 - label->width(), before.top());
}

QImage TTopicF::storedPicture(int slot) const
{
    QImage image;
    image.loadFromData(m_form.picture(slot), "BMP");
    return image;
}

QSize TTopicF::ShownNaturalSize(const QSize& picture, const QSize& screen)
{
    // A picture larger than the screen is stored as it came but shown within the screen.
    if (screen.isEmpty() || (picture.width() <= screen.width() && picture.height() <= screen.height()))
        return picture;
    return picture.scaled(screen, Qt::KeepAspectRatio);
}

void TTopicF::showPicture(int slot, const QImage& image, bool natural)
{
    QLabel* label = imgPict[slot];
    const int thumb = slot == 0 ? QuestionThumb : AnswerThumb;
    const QSize screen = label->screen() ? label->screen()->availableGeometry().size() : QSize();
    const QSize size = natural ? ShownNaturalSize(image.size(), screen) : QSize(thumb, thumb);
    label->setProperty(NaturalSize, natural);
    label->setFixedSize(size);
    if (image.isNull())
        label->setPixmap(QPixmap());
    else
        label->setPixmap(QPixmap::fromImage(
            size == image.size() ? image : image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

bool TTopicF::pictureLifted(int slot) const
{
    return imgPict[slot]->parentWidget() == this;
}

void TTopicF::liftPicture(int slot)
{
    QLabel* label = imgPict[slot];
    if (pictureLifted(slot))
        return;
    const QRect shown(label->mapTo(this, QPoint(0, 0)), label->size());
    m_pictHome[slot]->parentWidget()->layout()->replaceWidget(label, m_pictHome[slot]);
    m_pictHome[slot]->show();
    label->setParent(this);
    label->setGeometry(shown);
    label->show();
    label->raise();
}

void TTopicF::homePicture(int slot)
{
    if (!pictureLifted(slot))
        return;
    m_pictHome[slot]->parentWidget()->layout()->replaceWidget(m_pictHome[slot], imgPict[slot]);
    m_pictHome[slot]->hide();
    imgPict[slot]->show();
}

void TTopicF::startQuestionDrag()
{
    guarded([this] { m_form.store(); });
    const int queId = m_form.currentQueId();
    if (queId == 0)
        return;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(QuestionMime), QByteArray::number(queId));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    s_dragSource = this;
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    s_dragSource = nullptr;
}

void TTopicF::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(QString::fromLatin1(QuestionMime)) && s_dragSource && s_dragSource != this)
        event->acceptProposedAction();
}

void TTopicF::dropEvent(QDropEvent* event)
{
    TTopicF* source = s_dragSource;
    if (!source || source == this)
        return;
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    guarded([&] { m_form.dropQuestionFrom(source->m_form, ctrl); });
    event->acceptProposedAction();
}

void TTopicF::storePending()
{
    guarded([this] {
        m_form.store();
        m_form.storeRemark(mmRemark->toPlainText());
    });
}

void TTopicF::closeEvent(QCloseEvent* event)
{
    storePending();
    guarded([this] { m_form.closing(); });
    Q_EMIT closed(this);
    QWidget::closeEvent(event);
}

void TTopicF::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyLayout();
}
