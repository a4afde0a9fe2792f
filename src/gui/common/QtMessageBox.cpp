#include "common/QtMessageBox.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace
{

int showBox(const MessageBox::Request& request)
{
    QMessageBox box(QApplication::activeWindow());
    // Texts may come from a server (a RAID answer): never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setWindowTitle(request.title);
    if (!request.details.isEmpty())
        box.setDetailedText(request.details);
    switch (request.code) {
    case MessageBox::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageBox::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case MessageBox::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    default:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageBox::Yes;
    case QMessageBox::No:
        return MessageBox::No;
    default:
        return MessageBox::Ok;
    }
}

} // namespace

void installQtMessageBoxes()
{
    MessageBox::setHandler(showBox);
}
