#include "support/MessageLog.h"

MessageLog::MessageLog()
{
    previous_ = MessageBox::setHandler([this](const MessageBox::Request& request) {
        requests_.append(request);
        if (!answers_.isEmpty())
            return answers_.takeFirst();
        return request.code == MessageBox::Question ? int(MessageBox::No) : int(MessageBox::Ok);
    });
}

MessageLog::~MessageLog()
{
    MessageBox::setHandler(previous_);
}
