// The Options menu: each choice pushed to Img1 in PaintChange's order, the
// palette values, progress and callback painting, and the check marks the
// menus show when they open.
#include <QAction>
#include <QMenu>
#include <QtTest>

#include "app/preferences.h"
#include "engine/dispatch_ids.h"
#include "engine/image_control.h"
#include "support/fake_context.h"

using namespace qova;
using shell::MenuId;

namespace {

struct Options {
    test::FakeContext ctx;
    app::Preferences prefs{ctx};
    engine::ImageControl* img() const { return ctx.controls().Img1; }
    void click(MenuId id) { ctx.action(id)->trigger(); }
    void open(MenuId id) { emit ctx.menu(id)->aboutToShow(); }
    bool checked(MenuId id) const { return ctx.action(id)->isChecked(); }
};

const std::vector<int> kPaintChange = {engine::dispid::DitheringMethod, engine::dispid::PaintOption8,
                                       engine::dispid::PaintPalette, engine::dispid::Repaint};

}  // namespace

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void paletteValuesFollowTheTwoItems() {
        Options o;
        // Start-up pushes nothing: Img1 paints with its own defaults.
        QCOMPARE(o.img()->paintPalette(), 0);
        const std::pair<MenuId, int> steps[] = {
            {MenuId::PrefFixedPalette, 1}, {MenuId::PrefFixedPalette, 0}, {MenuId::PrefUseNetscape, 2},
            {MenuId::PrefFixedPalette, 3}, {MenuId::PrefFixedPalette, 2}, {MenuId::PrefUseNetscape, 0}};
        for (const auto& [item, value] : steps) {
            o.click(item);
            QCOMPARE(o.img()->paintPalette(), value);
            QCOMPARE(app::Preferences::paletteValue(o.ctx.state().displayPrefs.fixedPalette,
                                                    o.ctx.state().displayPrefs.browserPalette),
                     value);
        }
        // The browser flag is a 16-bit true/false: −1, then back to 0.
        o.click(MenuId::PrefUseNetscape);
        QCOMPARE(o.ctx.state().displayPrefs.browserPalette, int16_t(-1));
    }

    void everyClickPutsInOrderAndRepaintsOnce() {
        Options o;
        o.img()->setCallLogEnabled(true);
        for (MenuId id : {MenuId::DitheringType_1, MenuId::PrefFixedPalette, MenuId::PrefUseNetscape,
                          MenuId::DitheringType_0}) {
            o.img()->clearCallLog();
            o.click(id);
            QCOMPARE(o.img()->callLog(), kPaintChange);
        }
        QCOMPARE(o.img()->ditheringMethod(), 0);
        o.click(MenuId::DitheringType_1);
        QCOMPARE(o.ctx.state().displayPrefs.ditheringIndex, int16_t(1));
        QCOMPARE(o.img()->ditheringMethod(), 1);
        QCOMPARE(o.img()->paintOption8(), 0);
        // Callback painting only changes its own flag.
        o.img()->clearCallLog();
        o.click(MenuId::PrefPaintCallback);
        QCOMPARE(o.ctx.state().fPaintCallback, int16_t(-1));
        QVERIFY(o.img()->callLog().empty());
    }

    void progressGoesStraightToImg1() {
        Options o;
        o.img()->setCallLogEnabled(true);
        o.click(MenuId::PrefProgress);
        QCOMPARE(o.ctx.state().fProgress, int16_t(-1));
        QVERIFY(o.img()->progressEnabled());
        QCOMPARE(o.img()->callLog(), std::vector<int>{engine::dispid::ProgressEnabled});
        o.click(MenuId::PrefProgress);
        QCOMPARE(o.ctx.state().fProgress, int16_t(0));
        QVERIFY(!o.img()->progressEnabled());
    }

    void checkMarksWhenTheMenusOpen() {
        Options o;
        o.open(MenuId::MainPreferences);
        for (MenuId id : {MenuId::DitheringType_0, MenuId::DitheringType_1, MenuId::PrefPaintCallback,
                          MenuId::PrefFixedPalette, MenuId::PrefUseNetscape, MenuId::PrefProgress})
            QVERIFY(!o.checked(id));
        // The dithering submenu marks the pattern method on its first opening.
        o.open(MenuId::PrefDithering);
        QVERIFY(o.checked(MenuId::DitheringType_0));
        QVERIFY(!o.checked(MenuId::DitheringType_1));
        o.click(MenuId::DitheringType_1);
        o.open(MenuId::PrefDithering);
        QVERIFY(!o.checked(MenuId::DitheringType_0));
        QVERIFY(o.checked(MenuId::DitheringType_1));

        // The marks come from the state, whatever happened to them in between.
        o.ctx.state().fProgress = -1;
        o.ctx.state().displayPrefs.browserPalette = -1;
        o.ctx.action(MenuId::PrefFixedPalette)->setChecked(true);
        o.open(MenuId::MainPreferences);
        QVERIFY(o.checked(MenuId::PrefProgress));
        QVERIFY(o.checked(MenuId::PrefUseNetscape));
        QVERIFY(!o.checked(MenuId::PrefFixedPalette));
        QVERIFY(!o.checked(MenuId::PrefPaintCallback));
        o.click(MenuId::PrefPaintCallback);
        o.click(MenuId::PrefFixedPalette);
        o.open(MenuId::MainPreferences);
        QVERIFY(o.checked(MenuId::PrefPaintCallback));
        QVERIFY(o.checked(MenuId::PrefFixedPalette));
    }
};

QTEST_MAIN(TestPreferences)
#include "test_preferences.moc"
