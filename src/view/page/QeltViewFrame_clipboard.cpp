// Copies to the clipboard, the rendered and the original image, saving images, the CSV export, the copy
// event, and the stored feedback record.

#include "api/APIHandler.h"
#include "core/settings.h"
#include "core/ui/FileDialog.h"
#include "core/ui/MessageBox.h"
#include "core/userState.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "view/bridge/ImageCreator.h"
#include "view/feedback/RatingFlow.h"
#include "view/page/QeltViewFrame.h"
#include "view/page/savedImages.h"

#include <QBuffer>
#include <QClipboard>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>
#include <QMovie>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

void QeltViewFrame::StoreRowMemory(int list)
{
    if (selectingRemembered)
        return;
    // Only the list chosen on: the others may hold a fallback for this Qelt, not the user's choice.
    utils::ROW_MEMORY memory = utils::rowMemory();
    if (list == 0)
        memory.ocrRow = ocrRow;
    else if (list == 1)
        memory.dataRow = dataRow;
    else
        memory.originalRow = originalRow;
    utils::setRowMemory(memory);
}

void QeltViewFrame::PutTextOnClipboard(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void QeltViewFrame::ShowCopied(QLabel* badge)
{
    if (badge)
        badge->show();
    copiedTimer->start();
}

void QeltViewFrame::CopyTsv()
{
    const QString value = PageFormats::first(pageFormats.tsv);
    if (value.isEmpty())
        return;
    HideCopiedLabels();
    ocrRow = 0;
    StoreRowMemory(0);
    ui.but_copy_tsv->setFocus(Qt::MouseFocusReason);
    if (imageCopyPending)
        imageCreator->cancel();
    PutTextOnClipboard(value);
    lastCopiedFormat = QStringLiteral("tsv_ocr");
    lastCopiedSource = 1;
    ShowCopied(ui.lb_copied_data);
}

void QeltViewFrame::CopyMathmlWord()
{
    const QString value = PageFormats::first(pageFormats.mathmlword);
    if (value.isEmpty())
        return;
    HideCopiedLabels();
    ocrRow = 1;
    StoreRowMemory(0);
    ui.but_copy_mathml_word->setFocus(Qt::MouseFocusReason);
    if (imageCopyPending)
        imageCreator->cancel();
    PutTextOnClipboard(value);
    lastCopiedFormat = QStringLiteral("mathmlword_ocr");
    lastCopiedSource = 1;
    ShowCopied(ui.lb_copied_data);
}

void QeltViewFrame::CopyRenderedImage()
{
    ocrRow = 2;
    StoreRowMemory(0);
    ui.but_webcopyimage->setFocus(Qt::MouseFocusReason);
    HideCopiedLabels();
    imageOpenPending = false;
    imageCopyPending = RenderImage();
}

void QeltViewFrame::OpenRenderedImage()
{
    HideCopiedLabels();
    imageCopyPending = false;
    imageOpenPending = RenderImage();
}

bool QeltViewFrame::RenderImage()
{
    const ZorvaneQeltConstPtr qelt = ShownInController();
    if (!qelt)
        return false;
    const ZorvaneQeltPtr shown = WithShownContent(qelt);
    ImageRequest request;
    request.markdown = shown->latex.isEmpty() || ZorvaneQelt::containsSmiles(shown->text) ||
                       ZorvaneQelt::isTable(shown->text);
    request.text = request.markdown ? shown->text : shown->latex;
    request.preset = preset;
    if (!imageCreator->create(request))
        return false;
    ui.stackLoading->setCurrentIndex(1);
    loadingMovie->start();
    return true;
}

void QeltViewFrame::ImageReadyHandler(QImage image)
{
    ui.stackLoading->setCurrentIndex(0);
    loadingMovie->stop();
    if (image.isNull()) {
        imageCopyPending = false;
        imageOpenPending = false;
        if (imageCreator->isCancelled())
            return;
        const QString message =
            tr("The DPI value is too high for this image so we can't process your request. "
               "Please use lower DPI for this image");
        APIHandler::log(message, QStringLiteral("error"), QString());
        MessageBox::information(this, QCoreApplication::applicationName(), message);
        return;
    }
    if (imageCopyPending) {
        imageCopyPending = false;
        CopyImageToClipboard(image);
        lastCopiedFormat = QStringLiteral("%1_ocr").arg(utils::imageFormatName(preset.fileType));
        lastCopiedSource = 3;
        ShowCopied(ui.lb_copied_web_);
    }
    if (imageOpenPending) {
        imageOpenPending = false;
        const QString path = SaveImage(image, preset.fileType);
        if (!path.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

void QeltViewFrame::CopyImageToClipboard(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    // "PNG" for the applications that ask for it by that name, "image/png" for most others.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("PNG"), bytes);
    data->setData(QStringLiteral("image/png"), bytes);
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

QString QeltViewFrame::SaveImage(const QImage& image, int fileType)
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (dir.isEmpty()) {
        qWarning() << "[QeltViewFrame::SaveImage]"
                   << "Failed to retrieve Download location";
        return QString();
    }
    QDir().mkpath(dir);
    return savedImages::saveUnder(image, savedImages::firstName(dir, QDateTime::currentDateTime(), fileType));
}

void QeltViewFrame::CopyOriginalImage()
{
    if (shownQelt.id.isEmpty() || shownQelt.originalImageUrl.isEmpty())
        return;
    const ImageEntry entry =
        Controller()->imageController()->originalImage(shownQelt.id, shownQelt.originalImageUrl, true);
    const QImage image = entry.isMissing() ? QImage() : QImage(entry.file);
    if (image.isNull())
        return;
    originalRow = 0;
    StoreRowMemory(2);
    ui.but_origincopypng->setFocus(Qt::MouseFocusReason);
    HideCopiedLabels();
    if (imageCopyPending)
        imageCreator->cancel();
    QGuiApplication::clipboard()->setImage(image, QClipboard::Clipboard);
    lastCopiedFormat = QStringLiteral("png_original");
    lastCopiedSource = 3;
    ShowCopied(ui.lb_copied_origin_);
}

void QeltViewFrame::OpenOriginalImage()
{
    if (shownQelt.id.isEmpty() || shownQelt.originalImageUrl.isEmpty())
        return;
    // The address comes from the service: only a web page goes to the desktop, never a file or a program.
    const QUrl url(shownQelt.originalImageUrl, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        qWarning().noquote() << "[QeltViewFrame] Not opening the original image's address:"
                             << shownQelt.originalImageUrl;
        return;
    }
    QDesktopServices::openUrl(url);
}

void QeltViewFrame::OnOriginImageDownloaded(QString qeltId, QString url, QString file_name)
{
    if (qeltId.isEmpty() || qeltId != shownQelt.id || url != shownQelt.originalImageUrl)
        return;
    originalPixmap = QPixmap(file_name);
    const QString text = originalPixmap.isNull() ? tr("Not loaded") : tr("Loading...");
    for (QLabel* label : {ui.lb_origin_image, ui.lb_originOCR, ui.lb_origindata})
        label->setText(text);
    if (!originalPixmap.isNull())
        RescaleImages();
}

void QeltViewFrame::OnListImageDownloaded(QString qeltId)
{
    if (qeltId.isEmpty() || qeltId != shownQelt.id || shownQelt.renderedImageUrl.isEmpty())
        return;
    const ImageEntry entry =
        Controller()->imageController()->renderedListImage(shownQelt.id, shownQelt.renderedImageUrl, false);
    const QPixmap pixmap = entry.isMissing() ? QPixmap() : QPixmap(entry.file);
    if (pixmap.isNull())
        return;
    listPixmap = pixmap;
    UpdateChatPixmaps();
}

void QeltViewFrame::RescaleImages()
{
    if (originalPixmap.isNull())
        return;
    for (QLabel* label : {ui.lb_origin_image, ui.lb_originOCR, ui.lb_origindata})
        label->setPixmap(originalPixmap.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    UpdateChatPixmaps();
}

void QeltViewFrame::UpdateImageButtons()
{
    preset = kKeySavedPreset.get().value<Preset>();
    const QString format = utils::imageFormatName(preset.fileType).toUpper();
    ui.but_webcopyimage->setText(tr("Copy %1").arg(format));
    ui.but_webopenimage->setText(tr("Open %1").arg(format));
}

void QeltViewFrame::ExportCsv()
{
    const QString csv = PageFormats::first(pageFormats.csv);
    if (shownQelt.id.isEmpty() || csv.isEmpty()) {
        MessageBox::information(this, tr("Zorvane Qelting Tool"), tr("Nothing to export"), QMessageBox::Ok);
        return;
    }
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    const QString path = FileDialog::getSaveFileName(
        this, tr("Export CSV"), QStringLiteral("%1/Doc.csv").arg(downloads), tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    ui.but_export_csv->setEnabled(false);
    QSaveFile file(path);
    const QByteArray bytes = csv.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qWarning().noquote() << "[QeltViewFrame] Can't write the CSV file" << path << file.errorString();
        MessageBox::information(this, tr("Warning"), tr("Can't access the file %1").arg(path),
                                QMessageBox::Ok);
    }
    ui.but_export_csv->setEnabled(true);
}

void QeltViewFrame::OnDeactivated()
{
    if (lastCopiedFormat.isEmpty())
        return;
    QJsonObject data{{QStringLiteral("format"), lastCopiedFormat}};
    if (lastCopiedSource == 0)
        data.insert(QStringLiteral("delimiter"), lastCopiedDelimiter);
    APIHandler::event(QStringLiteral("copy_to_clipboard"), data);
    lastCopiedFormat.clear();
    lastCopiedDelimiter.clear();
}

void QeltViewFrame::LoadFeedbackRecord()
{
    ratingFlow->setRecord(utils::feedbackList());
}

void QeltViewFrame::SaveFeedbackRecord()
{
    utils::setFeedbackList(ratingFlow->record());
}
