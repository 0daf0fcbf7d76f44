#pragma once

#include "topicquestions.h"

#include <QSize>
#include <QWidget>
#include <array>

class QAbstractButton;
class QBoxLayout;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QImage;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;

// The topic window: shows the questions of one topic one at a time and turns the author's gestures
// into the operations of TopicQuestions, which holds every rule.
class TTopicF : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PictureHintMs = 2500;
    static constexpr int QuestionThumb = 49;
    static constexpr int AnswerThumb = 33;
    // The drag of a question handle carries this format with the QueID as text.
    static constexpr char QuestionMime[] = "application/x-vastrel-question";

    explicit TTopicF(TopicStore& store, QWidget* parent = nullptr);
    ~TTopicF() override;

    TopicQuestions& form() { return m_form; }
    int topicId() const { return m_form.topicId(); }

    void OpenTopic(int topicId);
    bool CreateAndOpenTopic(const QString& name, int parentId);
    // The prompt "Переименование темы"; false when cancelled.
    bool RenameTopic();
    // The pending question and remark are stored.
    void storePending();

    // The paste buttons follow what the clipboard offers.
    void setPicturePasteEnabled(bool enabled);
    void setQuestionPasteEnabled(bool enabled);
    // The topic window a question handle is being dragged from (null otherwise).
    static TTopicF* dragSource() { return s_dragSource; }

    // Parts the tests and the main window reach.
    QPushButton* button(const QString& objectName) const;
    QLabel* lbPosition = nullptr;
    QSlider* tbPrice = nullptr;
    QPushButton* btnShowPrice = nullptr;
    QButtonGroup* DBRadioGroup1 = nullptr;
    QPlainTextEdit* mmQuestion = nullptr;
    QPlainTextEdit* mmRemark = nullptr;
    QLabel* DragImg = nullptr;
    QLabel* lbPictHint = nullptr;
    std::array<QLineEdit*, TopicQuestions::AnswerCount> edAns{};
    std::array<QCheckBox*, TopicQuestions::AnswerCount> chkOK{};
    std::array<QLabel*, TopicQuestions::PictureSlots> imgPict{};
    std::array<QPushButton*, TopicQuestions::PictureSlots> btnOpenPict{};
    std::array<QPushButton*, TopicQuestions::PictureSlots> btnPastePict{};
    std::array<QPushButton*, TopicQuestions::PictureSlots> btnClearPic{};

    // The layout of the current kind: answers side by side for matching.
    bool answersSideBySide() const;
    // A picture moved or enlarged floats over the form until the next question is shown.
    bool pictureLifted(int slot) const;
    // The size a picture is shown at when not a thumbnail: its own, or within the screen.
    static QSize ShownNaturalSize(const QSize& picture, const QSize& screen);

Q_SIGNALS:
    void wholeQuestionCopied();
    void closed(TTopicF* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildNavigator(QBoxLayout* into);
    QWidget* buildPictureSlot(int slot);
    QGroupBox* buildAnswerPanel(int firstAnswer);
    void showCurrent();
    void applyLayout();
    // Moves are offered where they lead somewhere; store and cancel while the question is edited.
    void updateNavigator();
    void btnOpenPictClick(int slot);
    void btnPastePictClick(int slot);
    void btnShowPriceClick();
    void tbPriceChange(int position);
    void DBRadioGroup1Click(int kind);
    void startQuestionDrag();
    int pictureSlotOf(QObject* watched) const;
    void switchPictureSize(int slot);
    QImage storedPicture(int slot) const;
    void showPicture(int slot, const QImage& image, bool natural);
    void liftPicture(int slot);
    void homePicture(int slot);
    // A rule broken by a gesture is told through the program's message, as the general handler would.
    void guarded(const std::function<void()>& step);

    TopicQuestions m_form;
    bool m_showing = false;
    QLabel* lbAnswersCaption = nullptr;
    QGroupBox* pnlAnswers1 = nullptr;
    QGroupBox* pnlAnswers2 = nullptr;
    QBoxLayout* m_answersLayout = nullptr;
    QList<QLabel*> m_okTitles;
    QTimer* m_hintTimer = nullptr;
    std::array<QFrame*, TopicQuestions::PictureSlots> m_pictHome{};

    static TTopicF* s_dragSource;
};
