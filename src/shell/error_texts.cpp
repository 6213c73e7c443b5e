#include "shell/error_texts.h"

#include <new>
#include <stdexcept>

#include "engine/core/codes.h"
#include "engine/core/engine_error.h"
#include "shell/numbers.h"

namespace qova::shell {

namespace {

struct Range {
    int first, last;
    const char* text;
};

// Codes without an entry (20020, 20066–20069, anything outside) have no text.
constexpr Range kTexts[] = {
    {20000, 20000, "特定できない異常が発生しました。"},
    {20001, 20001, "空きﾒﾓﾘが不足しています。"},
    {20002, 20002, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。"},
    {20003, 20003, "空きﾒﾓﾘが不足しています。"},
    {20004, 20004, "位置を検索中にｴﾗｰが発生しました。"},
    {20005, 20005, "ﾌｧｲﾙ書き込み中にｴﾗｰが発生しました。"},
    {20006, 20006, "ﾌｧｲﾙが存在しません。処理を中止します。"},
    {20007, 20007, "ﾌｧｲﾙ読み出し中にｴﾗｰが発生しました。"},
    {20008, 20008, "無効なﾌｧｲﾙ名が指定されました。"},
    {20009, 20009, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
    {20010, 20010, "ﾌｧｲﾙが見つかりません。"},
    {20011, 20011, "幅または高さが不正です。"},
    {20012, 20012, "ｲﾒｰｼﾞﾌｫｰﾏｯﾄには対応していますが、このｻﾌﾞﾀｲﾌﾟはｻﾎﾟｰﾄしていません。"},
    {20013, 20013, "無効なﾊﾟﾗﾒｰﾀが渡されました。"},
    {20014, 20014, "ﾌｧｲﾙを開けません。"},
    {20015, 20015, "圧縮ﾌｫｰﾏｯﾄが不明です。"},
    {20016, 20016, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
    {20017, 20017, "VGAｶｰﾄﾞは256色(8bit)しかｻﾎﾟｰﾄしていません。"},
    {20018, 20018, "ﾌﾟﾘﾝﾀｴﾗｰが発生しました。"},
    {20019, 20019, "ﾃﾞｰﾀﾁｪｯｸ中にCRCﾁｪｯｸｴﾗｰが発生しました。"},
    {20021, 20021, "無効なQﾌｧｸﾀが指定されました。"},
    {20022, 20022, "TARGAがｲﾝｽﾄｰﾙされていません。"},
    {20023, 20023, "圧縮ﾌｫｰﾏｯﾄが無効です。"},
    {20024, 20024, "X軸の指定が正しくありません。"},
    {20025, 20025, "Y軸の指定が正しくありません。"},
    {20026, 20026, "ﾋﾞﾃﾞｵﾓｰﾄﾞが無効です。"},
    {20027, 20027, "bits/pixel値が無効です。"},
    {20028, 20028, "ｳｨﾝﾄﾞｳｻｲｽﾞが無効です。"},
    {20029, 20029, "[Esc]ｷｰが押されました。"},
    {20030, 20062, "Internal Error - Call Support"},
    {20063, 20064, "固定ﾊﾟﾚｯﾄのﾃﾞｰﾀが見つかりません。"},
    {20065, 20065, "ｽﾀﾝﾌﾟが見つかりません。"},
    {20070, 20070, "無効な Group 3 codeです。"},
    {20071, 20071, "Group3 codeのﾌｧｲﾙ終端(EOF)です。"},
    {20072, 20072, "Group3 codeのｺｰﾄﾞ終端(EOC)です。"},
    {20073, 20073, "ｽｷｬﾝﾗｲﾝにﾌｧｲﾙの終端(EOF)が存在しています。"},
    {20074, 20077, "ﾗｲﾝ終端-(EOL) ｺｰﾄﾞの位置が不正です。"},
    {20078, 20078, "ﾊﾞｰｼﾞｮﾝ番号が不正です。"},
    {20079, 20079, "TWAIN－ｿｰｽﾏﾈｰｼﾞｬが見つかりません。"},
    {20080, 20080, "TWAIN－原因不明の以上が発生しました。"},
    {20081, 20081, "TWAIN－操作の実行に必要なﾒﾓﾘがありません。"},
    {20082, 20082, "TWAIN－ﾃﾞｰﾀｿｰｽがありません。"},
    {20083, 20083, "TWAIN－DSはすでに最大数のｱﾌﾟﾘｹｰｼｮﾝに接続されています。"},
    {20084, 20084, "TWAIN－DSまたはDSMでｴﾗｰが発生しました。ｱﾌﾟﾘｹｰｼｮﾝを実行できません。"},
    {20085, 20085, "TWAIN－不明な機能が指定されました。"},
    {20086, 20086, "このMSG DG DATの組み合わせは認識できません。"},
    {20087, 20087, "TWAIN－ﾃﾞｰﾀﾊﾟﾗﾒｰﾀが有効範囲を超えています。"},
    {20088, 20088, "TWAIN－DG DAT MSGの有効範囲を超えています。"},
    {20089, 20089, "TWAIN－ﾃﾞｽﾃｨﾈｰｼｮﾝのｱﾌﾟﾘｹｰｼｮﾝまたはDMS_Entry内のｿｰｽが不明です。"},
    {20090, 20090, "TWAIN－操作がｷｬﾝｾﾙされました。"},
};

}  // namespace

QString DecodeError(int16_t nError) {
    for (const Range& r : kTexts)
        if (nError >= r.first && nError <= r.last) return QString::fromUtf8(r.text);
    return {};
}

QString engineErrorMessage(const QString& prefix, int16_t nError) {
    return prefix + QLatin1Char('\'') + numberText(nError) + QStringLiteral("', ") + DecodeError(nError) +
           QLatin1Char('.');
}

QString quotedErrorMessage(int16_t nError, const QString& suffix) {
    return QStringLiteral("ｴﾗｰ '") + numberText(nError) + QStringLiteral(", ") + DecodeError(nError) +
           QStringLiteral("' ") + suffix;
}

RunTimeError runTimeError(const std::exception& e) {
    if (const auto* ee = dynamic_cast<const engine::EngineError*>(&e))
        return {ee->number(), QString::fromStdString(ee->description())};
    if (dynamic_cast<const std::bad_alloc*>(&e)) return {7, QStringLiteral("Out of memory")};
    if (dynamic_cast<const std::overflow_error*>(&e)) return {6, QStringLiteral("Overflow")};
    return {5, QString::fromLocal8Bit(e.what())};
}

QString runTimeErrorMessage(const QString& label, const RunTimeError& err) {
    return label + QLatin1Char('\'') + numberText(err.number) + QStringLiteral("' - ") + err.description +
           QLatin1Char('.');
}

bool isCancel(const RunTimeError& err) { return err.number == engine::kErrDialogCancelled; }

}  // namespace qova::shell
