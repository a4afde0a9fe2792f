#include "maintenance/KeyFilters.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace KeyFilters
{

QChar nameKey(QChar typed)
{
    if (typed == u' ')
        return QChar(0);
    return typed.toLower();
}

QChar portKey(QChar typed)
{
    if (typed == u'\b' || (typed >= u'0' && typed <= u'9'))
        return typed;
    return QChar(0);
}

namespace
{

class Filter : public QObject
{
public:
    Filter(QLineEdit* edit, Kind kind) : QObject(edit), edit_(edit), kind_(kind) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != edit_ || event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!filtered(*key))
            return false;
        QString kept;
        for (const QChar typed : key->text()) {
            const QChar result = kind_ == Kind::Name ? nameKey(typed) : portKey(typed);
            if (!result.isNull())
                kept += result;
        }
        if (kept == key->text())
            return false; // unchanged: the box handles the key itself
        if (!kept.isEmpty())
            edit_->insert(kept);
        return true;
    }

private:
    static bool filtered(const QKeyEvent& key)
    {
        if (key.text().isEmpty())
            return false;
        if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        switch (key.key()) {
        case Qt::Key_Delete: // an editing key, though X11 gives it the text DEL
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        default:
            return true;
        }
    }

    QLineEdit* edit_;
    Kind kind_;
};

} // namespace

void install(QLineEdit* edit, Kind kind)
{
    edit->installEventFilter(new Filter(edit, kind));
}

} // namespace KeyFilters
