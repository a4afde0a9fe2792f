#include "platform/MessageBox.h"

#include <utility>

namespace MessageBox
{
namespace
{

Handler& currentHandler()
{
    // Without a user interface installed, every question is answered No/OK.
    static Handler handler = [](const Request& request) {
        return (request.code == Question || request.code == Warning) ? int(No) : int(Ok);
    };
    return handler;
}

} // namespace

int ask(const QString& text, const QString& title, int code, const QString& details)
{
    return currentHandler()(Request{text, title, code, details});
}

Handler setHandler(Handler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

} // namespace MessageBox
