// The settings window over real stored settings: the hotkey recorder driven by key presses, what OK
// writes, the signals that end every window, the formatting it announces and takes back, the presets tab,
// and the consent that reaches the fake service over loopback.
#include "dialogs/SettingsDialog.h"

#include "api/APIHandler.h"
#include "core/autostart.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>

using utils::shortcuts::Shortcut;

namespace {

const Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
const QStringList kRows = {"latex", "reload", "latexedit", "markdownedit"};
const QList<const SettingKey<QVariant>*> kRowKeys = {&kKeyShortcutLatex, &kKeyShortcutReload,
                                                     &kKeyShortcutLatexEdit, &kKeyShortcutMarkdownEdit};

enum class End { Ok, Cancel, UpdateAll, Delete };

} // namespace

Q_DECLARE_METATYPE(End)

class TestSettingsDialog : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    zq::test::FakeService m_service;
    QPointer<SettingsDialog> m_dialog;
    // The hotkey signals in the order they came, and the capture hotkey stored when the first came.
    QStringList m_updates;
    Shortcut m_latexAtFirstUpdate;

    void open(int tab = 0, std::optional<utils::ResultFormat> carried = std::nullopt, bool show = true)
    {
        m_dialog = new SettingsDialog(nullptr, tab, carried);
        const QList<void (SettingsDialog::*)()> updates = {
            &SettingsDialog::UpdateShortcutLatex, &SettingsDialog::UpdateShortcutReload,
            &SettingsDialog::UpdateShortcutLatexEdit, &SettingsDialog::UpdateShortcutMarkdownEdit};
        for (int i = 0; i < updates.size(); ++i)
            connect(m_dialog, updates[i], this, [this, i] {
                if (m_updates.isEmpty())
                    m_latexAtFirstUpdate = utils::shortcutLatex();
                m_updates << kRows[i];
            });
        if (show)
            m_dialog->show();
    }

    template <typename T> T* child(const QString& name) { return m_dialog->findChild<T*>(name); }

    // Records a combination on a row through a key press, then keeps it with Save, or with Return.
    bool record(const QString& row, Qt::KeyboardModifiers modifiers, Qt::Key key, bool byReturn = false)
    {
        QTest::mouseClick(child<QPushButton>("but_change_" + row), Qt::LeftButton);
        QTest::keyClick(child<QLineEdit>("le_shortcut_" + row), key, modifiers);
        if (byReturn)
            QTest::keyClick(child<QLineEdit>("le_shortcut_" + row), Qt::Key_Return);
        else if (child<QPushButton>("but_save_" + row)->isEnabled())
            QTest::mouseClick(child<QPushButton>("but_save_" + row), Qt::LeftButton);
        return child<QPushButton>("but_change_" + row)->isVisible();
    }

    void end(End how)
    {
        if (how == End::Ok)
            m_dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        else if (how == End::Cancel)
            m_dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        else if (how == End::UpdateAll)
            m_dialog->UpdateAllShortcuts();
        else
            delete m_dialog;
        QTRY_VERIFY(!m_dialog);
    }

private slots:
    void initTestCase()
    {
        APIHandler::init(&m_manager);
        APIHandler::overrideNetworkAvailabilityForTesting(true);
        utils::overrideBaseUrlsForTesting(m_service.baseUrl());
    }

    void init()
    {
        zq::test::clearSettings();
        m_updates.clear();
        m_service.clearRequests();
    }

    void cleanup() { delete m_dialog; }

    void recorderEnablesSaveOnlyForAllowedCombinations_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("byReturn");
        QTest::addColumn<bool>("saved");
        QTest::newRow("ctrl alt p") << kCtrlAlt << int(Qt::Key_P) << false << true;
        QTest::newRow("alt shift 4 by Return")
            << (Qt::AltModifier | Qt::ShiftModifier) << int(Qt::Key_4) << true << true;
        QTest::newRow("modifier keys only") << kCtrlAlt << int(Qt::Key_Control) << true << false;
        QTest::newRow("plain letter") << Qt::KeyboardModifiers() << int(Qt::Key_P) << false << false;
        QTest::newRow("the capture hotkey") << kCtrlAlt << int(Qt::Key_M) << true << false;
    }

    void recorderEnablesSaveOnlyForAllowedCombinations()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, key);
        QFETCH(bool, byReturn);
        QFETCH(bool, saved);
        open();
        QLineEdit* field = child<QLineEdit>("le_shortcut_reload");
        QCOMPARE(field->text(), QString("CTRL + ALT + O"));
        QCOMPARE(record("reload", modifiers, Qt::Key(key), byReturn), saved);
        QCOMPARE(child<QPushButton>("but_save_reload")->isVisible(), !saved);
        if (!saved) {
            QVERIFY(!child<QPushButton>("but_save_reload")->isEnabled());
            // Escape gives up the recording, not the window.
            QTest::keyClick(field, Qt::Key_Escape);
            QVERIFY(m_dialog->isVisible());
        }
        QCOMPARE(field->text(), saved ? utils::shortcuts::toText(Shortcut(modifiers, key), true)
                                      : QString("CTRL + ALT + O"));
    }

    void okWritesOnlyChangedHotkeys_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("changeBack");
        for (int row = 0; row < kRows.size(); ++row)
            QTest::addRow("%s", qPrintable(kRows[row])) << row << false;
        QTest::newRow("changed and changed back") << 1 << true;
    }

    void okWritesOnlyChangedHotkeys()
    {
        QFETCH(int, row);
        QFETCH(bool, changeBack);
        open();
        const Shortcut changed(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_9);
        QVERIFY(record(kRows[row], changed.modifiers, Qt::Key_9));
        if (changeBack)
            QVERIFY(record(kRows[row], kCtrlAlt, Qt::Key_O));
        end(End::Ok);
        for (int i = 0; i < kRowKeys.size(); ++i)
            QCOMPARE(kRowKeys[i]->contains(), i == row && !changeBack);
        QCOMPARE(kRowKeys[row]->get().value<Shortcut>() == changed, !changeBack);
    }

    // However a window ends, the four hotkey signals come once, in order; after OK they come once the new
    // values are stored. Only OK stores anything.
    void fourUpdateSignalsFireOncePerWindowInOrder_data()
    {
        QTest::addColumn<End>("end");
        QTest::newRow("OK") << End::Ok;
        QTest::newRow("Cancel") << End::Cancel;
        QTest::newRow("replaced by another window") << End::UpdateAll;
        QTest::newRow("destroyed open") << End::Delete;
    }

    void fourUpdateSignalsFireOncePerWindowInOrder()
    {
        QFETCH(End, end);
        open();
        QVERIFY(record("latex", kCtrlAlt, Qt::Key_Q));
        child<QCheckBox>("cb_rm_fonts")->click();
        child<QCheckBox>("cb_enable_latexedit")->click();
        this->end(end);
        QCOMPARE(m_updates, kRows);
        const bool ok = end == End::Ok;
        QCOMPARE(m_latexAtFirstUpdate, Shortcut(kCtrlAlt, ok ? Qt::Key_Q : Qt::Key_M));
        QCOMPARE(kKeySetRmFonts.get(), ok);
        QCOMPARE(utils::isShortcutEnabled("latexedit"), !ok);
    }

    void formattingIsAnnouncedAsItChangesAndTakenBackUnsaved_data()
    {
        QTest::addColumn<End>("end");
        QTest::addColumn<QString>("closing"); // the custom delimiter stored
        QTest::newRow("OK keeps it") << End::Ok << "]]";
        QTest::newRow("Cancel takes it back") << End::Cancel << "]]";
        QTest::newRow("destroyed open takes it back") << End::Delete << "]]";
        QTest::newRow("a delimiter wider than the screen")
            << End::Ok << QString("\\end{aligned}").repeated(200);
    }

    void formattingIsAnnouncedAsItChangesAndTakenBackUnsaved()
    {
        QFETCH(End, end);
        QFETCH(QString, closing);
        utils::ResultFormat stored;
        stored.customEnabled = true;
        stored.customOpenDelimiter = "[[";
        stored.customCloseDelimiter = "]]";
        utils::setResultFormat(stored);
        int usualWidth = 0;
        {
            SettingsDialog usual(nullptr, SettingsDialog::FormattingTab);
            usual.show();
            usualWidth = usual.frameGeometry().width();
        }
        stored.customCloseDelimiter = closing;
        utils::setResultFormat(stored);
        open(SettingsDialog::FormattingTab);
        // Every choice shows whole in the window as it opens, with no scrolling sideways, and the window
        // is no wider than with delimiters of the usual length.
        const QWidget* viewport = child<QScrollArea>("scrollArea")->viewport();
        for (const QWidget* choice :
             child<QWidget>("formattingTabScrollAreaWidgetContents")->findChildren<QWidget*>()) {
            const QRect shown(choice->mapTo(viewport, QPoint()), choice->size());
            QVERIFY2(shown.right() < viewport->width(), qPrintable(choice->objectName()));
            if (qobject_cast<const QAbstractButton*>(choice))
                QVERIFY2(choice->width() >= choice->sizeHint().width(), qPrintable(choice->objectName()));
        }
        QVERIFY(m_dialog->frameGeometry().width() <= usualWidth);
        // Each field shows a delimiter of the usual length whole; the preview, whatever its length.
        for (const char* name : {"le_customStart", "le_customEnd"}) {
            const QLineEdit* field = child<QLineEdit>(name);
            QVERIFY2(field->width() > field->fontMetrics().horizontalAdvance("\\begin{equation}"), name);
        }
        const QLabel* preview = child<QLabel>("label_15");
        QVERIFY(preview->height() >= preview->heightForWidth(preview->width()));
        QCOMPARE(child<QLineEdit>("le_customStart")->text(), QString("[["));
        QCOMPARE(child<QLineEdit>("le_customEnd")->text(), closing);
        QSignalSpy announced(m_dialog.data(), &SettingsDialog::FormattingChanged);
        QTest::mouseClick(child<QRadioButton>("but_bl_delim_no_num_three"), Qt::LeftButton);
        child<QLineEdit>("le_customStart")->setText("<<");
        QCOMPARE(announced.count(), 2);
        const auto edited = announced.last().first().value<utils::ResultFormat>();
        QCOMPARE(edited.blockStyle, 2);
        QCOMPARE(edited.customOpenDelimiter, QString("<<"));
        QCOMPARE(edited.customCloseDelimiter, closing); // what was not edited stays
        QCOMPARE(m_dialog->GetResultFormat(), edited);
        QCOMPARE(preview->text(), "<<x^{2}" + closing);
        this->end(end);
        const utils::ResultFormat expected = end == End::Ok ? edited : stored;
        QCOMPARE(utils::resultFormat(), expected);
        QCOMPARE(announced.count(), end == End::Ok ? 2 : 3);
        QCOMPARE(announced.last().first().value<utils::ResultFormat>(), expected);
    }

    // A window that replaces another shows the formatting carried over and announces it once it shows.
    void carriedFormattingIsShownAndAnnounced()
    {
        utils::ResultFormat carried;
        carried.inlineStyle = 1;
        open(SettingsDialog::FormattingTab, carried, false);
        QSignalSpy announced(m_dialog.data(), &SettingsDialog::FormattingChanged);
        QVERIFY(child<QRadioButton>("but_text_delim_not_dollar")->isChecked());
        m_dialog->show();
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.first().first().value<utils::ResultFormat>(), carried);
        end(End::UpdateAll);
        QCOMPARE(announced.count(), 2);
        QCOMPARE(announced.last().first().value<utils::ResultFormat>(), utils::ResultFormat());
    }

    void dataFormatsAreAnnouncedOnlyWhenChanged_data()
    {
        QTest::addColumn<QString>("toggle");
        QTest::addColumn<QList<bool>>("shown");
        QTest::newRow("none") << QString() << QList<bool>();
        QTest::newRow("tsv") << "cb_format_tsv" << QList<bool>{1, 1, 1, 0, 1};
        QTest::newRow("mathml word") << "cb_format_mathmlword" << QList<bool>{0, 1, 1, 1, 1};
    }

    void dataFormatsAreAnnouncedOnlyWhenChanged()
    {
        QFETCH(QString, toggle);
        QFETCH(QList<bool>, shown);
        open(SettingsDialog::FormattingTab);
        QSignalSpy spy(m_dialog.data(), &SettingsDialog::NonLatexFormatsChanged);
        if (!toggle.isEmpty())
            child<QCheckBox>(toggle)->click();
        end(End::Ok);
        QCOMPARE(spy.count(), shown.isEmpty() ? 0 : 1);
        QCOMPARE(spy.value(0).value(0).value<QList<bool>>(), shown);
        if (!shown.isEmpty())
            QCOMPARE(utils::isFormatShown("tsv"), shown[3]);
    }

    void consentGoesToTheServiceAndStartAtLoginToTheAutostartEntry()
    {
        utils::setAuthInfo("ada@example.org", "t0ken");
        m_service.on("PATCH", "/v1/user/settings", zq::test::Reply::json(QJsonObject()));
        QTemporaryFile appImage;
        QVERIFY(appImage.open());
        qputenv("APPIMAGE", appImage.fileName().toUtf8());
        open();
        child<QCheckBox>("cb_improve")->click();
        child<QCheckBox>("cb_autostart")->click();
        end(End::Ok);
        qunsetenv("APPIMAGE");
        QCOMPARE(kKeyImproveZorvaneOCR.get(), false);
        QTRY_COMPARE(m_service.requestsTo("/v1/user/settings").size(), 1);
        QCOMPARE(m_service.requests().first().json(), (QJsonObject{{"improve_zorvane", false}}));
        QVERIFY(QFile::exists(utils::autostartFilePath()));
        // Without an AppImage there is nothing to start at login. Consent the service changed while the
        // window was open (its settings fetched as it opened) is neither sent back nor overwritten.
        open();
        QVERIFY(!child<QCheckBox>("cb_autostart")->isEnabled());
        kKeyImproveZorvaneOCR.set(true);
        kKeyShowOCRFeedback.set(false);
        end(End::Ok);
        QCOMPARE(m_service.requestCount(), 1);
        QCOMPARE(kKeyImproveZorvaneOCR.get(), true);
        QCOMPARE(kKeyShowOCRFeedback.get(), false);
    }

    void presetsTabChoosesEditsAndSavesPresets()
    {
        open(SettingsDialog::ImageExportTab);
        QComboBox* presets = child<QComboBox>("cb_preset");
        QVERIFY(child<QLabel>("lb_tip")->isVisible());
        child<QRadioButton>("rb_tiff")->click();
        QCOMPARE(presets->itemText(0), QString("Adobe Illustrator"));
        QVERIFY(!child<QLabel>("lb_tip")->isVisible());
        child<QSpinBox>("sb_dpi")->setValue(900);
        QCOMPARE(presets->currentText(), QString("Custom"));
        child<QLineEdit>("le_preset_name")->setText("Print");
        QTest::mouseClick(child<QPushButton>("but_save_preset"), Qt::LeftButton);
        QCOMPARE(presets->currentText(), QString("Print"));
        QTest::mouseClick(child<QPushButton>("but_font_custom"), Qt::LeftButton);
        auto* colours = m_dialog->findChild<QColorDialog*>();
        QVERIFY(colours);
        colours->setCurrentColor(QColor("#aa0000"));
        colours->accept();
        QVERIFY(child<QPushButton>("but_font_custom")->isChecked());
        QCOMPARE(presets->currentText(), QString("Custom"));
        end(End::Ok);
        const Preset stored = kKeySavedPreset.get().value<Preset>();
        QCOMPARE(stored.fontColor(), QColor("#aa0000"));
        QCOMPARE(stored.dpi, 900);
        QCOMPARE(kKeyImageSetting.get().size(), 1);
    }
};

ZQ_TEST_MAIN(TestSettingsDialog)
#include "test_settings_dialog.moc"
