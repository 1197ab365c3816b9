#pragma once

#include "core/Preset.h"
#include "core/SettingKey.h"

#include <QStandardPaths>

#include <functional>

// Every persistent setting of the application. The key strings are the stored format: their odd
// spellings stay as they are. The keys are built during static initialisation and touch no store.

// Captures sent for recognition; travels in each request's metadata.
inline const SettingKey<int> kKeyCountTakenScreenshots{QStringLiteral("countTakenScreenshots"), 0};
inline const SettingKey<bool> kKeySystemTrayAvailable{QStringLiteral("SystemTrayAvailable"), true};

// The one-shot flags below count by presence, not by value.
inline const SettingKey<bool> kKeyTutorialWasShown{QStringLiteral("TutorialWasShown"), false};
inline const SettingKey<bool> kKeyEventInstall{QStringLiteral("EventInstall"), false};
inline const SettingKey<bool> kKeyEventLogin{QStringLiteral("EventLogin"), false};
inline const SettingKey<bool> kKeyEventSignUp{QStringLiteral("EventSignUp"), false};
inline const SettingKey<QDateTime> kKeyLastScreenshot{QStringLiteral("LastScreenshot"), QDateTime()};

// The updater's memory of the last download and this installation's roll-out number.
inline const SettingKey<QString> kKeyLastUpdateVersion{QStringLiteral("LastUpdateVersion"), QString()};
inline const SettingKey<int> kKeyLastUpdateCount{QStringLiteral("LastUpdateCount"), 0};
inline const SettingKey<int> kKeyUpdatePercent{QStringLiteral("UpdatePercent"), 0};

// The user's image-export presets, each a variant holding a Preset.
inline const SettingKey<QVariantList> kKeyImageSetting{QStringLiteral("ImageSetting"), QVariantList()};
inline const SettingKey<QRect> kKeyLastWinSize{QStringLiteral("LastWinSize"), QRect()};
inline const SettingKey<QString> kKeySavedEmail{QStringLiteral("SavedEmail"), QString()};

// Chooses the staging hosts for every base URL.
inline const SettingKey<bool> kKeySetStagingAPI{QStringLiteral("SetStagingAPI"), false};
inline const SettingKey<bool> kKeyShowDPIMsgBox{QStringLiteral("ShowDPIMsgBox"), true};

// Recognition options.
inline const SettingKey<bool> kKeySetRmFonts{QStringLiteral("SetRmFonts"), false};
inline const SettingKey<bool> kKeyIdiomaticEquationArraysEnabled{
    QStringLiteral("idiomaticEquationArraysEnabled"), true};
inline const SettingKey<bool> kKeyPopupConfidenceWindow{QStringLiteral("PopupConfidenceWindow"), true};
inline const SettingKey<bool> kKeyHideWindowOnCaptureStarted{QStringLiteral("HideWindowOnCaptureStarted"),
                                                             true};
inline const SettingKey<bool> kKeyEnhancedDiagramData{QStringLiteral("EnhancedDiagramData"), true};

// A utils::ResultFormat; read through utils::resultFormat.
inline const SettingKey<QVariant> kKeyResultFormat{QStringLiteral("ResultFormat"), QVariant()};
inline const SettingKey<bool> kKeyShowStartBalloon{QStringLiteral("ShowStartBalloon"), true};

// Shown result formats, looked up by name through utils::isFormatShown.
inline const SettingKey<bool> kKeyShowMathml{QStringLiteral("ShowMathml"), true};
inline const SettingKey<bool> kKeyShowMathmlWord{QStringLiteral("ShowMathmlWord"), true};
inline const SettingKey<bool> kKeyShowAsciiMath{QStringLiteral("ShowAsciiMath"), true};
inline const SettingKey<bool> kKeyShowLatex{QStringLiteral("ShowLatex"), true};
inline const SettingKey<bool> kKeyShowHTML{QStringLiteral("ShowHTML"), true};
inline const SettingKey<bool> kKeyShowSVG{QStringLiteral("ShowSVG"), true};
inline const SettingKey<bool> kKeyShowTSV{QStringLiteral("ShowTSV"), true};
inline const SettingKey<bool> kKeyShowCSV{QStringLiteral("ShowCSV"), true};

// Hotkey enable flags, looked up by name through utils::isShortcutEnabled. The last
// key string carries the constant's prefix by history; it is part of the stored format.
inline const SettingKey<bool> kKeyEnableShortcutLatex{QStringLiteral("EnableShortcutLatex"), true};
inline const SettingKey<bool> kKeyEnableShortcutOpen{QStringLiteral("EnableShortcutOpen"), true};
inline const SettingKey<bool> kKeyEnableShortcutMarkdownEdit{QStringLiteral("EnableShortcutMarkdownEdit"),
                                                             true};
inline const SettingKey<bool> kKeyEnableShortcutLatexEdit{QStringLiteral("kKeyEnableShortcutLatexEdit"),
                                                          true};

// The image-export preset in use.
inline const SettingKey<QVariant> kKeySavedPreset{QStringLiteral("SavedPreset"), utils::toVariant(Preset())};
inline const SettingKey<bool> kKeyShowOCRFeedback{QStringLiteral("ShowOCRFeedback"), true};
inline const SettingKey<bool> kKeyImproveZorvaneOCR{QStringLiteral("ImproveZorvaneOCR"), true};

// Qelt id -> five stream bytes of a FeedbackEntry; read through utils::feedbackList.
inline const SettingKey<QVariantMap> kKeyFeedBackList{QStringLiteral("FeedBackList"), QVariantMap()};
inline const SettingKey<bool> kKeyShowImproveMessage{QStringLiteral("ShowImproveMessage"), true};
inline const SettingKey<QString> kKeyLastTabName{QStringLiteral("LastTabName"), QStringLiteral("OCR")};

// A utils::ROW_MEMORY; read through utils::rowMemory.
inline const SettingKey<QVariant> kKeyLastSelectedRows{QStringLiteral("LastSelectedRows"), QVariant()};
inline const SettingKey<bool> kKeyOriginalShow{QStringLiteral("OriginalShow"), false};

// The device identifier.
inline const SettingKey<QString> kKeyUserId{QStringLiteral("userId"), QString()};
inline const SettingKey<QString> kKeyUserName{QStringLiteral("UserName"), QString()};

// utils::shortcuts::Shortcut values; read through the getters of core/shortcuts.h, which
// apply the real defaults.
inline const SettingKey<QVariant> kKeyShortcutLatex{QStringLiteral("ShortcutLatex"), QVariant()};
inline const SettingKey<QVariant> kKeyShortcutReload{QStringLiteral("ShortcutReload"), QVariant()};
inline const SettingKey<QVariant> kKeyShortcutMarkdownEdit{QStringLiteral("ShortcutMarkdownEdit"),
                                                           QVariant()};
inline const SettingKey<QVariant> kKeyShortcutLatexEdit{QStringLiteral("ShortcutLatexEdit"), QVariant()};

// E-mail and token of the signed-in account; read through utils::authInfo.
inline const SettingKey<QStringList> kKeyAuthInfo{QStringLiteral("AuthInfo"), QStringList()};

// Drawing pad background: 0 dots, 1 vertical lines, 2 grid.
inline const SettingKey<int> kKeyHandwriteBackground{QStringLiteral("HandwriteBackground"), 0};

// See utils::migrateSettings.
inline const SettingKey<int> kKeySettingsVersion{QStringLiteral("SettingsVersion"), 0};

// The download folder is taken once, before the application object exists.
inline const SettingKey<QString> kKeyLastOpenedFolder{
    QStringLiteral("LastOpenedFolder"), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)};
inline const SettingKey<QString> kKeyPdfDownloadsFolder{
    QStringLiteral("PdfDownloadsFolder"), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)};
inline const SettingKey<bool> kKeyAskPdfDownloadsFolder{QStringLiteral("AskPdfDownloadsFolder"), false};
inline const SettingKey<bool> kKeyOpenPdfDownloadsFolder{QStringLiteral("OpenPdfDownloadsFolder"), true};

// Gallery view: 0 original images, 1 rendered, 2 both.
inline const SettingKey<int> kKeyQeltListViewMode{QStringLiteral("QeltListViewMode"), 2};

// Only its presence is read.
inline const SettingKey<bool> kKeyAutostartChanged{QStringLiteral("AutostartChanged"), false};

namespace utils {

// Parses the settings file in a child process held to a few seconds and a few hundred megabytes, and
// renames a file that Qt cannot read, or reads only in part or at that cost, to
// "<file>.damaged-<UTC time>"; the run then starts afresh. Call before the application object exists,
// while no other thread runs. A check that decides nothing leaves the file as it is and keeps this run's
// settings apart.
void checkSettingsFile();
// Brings stored settings up to the current version; run once per start, after the application
// and organisation names are set and before anything else reads settings. The settings file is
// checked first as checkSettingsFile() does, unless that has been done already.
void migrateSettings();
// As above with a replaceable step; the step gets the stored version and returns true once the
// settings are current. A std::exception leaving the step is logged and nothing is stored.
void migrateSettings(const std::function<bool(int)>& step);
// What migrateSettings said of a settings file it could not read or set aside; empty when it read the
// file. Logged again by the start-up once the log file is open.
QString settingsNote();
// The step from the stored version to the current one.
bool migrateSettingsFromVersion(int version);

} // namespace utils
