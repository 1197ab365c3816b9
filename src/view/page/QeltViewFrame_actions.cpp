// The service actions of the page: the DOCX export and the solver. Their work is done by the page's
// collaborators (DocxExporter, Solver); here is what the page shows of it.

#include "core/ui/MessageBox.h"
#include "library/QeltControllerSwitch.h"
#include "library/QeltsController.h"
#include "view/bridge/ImageCreator.h"
#include "view/bridge/WebViewWrapper.h"
#include "view/docx/DocxExporter.h"
#include "view/docx/docxFiles.h"
#include "view/page/QeltViewFrame.h"
#include "view/solver/Solver.h"

#include <QDebug>
#include <QDesktopServices>
#include <QJsonObject>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>

namespace {

const QString kCentered = QStringLiteral("center");

} // namespace

void QeltViewFrame::ConnectActions()
{
    ConnectDocx();
    ConnectSolver();
    ConnectChat();
    ConnectFeedback();
}

// ---- DOCX export ----

void QeltViewFrame::ConnectDocx()
{
    docxExporter = new DocxExporter(this);
    connect(ui.but_open_docx, &QPushButton::clicked, this, &QeltViewFrame::OpenDocx);
    connect(docxExporter, &DocxExporter::saved, this, [this](const QString& path) {
        ui.but_open_docx->setEnabled(true);
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    });
    connect(docxExporter, &DocxExporter::notWritten, this, [this](const QString& path) {
        ui.but_open_docx->setEnabled(true);
        MessageBox::information(this, tr("Warning"), tr("Can't access the file %1").arg(path),
                                QMessageBox::Ok);
    });
    connect(docxExporter, &DocxExporter::failed, this, [this](const QJsonObject& error) {
        ui.but_open_docx->setEnabled(true);
        qWarning().noquote() << "[QeltViewFrame] Export To Docx error. id:"
                             << error.value(QStringLiteral("id")).toString()
                             << ", message:" << error.value(QStringLiteral("message")).toString();
        MessageBox::warning(this, tr("Warning"),
                            tr("Something went wrong. Please check your network connection and try again."),
                            QMessageBox::Ok);
    });
}

void QeltViewFrame::OpenDocx()
{
    if (shownQelt.id.isEmpty()) {
        MessageBox::information(this, tr("Zorvane Qelting Tool"), tr("Nothing to export"), QMessageBox::Ok);
        return;
    }
    ui.but_open_docx->setEnabled(false);
    docxExporter->start(shownQelt.text, shownQelt.latex, downloadDir);
}

QString QeltViewFrame::FreeDocxName()
{
    return docxFiles::freeName(downloadDir);
}

// ---- Solver ----

void QeltViewFrame::ConnectSolver()
{
    // The LaTeX the page shows, a pending local edit first: what was solved must still be on the page.
    solver = new Solver(
        [this]() -> std::optional<QString> {
            const ZorvaneQeltConstPtr shown = ShownInController();
            if (!shown)
                return std::nullopt;
            return WithShownContent(shown)->latex;
        },
        this);
    connect(ui.but_copySolution, &QPushButton::clicked, this, &QeltViewFrame::CopySolution);
    connect(ui.but_help, &QPushButton::clicked, this, &QeltViewFrame::ShowSolverHelp);
    connect(ui.but_retry, &QPushButton::clicked, this, &QeltViewFrame::RetrySolve);
    // The retry page offers no copy: there is no solution of the shown Qelt to copy.
    connect(solver, &Solver::offline, this, [this] {
        ui.but_copySolution->hide();
        solutionText.clear();
        ui.solverWidget->setCurrentIndex(1);
    });
    connect(solver, &Solver::unsolvable, this, [this] {
        ui.but_copySolution->hide();
        solutionText.clear();
        markdownView->setTextAligned(tr("No solution available."), kCentered);
    });
    connect(solver, &Solver::solving, this, [this] {
        solutionText.clear();
        markdownView->setTextAligned(tr("Solving..."), kCentered);
    });
    connect(solver, &Solver::solved, this, [this](const QString& summary) {
        ui.but_copySolution->show();
        solutionText = summary;
        markdownView->setTextAligned(summary, kCentered);
    });
}

void QeltViewFrame::StartSolve(const ZorvaneQeltConstPtr& qelt)
{
    if (!qelt)
        return;
    solvedQeltId = qelt->id;
    ShowContentInView(solverView.get(), qelt, false);
    SolveLatex(qelt);
}

void QeltViewFrame::SolveLatex(const ZorvaneQeltConstPtr& qelt)
{
    if (!qelt)
        return;
    ui.solverWidget->setCurrentIndex(0);
    solver->solve(WithShownContent(qelt)->latex);
}

void QeltViewFrame::RetrySolve()
{
    StartSolve(ShownInController());
}

void QeltViewFrame::CopySolution()
{
    // Only the shown Qelt's own solution, and never from the retry page.
    if (ui.solverWidget->currentIndex() != 0 || solvedQeltId.isEmpty() || solvedQeltId != shownQelt.id)
        return;
    HideCopiedLabels();
    if (imageCopyPending)
        imageCreator->cancel();
    PutTextOnClipboard(solutionText);
    ShowCopied(ui.lb_solvercopied);
}
