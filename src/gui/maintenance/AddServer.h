#pragma once

#include "store/Servers.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The modal dialog in which one server is added or edited. It works on its
// own view of the server table; its four boxes stand for the fields of the
// record being added or edited. The password box always holds the plain
// password: the scrambled form is made only for the record at the save, so a
// refused save leaves the box as the user typed it.
class AddServer : public QDialog
{
    Q_OBJECT
public:
    // selected: the maintenance window's hidden label that receives the
    // domain of the server being saved.
    explicit AddServer(QLabel* selected, QWidget* parent = nullptr);

    Servers& servers() { return Servers_; }
    QPushButton* addBut() const { return AddBut; }

    // Starts a new record: the boxes are blank.
    StoreStatus beginAdd();
    // Finds the server and starts editing it: the boxes show its fields, the
    // password box the plain password. NoCurrentRecord when it is gone.
    StoreStatus beginEdit(const QString& domain);

    // Cancel, Esc and the title bar's close box: drop the pending record.
    void reject() override;

private:
    void AddBut_Click();
    void CheckRequiredFields();
    void showRecord(const ServerRecord& record);
    bool entryAccepted();
    void startVerification();

    QPointer<QLabel> selected_;
    Servers Servers_;

    QLineEdit* DomainBox;
    QLineEdit* ServerHostBox;
    QLineEdit* SSHPortBox;
    QLineEdit* PasswordBox;
    QLabel* KeyLoginHint; // shown while the password box is empty
    QPushButton* AddBut;
    QPushButton* CancelBut;
    QGroupBox* Frame1;
    QCheckBox* NonStockChk;
    QCheckBox* NonVatChk;
    QCheckBox* AllowNegativeChk;
};
