// Result codes of the engine. 0 is success; the rest are the codes the
// application explains to the user (see DecodeError in the app).
#pragma once

#include <cstdint>

namespace qova::engine {

enum Code : int16_t {
    kOk = 0,
    kErrUnknown = 20000,           // a fault we cannot name
    kErrNoMemory = 20001,          // allocation failed, or a load would pass its memory ceiling
    kErrBadHandle = 20002,         // bitmap handle names no bitmap
    kErrTooLarge = 20003,          // the header declares more picture than its data can fill
    kErrSeek = 20004,
    kErrWrite = 20005,             // writing the file failed
    kErrFileMissing = 20006,
    kErrRead = 20007,              // reading failed, or the file ended early
    kErrBadFileName = 20008,       // empty name, a directory, …
    kErrBadFormat = 20009,         // not an image file we know
    kErrNotFound = 20010,          // no file at that path
    kErrBadSize = 20011,           // width or height out of range
    kErrSubtype = 20012,           // known format, unsupported variant
    kErrBadParam = 20013,
    kErrCannotOpen = 20014,        // exists but cannot be opened (permissions)
    kErrCompression = 20015,       // unknown compression
    kErrCorrupt = 20016,           // known format, inconsistent data
    kErrBadQuality = 20021,
    kErrBadCompression = 20023,
    kErrBadBpp = 20027,
    kErrCancelled = 20029,
    kErrInternal = 20030,
    kErrNoStamp = 20065,
    kErrG3Code = 20070,
    kErrVersion = 20078,
    kErrTwainNoManager = 20079,
    kErrTwainFailure = 20080,
    kErrTwainNoMemory = 20081,
    kErrTwainNoSource = 20082,
    kErrTwainBusy = 20083,         // the scanner serves someone else
    kErrTwainDevice = 20084,       // the scanner or its driver failed
    kErrTwainCancelled = 20090,
    kErrDialogCancelled = 20150,   // an engine dialog was cancelled (raised, not returned)
};

}  // namespace qova::engine
