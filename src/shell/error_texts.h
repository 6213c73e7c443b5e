// Japanese explanations of the engine's result codes, and the message
// shapes the commands wrap around them.
#pragma once

#include <QString>

#include <cstdint>
#include <exception>

namespace qova::shell {

// The message for an engine code (20000–20090); empty text for any other.
QString DecodeError(int16_t nError);

// The common shape: prefix, the code in single quotes, ", ", the
// explanation and a final full stop, e.g.
// "ﾌｧｲﾙ 'a.jpg' でｴﾗｰが発生しました。 '20009', ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。."
QString engineErrorMessage(const QString& prefix, int16_t nError);

// "ｴﾗｰ '" code ", " explanation "' " and `suffix`: the shape of the save and
// conversion messages, e.g. "ｴﾗｰ '20005, ﾌｧｲﾙ書き込み中にｴﾗｰが発生しました。' が発生しました。".
QString quotedErrorMessage(int16_t nError, const QString& suffix);

// Number and description of a run-time error caught by a command: an
// engine error keeps its own; out of memory is 7, overflow 6, anything else 5.
struct RunTimeError {
    int number;
    QString description;
};
RunTimeError runTimeError(const std::exception& e);
// `label` "'" number "' - " description ".", e.g. "VB Error: '20013' - 無効なﾊﾟﾗﾒｰﾀ."
QString runTimeErrorMessage(const QString& label, const RunTimeError& err);
// A cancelled engine dialog: the command ends without a word.
bool isCancel(const RunTimeError& err);

}  // namespace qova::shell
