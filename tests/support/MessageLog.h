#pragma once

// Answers the program's message boxes from a script and keeps what was asked.
// Once the script runs out a question is answered No, any other box OK.

#include "app/MessageBox.h"

#include <QList>

class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    void answerNext(int answer) { answers_.append(answer); }
    const QList<MessageBox::Request>& requests() const { return requests_; }
    void clear() { requests_.clear(); }

private:
    QList<MessageBox::Request> requests_;
    QList<int> answers_;
    MessageBox::Handler previous_;
};
