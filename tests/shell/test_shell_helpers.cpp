// The shell's small rules that every window relies on: engine error texts,
// the resize thresholds, whole-number rounding, number texts, twips, paths,
// the file-type texts built from the engine's table, and the error trap.
#include <QtTest>

#include <stdexcept>

#include "engine/core/engine_error.h"
#include "shell/error_texts.h"
#include "shell/file_types.h"
#include "shell/layout.h"
#include "shell/numbers.h"
#include "shell/paths.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "shell/window_state.h"

using namespace qova::shell;

class ShellHelpersTest : public QObject {
    Q_OBJECT
private slots:
    void errorTexts() {
        QCOMPARE(DecodeError(20000), QStringLiteral("特定できない異常が発生しました。"));
        QCOMPARE(DecodeError(20012),
                 QStringLiteral("ｲﾒｰｼﾞﾌｫｰﾏｯﾄには対応していますが、このｻﾌﾞﾀｲﾌﾟはｻﾎﾟｰﾄしていません。"));
        QCOMPARE(DecodeError(20029), QStringLiteral("[Esc]ｷｰが押されました。"));
        QCOMPARE(DecodeError(20090), QStringLiteral("TWAIN－操作がｷｬﾝｾﾙされました。"));
        // Shared texts.
        QCOMPARE(DecodeError(20016), DecodeError(20009));
        QCOMPARE(DecodeError(20003), DecodeError(20001));
        QCOMPARE(DecodeError(20064), DecodeError(20063));
        // Ranges.
        for (int code : {20030, 20045, 20062}) QCOMPARE(DecodeError(int16_t(code)), QStringLiteral("Internal Error - Call Support"));
        for (int code = 20074; code <= 20077; ++code)
            QCOMPARE(DecodeError(int16_t(code)), QStringLiteral("ﾗｲﾝ終端-(EOL) ｺｰﾄﾞの位置が不正です。"));
        // Codes without text.
        for (int code : {0, 19999, 20020, 20066, 20067, 20068, 20069, 20091, 20150, -1})
            QVERIFY2(DecodeError(int16_t(code)).isEmpty(), qPrintable(QString::number(code)));
        // Every other code of the range has one, and the TWAIN ones use the full-width hyphen.
        int withText = 0;
        for (int code = 20000; code <= 20090; ++code) withText += DecodeError(int16_t(code)).isEmpty() ? 0 : 1;
        QCOMPARE(withText, 91 - 5);
        for (int code : {20079, 20080, 20081, 20082, 20085, 20087, 20088, 20089})
            QVERIFY(DecodeError(int16_t(code)).startsWith(QStringLiteral("TWAIN－")));
        // The shape callers wrap around it.
        QCOMPARE(engineErrorMessage(QStringLiteral("ﾌｧｲﾙ 'a.jpg' でｴﾗｰが発生しました。 "), 20009),
                 QStringLiteral("ﾌｧｲﾙ 'a.jpg' でｴﾗｰが発生しました。 '20009', ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。."));
        QCOMPARE(engineErrorMessage(QStringLiteral("x "), 20020), QStringLiteral("x '20020', ."));
        QCOMPARE(quotedErrorMessage(20005, QStringLiteral("が発生しました。")),
                 QStringLiteral("ｴﾗｰ '20005, ﾌｧｲﾙ書き込み中にｴﾗｰが発生しました。' が発生しました。"));
        // Run-time errors: the engine's own number, else the classic ones.
        const RunTimeError cancel = runTimeError(qova::engine::EngineError(20150, "Cancel"));
        QVERIFY(isCancel(cancel));
        QVERIFY(!isCancel(runTimeError(qova::engine::EngineError(20013, "x"))));
        QCOMPARE(runTimeErrorMessage(QStringLiteral("VB Error: "), runTimeError(std::bad_alloc())),
                 QStringLiteral("VB Error: '7' - Out of memory."));
        QCOMPARE(runTimeError(std::overflow_error("o")).number, 6);
        QCOMPARE(runTimeError(std::logic_error("l")).number, 5);
    }

    // The texts the user sees, exactly as they were written by hand before
    // they came from the engine's table.
    void fileTypeTexts() {
        // The classic list, then today's pictures (PNG, GIF, WebP) after it.
        QCOMPARE(startPattern(),
                 QStringLiteral("*.cmp;*.jpe;*.jpg;*.jpeg;*.jff;*.jtf;*.bmp;*.tif;*.tga;*.pcx;*.cal;*.mac;*.img;*.msp;"
                                "*.wpg;*.ras;*.pct;*.pcd;*.eps;*.wmf;*.psd;*.avi;*.png;*.gif;*.webp"));
        WindowState s;
        fillFormatTable(s);
        const char* const rows[22][2] = {
            {"すべてのﾌｧｲﾙ", "*.*"}, {"Windows & OS/2", "*.bmp"}, {"CALS", "*.cal"}, {"GEM Image", "*.img"},
            {"IBM IOCA", "*.ica"}, {"JPG", "*.jpg;*.jff;*.jtf"}, {"Macintosh PICTURE", "*.pct"},
            {"MacPaint", "*.mac"}, {"Microsoft Paint", "*.msp"}, {"Photo CD", "*.pcd"}, {"PCX", "*.pcx"},
            {"PostScript Raster", "*.eps"}, {"SUN Raster", "*.ras"}, {"TGA", "*.tga"}, {"TIFF", "*.tif"},
            {"Windows Metafile", "*.wmf"}, {"CMP", "*.cmp"}, {"Winfax", "*.wfx"}, {"FlashPix", "*.fpx"},
            {"Microsoft Fax", "*.awd"}, {"Icon", "*.ico"}, {"Cursor", "*.cur"}};
        QString filter;
        for (int i = 0; i < 22; ++i) {
            QCOMPARE(s.FormatName[size_t(i)], QString::fromUtf8(rows[i][0]));
            QCOMPARE(s.FormatPattern[size_t(i)], QString::fromUtf8(rows[i][1]));
            filter += QString::fromUtf8(rows[i][0]) + '|' + QString::fromUtf8(rows[i][1]) + '|';
        }
        QVERIFY(s.FormatName[22].isEmpty() && s.FormatPattern[22].isEmpty());
        QCOMPARE(openFilter(s), filter);
        // A click loads these, by the last four characters of the name.
        const QStringList loads = {".JPG", ".BMP", "JPEG", ".GIF", ".TIF", ".JFF", ".CMP", ".JTF",
                                   ".TGA", ".PCX", ".CAL", ".MAC", ".MSP", ".IMG", ".WPG", ".RAS",
                                   ".PCT", ".PCD", ".EPS", ".WMF", ".AVI", ".PSD", ".JPE"};
        for (const QString& ext : loads) QVERIFY2(loadsOnClick("name" + ext.toLower()), qPrintable(ext));
        // Today's pictures too (PNG, WebP), beyond the classic list.
        QVERIFY(loadsOnClick("a.png"));
        QVERIFY(loadsOnClick("a.webp"));
        for (const char* name : {"a.ico", "a.cur", "a.txt", "a.wfx", "jpg", ""})
            QVERIFY2(!loadsOnClick(QString::fromLatin1(name)), name);
    }

    // The trap ends a failing handler quietly, hands a handler the leading
    // arguments it takes, and runs the probe tests put in first.
    void errorTrap() {
        int got = 0;
        trap([&](int a) { got = a; })(7, QStringLiteral("ignored"));
        QCOMPARE(got, 7);
        trap([&] { throw qova::engine::EngineError(20000, "x"); })(1);
        trap([&] { throw 42; })();
        int probed = 0;
        setTrapProbe([&] { ++probed; });
        trapped([&] { got = 9; });
        QCOMPARE(probed, 1);
        QCOMPARE(got, 9);
        setTrapProbe([] { throw std::runtime_error("first"); });
        trapped([&] { got = 10; });
        QCOMPARE(got, 9);
        setTrapProbe({});
    }

    void resizeRules_data() {
        QTest::addColumn<double>("H");
        QTest::addColumn<double>("W");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("cwho");
        // Expected values; −1 = left as it was.
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("imgH");
        QTest::addColumn<double>("imgW");
        QTest::addColumn<double>("fileH");
        QTest::addColumn<double>("gridH");
        QTest::addColumn<double>("cwhoW");
        QTest::newRow("shown, roomy") << 9000.0 << 12000.0 << false << false << 480.0 << 7575.0 << 9540.0 << 4240.0 << 6255.0 << -1.0;
        QTest::newRow("shown, H at 1500") << 1500.0 << 12000.0 << false << false << 480.0 << -1.0 << -1.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("shown, H just above 1500") << 1501.0 << 12000.0 << false << false << 480.0 << 76.0 << 9540.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("shown, W at 2500") << 9000.0 << 2500.0 << false << false << 480.0 << -1.0 << -1.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("shown, W just above 2500") << 9000.0 << 2501.0 << false << false << 480.0 << 7575.0 << 41.0 << 4240.0 << 6255.0 << -1.0;
        QTest::newRow("shown, H at 4900") << 4900.0 << 12000.0 << false << false << 480.0 << 3475.0 << 9540.0 << -1.0 << 2155.0 << -1.0;
        QTest::newRow("shown, H just above 4900") << 4901.0 << 12000.0 << false << false << 480.0 << 3476.0 << 9540.0 << 141.0 << 2156.0 << -1.0;
        QTest::newRow("grid, H at 3300") << 3300.0 << 12000.0 << false << false << 480.0 << 1875.0 << 9540.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("hidden, narrow") << 9000.0 << 201.0 << true << false << 480.0 << 7575.0 << 101.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("hidden, W at 200") << 9000.0 << 200.0 << true << false << 480.0 << -1.0 << -1.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("hidden, roomy") << 9000.0 << 12000.0 << true << false << 480.0 << 7575.0 << 11900.0 << -1.0 << 6255.0 << -1.0;
        // A database's name box: the image stays beside the grid column.
        QTest::newRow("name box shown") << 9000.0 << 12000.0 << true << true << 840.0 << 7215.0 << 9540.0 << -1.0 << 6255.0 << 11900.0;
        QTest::newRow("name box, W at 2500") << 9000.0 << 2500.0 << true << true << 840.0 << 7215.0 << -1.0 << -1.0 << -1.0 << 2400.0;
        QTest::newRow("name box, W at 200") << 9000.0 << 200.0 << true << true << 840.0 << 7215.0 << -1.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("name box, too short") << 1700.0 << 200.0 << true << true << 840.0 << -1.0 << -1.0 << -1.0 << -1.0 << -1.0;
    }
    void resizeRules() {
        QFETCH(double, H);
        QFETCH(double, W);
        QFETCH(bool, hidden);
        QFETCH(bool, cwho);
        ResizeLayout l{-1, -1, -1, -1, -1, -1};
        applyResizeRules(l, H, W, hidden, cwho);
        QTEST(l.imgTop, "top");
        QTEST(l.imgHeight, "imgH");
        QTEST(l.imgWidth, "imgW");
        QTEST(l.file1Height, "fileH");
        QTEST(l.gridHeight, "gridH");
        QTEST(l.cwhoWidth, "cwhoW");
    }

    void wholeNumbers() {
        const std::pair<double, int64_t> cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-2.5, -2},
                                                    {-3.5, -4}, {62.5, 62}, {151.5, 152}, {2.49, 2}, {-0.4, 0}};
        for (const auto& [v, want] : cases) QCOMPARE(roundHalfEven(v), want);
        QCOMPARE(toInt16(32767.4), int16_t(32767));
        QCOMPARE(toInt16(-32768.5), int16_t(-32768));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, toInt16(32767.5));
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, toInt16(1e300));
        QVERIFY(!fitsInt16(std::numeric_limits<double>::quiet_NaN()));
    }

    void numberTexts() {
        const std::pair<const char*, double> reads[] = {{"42", 42},    {"  -7.5kg", -7.5}, {"+3", 3},   {"abc", 0},
                                                        {"", 0},      {"12abc34", 12},    {"-", 0},    {".5", 0.5},
                                                        {"1.2.3", 1.2}, {" 0100", 100}};
        for (const auto& [text, want] : reads) QCOMPARE(readNumber(QString::fromLatin1(text)), want);
        QCOMPARE(numberText(123), QStringLiteral("123"));
        QCOMPARE(numberText(-4), QStringLiteral("-4"));
        QCOMPARE(numberText(2.5), QStringLiteral("2.5"));
        QCOMPARE(numberText(3000000000.0), QStringLiteral("3000000000"));
        QCOMPARE(signedCountText(256), QStringLiteral(" 256"));
        QCOMPARE(signedCountText(0), QStringLiteral(" 0"));
        QCOMPARE(signedCountText(-3), QStringLiteral("-3"));
        QCOMPARE(hexColourText(0xFFFFFF), QStringLiteral("&HFFFFFF"));
        QCOMPARE(hexColourText(0xA0), QStringLiteral("&HA0"));
        QCOMPARE(hexColourText(0xA0, true), QStringLiteral("&H000000A0"));
        uint32_t c = 0;
        QVERIFY(readHexColour(u"&h00ff00", c));
        QCOMPARE(c, 0x00FF00u);
        QVERIFY(!readHexColour(u"FF00", c));
        QVERIFY(!readHexColour(u"&HXYZ", c));
    }

    void twipsAndPaths() {
        // The offscreen screen has 96 dpi: 15 twips per pixel.
        QCOMPARE(twipsPerPixel(), 15.0);
        QCOMPARE(twipsToPixels(1425), 95);
        QCOMPARE(twipsToPixels(2420), 161);    // 161.33
        QCOMPARE(twipsToPixels(22.5), 2);      // 1.5 → even
        QCOMPARE(pixelsToTwips(32), 480.0);
        QCOMPARE(joinPath("/pics", "a.jpg"), QStringLiteral("/pics/a.jpg"));
        QCOMPARE(joinPath("/", "a.jpg"), QStringLiteral("/a.jpg"));
        QCOMPARE(joinPath("/pics/", "a.jpg"), QStringLiteral("/pics/a.jpg"));
    }
};

QTEST_MAIN(ShellHelpersTest)
#include "test_shell_helpers.moc"
