#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;

// A modal window with a text and a progress bar, shown while a long job runs. The job runs on a
// worker thread, so the window (and every other window) keeps painting and answering.
class WaitWindow : public QDialog
{
    Q_OBJECT
public:
    // Reports progress in percent; safe to call from the worker thread.
    using Progress = std::function<void(int percent)>;
    using Job = std::function<void(const Progress& progress)>;

    explicit WaitWindow(const QString& text, QWidget* parent = nullptr);

    // Shows the window, runs the job on a worker thread and returns when it is done. An exception
    // thrown by the job is thrown again here, on the caller's thread.
    void run(const Job& job);

    int progress() const;
    // For work that runs in steps on the event loop: the window is shown (modal, without a loop
    // of its own) and told the progress after each step.
    void setText(const QString& text);
    void setProgress(int percent);

private:
    QLabel* m_text;
    QProgressBar* m_bar;
};
