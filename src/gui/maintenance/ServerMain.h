#pragma once

#include "store/Servers.h"

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class PrintPanel;

// The maintenance window: lists the servers whose domain begins with the
// filter text, shows the selected server's details, and adds, edits and
// removes servers. The selected server is known only by its domain, kept in
// the hidden label Selected; every action finds the record again by it.
class ServerMain : public QDialog
{
    Q_OBJECT
public:
    explicit ServerMain(QWidget* parent = nullptr);

    // Re-reads the server table and refills the list. Runs when the window
    // is shown and again whenever the add/edit dialog closes.
    void Form_Activate();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ServersSpeedMask_Change();
    void ServersSpeedList_Click(const QString& domain);
    void ServersSpeedList_DblClick();
    void AddServerBut_Click();
    void EditServerBut_Click();
    void RemoveServerBut_Click();
    void printSelectedInfo();
    void showHistory(const QString& domain);
    bool findSelected();

    Servers Servers_;
    QTimer* activationRetry_; // reads a locked file again shortly

    QLineEdit* ServersSpeedMask;
    QListWidget* ServersSpeedList;
    PrintPanel* SelectedInfo;
    QLabel* Selected;
    QGroupBox* Frame1;
    QPushButton* AddServerBut;
    QPushButton* EditServerBut;
    QPushButton* RemoveServerBut;
    QPushButton* DoneBut;
    QFrame* Line3;
    QFrame* Line4;
};
