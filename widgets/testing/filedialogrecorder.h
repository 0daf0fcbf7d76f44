#pragma once

#include "filedialogs.h"

#include <QList>
#include <QStringList>

// Stands in for the file dialogs while alive: records every request and answers with the pre-set
// paths in order (then as a cancelled dialog, with an empty path).
class FileDialogRecorder
{
public:
    explicit FileDialogRecorder(QStringList answers = {})
        : m_answers(std::move(answers)), m_previous(SetFileDialogHandler([this](const FileDialogRequest& request) {
              requests.append(request);
              return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
          }))
    {}
    ~FileDialogRecorder() { SetFileDialogHandler(std::move(m_previous)); }
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    QList<FileDialogRequest> requests;

private:
    QStringList m_answers;
    FileDialogHandler m_previous;
};
