#pragma once

#include <QString>
#include <functional>

// Message boxes go through this seam so that tests can script the answers.
// The code combines buttons and icon: 16 critical/OK, 36 question/Yes-No,
// 52 warning/Yes-No with Yes the default, 64 information/OK.
namespace MessageBox
{

enum Code { Critical = 16, Question = 36, Warning = 52, Information = 64 };
enum Answer { Ok = 1, Yes = 6, No = 7 };

struct Request {
    QString text;
    QString title;
    int code = Critical;
    QString details; // optional detail text, shown on demand
};

using Handler = std::function<int(const Request&)>;

// Shows a modal box and returns the button pressed.
int ask(const QString& text, const QString& title, int code, const QString& details = {});

// Replaces the handler (the default shows a real box); returns the old one.
Handler setHandler(Handler handler);

} // namespace MessageBox
