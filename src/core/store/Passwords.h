#pragma once

#include "store/ServerRecord.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Passwords are single-byte texts in ISO-8859-1 (Latin-1): every code 0 to
// 255 stands for the Unicode character of the same number, so any stored
// byte string converts to text and back without loss.

inline constexpr const char PasswordShorthandPrefix[] = "quillfe";   // 7 letters
inline constexpr const char PasswordShorthandSuffix[] = "rnmonitor"; // 9 letters
inline constexpr int MaxPasswordLength = 255;

// XORs every code with the length of the text; applying it twice gives the
// text back. This hides the password from a casual look, nothing more.
QByteArray ScramblePassword(const QByteArray& text);

// The single-byte form of a password the user typed; call only on a text that
// passwordEntryProblem accepted.
QByteArray passwordToCodePage(const QString& plain);
QString passwordFromCodePage(const QByteArray& codes);

// Why a typed password cannot be stored, or nothing when it can. An empty one
// can: that server logs in by key only.
std::optional<QString> passwordEntryProblem(const QString& plain);

// The connection parameters of a record, derived just before a client starts.
QString ResolveConnectionPassword(const ServerRecord& record);
QString ResolveSshPort(const ServerRecord& record);
QString ResolveSshHost(const ServerRecord& record);
