#include "studentviewpanel.h"

#include "colourref.h"
#include "schema.h"
#include "studentviewtexts.h"
#include "widgetlook.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int Margin = 4;
constexpr int Gap = 6;
constexpr int RowGap = 4;
constexpr int CheckWidth = 18;
constexpr int OrderWidth = 16;
constexpr double OrderFontScale = 0.8; // the order labels are small beside the answers
constexpr int GaugeWidth = 120;
// Matching questions stand in two columns: answers 1 to 4 on the left, their partners on the right.
constexpr int MatchingRows = 4;

QLabel* plainLabel(QWidget* parent, bool wrap = true)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText); // question texts are shown as written, never as markup
    label->setWordWrap(wrap);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

int heightOf(const QLabel* label, int width)
{
    const int h = label->heightForWidth(width);
    return h > 0 ? h : label->sizeHint().height();
}

} // namespace

// --- ViewPicture ---

ViewPicture::ViewPicture(int thumb, QWidget* parent) : QLabel(parent), m_thumb(thumb)
{
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::SizeAllCursor);
    hide();
}

void ViewPicture::setPicture(const QByteArray& bytes)
{
    if (bytes == m_bytes)
        return; // the same picture keeps its size and place while the row is refreshed
    m_bytes = bytes;
    m_pixmap = QPixmap();
    if (!bytes.isEmpty())
        m_pixmap.loadFromData(bytes);
    m_enlarged = false;
    m_dragOffset = {};
    m_dragging = false;
    setVisible(hasPicture());
    applyGeometry();
}

void ViewPicture::placeAt(const QPoint& topLeft)
{
    m_place = topLeft;
    applyGeometry();
}

void ViewPicture::applyGeometry()
{
    if (!hasPicture()) {
        clear();
        return;
    }
    if (m_enlarged) {
        setPixmap(m_pixmap);
        setGeometry(QRect(m_place + m_dragOffset, m_pixmap.size()));
    } else {
        setPixmap(m_pixmap.scaled(m_thumb, m_thumb, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        setGeometry(QRect(m_place + m_dragOffset, QSize(m_thumb, m_thumb)));
    }
    if (m_enlarged || !m_dragOffset.isNull())
        raise(); // a picture moved or enlarged stands over the texts
}

void ViewPicture::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (hasPicture() && event->button() == Qt::LeftButton) {
        m_enlarged = !m_enlarged;
        applyGeometry();
        Q_EMIT reshaped();
    }
}

void ViewPicture::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QLabel::mousePressEvent(event);
    m_dragging = true;
    m_grab = event->globalPosition().toPoint();
    m_grabOffset = m_dragOffset;
}

void ViewPicture::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return QLabel::mouseMoveEvent(event);
    m_dragOffset = m_grabOffset + event->globalPosition().toPoint() - m_grab;
    applyGeometry();
    Q_EMIT reshaped();
}

void ViewPicture::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QLabel::mouseReleaseEvent(event);
}

// --- StudentViewPanel ---

StudentViewPanel::StudentViewPanel(QWidget* parent)
    : QWidget(parent), m_rightColour(ColourFromRef(StudentViewDefaults::RightAnsFontColor))
{
    setObjectName(QStringLiteral("StudentViewPanel"));
    m_previous = new QAction(StudentViewTexts::PreviousQuestion, this);
    m_previous->setObjectName(QStringLiteral("acPrevQue"));
    m_next = new QAction(StudentViewTexts::NextQuestion, this);
    m_next->setObjectName(QStringLiteral("acNextQue"));
    connect(m_previous, &QAction::triggered, this, [this] {
        if (m_model.previous())
            render();
    });
    connect(m_next, &QAction::triggered, this, [this] {
        if (m_model.next())
            render();
    });

    m_previousButton = new QToolButton(this);
    m_previousButton->setDefaultAction(m_previous);
    m_previousButton->setArrowType(Qt::LeftArrow);
    m_nextButton = new QToolButton(this);
    m_nextButton->setDefaultAction(m_next);
    m_nextButton->setArrowType(Qt::RightArrow);
    m_number = plainLabel(this, false);
    m_number->setObjectName(QStringLiteral("QuestionNumber"));
    m_score = plainLabel(this, false);
    m_priceCaption = plainLabel(this, false);
    m_priceCaption->setText(StudentViewTexts::PriceCaption);
    m_price = plainLabel(this, false);
    m_priceShare = plainLabel(this, false);
    m_timeCaption = plainLabel(this, false);
    m_timeCaption->setText(StudentViewTexts::TimeCaption);
    m_gauge = new QProgressBar(this);
    m_gauge->setTextVisible(false);
    m_gauge->setFixedWidth(GaugeWidth);
    m_minutes = plainLabel(this, false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_previousButton);
    bar->addWidget(m_number);
    bar->addWidget(m_nextButton);
    bar->addSpacing(Gap * 2);
    bar->addWidget(m_score);
    bar->addStretch(1);
    bar->addWidget(m_priceCaption);
    bar->addWidget(m_price);
    bar->addWidget(m_priceShare);
    bar->addSpacing(Gap * 2);
    bar->addWidget(m_timeCaption);
    bar->addWidget(m_gauge);
    bar->addWidget(m_minutes);

    m_noData = new QLabel(StudentViewTexts::NoData, this);
    m_noData->setAlignment(Qt::AlignCenter);

    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_canvas = new QWidget;
    m_canvas->installEventFilter(this);
    m_scroll->setWidget(m_canvas);

    m_question = plainLabel(m_canvas);
    QFont questionFont = m_question->font();
    questionFont.setBold(true);
    m_question->setFont(questionFont);
    for (Slot& slot : m_slots) {
        slot.check = new QCheckBox(m_canvas);
        slot.check->setAttribute(Qt::WA_TransparentForMouseEvents); // shows the student's ticks only
        slot.check->setFocusPolicy(Qt::NoFocus);
        slot.order = plainLabel(m_canvas, false);
        slot.order->setAlignment(Qt::AlignCenter);
        slot.order->setFrameShape(QFrame::Box);
        QFont small = slot.order->font();
        small.setPointSizeF(small.pointSizeF() * OrderFontScale);
        slot.order->setFont(small);
        slot.text = plainLabel(m_canvas);
        slot.text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        slot.picture = new ViewPicture(AnswerThumb, m_canvas);
        connect(slot.picture, &ViewPicture::reshaped, this, &StudentViewPanel::fitCanvas);
    }
    m_questionPicture = new ViewPicture(QuestionThumb, m_canvas);
    connect(m_questionPicture, &ViewPicture::reshaped, this, &StudentViewPanel::fitCanvas);
    m_openAnswer = new QLineEdit(m_canvas);
    m_openAnswer->setReadOnly(true);
    m_rightCaption = plainLabel(m_canvas, false);
    m_rightCaption->setText(StudentViewTexts::RightAnswerCaption);
    m_rightAnswer = plainLabel(m_canvas);
    m_variantsCaption = plainLabel(m_canvas, false);
    m_variantsCaption->setText(StudentViewTexts::VariantsCaption);
    m_variants = plainLabel(m_canvas);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Margin, Margin, Margin, Margin);
    layout->addLayout(bar);
    layout->addWidget(m_noData, 1);
    layout->addWidget(m_scroll, 1);
    render();
}

void StudentViewPanel::setRow(const StudentViewRow& row, const Table* questions)
{
    m_model.setRow(row, questions);
    render();
}

void StudentViewPanel::clearRow()
{
    m_model.clear();
    render();
}

void StudentViewPanel::firstQuestion()
{
    m_model.firstQuestion();
    render();
}

void StudentViewPanel::setRightAnswerColour(int bgr)
{
    m_rightColour = ColourFromRef(bgr);
    render();
}

void StudentViewPanel::render()
{
    const StudentView& v = m_model.view();
    m_noData->setVisible(!v.hasData);
    m_scroll->setVisible(v.hasData);
    m_number->setText(v.numberText);
    m_previous->setEnabled(v.previousEnabled);
    m_next->setEnabled(v.nextEnabled);
    m_previousButton->setVisible(v.hasData);
    m_nextButton->setVisible(v.hasData);

    m_score->setText(v.scoreText);
    m_priceCaption->setVisible(v.hasQuestion);
    m_price->setText(v.price);
    m_priceShare->setText(v.priceShare);
    ShowAll({m_timeCaption, m_gauge, m_minutes}, v.timeShown);
    m_gauge->setRange(0, std::max(v.timeMaximum, 1));
    m_gauge->setValue(v.timeValue);
    const QColor timeColour = v.timeShort ? shortTimeColour() : normalTimeColour();
    SetColours(m_gauge, {{QPalette::Highlight, timeColour}});
    SetColours(m_minutes, {{QPalette::WindowText, timeColour}});
    m_minutes->setText(v.minutesText);

    m_question->setVisible(v.hasQuestion);
    m_question->setText(v.question);
    m_questionPicture->setPicture(v.hasQuestion ? v.questionPicture : QByteArray());
    const bool open = v.hasQuestion && v.kind == QuestionKind::Open;
    for (int n = 0; n < StudentView::SlotCount; ++n)
        renderSlot(m_slots[n], v.hasQuestion && !open ? v.slots[n] : AnswerSlotView());
    ShowAll({m_openAnswer, m_rightCaption, m_rightAnswer, m_variantsCaption, m_variants}, open);
    m_openAnswer->setText(v.openAnswer);
    m_rightAnswer->setText(v.rightAnswer);
    m_variants->setText(v.variants.join(u'\n'));
    layOutCanvas();

    // asked once for each question found empty, not again at every refresh of the same row
    const QString routeKey =
        v.needRoute && m_model.row() ? m_model.row()->address + u'/' + QString::number(m_model.index()) : QString();
    if (routeKey != m_routeAsked) {
        m_routeAsked = routeKey;
        if (!routeKey.isEmpty())
            Q_EMIT needRoute(m_model.row()->address);
    }
    Q_EMIT questionChanged(m_model.index());
}

void StudentViewPanel::renderSlot(Slot& slot, const AnswerSlotView& view)
{
    slot.check->setVisible(view.checkBox);
    slot.check->setChecked(view.ticked);
    slot.order->setVisible(!view.orderLabel.isEmpty());
    slot.order->setText(view.orderLabel);
    slot.text->setVisible(view.shown);
    slot.text->setText(view.text);
    QFont font = slot.text->font();
    font.setBold(true);
    font.setUnderline(view.right);
    slot.text->setFont(font);
    SetColours(slot.text, {{QPalette::WindowText, view.right ? m_rightColour : palette().color(QPalette::WindowText)}});
    slot.picture->setPicture(view.picture);
}

// Places a slot's check box, order label, picture and text in a row; gives the row's height.
int StudentViewPanel::placeSlot(const Slot& slot, int left, int top, int width)
{
    int x = left;
    slot.check->setGeometry(x, top, CheckWidth, AnswerThumb);
    x += CheckWidth;
    slot.order->setGeometry(x, top + (AnswerThumb - OrderWidth) / 2, OrderWidth, OrderWidth);
    x += OrderWidth + Gap;
    slot.picture->placeAt({x, top});
    x += AnswerThumb + Gap;
    const int textWidth = std::max(left + width - x, 1);
    const int height = std::max(AnswerThumb, heightOf(slot.text, textWidth));
    slot.text->setGeometry(x, top, textWidth, height);
    return height;
}

void StudentViewPanel::layOutCanvas()
{
    const StudentView& v = m_model.view();
    const int width = std::max(m_canvas->width() - 2 * Margin, 1);
    int y = Margin;
    if (v.hasQuestion) {
        m_questionPicture->placeAt({Margin, y});
        const int left = Margin + QuestionThumb + Gap;
        const int textWidth = std::max(Margin + width - left, 1);
        const int height = std::max(QuestionThumb, heightOf(m_question, textWidth));
        m_question->setGeometry(left, y, textWidth, height);
        y += height + Gap;
    }
    if (v.hasQuestion && v.kind == QuestionKind::Open) {
        m_openAnswer->setGeometry(Margin, y, width, m_openAnswer->sizeHint().height());
        y += m_openAnswer->height() + Gap;
        const int captionWidth = std::max(m_rightCaption->sizeHint().width(), m_variantsCaption->sizeHint().width());
        const int left = Margin + captionWidth + Gap;
        const int textWidth = std::max(Margin + width - left, 1);
        const auto row = [&](QLabel* caption, QLabel* text) {
            const int height = std::max(caption->sizeHint().height(), heightOf(text, textWidth));
            caption->setGeometry(Margin, y, captionWidth, caption->sizeHint().height());
            text->setGeometry(left, y, textWidth, height);
            y += height + RowGap;
        };
        row(m_rightCaption, m_rightAnswer);
        row(m_variantsCaption, m_variants);
    } else if (v.hasQuestion && v.kind == QuestionKind::Matching) {
        const int half = (width - Gap) / 2;
        for (int r = 0; r < MatchingRows; ++r) {
            const int height = std::max(placeSlot(m_slots[r], Margin, y, half),
                                        placeSlot(m_slots[r + MatchingRows], Margin + half + Gap, y, half));
            if (v.slots[r].shown || v.slots[r + MatchingRows].shown)
                y += height + RowGap;
        }
    } else {
        for (int n = 0; n < StudentView::SlotCount; ++n) {
            const int height = placeSlot(m_slots[n], Margin, y, width);
            if (v.slots[n].shown)
                y += height + RowGap;
        }
    }
    m_contentBottom = y + Margin;
    fitCanvas();
}

void StudentViewPanel::fitCanvas()
{
    QSize size(0, m_contentBottom);
    for (const ViewPicture* picture : m_canvas->findChildren<ViewPicture*>()) {
        if (picture->isVisibleTo(m_canvas))
            size = size.expandedTo(QSize(picture->geometry().right(), picture->geometry().bottom()) +
                                   QSize(Margin, Margin));
    }
    m_canvas->setMinimumSize(size);
}

bool StudentViewPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_canvas && event->type() == QEvent::Resize)
        layOutCanvas();
    return QWidget::eventFilter(watched, event);
}
