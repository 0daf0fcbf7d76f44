#include "waitwindow.h"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <QVBoxLayout>
#include <exception>

WaitWindow::WaitWindow(const QString& text, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("waitWindow"));
    setWindowTitle(QStringLiteral("Подождите..."));
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    m_text = new QLabel(text, this);
    m_text->setObjectName(QStringLiteral("waitText"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("waitProgress"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    setMinimumWidth(320);
}

int WaitWindow::progress() const
{
    return m_bar->value();
}

void WaitWindow::setText(const QString& text)
{
    m_text->setText(text);
}

void WaitWindow::setProgress(int percent)
{
    m_bar->setValue(percent);
}

void WaitWindow::run(const Job& job)
{
    std::exception_ptr failure;
    QPointer<QProgressBar> bar = m_bar;
    const Progress progress = [bar](int percent) {
        QMetaObject::invokeMethod(
            bar,
            [bar, percent] {
                if (bar)
                    bar->setValue(percent);
            },
            Qt::QueuedConnection);
    };
    QThread* worker = QThread::create([&] {
        try {
            job(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    connect(worker, &QThread::finished, this, &QDialog::accept);
    worker->start();
    exec(); // the window's own loop keeps every window responsive until the job ends
    worker->wait();
    delete worker;
    if (failure)
        std::rethrow_exception(failure);
}
