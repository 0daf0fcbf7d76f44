#pragma once

#include "questionlist.h"
#include "table.h"

#include <QDialog>

class Dataset;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;
class TDM;
class WaitWindow;

// The question-list export dialog: the destination folder and the options of the document.
// "Начать экспорт" keeps the folder in ExportPath (also when the user does not let a missing one
// be made), then writes the document one question per turn of the event loop behind a wait window,
// and opens it.
class TExportOptionsF : public QDialog
{
    Q_OBJECT

public:
    TExportOptionsF(const QString& topicName, Table questions, Dataset& settings, QWidget* parent = nullptr);

    QuestionListOptions options() const;

    QLabel* lblTopic = nullptr;
    QLineEdit* edFolder = nullptr;
    QToolButton* btnBrowse = nullptr;
    QCheckBox* cbRights = nullptr;
    QCheckBox* cbPictures = nullptr;
    QCheckBox* cbOwnSize = nullptr;
    QSpinBox* seZoom = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnStartClick();

Q_SIGNALS:
    // The export has begun behind its wait window (which frees itself when the export ends).
    void exportStarted(WaitWindow* wait);

private:
    void updateEnabling();

    QString m_topicName;
    Table m_questions;
    Dataset& m_settings;
};

// "Экспорт вопросов в текстовый документ...": shows the dialog (modal to its window, without a
// loop of its own) for the topic's name and question set; settings is the program's settings row
// that keeps ExportPath. The dialog frees itself when closed.
TExportOptionsF* ExportQuestionList(const QString& topicName, const Table& questions, Dataset& settings,
                                    QWidget* parent);
// The same for a topic of the bank, with the settings row of the program's data module; AppError
// when there is no such topic.
TExportOptionsF* ExportQuestionList(TDM* dm, int topicId, QWidget* parent);
