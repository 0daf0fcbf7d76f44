#pragma once

#include "messages.h"

#include <QList>
#include <QStringList>

// Stands in for the message dialog while alive: records every text shown and answers with the
// pre-set answers in order (then with the first button).
class MessageRecorder
{
public:
    explicit MessageRecorder(QList<MsgResult> answers = {})
        : m_answers(std::move(answers)),
          m_previous(SetMessageHandler([this](const QString& text, MsgIcon icon, MsgButtons buttons) {
              texts.append(text);
              icons.append(icon);
              if (!m_answers.isEmpty())
                  return m_answers.takeFirst();
              return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
          }))
    {}
    ~MessageRecorder() { SetMessageHandler(std::move(m_previous)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList texts;
    QList<MsgIcon> icons;

private:
    QList<MsgResult> m_answers;
    MessageHandler m_previous;
};
