// What the settings window decides without its widgets: which recorded hotkeys may be kept, and how the
// image-export presets move between built-in, "Custom" and the user's own, over real stored settings.
#include "dialogs/logic/PresetChooser.h"
#include "dialogs/logic/ShortcutRecorder.h"

#include "core/builtinPresets.h"
#include "core/settings.h"
#include "support/TestMain.h"

using utils::shortcuts::Shortcut;

namespace {

const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
const QVector<Shortcut> kRows = {Shortcut(kCtrlAlt, Qt::Key_M), Shortcut(kCtrlAlt, Qt::Key_O),
                                 Shortcut(kCtrlAlt, Qt::Key_K), Shortcut(kCtrlAlt, Qt::Key_N)};

} // namespace

// Keys held in turn: modifiers and a key each.
using Keys = QVector<QPair<int, int>>;
Q_DECLARE_METATYPE(Keys)

class TestSettingsChoices : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    // Row 1 listens to these keys in turn: what it made, and whether Save may keep it.
    void recorderKeepsOnlyAllowedCombinations_data()
    {
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<Shortcut>("edited");
        QTest::addColumn<bool>("canSave");
        const auto row = [](const char* name, Keys keys, Shortcut edited, bool canSave) {
            QTest::newRow(name) << keys << edited << canSave;
        };
        const int ctrl = int(kCtrl), ctrlAlt = int(kCtrlAlt), shift = Qt::ShiftModifier,
                  meta = Qt::MetaModifier;
        row("nothing yet", {}, Shortcut(), false);
        row("ctrl alt p", {{ctrlAlt, Qt::Key_P}}, Shortcut(kCtrlAlt, Qt::Key_P), true);
        row("alt 5", {{Qt::AltModifier, Qt::Key_5}}, Shortcut(Qt::AltModifier, Qt::Key_5), true);
        row("ctrl shift 7", {{ctrl | shift, Qt::Key_7}}, Shortcut(kCtrl | Qt::ShiftModifier, Qt::Key_7),
            true);
        row("modifiers alone", {{ctrlAlt, 0}}, Shortcut(kCtrlAlt, Qt::Key_Escape), false);
        row("plain letter", {{0, Qt::Key_P}}, Shortcut(Qt::NoModifier, Qt::Key_P), false);
        row("shift alone takes capitals", {{shift, Qt::Key_P}}, Shortcut(Qt::ShiftModifier, Qt::Key_P),
            false);
        row("meta is dropped", {{meta, Qt::Key_P}}, Shortcut(Qt::NoModifier, Qt::Key_P), false);
        row("meta beside ctrl", {{ctrl | meta, Qt::Key_P}}, Shortcut(kCtrl, Qt::Key_P), true);
        row("function key ignored", {{ctrl, Qt::Key_F5}}, Shortcut(kCtrl, Qt::Key_Escape), false);
        row("another row's", {{ctrlAlt, Qt::Key_K}}, Shortcut(kCtrlAlt, Qt::Key_K), false);
        row("its own again", {{ctrlAlt, Qt::Key_O}}, Shortcut(kCtrlAlt, Qt::Key_O), true);
        row("letting go keeps it", {{ctrlAlt, Qt::Key_P}, {ctrl, 0}, {0, 0}}, Shortcut(kCtrlAlt, Qt::Key_P),
            true);
        row("a later key replaces it", {{ctrlAlt, Qt::Key_P}, {ctrl, Qt::Key_Q}}, Shortcut(kCtrl, Qt::Key_Q),
            true);
        row("modifiers grow until a key", {{ctrl, 0}, {ctrlAlt, 0}}, Shortcut(kCtrlAlt, Qt::Key_Escape),
            false);
    }

    void recorderKeepsOnlyAllowedCombinations()
    {
        QFETCH(Keys, keys);
        QFETCH(Shortcut, edited);
        QFETCH(bool, canSave);
        ShortcutRecorder recorder(kRows);
        recorder.feed(kCtrl, Qt::Key_Z); // no row listens: nothing happens
        recorder.start(1);
        for (const auto& [modifiers, key] : keys)
            recorder.feed(Qt::KeyboardModifiers(modifiers), key);
        QCOMPARE(recorder.edited(), edited);
        QCOMPARE(recorder.canSave(), canSave);
        QCOMPARE(recorder.save(), canSave);
        QCOMPARE(recorder.recordingRow(), canSave ? -1 : 1);
        recorder.cancel();
        QVector<Shortcut> expected = kRows;
        expected[1] = canSave ? edited : kRows[1];
        QCOMPARE(recorder.values(), expected);
    }

    // A new combination must differ from what the other rows show now, saved in this window or not.
    void otherRowsAreComparedAsTheyShowNow()
    {
        ShortcutRecorder recorder(kRows);
        recorder.start(0);
        recorder.feed(kCtrl, Qt::Key_1);
        QVERIFY(recorder.save());
        recorder.start(1);
        recorder.feed(kCtrlAlt, Qt::Key_M);
        QVERIFY(recorder.canSave());
        recorder.feed(kCtrl, Qt::Key_1);
        QVERIFY(!recorder.canSave());
    }

    void editsBecomeCustomUntilTheyMatchTheChosenPresetAgain()
    {
        PresetChooser chooser;
        QCOMPARE(chooser.working(), builtInPngPresets[0]);
        QCOMPARE(chooser.tip(), tipMathmlWord);
        chooser.choose(3); // Typora: 14 pt, 300 dpi, black on white
        chooser.setDpi(600);
        QVERIFY(chooser.isCustom());
        QCOMPARE(chooser.working().name, QString("Custom"));
        QVERIFY(chooser.tip().isEmpty());
        chooser.setDpi(300);
        QCOMPARE(chooser.working(), builtInPngPresets[3]);
        QCOMPARE(chooser.tip(), tipTypora);
        // A custom colour that happens to be black is still not the preset's black.
        chooser.setFontColor(Qt::black);
        QVERIFY(chooser.isCustom());
        chooser.setFontColorKind(Preset::Black);
        QVERIFY(!chooser.isCustom());
        chooser.setFileType(1);
        QCOMPARE(chooser.working(), builtInTiffPresets[0]);
    }

    void savedPresetNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("new") << "  Slides, large  " << true;
        QTest::newRow("blank") << "   " << false;
        QTest::newRow("built-in of this type") << "Typora" << false;
        QTest::newRow("built-in of the other type") << "Adobe Illustrator" << true;
        QTest::newRow("the unsaved values' name") << "Custom" << false;
    }

    void savedPresetNames()
    {
        QFETCH(QString, name);
        PresetChooser chooser;
        chooser.setDpi(450);
        QTEST(chooser.saveAs(name), "allowed");
        QCOMPARE(chooser.presets(0).size(), builtInPngPresets.size() + chooser.canSaveAs(name));
    }

    // The user's presets and the unsaved values in use come back in the next window; saving under the same
    // name replaces a preset of the user's.
    void ownPresetsAndCustomValuesSurviveTheNextWindow()
    {
        {
            PresetChooser chooser;
            chooser.setFileType(1);
            chooser.setFontSize(30);
            QVERIFY(chooser.saveAs("Poster"));
            chooser.setDpi(1200);
            QVERIFY(chooser.saveAs("Poster"));
            QCOMPARE(chooser.presets(1).size(), builtInTiffPresets.size() + 1);
            chooser.store();
        }
        {
            PresetChooser chooser;
            QCOMPARE(chooser.working().name, QString("Poster"));
            QCOMPARE(chooser.working().dpi, 1200);
            QCOMPARE(chooser.chosenIndex(), builtInTiffPresets.size());
            chooser.setBackgroundColor(QColor("#123456"));
            chooser.store();
        }
        PresetChooser chooser;
        QVERIFY(chooser.isCustom());
        QCOMPARE(chooser.working().customBackgroundColor, QColor("#123456"));
        QCOMPARE(chooser.working().dpi, 1200);
        QCOMPARE(kKeyImageSetting.get().size(), 1);
    }

    // Damaged or clashing stored presets neither break the window nor take a built-in's place.
    void storedPresetsThatCannotBeUsedAreSkippedOrBounded()
    {
        Preset clash(QStringLiteral("Typora"), 0, 40, 100, Preset::White, Preset::White, QString());
        Preset own(QStringLiteral("Mine"), 0, 22, 300, Preset::Black, Preset::White, QString());
        Preset damaged(QStringLiteral("Custom"), 0, -5, std::numeric_limits<int>::max(), 200, 0, QString());
        clash.builtInType = own.builtInType = Preset::UserSaved;
        damaged.builtInType = Preset::Unsaved;
        kKeyImageSetting.set({utils::toVariant(clash), utils::toVariant(damaged), QVariant("not a preset"),
                              utils::toVariant(own)});
        kKeySavedPreset.set(utils::toVariant(damaged));
        PresetChooser chooser;
        QCOMPARE(chooser.presets(0), builtInPngPresets + QList<Preset>{own});
        const Preset& working = chooser.working();
        QCOMPARE(working.fontSize, PresetChooser::kMinFontSize);
        QCOMPARE(working.dpi, PresetChooser::kMaxDpi);
        QCOMPARE(working.fontColorKind, int(Preset::Black));
        QCOMPARE(working.backgroundKind, int(Preset::Transparent));
    }
};

ZQ_TEST_MAIN(TestSettingsChoices)
#include "test_settings_choices.moc"
