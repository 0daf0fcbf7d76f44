#pragma once

#include "answerlayout.h"
#include "detailsf.h"
#include "engineinterfaces.h"
#include "latenetwork.h"
#include "studentlink.h"

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>

class GradientPanel;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;

// What a test (or the program) gives the window from outside: timers, the listener and the
// screen height. Empty members mean the program's own.
struct StudentParts
{
    TimerFactory linkTimers;
    TimerFactory engineTimers;
    // The listener and the connection, given together; none: the program's, which come with its
    // network module once the window is drawn (loadNetwork).
    ServerListener* listener = nullptr;
    ChannelFactory channels;
    quint32 seed = 0;     // 0: from the clock
    int screenHeight = 0; // 0: the primary screen's
};

// The main window of Student: shows the engine's question with its answers, forwards the student's
// clicks and drags to the engine and the link, and answers what they ask through the message and
// prompt seams. Every rule lives in the engine and the link; this window only shows them.
class TStudentF : public QMainWindow, public EngineNotices, public LinkDialogs
{
    Q_OBJECT
public:
    static constexpr const char* BaseCaption = "Vastrel Student " VASTREL_VERSION "  ";

    explicit TStudentF(const QStringList& arguments = {}, const QString& serverOption = {}, StudentParts parts = {},
                       QWidget* parent = nullptr);
    ~TStudentF() override;

    // The program's sockets: loads the network module and hands them to the link. Once the window
    // is drawn, so that its first sight does not wait for the network library to load.
    void loadNetwork();

    TestEngine& engine() { return *m_engine; }
    StudentLink& link() { return *m_link; }
    const LayoutMeasures& measures() const { return m_measures; }
    // The answer text of position k (1..8); for tests and screenshots.
    QLabel* answerText(int position) const { return m_positions[position - 1].text; }
    TDetailsF* details() const { return m_details; }
    // The question picture (0) and the answer pictures of positions 1..8.
    QLabel* picture(int k) const { return m_pictures[k].label; }
    QLabel* pictureHint() const { return m_pictureHint; }

    // --- EngineNotices ---
    void showNotice(const Notice& notice) override;
    void withdrawAllNotices() override;
    void tellUser(const QString& text) override;
    void tellBesideGetQuestions(const QString& text) override;
    std::optional<QString> askStudentName() override;
    void applyAppearance(const Appearance& appearance) override;
    void showDetails(const TestDetails& details) override;
    void closeDetails() override;
    void showCriteria(const QString& criteriaList) override;
    void closeCriteria() override;

    // --- LinkDialogs ---
    std::optional<QString> askServerAddress(const QString& current) override;
    QString chooseQuestionFile() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Position
    {
        QLabel* text = nullptr;
        QCheckBox* tick = nullptr;
        QLabel* orderMark = nullptr;
        struct Look
        {
            QColor colour;
            bool marked = false;
        };
        std::optional<Look> look; // what lookOfPosition last set
    };

    struct Picture
    {
        QLabel* label = nullptr;
        QSize natural;
        bool enlarged = false;
        QRect thumbnail; // where the display put it
    };
    static constexpr int PictureCount = MaxAnswerPositions + 1;

    void buildControls();
    // The appearance's colours, fonts and strips, without showing the view anew.
    void setAppearance(const Appearance& appearance);
    void renderPictures(const EngineView& v);
    void setPicture(int k, const QVariant& bytes);
    QRect thumbnailFrame(int k) const;
    void placeThumbnail(int k);
    void placePictures();
    void placePictureHint();
    int pictureOf(QObject* watched) const;
    bool pictureEvent(int k, QEvent* event);
    void render();
    void renderQuestion(const EngineView& v);
    void renderPosition(const EngineView& v, int k);
    void lookOfPosition(int index, const QColor& colour, bool marked);
    void renderLink();
    void place();
    void placePanels();
    void fitQuestionArea();
    void placeStrips();
    void placeTexts();
    int positionOf(QObject* watched) const;
    bool dragEvent(int position, QEvent* event);
    void moveText(int position, int top);
    void FormCreate(const QStringList& arguments, const QString& serverOption);

    std::unique_ptr<LateNetwork> m_lateNetwork; // the program's sockets, until and after they come
    std::unique_ptr<StudentLink> m_link;
    std::unique_ptr<TestEngine> m_engine;
    LayoutMeasures m_measures;
    Appearance m_appearance;

    QTextEdit* mmQuestion = nullptr;
    QWidget* AnswersPanel = nullptr;
    std::array<Position, MaxAnswerPositions> m_positions{};
    QLineEdit* OpenDBEdit = nullptr;
    QLabel* lbRightAnswer = nullptr;
    QLabel* DBTextRight = nullptr;
    QLabel* lbPrice = nullptr;
    QLabel* lbRightCount = nullptr;
    QLabel* lbTimeCaption = nullptr;
    QLabel* lbTimeRemainMinutes = nullptr;
    QLabel* lbTimeRemainSec = nullptr;
    QProgressBar* TimeGauge = nullptr;
    QLabel* lbQueNum = nullptr;
    QPushButton* btnCriteria = nullptr;
    QPushButton* btnPrev = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnReady = nullptr;
    QWidget* StatusPanel = nullptr;
    QLabel* lbStatus = nullptr;
    QLabel* lbStatusHint = nullptr;
    QWidget* rgMetod = nullptr;
    QButtonGroup* m_modes = nullptr;
    QWidget* WaitPanel = nullptr;
    QLabel* lbWait = nullptr;
    QLabel* lbOrPress = nullptr;
    QPushButton* btnGetQuestions = nullptr;
    QPointer<TDetailsF> m_details;
    std::array<Picture, PictureCount> m_pictures{};
    GradientPanel* TopImg = nullptr;
    GradientPanel* BtnsPanel = nullptr;
    QLabel* m_pictureHint = nullptr;
    QTimer* m_pictureHintTimer = nullptr;
    int m_hintedRow = -1;           // the question whose pictures were last hinted
    std::optional<bool> m_gaugeRed; // the gauge colour last set
    int m_pictureDrag = -1;         // the picture being dragged sideways
    int m_pictureGrabX = 0;

    std::unique_ptr<RowDrag> m_drag;
    int m_dragPosition = 0;
    int m_dragGrab = 0;                               // the mouse's distance below the dragged text's top
    std::array<int, MaxAnswerPositions> m_rowLabel{}; // while dragging: the position shown in each row
    bool m_closeForced = false;
};
