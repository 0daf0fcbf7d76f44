#pragma once

#include "topicsearch.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class TSharedDM;

// The topic search dialog of both programs ("Найти тему"): the topics whose names match the text
// under the four options; the chosen topic is read after the dialog has closed with OK.
class TFindTopicF : public QDialog
{
    Q_OBJECT

public:
    explicit TFindTopicF(TSharedDM& shared, QWidget* parent = nullptr);

    // Shows the dialog modally; the chosen TopicID, or 0 when cancelled.
    static int Execute(TSharedDM& shared, QWidget* parent = nullptr);

    int chosenTopicId() const { return m_chosen; }
    TopicSearchOptions options() const;
    // The names found, in name order.
    QStringList foundNames() const;
    void Search();

    QLineEdit* edName = nullptr;
    QTableView* grdTopics = nullptr;
    QPushButton* btnFind = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnCancel = nullptr;
    QCheckBox* cbIgnoreCase = nullptr;
    QCheckBox* cbPartial = nullptr;
    QCheckBox* cbLive = nullptr;
    QCheckBox* cbWildcards = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cellClicked(const QModelIndex& index);
    void updateLiveBox();

    struct Topic
    {
        int id;
        QString name;
    };
    QList<Topic> m_topics;
    QStandardItemModel* m_found;
    int m_chosen = 0;
};
