#include "probe/Mdstat.h"

#include <QRegularExpression>
#include <cmath>

namespace
{

const QRegularExpression& headerLine()
{
    // "md0 : active (auto-read-only) raid1 sdb1[1] sda1[0]", "md127 : inactive sdb[1](S)"
    static const QRegularExpression re(QStringLiteral(R"(^(\S+) : (active|inactive)(.*)$)"));
    return re;
}

const QRegularExpression& memberToken()
{
    static const QRegularExpression re(QStringLiteral(R"(^(\S+)\[(\d+)\]((?:\([A-Za-z]+\))*)$)"));
    return re;
}

std::optional<qint64> number(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

void readHeader(MdArray& array, const QString& rest)
{
    for (const QString& word : rest.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("(read-only)") || word == QLatin1String("(auto-read-only)")) {
            array.state = word.mid(1, word.size() - 2);
            continue;
        }
        const QRegularExpressionMatch member = memberToken().match(word);
        if (!member.hasMatch()) {
            if (array.level.isEmpty() && array.members.isEmpty())
                array.level = word;
            continue;
        }
        MdMember m;
        m.name = member.captured(1);
        m.slot = member.captured(2).toInt();
        const QString flags = member.captured(3);
        m.failed = flags.contains(QLatin1String("(F)"));
        m.spare = flags.contains(QLatin1String("(S)"));
        m.writeMostly = flags.contains(QLatin1String("(W)"));
        m.journal = flags.contains(QLatin1String("(J)"));
        m.replacement = flags.contains(QLatin1String("(R)"));
        array.members << m;
    }
}

void readStatus(MdArray& array, const QString& line)
{
    static const QRegularExpression blocks(QStringLiteral(R"(^(\d+) blocks\b)"));
    static const QRegularExpression disks(QStringLiteral(R"(\[(\d+)/(\d+)\])"));
    static const QRegularExpression map(QStringLiteral(R"(\[([U_]+)\])"));
    if (const auto m = blocks.match(line); m.hasMatch())
        array.blocks = number(m.captured(1));
    if (const auto m = disks.match(line); m.hasMatch()) {
        array.required = m.captured(1).toInt();
        array.active = m.captured(2).toInt();
    }
    if (const auto m = map.match(line); m.hasMatch())
        array.map = m.captured(1);
}

bool readSync(MdArray& array, const QString& line)
{
    static const QRegularExpression running(
        QStringLiteral(R"(\b(resync|recovery|check|repair|reshape)\s*=\s*([\d.]+)%)"));
    static const QRegularExpression waiting(
        QStringLiteral(R"(\b(resync|recovery|check|repair|reshape)=(DELAYED|PENDING)\b)"));
    static const QRegularExpression progress(QStringLiteral(R"(\((\d+)/(\d+)\))"));
    static const QRegularExpression finish(QStringLiteral(R"(\bfinish=([\d.]+)min\b)"));
    static const QRegularExpression speed(QStringLiteral(R"(\bspeed=(\S+))"));
    MdSync sync;
    if (const auto m = running.match(line); m.hasMatch()) {
        sync.action = m.captured(1);
        sync.percent = m.captured(2).toDouble();
        if (const auto p = progress.match(line); p.hasMatch()) {
            sync.done = number(p.captured(1));
            sync.total = number(p.captured(2));
        }
        if (const auto f = finish.match(line); f.hasMatch())
            sync.finishMinutes = f.captured(1).toDouble();
        if (const auto s = speed.match(line); s.hasMatch())
            sync.speed = s.captured(1);
    } else if (const auto w = waiting.match(line); w.hasMatch()) {
        sync.action = w.captured(1);
        sync.waiting = true;
        sync.waitingFor = w.captured(2);
    } else {
        return false;
    }
    array.sync = sync;
    return true;
}

QString names(const QStringList& list)
{
    if (list.size() < 2)
        return list.join(QString());
    return QStringList(list.mid(0, list.size() - 1)).join(QStringLiteral(", ")) +
           QStringLiteral(" and ") + list.last();
}

QString timeLeft(double minutes)
{
    if (minutes < 1)
        return QStringLiteral("less than a minute left");
    const qint64 whole = std::llround(minutes);
    if (whole < 60)
        return QStringLiteral("about %1 min left").arg(whole);
    if (whole % 60 == 0)
        return QStringLiteral("about %1 h left").arg(whole / 60);
    return QStringLiteral("about %1 h %2 min left").arg(whole / 60).arg(whole % 60);
}

} // namespace

QStringList MdArray::failedMembers() const
{
    QStringList names;
    for (const MdMember& member : members) {
        if (member.failed)
            names << member.name;
    }
    return names;
}

int MdArray::count(bool MdMember::*flag) const
{
    int n = 0;
    for (const MdMember& member : members)
        n += member.*flag ? 1 : 0;
    return n;
}

bool MdArray::degraded() const
{
    return (required && active && *active < *required) || map.contains(QLatin1Char('_')) ||
           count(&MdMember::failed) > 0;
}

bool MdArray::rebuilding() const
{
    return sync && !sync->waiting &&
           (sync->action == QLatin1String("resync") || sync->action == QLatin1String("recovery") ||
            sync->action == QLatin1String("reshape"));
}

Mdstat parseMdstat(const QString& text)
{
    Mdstat md;
    MdArray* current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("Personalities"))) {
            md.isMd = true;
            static const QRegularExpression name(QStringLiteral(R"(\[([^\]]+)\])"));
            for (auto it = name.globalMatch(line); it.hasNext();)
                md.personalities << it.next().captured(1);
            current = nullptr;
            continue;
        }
        if (!md.isMd || line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("unused devices:"))) {
            const QString rest = line.mid(15).trimmed();
            if (rest != QLatin1String("<none>"))
                md.unusedDevices = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            current = nullptr;
            continue;
        }
        if (const QRegularExpressionMatch header = headerLine().match(line); header.hasMatch()) {
            MdArray array;
            array.name = header.captured(1);
            array.state = header.captured(2);
            readHeader(array, header.captured(3));
            md.arrays << array;
            current = &md.arrays.last();
            continue;
        }
        if (!current || !raw.startsWith(QLatin1Char(' ')))
            continue; // a line of no array this parser knows
        if (line.startsWith(QLatin1String("bitmap:")))
            current->bitmap = line.mid(7).trimmed();
        else if (!readSync(*current, line) && !current->blocks)
            readStatus(*current, line);
    }
    return md;
}

QString mdArraySummary(const MdArray& array)
{
    QString head = array.name;
    if (!array.level.isEmpty())
        head += QLatin1Char(' ') + array.level;
    if (array.state == QLatin1String("inactive"))
        head += QStringLiteral(" (inactive)");
    else if (array.state != QLatin1String("active"))
        head += QStringLiteral(" (%1)").arg(array.state);

    QStringList parts;
    if (array.required && array.active)
        parts << QStringLiteral("%1 of %2 members").arg(*array.active).arg(*array.required);
    else
        parts << QStringLiteral("%1 members").arg(array.members.size());
    if (const QStringList failed = array.failedMembers(); !failed.isEmpty())
        parts << names(failed) + QStringLiteral(" failed");
    QStringList spares;
    for (const MdMember& member : array.members) {
        if (member.spare)
            spares << member.name;
    }
    if (!spares.isEmpty())
        parts << names(spares) +
                     (spares.size() == 1 ? QStringLiteral(" spare") : QStringLiteral(" spares"));
    if (array.sync) {
        const MdSync& sync = *array.sync;
        if (sync.waiting) {
            parts << QStringLiteral("%1 %2").arg(sync.action, sync.waitingFor.toLower());
        } else {
            QString running = sync.action;
            if (sync.percent)
                running += QStringLiteral(" %1%").arg(*sync.percent, 0, 'f', 1);
            parts << running;
            if (sync.finishMinutes)
                parts << timeLeft(*sync.finishMinutes);
        }
    } else if (!array.degraded() && array.state != QLatin1String("inactive")) {
        parts << QStringLiteral("healthy");
    }
    return head + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

QStringList mdSummary(const Mdstat& mdstat)
{
    if (mdstat.arrays.isEmpty())
        return {QStringLiteral("no md arrays")};
    QStringList lines;
    for (const MdArray& array : mdstat.arrays)
        lines << mdArraySummary(array);
    return lines;
}

Level mdArrayLevel(const MdArray& array)
{
    if (array.degraded())
        return Level::Critical;
    if (array.rebuilding())
        return Level::Warning;
    return Level::Ok;
}

Level mdLevel(const Mdstat& mdstat)
{
    Level worst = Level::None;
    for (const MdArray& array : mdstat.arrays)
        worst = std::max(worst, mdArrayLevel(array));
    return worst;
}
