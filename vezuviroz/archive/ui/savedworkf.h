#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class SavedWork;
class StoreConnection;
class TSharedDM;

// The file dialog's filter for result files (both extensions), in Qt's form.
QString SavedWorkFilter();

// The saved-work viewer "Просмотр сохранённой работы": one question at a time with the student's
// answers, the percentage and mark, and storing the work into Results. It exists at most once,
// is reused for the next work, stays on top and frees itself when closed.
class TSavedWorkF : public QWidget
{
    Q_OBJECT

public:
    // Finds the student a work is stored under: the StudentID, 0 when cancelled. The student
    // search dialog unless another is installed (tests answer here).
    using StudentSearch = std::function<int(const QString& savedName)>;
    static void setStudentSearch(StudentSearch search);

    static TSavedWorkF* instance();
    // Open the viewer on a result file or on an archive row's work; the window, or nullptr when
    // there was nothing to show (a missing file, a row without a work).
    static TSavedWorkF* OpenResultFile(TSharedDM* shared, const QString& path);
    static TSavedWorkF* ShowStoredWork(TSharedDM* shared, int topicId, int timeRemain, const QString& answerList,
                                       const QString& topicName, const QString& studentName);
    ~TSavedWorkF() override;

    SavedWork* work() const { return m_work; }
    void btnStoreClick();

protected:
    // A closed window is no longer the program's one window, although it is deleted a moment later.
    void closeEvent(QCloseEvent* event) override;

private:
    explicit TSavedWorkF(TSharedDM* shared);
    static TSavedWorkF* ensure(TSharedDM* shared);
    void showWork();
    void showQuestion();

    SavedWork* m_work;
    StoreConnection* m_storeConnection;
    QLabel* m_position = nullptr;
    QLabel* m_question = nullptr;
    QLabel* m_picture = nullptr;
    QWidget* m_answers = nullptr;
    QLabel* m_price = nullptr;
    QLabel* m_correctness = nullptr;
    QLabel* m_result = nullptr;
    QLabel* m_bankDiffers = nullptr;
    QProgressBar* m_time = nullptr;
    QPushButton* m_prev = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_store = nullptr;
    QLabel* m_storedNote = nullptr;
};
