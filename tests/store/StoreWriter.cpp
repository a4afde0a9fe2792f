// Keeps saving servers into the given file until it is killed. Each record's
// RAID text is large, so that a kill most likely lands in the middle of a write.
// Prints one line per saved record.
#include "store/Passwords.h"
#include "store/Servers.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    Servers view(QString::fromLocal8Bit(argv[1]));
    if (!view.openStatus().ok())
        return 1;
    const QString bulk(200000, QChar('m'));
    for (int i = 0;; ++i) {
        view.AddNew();
        ServerRecord& record = view.buffer();
        record.domain = QStringLiteral("writer%1").arg(i);
        record.serverPassword = ScramblePassword(QByteArray("pw") + QByteArray::number(i));
        record.raidStatus = bulk + QString::number(i);
        if (!view.Update().ok())
            return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
}
