#pragma once

// A system user made for one test and removed with this object, for what root
// cannot see (permissions). Making one needs root.
//
//     ThrowawayUser user;
//     QVERIFY2(user.ok(), qPrintable(user.error()));
//     process.start("setpriv", user.runAs(program, arguments));
//
// Its name, "vemo-test-<pid>-<start>", names the process that made it (its
// id and start time), so that one a crashed test left behind is found and
// removed by the next one made once that process is gone.

#include <QString>
#include <QStringList>
#include <sys/types.h>

class ThrowawayUser
{
public:
    static constexpr const char* Prefix = "vemo-test-";

    ThrowawayUser();
    ~ThrowawayUser();
    ThrowawayUser(const ThrowawayUser&) = delete;
    ThrowawayUser& operator=(const ThrowawayUser&) = delete;

    bool ok() const { return error_.isEmpty(); }
    const QString& error() const { return error_; }
    const QString& name() const { return name_; }
    uid_t uid() const { return uid_; }

    // The arguments of setpriv that run program with arguments as this user,
    // with no supplementary groups and no capabilities.
    QStringList runAs(const QString& program, const QStringList& arguments) const;

private:
    QString name_;
    QString error_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool made_ = false;
};
