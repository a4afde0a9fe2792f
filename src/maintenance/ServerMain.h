#pragma once

#include <QDialog>

// The maintenance window: lists, filters, adds, edits and removes servers.
class ServerMain : public QDialog
{
    Q_OBJECT
public:
    explicit ServerMain(QWidget* parent = nullptr);
};
