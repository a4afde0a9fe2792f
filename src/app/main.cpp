#include "app/QtMessageBox.h"
#include "app/MessageBox.h"
#include "store/ServerFile.h"

#include <QApplication>
#include <QMainWindow>
#include <cstdio>
#include <sqlite3.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VEMO"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    installQtMessageBoxes();

    const QString fileName = QString::fromLatin1(ServerFile::DefaultName);
    sqlite3* db = nullptr;
    const StoreStatus status = ServerFile::open(fileName, &db, ServerFile::Check::Thorough);
    sqlite3_close(db);
    if (!status.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(status.message));
        MessageBox::ask(status.message, QStringLiteral("Quillfern Remote Server Monitor"),
                        MessageBox::Critical);
        return 1;
    }
    if (const QString problem = ServerFile::writeProblem(fileName); !problem.isEmpty())
        MessageBox::ask(problem, QStringLiteral("Quillfern Remote Server Monitor"),
                        MessageBox::Information);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quillfern Remote Server Monitor v0.5"));
    window.show();
    return app.exec();
}
