#pragma once

// Answers the program's message boxes from a script and keeps what was asked.
// Once the script runs out a question is answered No, any other box OK.

#include "platform/MessageBox.h"

#include <QList>
#include <QTest>

// Boxes compare by all they show, and print so in a failed comparison.
namespace MessageBox
{
inline bool operator==(const Request& a, const Request& b)
{
    return a.text == b.text && a.title == b.title && a.code == b.code && a.details == b.details;
}
} // namespace MessageBox

namespace QTest
{
template <> inline char* toString(const MessageBox::Request& box)
{
    return qstrdup(qPrintable(QStringLiteral("box %1 \"%2\": \"%3\" (details \"%4\")")
                                  .arg(box.code)
                                  .arg(box.title, box.text, box.details)));
}
} // namespace QTest

class MessageLog
{
public:
    MessageLog()
    {
        previous_ = MessageBox::setHandler([this](const MessageBox::Request& request) {
            requests_.append(request);
            if (!answers_.isEmpty())
                return answers_.takeFirst();
            return request.code == MessageBox::Question ? int(MessageBox::No) : int(MessageBox::Ok);
        });
    }
    ~MessageLog() { MessageBox::setHandler(previous_); }
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
