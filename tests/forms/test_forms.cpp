#include "support/TestMain.h"

#include "ui_HelpTip.h"
#include "ui_LatexResultDialog.h"
#include "ui_ToolTip.h"

namespace {

// Builds one form on a fresh frame; the frame owns every widget and layout of the form.
std::unique_ptr<QFrame> build(const QString& form)
{
    auto frame = std::make_unique<QFrame>();
    if (form == "LatexResultDialog")
        Ui_LatexResultDialog().setupUi(frame.get());
    else if (form == "HelpTip")
        Ui_HelpTip().setupUi(frame.get());
    else
        Ui_ToolTip().setupUi(frame.get());
    return frame;
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void objectsHaveTheirNamesAndClasses_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("names");
        const auto row = [](const char* form, const char* cls, const char* names) {
            QTest::addRow("%s %s", form, cls) << form << cls << names;
        };
        const char* d = "LatexResultDialog";
        row(d, "QFrame",
            "LatexResultDialog frame ocrShowOriginalFrame line_3 line_13 frame_web line_5 copywebbtn_frame "
            "tsv_copied_frame line_7 frame_latex_result dataShowOriginalFrame line_9 line_10 dataFrame "
            "line_4 "
            "origincopied_label line_6 frame_url_result frame_resultview line line_8 qeltChatHeader frame_3 "
            "qeltChatFooter");
        row(d, "QGridLayout", "gridLayout");
        row(d, "QHBoxLayout",
            "horizontalLayout_4 horizontalLayout_3 horizontalLayout_16 horizontalLayout_12 copywebbtn_layout "
            "horizontalLayout_11 horizontalLayout_10 horizontalLayout_13 horizontalLayout_8 "
            "horizontalLayout_5 "
            "horizontalLayout_6 copyoriginbtn_layout horizontalLayout horizontalLayout_2 horizontalLayout_7 "
            "horizontalLayout_9 horizontalLayout_14 verticalLayout_36789");
        row(d, "QVBoxLayout",
            "verticalLayout_6 verticalLayout verticalLayout_12 frame_latex_layout latex_result_layout "
            "verticalLayout_13 verticalLayout_14 scrollAreaLayout verticalLayout_7 verticalLayout_10 "
            "frame_url_layout url_result_layout verticalLayout_4 verticalLayout_8 verticalLayout_9 "
            "verticalLayout_2 verticalLayout_5 verticalLayout_11 verticalLayout_3");
        row(d, "QPushButton",
            "but_take_qelt but_upload_qelt but_handwrite_qelt but_create_qelt but_show_list "
            "but_show_pdf_converter but_first but_prev but_next but_last but_delete but_settings "
            "showOriginal "
            "but_thumbs_up but_thumbs_down but_copy_tsv but_export_csv but_copy_mathml_word but_open_docx "
            "but_ocr_doc_help but_webcopyimage but_webopenimage but_image_option but_datashoworiginal "
            "but_origincopypng but_originopenpng but_copySolution but_help but_retry but_clear_chat "
            "but_send_message but_recog_again");
        row(d, "QLabel",
            "lb_index lb_originOCR lb_copied_data lb_copied_web_ loading lb_origindata lb_origin_image "
            "lb_copied_origin_ lb_solvercopied label_3 label label_2");
        row(d, "QWidget",
            "tab_result page_7 page_8 latexresult_widget tab_data scrollAreaWidgetContents tab_original "
            "urlresult_widget tab_solver page_5 page_6 tab_qeltchat qeltChatScrollAreaWidgetContents page_3 "
            "page_4");
        row(d, "QTabWidget", "tab_scanResult");
        row(d, "QStackedWidget", "stackLoading solverWidget conf_stack");
        row(d, "QScrollArea", "scrollArea qeltChatScrollArea");
        row(d, "QWebEngineView", "web data_result_view result_view markdown_view");
        row(d, "QLineEdit", "edit_query");
        row(d, "QProgressBar", "confidence_progress");
        row("HelpTip", "QFrame", "HelpTip");
        row("HelpTip", "QVBoxLayout", "verticalLayout");
        row("HelpTip", "QLabel", "label label_2 label_3 label_4");
        row("ToolTip", "QFrame", "ToolTip");
        row("ToolTip", "QVBoxLayout", "verticalLayout");
        row("ToolTip", "QLabel", "label");
    }
    void objectsHaveTheirNamesAndClasses()
    {
        QFETCH(QString, form);
        QFETCH(QString, className);
        QFETCH(QString, names);
        const auto frame = build(form);
        QCOMPARE(frame->objectName(), form);
        for (const QString& name : names.split(' ')) {
            const QObject* object = name == form ? frame.get() : frame->findChild<QObject*>(name);
            QVERIFY2(object, qPrintable(name));
            QCOMPARE(QString(object->metaObject()->className()), className);
        }
    }

    void viewFormStartsOnItsInitialPages()
    {
        QFrame frame;
        Ui_LatexResultDialog ui;
        ui.setupUi(&frame);
        QCOMPARE(ui.tab_scanResult->currentWidget(), ui.tab_qeltchat);
        QCOMPARE(ui.stackLoading->currentWidget(), ui.page_7);
        QCOMPARE(ui.solverWidget->currentWidget(), ui.page_5);
        QCOMPARE(ui.conf_stack->currentWidget(), ui.page_4);
        // A frame that already has a name keeps it.
        QFrame named;
        named.setObjectName("page");
        Ui_HelpTip().setupUi(&named);
        QCOMPARE(named.objectName(), QString("page"));
    }
};

ZQ_TEST_MAIN(TestForms)
#include "test_forms.moc"
