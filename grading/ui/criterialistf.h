#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// The criteria window "Критерии оценки": which percentage each mark of the current scale needs.
// At most one exists per program; it is filled once from the criteria list current when it is
// made, frees itself when closed, and the next request builds it anew. The caller places it and
// shows it.
class TCriteriaListF : public QDialog
{
    Q_OBJECT

public:
    // The open window, or nullptr.
    static TCriteriaListF* instance();
    // The open window, or a new one filled from criteriaList.
    static TCriteriaListF* ensure(const QString& criteriaList, QWidget* parent = nullptr);
    // Closes the open window, if any (the Student does so when reset for the next student).
    static void closeInstance();

    ~TCriteriaListF() override;

private:
    TCriteriaListF(const QString& criteriaList, QWidget* parent);
    void fill(const QString& criteriaList);

    QTableWidget* m_grid = nullptr;
    QLabel* m_unknownScale = nullptr;
    QPushButton* m_btnClose = nullptr;
};
