// File names as the file system stores them: bytes, nearly always UTF-8.
// Names from old Japanese discs and archives are Shift-JIS bytes instead.
// Such a name must still open, copy and delete by its real bytes, so a path
// held in a QString keeps every byte that is not UTF-8 as a lone surrogate
// U+DC80..U+DCFF (the byte's value plus 0xDC00), which turns back into that
// byte exactly. For people the name is shown decoded as Shift-JIS.
#pragma once

#include <QString>

#include <string>

namespace qova::engine {

// The bytes the file system knows `path` by.
std::string nativePath(const QString& path);
// A path from the file system's bytes; UTF-8 names come back as they are.
QString pathFromNative(const std::string& bytes);
// The name as a person reads it: UTF-8 when it is, else Shift-JIS (Windows
// code page 932), else each stray byte shown as U+FFFD.
QString displayName(const std::string& bytes);
// True when `path` holds bytes that are not UTF-8.
bool hasStrayBytes(const QString& path);

}  // namespace qova::engine
