// What the settings window decides without its widgets: which recorded hotkeys may be kept, and how the
// image-export presets move between built-in, "Custom" and the user's own, over real stored settings.
#include "dialogs/logic/PresetChooser.h"
#include "dialogs/logic/ShortcutRecorder.h"

#include "core/builtinPresets.h"
#include "core/settings.h"
#include "support/TestMain.h"

using utils::shortcuts::Shortcut;

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

namespace {

const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
const QVector<Shortcut> kRows = {Shortcut(kCtrlAlt, Qt::Key_M), Shortcut(kCtrlAlt, Qt::Key_O),
                                 Shortcut(kCtrlAlt, Qt::Key_K), Shortcut(kCtrlAlt, Qt::Key_N)};

struct Keys
{
    Qt::KeyboardModifiers modifiers;
    int key;
};

} // namespace

Q_DECLARE_METATYPE(QVector<Keys>)

class TestSettingsChoices : public QObject
{
    Q_OBJECT

private slots:
    void init() { zq::test::clearSettings(); }

    // Row 1 listens to these keys in turn; what it has made and whether Save may keep it.
    void recorderKeepsOnlyAllowedCombinations_data()
    {
        QTest::addColumn<QVector<Keys>>("keys");
        QTest::addColumn<Shortcut>("edited");
        QTest::addColumn<bool>("canSave");
        const auto row = [](const char* name, QVector<Keys> keys, Shortcut edited, bool canSave) {
            QTest::newRow(name) << keys << edited << canSave;
        };
        row("nothing yet", {}, Shortcut(), false);
        row("ctrl alt p", {{kCtrlAlt, Qt::Key_P}}, Shortcut(kCtrlAlt, Qt::Key_P), true);
        row("alt 5", {{Qt::AltModifier, Qt::Key_5}}, Shortcut(Qt::AltModifier, Qt::Key_5), true);
        row("ctrl shift 7", {{kCtrl | Qt::ShiftModifier, Qt::Key_7}},
            Shortcut(kCtrl | Qt::ShiftModifier, Qt::Key_7), true);
        row("modifiers alone", {{kCtrlAlt, 0}}, Shortcut(kCtrlAlt, Qt::Key_Escape), false);
        row("plain letter", {{Qt::NoModifier, Qt::Key_P}}, Shortcut(Qt::NoModifier, Qt::Key_P), false);
        row("shift alone takes capitals", {{Qt::ShiftModifier, Qt::Key_P}},
            Shortcut(Qt::ShiftModifier, Qt::Key_P), false);
        row("meta is dropped", {{Qt::MetaModifier, Qt::Key_P}}, Shortcut(Qt::NoModifier, Qt::Key_P), false);
        row("meta beside ctrl", {{kCtrl | Qt::MetaModifier, Qt::Key_P}}, Shortcut(kCtrl, Qt::Key_P), true);
        row("function key ignored", {{kCtrl, Qt::Key_F5}}, Shortcut(kCtrl, Qt::Key_Escape), false);
        row("another row's", {{kCtrlAlt, Qt::Key_K}}, Shortcut(kCtrlAlt, Qt::Key_K), false);
        row("its own again", {{kCtrlAlt, Qt::Key_O}}, Shortcut(kCtrlAlt, Qt::Key_O), true);
        row("letting go keeps it", {{kCtrlAlt, Qt::Key_P}, {kCtrl, 0}, {Qt::NoModifier, 0}},
            Shortcut(kCtrlAlt, Qt::Key_P), true);
        row("a later key replaces it", {{kCtrlAlt, Qt::Key_P}, {kCtrl, Qt::Key_Q}},
            Shortcut(kCtrl, Qt::Key_Q), true);
        row("modifiers grow until a key", {{kCtrl, 0}, {kCtrlAlt, 0}}, Shortcut(kCtrlAlt, Qt::Key_Escape),
            false);
    }

    void recorderKeepsOnlyAllowedCombinations()
    {
        QFETCH(QVector<Keys>, keys);
        QFETCH(Shortcut, edited);
        QFETCH(bool, canSave);
        ShortcutRecorder recorder(kRows);
        recorder.feed(kCtrl, Qt::Key_Z); // no row listens: nothing happens
        QCOMPARE(recorder.edited(), Shortcut());
        recorder.start(1);
        for (const Keys& k : keys)
            recorder.feed(k.modifiers, k.key);
        QCOMPARE(recorder.edited(), edited);
        QCOMPARE(recorder.canSave(), canSave);
        QCOMPARE(recorder.save(), canSave);
        QCOMPARE(recorder.value(1), canSave ? edited : kRows[1]);
        QCOMPARE(recorder.recordingRow(), canSave ? -1 : 1);
        recorder.cancel();
        QCOMPARE(recorder.values().mid(2) + recorder.values().mid(0, 1), kRows.mid(2) + kRows.mid(0, 1));
    }

    void cancelledRecordingShowsTheRowAsBefore()
    {
        ShortcutRecorder recorder(kRows);
        recorder.start(0);
        recorder.feed(kCtrl, Qt::Key_1);
        QVERIFY(recorder.save());
        recorder.start(0);
        recorder.feed(kCtrl, Qt::Key_2);
        recorder.start(2); // another row takes over; the first keeps what it had
        recorder.cancel();
        QCOMPARE(recorder.values(),
                 (QVector<Shortcut>{Shortcut(kCtrl, Qt::Key_1), kRows[1], kRows[2], kRows[3]}));
        // The rows' values, not the stored ones, are what a new combination must differ from.
        recorder.start(1);
        recorder.feed(kCtrlAlt, Qt::Key_M);
        QVERIFY(recorder.canSave());
        recorder.feed(kCtrl, Qt::Key_1);
        QVERIFY(!recorder.canSave());
    }

    void freshInstallationChoosesTheFirstPngPreset()
    {
        PresetChooser chooser;
        QCOMPARE(chooser.fileType(), 0);
        QCOMPARE(chooser.chosenIndex(), 0);
        QVERIFY(!chooser.isCustom());
        QCOMPARE(chooser.tip(), tipMathmlWord);
        QCOMPARE(chooser.presets(0), builtInPngPresets);
        QCOMPARE(chooser.presets(1), builtInTiffPresets);
    }

    void editsBecomeCustomUntilTheyMatchTheChosenPresetAgain()
    {
        PresetChooser chooser;
        chooser.choose(3); // Typora: 14 pt, 300 dpi, black on white
        chooser.setDpi(600);
        QVERIFY(chooser.isCustom());
        QCOMPARE(chooser.working().name, QString("Custom"));
        QCOMPARE(chooser.working().builtInType, int(Preset::Unsaved));
        QVERIFY(chooser.tip().isEmpty());
        chooser.setDpi(300);
        QVERIFY(!chooser.isCustom());
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

    void valuesOutsideTheBoxesAreBounded_data()
    {
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<int>("dpi");
        QTest::newRow("huge") << std::numeric_limits<int>::max() << std::numeric_limits<int>::max();
        QTest::newRow("negative") << -5 << std::numeric_limits<int>::min();
    }

    void valuesOutsideTheBoxesAreBounded()
    {
        QFETCH(int, fontSize);
        QFETCH(int, dpi);
        Preset damaged = builtInPngPresets[0];
        damaged.builtInType = Preset::Unsaved;
        damaged.fontSize = fontSize;
        damaged.dpi = dpi;
        damaged.fontColorKind = 200;
        kKeySavedPreset.set(utils::toVariant(damaged));
        PresetChooser chooser;
        QVERIFY(chooser.working().fontSize >= PresetChooser::kMinFontSize &&
                chooser.working().fontSize <= PresetChooser::kMaxFontSize);
        QVERIFY(chooser.working().dpi >= PresetChooser::kMinDpi &&
                chooser.working().dpi <= PresetChooser::kMaxDpi);
        QCOMPARE(chooser.working().fontColorKind, int(Preset::Black));
        chooser.setDpi(dpi);
        QVERIFY(chooser.working().dpi >= PresetChooser::kMinDpi &&
                chooser.working().dpi <= PresetChooser::kMaxDpi);
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
        QTEST(chooser.canSaveAs(name), "allowed");
        QTEST(chooser.saveAs(name), "allowed");
    }

    // Saved under a name, the values come back as that preset; the next window finds them again, and
    // saving under the same name replaces them.
    void ownPresetsAndCustomValuesSurviveTheNextWindow()
    {
        {
            PresetChooser chooser;
            chooser.setFileType(1);
            chooser.setFontSize(30);
            QVERIFY(chooser.saveAs("Poster"));
            QVERIFY(!chooser.isCustom());
            QCOMPARE(chooser.presets(1).size(), builtInTiffPresets.size() + 1);
            chooser.setDpi(1200);
            QVERIFY(chooser.saveAs("Poster"));
            QCOMPARE(chooser.presets(1).size(), builtInTiffPresets.size() + 1);
            chooser.store();
        }
        {
            PresetChooser chooser;
            QCOMPARE(chooser.fileType(), 1);
            QCOMPARE(chooser.working().name, QString("Poster"));
            QCOMPARE(chooser.working().dpi, 1200);
            QCOMPARE(chooser.working().builtInType, int(Preset::UserSaved));
            QCOMPARE(chooser.chosenIndex(), builtInTiffPresets.size());
            // Unsaved values in use stay in use, not lost to the first entry.
            chooser.setBackgroundColor(QColor("#123456"));
            chooser.store();
        }
        PresetChooser chooser;
        QVERIFY(chooser.isCustom());
        QCOMPARE(chooser.working().customBackgroundColor, QColor("#123456"));
        QCOMPARE(chooser.working().dpi, 1200);
        QCOMPARE(kKeyImageSetting.get().size(), 1);
    }

    void storedListsThatCannotBeUsedAreSkipped()
    {
        Preset clash(QStringLiteral("Typora"), 0, 40, 100, Preset::White, Preset::White, QString());
        clash.builtInType = Preset::UserSaved;
        Preset unsaved(QStringLiteral("Custom"), 0, 40, 100, Preset::White, Preset::White, QString());
        unsaved.builtInType = Preset::Unsaved;
        Preset own(QStringLiteral("Mine"), 0, 22, 300, Preset::Black, Preset::White, QString());
        own.builtInType = Preset::UserSaved;
        kKeyImageSetting.set({utils::toVariant(clash), utils::toVariant(unsaved), QVariant("not a preset"),
                              utils::toVariant(own)});
        PresetChooser chooser;
        QCOMPARE(chooser.presets(0).size(), builtInPngPresets.size() + 1);
        QCOMPARE(chooser.presets(0).last(), own);
        QCOMPARE(chooser.presets(0)[3], builtInPngPresets[3]);
    }
};

ZQ_TEST_MAIN(TestSettingsChoices)
#include "test_settings_choices.moc"
