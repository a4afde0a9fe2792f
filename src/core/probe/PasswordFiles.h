#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Private files that hand a password to a client through -pwfile: one folder
// of mode 0700 per program run, created on first use, each file of mode 0600
// holding the password as its first line. A file or folder that cannot be
// removed is reported on standard error and tried again by removeAll().
class PasswordFiles
{
public:
    // Removes the folders that earlier runs of this program left behind when
    // they were killed (their process is gone); the program calls it at
    // start-up, and creating a folder does too.
    static void removeStaleFolders();

    PasswordFiles() = default;
    ~PasswordFiles();
    PasswordFiles(const PasswordFiles&) = delete;
    PasswordFiles& operator=(const PasswordFiles&) = delete;

    // Writes a new file and returns its path, or the reason it failed.
    struct Written {
        QString path;
        QString problem; // empty on success
    };
    Written write(const QString& password);

    void remove(const QString& path);

    // Removes every file and the folder itself.
    void removeAll();

    // The folder, once created; empty before.
    const QString& folder() const { return folder_; }

private:
    bool ensureFolder(QString* problem);

    QString folder_;
    QStringList unremoved_; // files whose removal failed, tried again by removeAll()
    unsigned serial_ = 0;
};

// A pipe that already holds the password as its first line, its write end
// closed: a waited client reads it through /dev/fd/N from the read end it
// inherits, so no file ever holds the password. The read end is close-on-exec;
// the runner clears that in the one child that is to read it, and closes it
// once that child has started.
struct PasswordPipe {
    int readFd = -1;
    QString problem; // empty on success
};
PasswordPipe writePasswordPipe(const QString& password);

// The path under which a child reads the inherited descriptor fd.
QString inheritedFilePath(int fd);

// Why a password cannot be handed over in a file whose first line is read
// (it holds a line break or NUL), or nothing.
std::optional<QString> passwordFileProblem(const QString& password);
