#pragma once

#include <QDialog>
#include <optional>

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;

// Asks what is known of a server's problem: a comment, and optionally when
// the acknowledgement ends by itself.
class AcknowledgeDialog : public QDialog
{
    Q_OBJECT
public:
    AcknowledgeDialog(const QString& domain, qint64 now, QWidget* parent = nullptr);
    QString comment() const;
    std::optional<qint64> until() const;

private:
    QLineEdit* comment_;
    QCheckBox* hasEnd_;
    QDateTimeEdit* end_;
};
