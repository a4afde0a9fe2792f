#include "probe/OutputFile.h"

#include "probe/CommandLine.h"

#include <QFile>

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
        result = outputFromBytes(file.readAll());
        file.close();
    }
    QFile::remove(fileName);
    return result;
}
