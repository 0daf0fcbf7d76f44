#pragma once

#include "studentviewmodel.h"

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <array>

class QAction;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QScrollArea;
class QToolButton;

// A picture of the student view: a thumbnail in a square of `thumb` pixels that a double click
// turns into the picture's natural size and back; the left mouse button drags it over the view.
class ViewPicture : public QLabel
{
    Q_OBJECT
public:
    ViewPicture(int thumb, QWidget* parent);

    // Empty bytes (or bytes that are no picture) hide it. A new picture starts as a thumbnail in place.
    void setPicture(const QByteArray& bytes);
    bool hasPicture() const { return !m_pixmap.isNull(); }
    bool isEnlarged() const { return m_enlarged; }
    // The thumbnail's place in the view; the picture stands there unless dragged away.
    void placeAt(const QPoint& topLeft);
    int thumb() const { return m_thumb; }

Q_SIGNALS:
    // The teacher enlarged, shrank or moved the picture.
    void reshaped();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void applyGeometry();

    int m_thumb;
    QByteArray m_bytes;
    QPixmap m_pixmap;
    bool m_enlarged = false;
    QPoint m_place;
    QPoint m_dragOffset; // how far the teacher moved it from its place
    QPoint m_grab;       // mouse position (global) when the drag began
    QPoint m_grabOffset; // m_dragOffset when the drag began
    bool m_dragging = false;
};

// The student view under the monitor: the question the selected computer's student is on, the
// student's answer drawn against the right one, the question's correctness and price, and the
// time left. The window hands in the selected row; it decides whether the panel is shown at all
// (hasData() tells whether there is anything to see).
class StudentViewPanel : public QWidget
{
    Q_OBJECT
public:
    // Sizes of the picture thumbnails.
    static constexpr int QuestionThumb = 33;
    static constexpr int AnswerThumb = 25;

    explicit StudentViewPanel(QWidget* parent = nullptr);

    // The selected row and its topic's cached question table (copied; null when not cached).
    void setRow(const StudentViewRow& row, const Table* questions);
    void clearRow();
    void firstQuestion();
    bool hasData() const { return m_model.hasData(); }
    const StudentViewModel& model() const { return m_model; }

    // Previous and next question; the window gives them their shortcuts and menu places.
    QAction* previousAction() const { return m_previous; }
    QAction* nextAction() const { return m_next; }

    // The colour of the right answers (0x00BBGGRR, VezuvirozSettings RightAnsFontColor).
    void setRightAnswerColour(int bgr);

    // For tests and screenshots: the parts of the view.
    QLabel* noDataLabel() const { return m_noData; }
    QLabel* numberLabel() const { return m_number; }
    QLabel* questionLabel() const { return m_question; }
    QLabel* answerLabel(int slot) const { return m_slots[slot].text; }     // slot 0..7
    QCheckBox* answerCheck(int slot) const { return m_slots[slot].check; } // slot 0..7
    QLabel* orderLabel(int slot) const { return m_slots[slot].order; }     // slot 0..7
    ViewPicture* answerPicture(int slot) const { return m_slots[slot].picture; }
    ViewPicture* questionPicture() const { return m_questionPicture; }
    QLineEdit* openAnswerEdit() const { return m_openAnswer; }
    QLabel* rightAnswerLabel() const { return m_rightAnswer; }
    QLabel* variantsLabel() const { return m_variants; }
    QLabel* scoreLabel() const { return m_score; }
    QLabel* priceLabel() const { return m_price; }
    QLabel* priceShareLabel() const { return m_priceShare; }
    QProgressBar* timeGauge() const { return m_gauge; }
    QLabel* minutesLabel() const { return m_minutes; }

    // Colours of the time left.
    static QColor normalTimeColour() { return QColor(0, 128, 0); }
    static QColor shortTimeColour() { return QColor(255, 0, 255); }

Q_SIGNALS:
    // The answer text of the shown question is empty: the computer of the address is to be asked
    // for its route ("!NeedRoute"). Once for each question found so, until it is shown filled.
    void needRoute(const QString& address);
    // The view shows another question or another state of it (after every row, previous, next).
    void questionChanged(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Slot
    {
        QCheckBox* check = nullptr;
        QLabel* order = nullptr;
        QLabel* text = nullptr;
        ViewPicture* picture = nullptr;
    };

    void render();
    void renderSlot(Slot& slot, const AnswerSlotView& view);
    void layOutCanvas();
    // The canvas as large as its texts and every picture, so that the view scrolls to all of them.
    void fitCanvas();
    int placeSlot(const Slot& slot, int left, int top, int width);

    StudentViewModel m_model;
    QColor m_rightColour;
    QAction* m_previous;
    QAction* m_next;
    QToolButton* m_previousButton;
    QToolButton* m_nextButton;
    QLabel* m_number;
    QLabel* m_score;
    QLabel* m_priceCaption;
    QLabel* m_price;
    QLabel* m_priceShare;
    QLabel* m_timeCaption;
    QProgressBar* m_gauge;
    QLabel* m_minutes;
    QLabel* m_noData;
    QScrollArea* m_scroll;
    QWidget* m_canvas;
    QLabel* m_question;
    ViewPicture* m_questionPicture;
    std::array<Slot, StudentView::SlotCount> m_slots;
    QLineEdit* m_openAnswer;
    QLabel* m_rightCaption;
    QLabel* m_rightAnswer;
    QLabel* m_variantsCaption;
    QLabel* m_variants;
    QString m_routeAsked; // the computer and question last asked for the route
    int m_contentBottom = 0;
};
