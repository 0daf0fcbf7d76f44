#include "studentf.h"

#include "colourref.h"
#include "criterialistf.h"
#include "detailsf.h"
#include "filedialogs.h"
#include "gradientpanel.h"
#include "linktexts.h"
#include "messages.h"
#include "questionrow.h"
#include "runlog.h"
#include "testengine.h"
#include "textprompt.h"
#include "traymsgf.h"
#include "widgetlook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int QuestionAreaHeight = 73;
constexpr int QuestionAreaStep = 8;
constexpr int ButtonAreaHeight = 56;
constexpr int SidePanelWidth = 150;
constexpr int OrderMarkLeft = 10;
constexpr int OrderMarkPointSize = 20;
constexpr int DetailsMargin = 30;
constexpr int PictureHintMs = 2500;
constexpr int PictureGap = 8; // between the question picture and the question area's corner
const QSize PictureHintSize(250, 30);
constexpr int PictureHintOffset = 6;
const QColor DefaultQuestionBackground(159, 151, 217);
const QColor DefaultAnswerBackground(224, 221, 255);
const QColor GaugeGreen(0, 128, 0);
const QColor GaugeRed(255, 0, 0);

// Fonts are partial too: only what is given is the widget's own, the rest follows its parent.
QFont boldFont(int pointSize, bool underline)
{
    QFont font;
    if (pointSize > 0)
        font.setPointSize(pointSize);
    font.setBold(true);
    font.setUnderline(underline);
    return font;
}

} // namespace

TStudentF::TStudentF(const QStringList& arguments, const QString& serverOption, StudentParts parts, QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("TStudentF"));
    const quint32 seed = parts.seed ? parts.seed : quint32(QDateTime::currentMSecsSinceEpoch());
    ServerListener* listener = parts.listener;
    ChannelFactory channels = parts.channels;
    if (!channels) {
        m_lateNetwork = std::make_unique<LateNetwork>();
        listener = &m_lateNetwork->listener();
        channels = m_lateNetwork->channels();
    }
    m_link = std::make_unique<StudentLink>(*this, *this, *listener, channels, seed,
                                           parts.linkTimers ? parts.linkTimers : EventLoopTimers());
    m_engine =
        std::make_unique<TestEngine>(*m_link, *this, seed, parts.engineTimers ? parts.engineTimers : EventLoopTimers());
    m_link->attachEngine(m_engine.get());
    if (m_lateNetwork)
        m_lateNetwork->setAdvertisementHandler(
            [link = m_link.get()](const QString& info, const QString& ip, const QString& name) {
                link->ListenerAdvertisementReceived(info, ip, name);
            });
    int screenHeight = parts.screenHeight;
    if (screenHeight <= 0 && QGuiApplication::primaryScreen())
        screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    m_measures = LayoutMeasures::forScreenHeight(screenHeight);
    buildControls();
    connect(m_link.get(), &StudentLink::closeRequested, this, [this] {
        m_closeForced = true;
        // Before the frame shows the window (the splash still stands) the close waits for the show.
        if (isVisible())
            close();
    });
    FormCreate(arguments, serverOption);
}

void TStudentF::loadNetwork()
{
    if (!m_lateNetwork || m_lateNetwork->arrived())
        return;
    QString error;
    std::unique_ptr<StudentNetwork> network = LoadStudentNetwork(&error);
    if (!network) {
        LogText(LinkText::NetworkNotLoadedLog.arg(error));
        tellUser(LinkText::NetworkNotLoaded);
        return;
    }
    m_lateNetwork->arrive(std::move(network));
}

TStudentF::~TStudentF()
{
    closeDetails();
    TTrayMsgF::withdrawAll();
}

void TStudentF::FormCreate(const QStringList& arguments, const QString& serverOption)
{
    LogBegin();
    setWindowTitle(QString::fromLatin1(BaseCaption));
    m_link->start(arguments, serverOption);
    // Drawn once for all the start did; from here on every change redraws.
    connect(m_engine.get(), &TestEngine::changed, this, &TStudentF::render);
    connect(m_link.get(), &StudentLink::changed, this, &TStudentF::render);
    render();
}

// --- controls ---

void TStudentF::buildControls()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    mmQuestion = new QTextEdit(central);
    mmQuestion->setObjectName(QStringLiteral("mmQuestion"));
    mmQuestion->setReadOnly(true);
    mmQuestion->setAlignment(Qt::AlignCenter);
    mmQuestion->setFixedHeight(QuestionAreaHeight);
    column->addWidget(mmQuestion);

    auto* middle = new QWidget(central);
    auto* row = new QHBoxLayout(middle);
    row->setContentsMargins(0, 0, 0, 0);
    AnswersPanel = new QWidget(middle);
    AnswersPanel->setObjectName(QStringLiteral("AnswersPanel"));
    AnswersPanel->setAutoFillBackground(true);
    row->addWidget(AnswersPanel, 1);
    auto* side = new QWidget(middle);
    side->setFixedWidth(SidePanelWidth);
    auto* sideColumn = new QVBoxLayout(side);
    lbPrice = new QLabel(side);
    lbPrice->setObjectName(QStringLiteral("lbPrice"));
    lbRightCount = new QLabel(side);
    lbRightCount->setObjectName(QStringLiteral("lbRightCount"));
    for (QLabel* l : {lbPrice, lbRightCount}) {
        l->setWordWrap(true);
        sideColumn->addWidget(l);
    }
    // The time display: the time left in words over a gauge that runs down to the bottom.
    lbTimeCaption = new QLabel(QStringLiteral("Остаток времени:"), side);
    lbTimeRemainMinutes = new QLabel(side);
    lbTimeRemainMinutes->setObjectName(QStringLiteral("lbTimeRemainMinutes"));
    lbTimeRemainSec = new QLabel(side);
    lbTimeRemainSec->setObjectName(QStringLiteral("lbTimeRemainSec"));
    TimeGauge = new QProgressBar(side);
    TimeGauge->setObjectName(QStringLiteral("TimeGauge"));
    TimeGauge->setToolTip(QStringLiteral("Остаток времени"));
    TimeGauge->setOrientation(Qt::Vertical);
    TimeGauge->setTextVisible(false);
    for (QLabel* l : {lbTimeCaption, lbTimeRemainMinutes, lbTimeRemainSec})
        sideColumn->addWidget(l);
    sideColumn->addWidget(TimeGauge, 1, Qt::AlignHCenter);
    sideColumn->addStretch(); // takes the height while the gauge is hidden
    row->addWidget(side);
    column->addWidget(middle, 1);

    for (int k = 1; k <= MaxAnswerPositions; ++k) {
        Position& p = m_positions[k - 1];
        p.text = new QLabel(AnswersPanel);
        p.text->setObjectName(QStringLiteral("DBText%1").arg(k));
        p.text->setWordWrap(true);
        p.text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        p.text->installEventFilter(this);
        p.tick = new QCheckBox(AnswersPanel);
        p.tick->setObjectName(QStringLiteral("DBCheckBox%1").arg(k));
        connect(p.tick, &QCheckBox::clicked, this,
                [this, k] { m_engine->ToggleTick(m_engine->view().positions[k - 1].answer); });
        p.orderMark = new QLabel(AnswersPanel);
        p.orderMark->setObjectName(QStringLiteral("lblRightOrder%1").arg(k));
    }
    for (int k = 0; k < PictureCount; ++k) {
        // On the window, not in the answer area: a picture stays live while the answers are locked.
        auto* label = new QLabel(central);
        label->setObjectName(QStringLiteral("DBImage%1").arg(k));
        label->setScaledContents(true);
        label->setCursor(Qt::SizeHorCursor);
        label->installEventFilter(this);
        label->hide();
        m_pictures[k].label = label;
    }
    m_pictureHint = new QLabel(QStringLiteral("Двойной щелчок изменяет размер рисунка, левой кнопкой мыши можно "
                                              "перетаскивать"),
                               central);
    m_pictureHint->setObjectName(QStringLiteral("PictureHint"));
    m_pictureHint->setWordWrap(true);
    m_pictureHint->setAutoFillBackground(true);
    m_pictureHint->setBackgroundRole(QPalette::ToolTipBase);
    m_pictureHint->setFixedSize(PictureHintSize);
    m_pictureHint->hide();
    m_pictureHintTimer = new QTimer(this);
    m_pictureHintTimer->setSingleShot(true);
    m_pictureHintTimer->setInterval(PictureHintMs);
    connect(m_pictureHintTimer, &QTimer::timeout, m_pictureHint, &QWidget::hide);

    OpenDBEdit = new QLineEdit(AnswersPanel);
    OpenDBEdit->setObjectName(QStringLiteral("OpenDBEdit"));
    connect(OpenDBEdit, &QLineEdit::textEdited, this, [this](const QString& text) { m_engine->SetOpenAnswer(text); });
    lbRightAnswer = new QLabel(QStringLiteral("Правильный ответ:"), AnswersPanel);
    DBTextRight = new QLabel(AnswersPanel);
    DBTextRight->setObjectName(QStringLiteral("DBTextRight"));

    TopImg = new GradientPanel(AnswersPanel);
    TopImg->setObjectName(QStringLiteral("TopImg"));
    TopImg->lower();
    AnswersPanel->installEventFilter(this); // the strip and the rows follow its size

    auto* buttons = new GradientPanel(central);
    BtnsPanel = buttons;
    buttons->setObjectName(QStringLiteral("BtnsPanel"));
    buttons->setFixedHeight(ButtonAreaHeight);
    auto* buttonRow = new QHBoxLayout(buttons);
    btnCriteria = new QPushButton(QStringLiteral("Критерии оценки"), buttons);
    btnPrev = new QPushButton(QStringLiteral("Предыдущий вопрос"), buttons);
    btnNext = new QPushButton(QStringLiteral("Следующий вопрос"), buttons);
    btnReady = new QPushButton(QStringLiteral("Тест закончен"), buttons);
    lbQueNum = new QLabel(buttons);
    lbQueNum->setObjectName(QStringLiteral("lbQueNum"));
    btnCriteria->setObjectName(QStringLiteral("btnShowCriteria"));
    btnPrev->setObjectName(QStringLiteral("btnPrev"));
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnReady->setObjectName(QStringLiteral("btnReady"));
    buttonRow->addWidget(btnCriteria);
    buttonRow->addStretch();
    buttonRow->addWidget(btnPrev);
    buttonRow->addWidget(lbQueNum);
    buttonRow->addWidget(btnNext);
    buttonRow->addStretch();
    buttonRow->addWidget(btnReady);
    column->addWidget(buttons);
    connect(btnCriteria, &QPushButton::clicked, this, [this] { m_engine->btnShowCriteriaClick(); });
    connect(btnPrev, &QPushButton::clicked, this, [this] { m_engine->btnPrevClick(); });
    connect(btnNext, &QPushButton::clicked, this, [this] {
        if (m_engine->view().nextAction == NextAction::QuestionReady)
            m_engine->acQuestionReadyExecute();
        else
            m_engine->btnNextClick();
    });
    connect(btnReady, &QPushButton::clicked, this, [this] { m_engine->btnReadyClick(); });

    StatusPanel = new QWidget(central);
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusPanel->setAutoFillBackground(true);
    auto* statusColumn = new QVBoxLayout(StatusPanel);
    lbStatus = new QLabel(StatusPanel);
    lbStatus->setObjectName(QStringLiteral("lbStatus"));
    lbStatusHint = new QLabel(LinkText::SearchHint, StatusPanel);
    lbStatusHint->setObjectName(QStringLiteral("lbStatusHint"));
    rgMetod = new QWidget(StatusPanel);
    rgMetod->setObjectName(QStringLiteral("rgMetod"));
    auto* modesColumn = new QVBoxLayout(rgMetod);
    modesColumn->addWidget(new QLabel(LinkText::ModeChoice, rgMetod));
    m_modes = new QButtonGroup(this);
    const QString modeTexts[] = {LinkText::ModeAutomatic, LinkText::ModeManual, LinkText::ModeSaved,
                                 LinkText::ModeAutonomous};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(modeTexts[i], rgMetod);
        radio->setObjectName(QStringLiteral("rgMetod%1").arg(i));
        m_modes->addButton(radio, i);
        modesColumn->addWidget(radio);
    }
    connect(m_modes, &QButtonGroup::idClicked, this, [this](int id) { m_link->rgMetodClick(WorkMode(id)); });
    statusColumn->addWidget(lbStatus);
    statusColumn->addWidget(lbStatusHint);
    statusColumn->addWidget(rgMetod);
    for (QWidget* w :
         {static_cast<QWidget*>(StatusPanel), static_cast<QWidget*>(lbStatus), static_cast<QWidget*>(lbStatusHint)})
        w->installEventFilter(this);

    WaitPanel = new QWidget(central);
    WaitPanel->setObjectName(QStringLiteral("WaitPanel"));
    WaitPanel->setAutoFillBackground(true);
    auto* waitColumn = new QVBoxLayout(WaitPanel);
    lbWait = new QLabel(WaitPanel);
    lbWait->setObjectName(QStringLiteral("lbWait"));
    lbOrPress = new QLabel(LinkText::OrPressButton, WaitPanel);
    btnGetQuestions = new QPushButton(LinkText::GetQuestions, WaitPanel);
    btnGetQuestions->setObjectName(QStringLiteral("btnGetQuestions"));
    waitColumn->addWidget(lbWait);
    waitColumn->addWidget(lbOrPress);
    waitColumn->addWidget(btnGetQuestions);
    connect(btnGetQuestions, &QPushButton::clicked, this, [this] { m_link->btnGetQuestionsClick(); });
    for (QWidget* w : {static_cast<QWidget*>(WaitPanel), static_cast<QWidget*>(lbWait)})
        w->installEventFilter(this);

    // Shown first by FormCreate, once the link has started.
    setAppearance({0x00FFFF, 10, int(0xD9 << 16 | 151 << 8 | 159), 0, 10, int(0xFF << 16 | 221 << 8 | 224), 0x008000});
    resize(1000, 700);                   // when the student restores it
    setWindowState(Qt::WindowMaximized); // the test fills the screen
}

// --- showing ---

void TStudentF::render()
{
    const EngineView& v = m_engine->view();
    renderQuestion(v);
    renderLink();
    // The idle rules: whatever changed, the enabling follows the engine's state.
    const TestPhase phase = m_engine->phase();
    AnswersPanel->setEnabled(phase == TestPhase::Answering);
    btnCriteria->setEnabled(phase != TestPhase::Waiting);
    btnPrev->setVisible(v.prevVisible);
    btnPrev->setEnabled(v.prevEnabled && phase != TestPhase::Waiting);
    btnNext->setEnabled(v.nextEnabled && phase != TestPhase::Waiting);
    btnNext->setText(v.nextAction == NextAction::QuestionReady ? QStringLiteral("Вопрос решён")
                                                               : QStringLiteral("Следующий вопрос"));
    btnReady->setEnabled(v.readyEnabled);
    WaitPanel->setVisible(m_link->isConnected() && phase == TestPhase::Waiting);
    QString title = QString::fromLatin1(BaseCaption);
    if (!m_link->view().topicCaption.isEmpty())
        title = QStringLiteral(" %1[%2]  ").arg(title, m_link->view().topicCaption);
    setWindowTitle(title + v.titleSuffix);
}

void TStudentF::renderQuestion(const EngineView& v)
{
    const Table& set = m_engine->questionSet();
    const bool shown = v.hasQuestion && v.row >= 0 && v.row < set.rowCount();
    const QString question = shown ? set.value(v.row, QStringLiteral("Question")).toString() : QString();
    if (mmQuestion->toPlainText() != question) {
        mmQuestion->setPlainText(question);
        mmQuestion->setAlignment(Qt::AlignCenter);
        fitQuestionArea();
    }
    for (int k = 1; k <= MaxAnswerPositions; ++k)
        renderPosition(v, k);
    placeTexts();
    renderPictures(v);
    const bool open = shown && v.kind == QuestionKind::Open;
    OpenDBEdit->setVisible(open);
    if (open) {
        const QString answer = set.value(v.row, QStringLiteral("Rslt")).toString();
        if (OpenDBEdit->text() != answer)
            OpenDBEdit->setText(answer);
    }
    lbRightAnswer->setVisible(v.rightAnswerShown);
    DBTextRight->setVisible(v.rightAnswerShown);
    if (v.rightAnswerShown)
        DBTextRight->setText(QuestionRow(TableRow(set, v.row)).answerText(1));
    lbPrice->setVisible(v.pricePanelShown);
    lbPrice->setText(QStringLiteral("Цена вопроса: %1 %2").arg(v.price).arg(v.priceShare));
    lbRightCount->setVisible(v.rightCountShown);
    lbRightCount->setText(QStringLiteral("Правильных вариантов: %1").arg(v.rightCount));
    ShowAll({lbTimeCaption, lbTimeRemainMinutes, lbTimeRemainSec, TimeGauge}, v.timeShown);
    lbTimeRemainMinutes->setText(v.minutesText);
    lbTimeRemainSec->setText(v.secondsText);
    TimeGauge->setRange(0, qMax(v.secondsTotal, 1));
    TimeGauge->setValue(qBound(0, v.secondsLeft, TimeGauge->maximum()));
    if (m_gaugeRed != v.gaugeRed) {
        m_gaugeRed = v.gaugeRed;
        SetColours(TimeGauge, {{QPalette::Highlight, v.gaugeRed ? GaugeRed : GaugeGreen}});
    }
    lbQueNum->setText(v.questionNumber);
}

void TStudentF::renderPosition(const EngineView& v, int k)
{
    const Position& p = m_positions[k - 1];
    const AnswerPosition& a = v.positions[k - 1];
    const bool shown = v.hasQuestion && a.shown && v.kind != QuestionKind::Open;
    const Table& set = m_engine->questionSet();
    const QuestionRow row = shown ? QuestionRow(TableRow(set, v.row)) : QuestionRow(TableRow(set, 0));
    p.text->setVisible(shown);
    p.text->setText(shown ? row.answerText(a.answer) : QString());
    const bool marked = v.marksShown && a.right;
    lookOfPosition(k - 1,
                   marked ? ColourFromRef(m_appearance.RightAnsFontColor) : ColourFromRef(m_appearance.AnsFontColor),
                   marked);
    const AnswerPlace place =
        PlaceOfPosition(v.kind, m_engine->sevenAnswerFormat(), k, AnswersPanel->width(), m_measures);
    p.tick->setVisible(shown && place.tickBox);
    p.tick->setChecked(shown && row.isTicked(a.answer));
    p.text->setCursor(shown && place.draggable ? Qt::SizeVerCursor : Qt::ArrowCursor);
    p.orderMark->setVisible(v.marksShown && a.orderMark > 0);
    p.orderMark->setText(QString::number(a.orderMark));
}

// The colour and underline of a position's text and mark; set only when they change (setting a
// palette or a font costs even when it changes nothing, and every render sets all eight).
void TStudentF::lookOfPosition(int index, const QColor& colour, bool marked)
{
    Position& p = m_positions[index];
    if (p.look && p.look->colour == colour && p.look->marked == marked)
        return;
    p.look = Position::Look{colour, marked};
    SetColours(p.text, {{QPalette::WindowText, colour}});
    p.text->setFont(boldFont(0, marked));
    SetColours(p.orderMark, {{QPalette::WindowText, colour}});
    p.orderMark->setFont(boldFont(OrderMarkPointSize, marked));
}

// Places every text at its position's row (the arrangement lives in the engine's view).
void TStudentF::placeTexts()
{
    const EngineView& v = m_engine->view();
    for (int k = 1; k <= MaxAnswerPositions; ++k) {
        const Position& p = m_positions[k - 1];
        const AnswerPlace place =
            PlaceOfPosition(v.kind, m_engine->sevenAnswerFormat(), k, AnswersPanel->width(), m_measures);
        const int top = m_measures.topOfRow(place.row);
        p.text->setGeometry(place.left, top, place.width, m_measures.textHeight);
        p.tick->move(place.left - m_measures.tickShift, top);
        // Ordering marks stand left of the texts; matching marks just left of the right column's texts.
        const bool besideText = v.kind == QuestionKind::Matching && place.left > m_measures.textLeft;
        p.orderMark->move(besideText ? place.left - m_measures.textLeft + OrderMarkLeft : OrderMarkLeft, top);
    }
    const int half = AnswersPanel->width() / 2;
    OpenDBEdit->setGeometry(m_measures.textLeft, m_measures.topOfRow(1), half, m_measures.openBoxHeight);
    lbRightAnswer->setGeometry(m_measures.textLeft, m_measures.topOfRow(2), m_measures.rightAnswerShift,
                               m_measures.rightAnswerHeight);
    DBTextRight->setGeometry(m_measures.textLeft + m_measures.rightAnswerShift, m_measures.topOfRow(2), half,
                             m_measures.rightAnswerHeight);
}

// The thumbnails of the question's pictures; an enlarged picture returns to its thumbnail when
// another question shows. The hint about pictures shows once per question shown.
void TStudentF::renderPictures(const EngineView& v)
{
    const Table& set = m_engine->questionSet();
    const bool shown = v.hasQuestion && v.row >= 0 && v.row < set.rowCount();
    const bool newQuestion = !shown || v.row != m_hintedRow;
    for (int k = 0; k < PictureCount; ++k) {
        if (!newQuestion && m_pictures[k].enlarged)
            continue;
        QVariant bytes;
        if (k == 0 && shown)
            bytes = set.value(v.row, QStringLiteral("QuePict"));
        const AnswerPosition* a = k > 0 ? &v.positions[k - 1] : nullptr;
        if (a && shown && a->shown && v.kind != QuestionKind::Open)
            bytes = set.value(v.row, QStringLiteral("Pict%1").arg(a->answer));
        setPicture(k, bytes);
    }
    if (!newQuestion)
        return;
    m_hintedRow = shown ? v.row : -1;
    const bool anyPicture =
        std::any_of(m_pictures.begin(), m_pictures.end(), [](const Picture& p) { return !p.label->isHidden(); });
    m_pictureHint->setVisible(anyPicture);
    if (anyPicture) {
        placePictureHint();
        m_pictureHint->raise();
        m_pictureHintTimer->start();
    }
}

// Where thumbnail k stands: the question's at the question area's right corner, an answer's beside
// its text.
QRect TStudentF::thumbnailFrame(int k) const
{
    if (k > 0)
        return AnswerPictureFrame(m_positions[k - 1].text->geometry(), m_measures);
    const int thumb = m_measures.questionThumb;
    return QRect(mmQuestion->width() - thumb - PictureGap, PictureGap, thumb, thumb);
}

void TStudentF::placePictureHint()
{
    const QRect question = thumbnailFrame(0);
    m_pictureHint->move(question.right() + 1 - PictureHintSize.width() + PictureHintOffset,
                        question.bottom() + PictureHintOffset);
}

// Puts picture k at its thumbnail.
void TStudentF::placeThumbnail(int k)
{
    Picture& p = m_pictures[k];
    p.thumbnail = thumbnailFrame(k);
    p.label->setGeometry(p.thumbnail);
}

// Thumbnails follow their texts; an enlarged picture stays where the student left it.
void TStudentF::placePictures()
{
    for (int k = 0; k < PictureCount; ++k)
        if (!m_pictures[k].enlarged)
            placeThumbnail(k);
    placePictureHint();
}

void TStudentF::setPicture(int k, const QVariant& bytes)
{
    Picture& p = m_pictures[k];
    QPixmap pixmap;
    if (!bytes.isNull())
        pixmap.loadFromData(bytes.toByteArray());
    p.enlarged = false;
    p.natural = pixmap.size();
    p.label->setPixmap(pixmap);
    placeThumbnail(k);
    p.label->setVisible(!pixmap.isNull());
    p.label->raise();
}

// Grows the question area in steps until the question's first line shows with the memo scrolled
// to its end, so that the whole question is seen without scrolling.
void TStudentF::fitQuestionArea()
{
    int height = QuestionAreaHeight;
    mmQuestion->setFixedHeight(height);
    const int limit = this->height() / 2;
    const auto fits = [this] {
        const int documentHeight = int(mmQuestion->document()->size().height());
        return documentHeight <= mmQuestion->viewport()->height();
    };
    while (!mmQuestion->toPlainText().isEmpty() && !fits() && height < limit) {
        height += QuestionAreaStep;
        mmQuestion->setFixedHeight(height);
        mmQuestion->document()->setTextWidth(mmQuestion->viewport()->width());
    }
}

void TStudentF::renderLink()
{
    const LinkView& lv = m_link->view();
    StatusPanel->setVisible(lv.statusShown);
    lbStatus->setText(lv.statusText);
    rgMetod->setVisible(lv.choiceShown);
    lbStatusHint->setVisible(!lv.choiceShown);
    if (QAbstractButton* b = m_modes->button(int(lv.mode)))
        b->setChecked(true);
    lbWait->setText(lv.waitCaption);
    lbOrPress->setVisible(lv.offerShown);
    btnGetQuestions->setVisible(lv.offerShown);
    btnGetQuestions->setToolTip(lv.offerHint);
    WaitPanel->setToolTip(lv.offerHint);
    StatusPanel->adjustSize();
    WaitPanel->adjustSize();
    placePanels();
    StatusPanel->raise();
    WaitPanel->raise();
}

// The status and waiting panels stand in the middle of the window's width.
void TStudentF::placePanels()
{
    const int middle = centralWidget()->width() / 2;
    StatusPanel->move(middle - StatusPanel->width() / 2, m_measures.panelTop);
    WaitPanel->move(middle - WaitPanel->width() / 2, m_measures.panelTop);
}

// A new size moves things, it changes nothing shown: the texts, thumbnails and panels are placed
// anew and everything else stays as the last render left it.
void TStudentF::place()
{
    placeTexts();
    placePictures();
    placePanels();
}

void TStudentF::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    place();
}

// The strips run from the question colour to the answer colour above the answers, and back below;
// they draw themselves on every repaint, so a new appearance only has to hand them its colours.
void TStudentF::placeStrips()
{
    const QColor question = ColourFromRef(m_appearance.QueBGColor);
    const QColor answers = ColourFromRef(m_appearance.AnsBGColor);
    TopImg->setGeometry(0, 0, AnswersPanel->width(), m_measures.stripHeight);
    TopImg->setColours(question, answers);
    BtnsPanel->setColours(answers, question);
}

// --- gestures ---

void TStudentF::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F6)
        btnPrev->click();
    else if (event->key() == Qt::Key_F7)
        btnNext->click();
    else
        QMainWindow::keyPressEvent(event);
}

int TStudentF::positionOf(QObject* watched) const
{
    for (int k = 1; k <= MaxAnswerPositions; ++k)
        if (m_positions[k - 1].text == watched)
            return k;
    return 0;
}

bool TStudentF::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == AnswersPanel) {
        placeStrips();
        place();
        return false;
    }
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (press && (watched == StatusPanel || watched == lbStatus || watched == lbStatusHint)) {
        m_link->StatusPanelClick();
        return true;
    }
    if (press && (watched == WaitPanel || watched == lbWait)) {
        m_link->WaitPanelClick();
        return true;
    }
    if (const int k = positionOf(watched))
        return dragEvent(k, event);
    if (const int k = pictureOf(watched); k >= 0)
        return pictureEvent(k, event);
    return QMainWindow::eventFilter(watched, event);
}

int TStudentF::pictureOf(QObject* watched) const
{
    for (int k = 0; k < PictureCount; ++k)
        if (m_pictures[k].label == watched)
            return k;
    return -1;
}

// A double click toggles the picture's size; pressing it drags it sideways.
bool TStudentF::pictureEvent(int k, QEvent* event)
{
    Picture& p = m_pictures[k];
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonDblClick: {
        if (m_pictureDrag >= 0 || p.natural.isEmpty())
            return true;
        // Enlarged, the question's picture keeps its thumbnail's right edge, an answer's the
        // designed picture column's.
        const int rightEdge = k == 0 ? p.thumbnail.right() : m_measures.pictureColumnRight();
        p.label->setGeometry(ToggledPictureFrame(p.label->geometry(), p.enlarged, p.thumbnail, p.natural, rightEdge));
        p.enlarged = !p.enlarged;
        p.label->raise();
        return true;
    }
    case QEvent::MouseButtonPress:
        m_pictureHint->hide();
        m_pictureDrag = k;
        m_pictureGrabX = int(mouse->position().x());
        return true;
    case QEvent::MouseMove:
        if (m_pictureDrag == k)
            p.label->move(p.label->x() + int(mouse->position().x()) - m_pictureGrabX, p.label->y());
        return true;
    case QEvent::MouseButtonRelease:
        m_pictureDrag = -1;
        return true;
    default:
        return false;
    }
}

// A click on a choice answer's text toggles its tick; ordering and matching texts are dragged.
bool TStudentF::dragEvent(int position, QEvent* event)
{
    const EngineView& v = m_engine->view();
    if (!AnswersPanel->isEnabled())
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    QLabel* text = m_positions[position - 1].text;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (v.kind == QuestionKind::Choice) {
            m_engine->ToggleTick(v.positions[position - 1].answer);
            return true;
        }
        std::array<bool, MaxAnswerPositions> present{};
        for (int k = 0; k < MaxAnswerPositions; ++k)
            present[k] = v.positions[k].shown;
        m_drag = std::make_unique<RowDrag>(v.kind, m_engine->arrangement(), present, m_measures);
        if (!m_drag->begin(position)) {
            m_drag.reset();
            return false;
        }
        m_dragPosition = position;
        m_dragGrab = int(mouse->position().y());
        for (int k = 0; k < MaxAnswerPositions; ++k)
            m_rowLabel[k] = k + 1;
        text->raise();
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_drag || position != m_dragPosition)
            return false;
        const int top = text->y() + int(mouse->position().y()) - m_dragGrab;
        const int before = m_drag->row();
        m_drag->moveTo(top);
        const int after = m_drag->row();
        // Each row passed: the neighbour's text takes the row the dragged text left.
        for (int r = before; r != after; r += after > before ? 1 : -1) {
            const int next = after > before ? r + 1 : r - 1;
            std::swap(m_rowLabel[r - 1], m_rowLabel[next - 1]);
            moveText(m_rowLabel[r - 1], m_drag->topOfRow(r));
        }
        moveText(position, top);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (!m_drag || position != m_dragPosition)
            return false;
        const Arrangement arrangement = m_drag->arrangement();
        moveText(position, m_drag->release());
        m_drag.reset();
        m_dragPosition = 0;
        if (!m_engine->SetArrangement(arrangement))
            render();
        return true;
    }
    default:
        return false;
    }
}

// A dragged text takes its picture along, the picture's drop below it kept.
void TStudentF::moveText(int position, int top)
{
    QLabel* text = m_positions[position - 1].text;
    text->move(text->x(), top);
    QLabel* picture = m_pictures[position].label;
    picture->move(picture->x(), top + m_measures.pictureDrop);
}

void TStudentF::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_closeForced)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TStudentF::closeEvent(QCloseEvent* event)
{
    if (!m_closeForced && !m_link->FormCloseQuery()) {
        event->ignore();
        return;
    }
    closeDetails();
    closeCriteria();
    event->accept();
}

// --- EngineNotices ---

void TStudentF::showNotice(const Notice& notice)
{
    TTrayMsgF::show(notice);
}

void TStudentF::withdrawAllNotices()
{
    TTrayMsgF::withdrawAll();
}

void TStudentF::tellUser(const QString& text)
{
    ShowMessage(text, MsgIcon::Warning);
}

void TStudentF::tellBesideGetQuestions(const QString& text)
{
    ShowMessage(text, MsgIcon::Warning);
}

std::optional<QString> TStudentF::askStudentName()
{
    return AskText(this, QStringLiteral("Фамилия студента"),
                   QStringLiteral("Введите Вашу фамилию для сохранения результата:"), QString());
}

void TStudentF::applyAppearance(const Appearance& a)
{
    setAppearance(a);
    render();
}

void TStudentF::setAppearance(const Appearance& a)
{
    m_appearance = a;
    SetColours(mmQuestion,
               {{QPalette::Base, ColourFromRef(a.QueBGColor)}, {QPalette::Text, ColourFromRef(a.QueFontColor)}});
    mmQuestion->setFont(boldFont(qMax(6, a.QueFontSize), false));
    SetColours(AnswersPanel, {{QPalette::Window, ColourFromRef(a.AnsBGColor)}});
    QFont font = AnswersPanel->font();
    font.setPointSize(qMax(6, a.AnsFontSize));
    font.setBold(true);
    AnswersPanel->setFont(font);
    for (QLabel* label : {DBTextRight, lbRightAnswer})
        SetColours(label, {{QPalette::WindowText, ColourFromRef(a.RightAnsFontColor)}});
    placeStrips();
}

void TStudentF::showDetails(const TestDetails& details)
{
    if (!m_details) {
        m_details = new TDetailsF(details, m_engine->settings().ShowRights, this);
        connect(m_details, &TDetailsF::questionChosen, this, [this](int index) { m_engine->ChooseQuestion(index); });
    }
    const QRect frame = frameGeometry();
    m_details->move(frame.right() - DetailsMargin - m_details->width(), frame.top() + DetailsMargin);
    m_details->show();
}

void TStudentF::closeDetails()
{
    if (m_details)
        m_details->close();
}

void TStudentF::showCriteria(const QString& criteriaList)
{
    TCriteriaListF* window = TCriteriaListF::ensure(criteriaList, this);
    window->move(frameGeometry().right() - DetailsMargin - window->width(), frameGeometry().top() + DetailsMargin);
    window->show();
}

void TStudentF::closeCriteria()
{
    TCriteriaListF::closeInstance();
}

// --- LinkDialogs ---

std::optional<QString> TStudentF::askServerAddress(const QString& current)
{
    return AskText(this, LinkText::AddressTitle, LinkText::AddressPrompt, current);
}

QString TStudentF::chooseQuestionFile()
{
    return ChooseOpenFile(this, QString(), QtFileFilter(LinkText::QuestionFileFilter));
}
