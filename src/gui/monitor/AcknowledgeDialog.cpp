#include "monitor/AcknowledgeDialog.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

AcknowledgeDialog::AcknowledgeDialog(const QString& domain, qint64 now, QWidget* parent)
    : QDialog(parent), comment_(new QLineEdit(this)),
      hasEnd_(new QCheckBox(QStringLiteral("&Until:"), this)), end_(new QDateTimeEdit(this))
{
    setObjectName(QStringLiteral("AcknowledgeDialog"));
    setWindowTitle(QStringLiteral("Acknowledge: %1").arg(domain));
    comment_->setObjectName(QStringLiteral("CommentBox"));
    comment_->setAccessibleName(QStringLiteral("Comment"));
    comment_->setMaxLength(200);
    hasEnd_->setObjectName(QStringLiteral("UntilCheck"));
    end_->setObjectName(QStringLiteral("UntilEdit"));
    end_->setAccessibleName(QStringLiteral("Until"));
    end_->setCalendarPopup(true);
    end_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(now);
    end_->setMinimumDateTime(start);
    end_->setDateTime(start.addDays(1));
    end_->setEnabled(false);
    connect(hasEnd_, &QCheckBox::toggled, end_, &QWidget::setEnabled);

    auto* form = new QFormLayout(this);
    form->addRow(new QLabel(QStringLiteral("No notifications for this server, and the tray "
                                           "counts it apart, until it recovers."),
                            this));
    form->addRow(QStringLiteral("&Comment:"), comment_);
    form->addRow(hasEnd_, end_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QString AcknowledgeDialog::comment() const
{
    return comment_->text().simplified();
}

std::optional<qint64> AcknowledgeDialog::until() const
{
    if (!hasEnd_->isChecked())
        return std::nullopt;
    return end_->dateTime().toMSecsSinceEpoch();
}
