// The settings window over real stored settings: the hotkey recorder driven by key presses, what OK
// writes, the signals that end every window, the formatting it announces and takes back, the presets tab,
// and the consent that reaches the fake service over loopback.
#include "dialogs/SettingsDialog.h"

#include "api/APIHandler.h"
#include "core/autostart.h"
#include "core/identity.h"
#include "core/settings.h"
#include "core/ui/FileDialog.h"
#include "core/userState.h"
#include "support/FakeService.h"
#include "support/TestMain.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

using utils::shortcuts::Shortcut;
using zq::test::Reply;

namespace {

const Qt::KeyboardModifiers kCtrlAlt = Qt::ControlModifier | Qt::AltModifier;
const QStringList kHotkeyRows = {"latex", "reload", "latexedit", "markdownedit"};
const QList<const SettingKey<QVariant>*> kHotkeyKeys = {&kKeyShortcutLatex, &kKeyShortcutReload,
                                                        &kKeyShortcutLatexEdit, &kKeyShortcutMarkdownEdit};

// How a window ends.
enum class End { Ok, Cancel, UpdateAll, Delete };

} // namespace

Q_DECLARE_METATYPE(End)
Q_DECLARE_METATYPE(const SettingKey<bool>*)

class TestSettingsDialog : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_manager;
    zq::test::FakeService m_service;
    QPointer<SettingsDialog> m_dialog;
    // The names of the hotkey signals in the order they came, and what was stored when the first came.
    QStringList m_updates;
    Shortcut m_latexAtFirstUpdate;

    SettingsDialog* open(int tab = 0, std::optional<utils::ResultFormat> carried = std::nullopt)
    {
        m_dialog = new SettingsDialog(nullptr, tab, carried);
        const QList<void (SettingsDialog::*)()> signals_ = {
            &SettingsDialog::UpdateShortcutLatex, &SettingsDialog::UpdateShortcutReload,
            &SettingsDialog::UpdateShortcutLatexEdit, &SettingsDialog::UpdateShortcutMarkdownEdit};
        for (int i = 0; i < signals_.size(); ++i)
            connect(m_dialog, signals_[i], this, [this, i] {
                if (m_updates.isEmpty())
                    m_latexAtFirstUpdate = utils::shortcutLatex();
                m_updates << kHotkeyRows[i];
            });
        return m_dialog;
    }

    template <typename T> T* child(const QString& name) { return m_dialog->findChild<T*>(name); }

    // Records a combination on a row through key presses, and presses Save when it may.
    bool record(const QString& row, Qt::KeyboardModifiers modifiers, Qt::Key key)
    {
        QTest::mouseClick(child<QPushButton>("but_change_" + row), Qt::LeftButton);
        QTest::keyClick(child<QLineEdit>("le_shortcut_" + row), key, modifiers);
        QPushButton* save = child<QPushButton>("but_save_" + row);
        if (!save->isEnabled())
            return false;
        QTest::mouseClick(save, Qt::LeftButton);
        return true;
    }

    void end(End how)
    {
        switch (how) {
        case End::Ok:
            m_dialog->accept();
            break;
        case End::Cancel:
            QTest::mouseClick(m_dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel),
                              Qt::LeftButton);
            break;
        case End::UpdateAll:
            m_dialog->UpdateAllShortcuts();
            break;
        case End::Delete:
            delete m_dialog;
            break;
        }
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
        m_service.clearRoutes();
        m_service.clearRequests();
    }

    void cleanup() { delete m_dialog; }

    void recorderEnablesSaveOnlyForAllowedCombinations_data()
    {
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("saved");
        QTest::newRow("ctrl alt p") << kCtrlAlt << int(Qt::Key_P) << true;
        QTest::newRow("alt shift 4") << (Qt::AltModifier | Qt::ShiftModifier) << int(Qt::Key_4) << true;
        QTest::newRow("modifier keys only") << kCtrlAlt << int(Qt::Key_Control) << false;
        QTest::newRow("plain letter") << Qt::KeyboardModifiers() << int(Qt::Key_P) << false;
        QTest::newRow("the capture hotkey") << kCtrlAlt << int(Qt::Key_M) << false;
        QTest::newRow("a function key") << kCtrlAlt << int(Qt::Key_F4) << false;
    }

    void recorderEnablesSaveOnlyForAllowedCombinations()
    {
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, key);
        QFETCH(bool, saved);
        open()->show();
        QLineEdit* field = child<QLineEdit>("le_shortcut_reload");
        QCOMPARE(field->text(), QString("CTRL + ALT + O"));
        QCOMPARE(record("reload", modifiers, Qt::Key(key)), saved);
        QCOMPARE(child<QPushButton>("but_change_reload")->isVisible(), saved);
        if (!saved) {
            // Escape gives up the recording without closing the window.
            QTest::keyClick(field, Qt::Key_Escape);
            QVERIFY(m_dialog->isVisible());
        }
        QCOMPARE(field->text(), saved ? utils::shortcuts::toText(Shortcut(modifiers, key), true)
                                      : QString("CTRL + ALT + O"));
        QVERIFY(!child<QPushButton>("but_save_reload")->isVisible());
    }

    void okWritesOnlyChangedHotkeys_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("changeBack");
        for (int row = 0; row < kHotkeyRows.size(); ++row)
            QTest::addRow("%s", qPrintable(kHotkeyRows[row])) << row << false;
        QTest::newRow("changed and changed back") << 1 << true;
    }

    void okWritesOnlyChangedHotkeys()
    {
        QFETCH(int, row);
        QFETCH(bool, changeBack);
        open()->show();
        QVERIFY(record(kHotkeyRows[row], Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_9));
        if (changeBack)
            QVERIFY(record(kHotkeyRows[row], kCtrlAlt, Qt::Key_O));
        end(End::Ok);
        for (int i = 0; i < kHotkeyKeys.size(); ++i)
            QCOMPARE(kHotkeyKeys[i]->contains(), i == row && !changeBack);
        if (!changeBack)
            QCOMPARE(kHotkeyKeys[row]->get().value<Shortcut>(),
                     Shortcut(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_9));
    }

    // However a window ends, the application hears the four hotkey signals once, in order; after OK they
    // come once the new hotkeys are stored. Only OK stores anything.
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
        open()->show();
        QVERIFY(record("latex", kCtrlAlt, Qt::Key_Q));
        this->end(end);
        QCOMPARE(m_updates, kHotkeyRows);
        const Shortcut stored =
            end == End::Ok ? Shortcut(kCtrlAlt, Qt::Key_Q) : Shortcut(kCtrlAlt, Qt::Key_M);
        QCOMPARE(m_latexAtFirstUpdate, stored);
        QCOMPARE(utils::shortcutLatex(), stored);
    }

    void formattingIsAnnouncedAsItChangesAndTakenBackUnsaved_data()
    {
        QTest::addColumn<End>("end");
        QTest::newRow("OK keeps it") << End::Ok;
        QTest::newRow("Cancel takes it back") << End::Cancel;
        QTest::newRow("destroyed open takes it back") << End::Delete;
    }

    void formattingIsAnnouncedAsItChangesAndTakenBackUnsaved()
    {
        QFETCH(End, end);
        open(SettingsDialog::FormattingTab)->show();
        QSignalSpy announced(m_dialog.data(), &SettingsDialog::FormattingChanged);
        QTest::mouseClick(child<QRadioButton>("but_bl_delim_no_num_three"), Qt::LeftButton);
        child<QLineEdit>("le_customStart")->setText("<<");
        QCOMPARE(announced.count(), 2);
        const auto edited = announced.last().first().value<utils::ResultFormat>();
        QCOMPARE(edited.blockStyle, 2);
        QCOMPARE(edited.customOpenDelimiter, QString("<<"));
        QCOMPARE(m_dialog->GetResultFormat(), edited);
        QCOMPARE(child<QLabel>("label_15")->text(), QString("<<x^{2}"));
        this->end(end);
        const utils::ResultFormat expected = end == End::Ok ? edited : utils::ResultFormat();
        QCOMPARE(utils::resultFormat(), expected);
        QCOMPARE(announced.count(), end == End::Ok ? 2 : 3);
        QCOMPARE(announced.last().first().value<utils::ResultFormat>(), expected);
    }

    // A window that replaces another shows the formatting carried over and announces it once it shows.
    void carriedFormattingIsShownAndAnnounced()
    {
        utils::ResultFormat carried;
        carried.inlineStyle = 1;
        carried.customEnabled = true;
        open(SettingsDialog::FormattingTab, carried);
        QSignalSpy announced(m_dialog.data(), &SettingsDialog::FormattingChanged);
        QCOMPARE(m_dialog->GetResultFormat(), carried);
        QVERIFY(child<QRadioButton>("but_text_delim_not_dollar")->isChecked());
        m_dialog->show();
        QCOMPARE(announced.count(), 1);
        QCOMPARE(announced.first().first().value<utils::ResultFormat>(), carried);
        m_dialog->UpdateAllShortcuts();
        QTRY_VERIFY(!m_dialog);
        QCOMPARE(announced.count(), 2);
        QCOMPARE(utils::resultFormat(), utils::ResultFormat());
    }

    void dataFormatsAreAnnouncedOnlyWhenChanged_data()
    {
        QTest::addColumn<QString>("toggle");
        QTest::addColumn<QVariantList>("announced");
        QTest::newRow("none") << QString() << QVariantList();
        QTest::newRow("tsv") << "cb_format_tsv"
                             << QVariantList{QVariant::fromValue(QList<bool>{1, 1, 1, 0, 1})};
        QTest::newRow("mathml word") << "cb_format_mathmlword"
                                     << QVariantList{QVariant::fromValue(QList<bool>{0, 1, 1, 1, 1})};
    }

    void dataFormatsAreAnnouncedOnlyWhenChanged()
    {
        QFETCH(QString, toggle);
        QFETCH(QVariantList, announced);
        open(SettingsDialog::FormattingTab)->show();
        QSignalSpy spy(m_dialog.data(), &SettingsDialog::NonLatexFormatsChanged);
        if (!toggle.isEmpty())
            child<QCheckBox>(toggle)->click();
        end(End::Ok);
        QCOMPARE(spy.count(), announced.size());
        if (!announced.isEmpty()) {
            const auto flags = spy.first().first().value<QList<bool>>();
            QCOMPARE(flags, announced.first().value<QList<bool>>());
            const QStringList names = {"mathmlword", "mathml", "asciimath", "tsv", "csv"};
            for (int i = 0; i < names.size(); ++i)
                QCOMPARE(utils::isFormatShown(names[i]), flags[i]);
        }
    }

    void generalOptionsAreStoredOnOkOnly_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<const SettingKey<bool>*>("key");
        QTest::addColumn<End>("end");
        QTest::newRow("balloon") << "cb_start_balloon" << &kKeyShowStartBalloon << End::Ok;
        QTest::newRow("hide on capture")
            << "cb_hide_on_capture" << &kKeyHideWindowOnCaptureStarted << End::Ok;
        QTest::newRow("rm fonts") << "cb_rm_fonts" << &kKeySetRmFonts << End::Ok;
        QTest::newRow("report dialog") << "cb_ocr_feedback" << &kKeyShowOCRFeedback << End::Ok;
        QTest::newRow("ask pdf folder") << "cb_ask_pdf_folder" << &kKeyAskPdfDownloadsFolder << End::Ok;
        QTest::newRow("hotkey off") << "cb_enable_latexedit" << &kKeyEnableShortcutLatexEdit << End::Ok;
        QTest::newRow("cancelled") << "cb_popup_window" << &kKeyPopupConfidenceWindow << End::Cancel;
    }

    void generalOptionsAreStoredOnOkOnly()
    {
        QFETCH(QString, box);
        QFETCH(const SettingKey<bool>*, key);
        QFETCH(End, end);
        const bool before = key->get();
        open()->show();
        QCOMPARE(child<QCheckBox>(box)->isChecked(), before);
        child<QCheckBox>(box)->click();
        this->end(end);
        QCOMPARE(key->get(), end == End::Ok ? !before : before);
        QCOMPARE(key->contains(), end == End::Ok);
    }

    void consentGoesToTheServiceAndStartAtLoginToTheAutostartEntry()
    {
        utils::setAuthInfo("ada@example.org", "t0ken");
        m_service.on("PATCH", "/v1/user/settings", Reply::json(QJsonObject()));
        QTemporaryFile appImage;
        QVERIFY(appImage.open());
        qputenv("APPIMAGE", appImage.fileName().toUtf8());
        open()->show();
        QVERIFY(child<QCheckBox>("cb_autostart")->isEnabled());
        child<QCheckBox>("cb_improve")->click();
        child<QCheckBox>("cb_autostart")->click();
        end(End::Ok);
        qunsetenv("APPIMAGE");
        QCOMPARE(kKeyImproveZorvaneOCR.get(), false);
        QTRY_COMPARE(m_service.requestsTo("/v1/user/settings").size(), 1);
        QCOMPARE(m_service.requests().first().json(), (QJsonObject{{"improve_zorvane", false}}));
        QVERIFY(QFile::exists(utils::autostartFilePath()));
        // Without an AppImage there is nothing to start at login.
        open()->show();
        QVERIFY(!child<QCheckBox>("cb_autostart")->isEnabled());
        end(End::Ok);
        QCOMPARE(m_service.requestCount(), 1);
    }

    void presetsTabChoosesEditsAndSavesPresets()
    {
        open(SettingsDialog::ImageExportTab)->show();
        QCOMPARE(m_dialog->findChild<QTabWidget*>()->currentIndex(), 2);
        QComboBox* presets = child<QComboBox>("cb_preset");
        QLabel* tip = child<QLabel>("lb_tip");
        QVERIFY(tip->isVisible());
        child<QRadioButton>("rb_tiff")->click();
        QCOMPARE(presets->itemText(0), QString("Adobe Illustrator"));
        QVERIFY(!tip->isVisible());
        child<QSpinBox>("sb_dpi")->setValue(900);
        QCOMPARE(presets->currentText(), QString("Custom"));
        QVERIFY(!child<QPushButton>("but_save_preset")->isEnabled());
        child<QLineEdit>("le_preset_name")->setText("Print");
        QTest::mouseClick(child<QPushButton>("but_save_preset"), Qt::LeftButton);
        QCOMPARE(presets->currentText(), QString("Print"));
        QCOMPARE(presets->count(), 5);
        // A custom font colour through the colour dialog.
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
        QCOMPARE(stored.fileType, 1);
        QCOMPARE(kKeyImageSetting.get().size(), 1);
    }

    void pdfFolderIsChosenInAFolderDialog()
    {
        FileDialog::setNextFileName("/tmp/converted");
        open(SettingsDialog::PdfExportTab)->show();
        QTest::mouseClick(child<QPushButton>("but_pdf_folder"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>("le_pdf_folder")->text(), QString("/tmp/converted"));
        end(End::Ok);
        QCOMPARE(kKeyPdfDownloadsFolder.get(), QString("/tmp/converted"));
    }
};

ZQ_TEST_MAIN(TestSettingsDialog)
#include "test_settings_dialog.moc"
