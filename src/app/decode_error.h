// Japanese explanations of the engine's result codes.
#pragma once

#include <QString>

#include <cstdint>

namespace qova::app {

// The message for an engine code (20000–20090); empty text for any other.
QString DecodeError(int16_t nError);

// The shape callers wrap around it: prefix, the code in single quotes, ", ",
// the explanation and a final full stop, e.g.
// "ﾌｧｲﾙ 'a.jpg' でｴﾗｰが発生しました。 '20009', ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。."
QString engineErrorMessage(const QString& prefix, int16_t nError);

}  // namespace qova::app
