#include "probe/OutputFile.h"

#include "probe/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{

QString workingFolder()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

} // namespace

OutputRead outputFromBytes(const QByteArray& bytes)
{
    OutputRead result;
    if (bytes.isEmpty())
        return result;
    // One line ends only at a CR (a CR LF pair starts with one); LFs stay.
    const qsizetype cr = bytes.indexOf('\r');
    result.hasText = true;
    result.text = QString::fromUtf8(cr < 0 ? bytes : bytes.left(cr));
    return result;
}

OutputRead readOutputFile(const QString& fileName)
{
    OutputRead result;
    // A name that leaves the working directory is neither read nor deleted.
    if (outputFileNameProblem(fileName))
        return result;

    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly)) {
        result = outputFromBytes(file.read(AnswerLimit));
        file.close();
    }
    QFile::remove(fileName);
    return result;
}

CreatedOutput createOutputFile(const QString& fileName)
{
    CreatedOutput result;
    if (auto problem = outputFileNameProblem(fileName)) {
        result.problem = *problem;
        return result;
    }
    const QByteArray name = QFile::encodeName(fileName);
    const bool existed = QFileInfo(fileName).isSymLink() || QFileInfo::exists(fileName);
    result.fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (result.fd < 0) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        result.problem = QStringLiteral("cannot %1 the temp file \"%2\" in %3: %4")
                             .arg(existed ? QStringLiteral("write") : QStringLiteral("create"),
                                  fileName, workingFolder(), error);
    }
    return result;
}

QString outputFolderProblem()
{
    if (::access(".", W_OK | X_OK) == 0)
        return {};
    return QStringLiteral("The servers cannot be checked, because the checks' temp files "
                          "cannot be created in the folder \"%1\" (%2).")
        .arg(workingFolder(), QString::fromLocal8Bit(std::strerror(errno)));
}
