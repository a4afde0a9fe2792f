#include "maintenance/ServerMain.h"

ServerMain::ServerMain(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Server Maintenance"));
}
