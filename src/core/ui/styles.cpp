#include "core/ui/styles.h"

#include "core/Palette.h"

namespace utils::styles {

namespace {

QString name(const QColor& color)
{
    return color.name();
}

// The hover and pressed rules shared by the flat-button family.
const char kFlatHoverAndPressed[] =
    "QPushButton:hover {  background: rgba(125, 130, 156, 20%);  border-width: 1px;  border-style: solid;  "
    "border-color: rgba(125, 130, 156, 0.3);  border-radius: 3px;}"
    "QPushButton:pressed {  background: rgba(125, 130, 156, 50%);  border-width: 1px;  border-style: solid;  "
    "border-color: rgba(125, 130, 156, 0.3);  border-radius: 3px;}";

} // namespace

QString primaryButton(int fontSizePx)
{
    const QString size = fontSizePx != -1 ? QStringLiteral("font-size: %1px;").arg(fontSizePx) : QString();
    return QStringLiteral(
               "QPushButton {  border: none;  background-color: %1;  color: white;  border-radius: 8px;  "
               "%6  font-weight: 600;  padding: 5px 30px;}"
               "QPushButton:hover {  background-color: %2;}"
               "QPushButton:pressed {  background-color: %3;}"
               "QPushButton:disabled {  background-color: %4;  color: %5;}")
        .arg(name(Palette::blue))
        .arg(name(Palette::blueHover))
        .arg(name(Palette::bluePressed))
        .arg(name(Palette::blueDisabled))
        .arg(name(Palette::paleGrey))
        .arg(size);
}

QString radioGroup(int position, int indicatorPadding)
{
    QString sheet =
        QStringLiteral(
            "QRadioButton {  color: black;  border: 1px solid %1;  background: white;  font-size: 11px;}"
            "QRadioButton::indicator {\t width: 0px;  height: 0px;  background: transparent;  padding-right: "
            "%10px;}"
            "QRadioButton:checked {  color: white;  background: qlineargradient(spread:reflect, x1:0, y1:0, "
            "x2:0, "
            "y2:1, stop:0 %2, stop:0.392045 %3, stop:0.653409 %4, stop:0.982955 %5);}"
            "QRadioButton:hover{  color: white;  background: qlineargradient(spread:reflect, x1:0, y1:0, "
            "x2:0, "
            "y2:1, stop:0 %6, stop:0.375 %7, stop:0.653409 %8, stop:0.982955 %9);}")
            .arg(name(Palette::grey.lighter(150)))
            .arg(name(Palette::blue))
            .arg(name(Palette::blue.darker(105)))
            .arg(name(Palette::blue.darker(115)))
            .arg(name(Palette::blue.darker(120)))
            .arg(name(Palette::blueHover))
            .arg(name(Palette::blueHover.darker(105)))
            .arg(name(Palette::blueHover.darker(115)))
            .arg(name(Palette::blueHover.darker(120)))
            .arg(indicatorPadding);
    if (position == 0) {
        sheet +=
            QStringLiteral("QRadioButton {  border-top-left-radius: 6px;  border-bottom-left-radius: 6px;  "
                           "border-right: none;}");
    } else if (position == 2) {
        sheet +=
            QStringLiteral("QRadioButton {  border-top-right-radius: 6px;  border-bottom-right-radius: 6px;  "
                           "border-left: none;}");
    }
    return sheet;
}

QString whiteButton()
{
    return QStringLiteral("QPushButton {\t background: white;\t color: black;  border-radius: 3px;  "
                          "border: 1px solid %3;}"
                          "QPushButton:hover {\t background: %2;}"
                          "QPushButton:checked {\t background-color: %1;\t color: white;}")
        .arg(name(Palette::blue))
        .arg(name(Palette::lightGrey))
        .arg(name(Palette::midGrey));
}

QString formattingScrollArea()
{
    return QStringLiteral("QScrollArea #formattingTabScrollAreaWidgetContents {  background-color: white;}");
}

QString tabWidget()
{
    return QStringLiteral(
        "QTabWidget:pane {  border: 1px solid rgb(229,230,235);  border-right-width: 0;  border-left-width: "
        "0;  "
        "top: -1px;}"
        "QTabBar::tab {  background: #F8F8FA;  color: black;  padding: 2px 12px 2px 12px;  "
        "border: 1px solid rgb(229,230,235);}"
        "QTabBar::tab:hover {  border-top: 3px solid rgb(106, 192, 255);  padding-top: 0;}"
        "QTabBar::tab:disabled {  color: #bfbfbf;}"
        "QTabBar::tab:selected {  background: white;  border-top: 3px solid rgb(0, 147, 255);  "
        "border-bottom: 2px solid white;  padding-top: 0;  margin-bottom: -1px;}");
}

QString flatButton()
{
    return QStringLiteral("QPushButton {  background: white;  border: none;}") +
           QLatin1String(kFlatHoverAndPressed);
}

QString paddedFlatButton()
{
    return QStringLiteral("QPushButton {  background: white;  border: none;  padding: 5px;}") +
           QLatin1String(kFlatHoverAndPressed);
}

QString iconButton()
{
    return QStringLiteral("QPushButton {  border: none;  padding: 5px;}") +
           QLatin1String(kFlatHoverAndPressed);
}

QString splitter()
{
    return QStringLiteral(
        "QSplitter::handle {  background-color: qlineargradient(spread:reflect, x1:1, y1:0.017, "
        "x2:1, y2:0.46, stop:0 rgba(150, 151, 154, 255), stop:0.751412 rgba(245, 245, 245, "
        "255));}");
}

QString segmentButton(bool first)
{
    return QStringLiteral("QPushButton {  background: %1;  border-width: 1px;  border-style: solid;  "
                          "border-color: %2;  %5;  border-top-left-radius: %6px;  border-bottom-left-radius: "
                          "%6px;  border-top-right-radius: %7px;  border-bottom-right-radius: %7px;}"
                          "QPushButton:hover { background: %2; }"
                          "QPushButton:pressed { background: %3; }"
                          "QPushButton:disabled { background: %4; }")
        .arg(name(Palette::grey.lighter(180)))
        .arg(name(Palette::grey.lighter(160)))
        .arg(name(Palette::grey.lighter(150)))
        .arg(name(Palette::grey.lighter(190)))
        .arg(first ? QString() : QStringLiteral("border-left: none;"))
        .arg(first ? 3 : 0)
        .arg(first ? 0 : 3);
}

QString plainTextEdit()
{
    return QStringLiteral(
               "QPlainTextEdit {  border: none;  font-size: 13px;}"
               "QScrollBar:vertical {  background-color: white;  width: 10px;  margin: 0;  border: none;}"
               "QScrollBar::handle:vertical {  background-color: %1;  min-height: 5px;  margin: 0;  "
               "border-radius:5px;}"
               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"
               "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical { background: none; }"
               "QScrollBar::sub-line:vertical { height: 0px; }"
               "QScrollBar::add-line:vertical { height: 0px; }")
        .arg(name(Palette::midGrey));
}

QString lineEdit(bool topEnd, bool bottomEnd)
{
    return QStringLiteral(
               "QLineEdit {  background-color: white;  font-size: %1pt;  color: rgb(0, 0, 0);  padding-left: "
               "15px;  "
               "padding-right: 15px;  selection-background-color: white;  selection-color: rgb(125, 130, "
               "156);  "
               "border:1px solid rgba(125, 130, 156, 0.3);  %2  border-top-left-radius: %3px;  "
               "border-top-right-radius: %3px;  border-bottom-left-radius: %4px;  "
               "border-bottom-right-radius: %4px;}"
               "QLineEdit:hover:hover {  background-color: %6;  color:rgb(255, 255, 255);  "
               "selection-background-color: rgb(106, 192, 255);  selection-color: rgb(255, 255, 255);}"
               "QLineEdit:focus {  background-color: %5;  color:rgb(255, 255, 255);  "
               "selection-background-color: rgb(0, 147, 255);  selection-color: rgb(255, 255, 255);}"
               "QLineEdit:hover:focus {  background-color: %5;  color: rgb(255, 255, 255);  "
               "selection-background-color: rgb(0, 147, 255);  selection-color: rgb(255, 255, 255);}")
        .arg(8)
        .arg(bottomEnd ? QString() : QStringLiteral("border-bottom: none;"))
        .arg(topEnd ? 10 : 0)
        .arg(bottomEnd ? 10 : 0)
        .arg(name(Palette::blue))
        .arg(name(Palette::blueHover));
}

QString colorButton()
{
    return QStringLiteral(
               "QPushButton {  background: %1;  border: 1px solid %2;  border-radius: 3px;}"
               "QPushButton:hover {  background: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:1, "
               "stop:0 %3, stop:1 %4);  border-radius: 3px;}"
               "QPushButton:pressed {  background: qlineargradient(spread:pad, x1:0, y1:0, x2:1, y2:1, "
               "stop:0 %5, stop:1 %6);  border-radius: 3px;}")
        .arg(QStringLiteral("white"))
        .arg(name(Palette::paleGrey.darker(130)))
        .arg(name(Palette::paleGrey.darker(110)))
        .arg(QStringLiteral("white"))
        .arg(name(Palette::paleGrey.darker(120)))
        .arg(name(Palette::paleGrey.darker(110)));
}

} // namespace utils::styles
