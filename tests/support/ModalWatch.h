#pragma once

// Acting inside a modal dialog while its exec() runs: the one way the GUI
// tests answer, inspect or close a dialog that blocks the call that opened it.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

// Runs an action on the first visible modal dialog of type T once it shows
// (from inside its exec), then closes it with reject() if the action left it
// open. Watching stops when the watch is destroyed; ran() says whether such a
// dialog showed as the active modal window.
class ModalWatch
{
public:
    template <typename T> static std::unique_ptr<ModalWatch> on(std::function<void(T&)> action)
    {
        auto watch = std::unique_ptr<ModalWatch>(new ModalWatch);
        ModalWatch* self = watch.get();
        QObject::connect(&self->timer_, &QTimer::timeout, [self, action] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            self->timer_.stop();
            self->ran_ = true;
            action(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        self->timer_.start(10);
        return watch;
    }
    bool ran() const { return ran_; }

private:
    ModalWatch() = default;
    QTimer timer_;
    bool ran_ = false;
};
