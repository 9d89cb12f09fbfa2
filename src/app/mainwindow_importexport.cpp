// The window's file conversions: imports from a picture, Mermaid, draw.io and a database,
// exports to Mermaid, draw.io, PDF and SVG. The conversions live elsewhere; here the file
// is asked for, the work handed to the busy runner and the result adopted or reported.
#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "applog.h"
#include "busyspinnerwidget.h"
#include "dbimportdialog.h"
#include "drawioreader.h"
#include "drawiowriter.h"
#include "erscene.h"
#include "erview.h"
#include "flagguard.h"
#include "imageimport.h"
#include "mermaidreader.h"
#include "mermaidwriter.h"
#include "sceneexport.h"
#include "schemaimporter.h"
#include "uiprompts.h"
#include "uiseam.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPointer>
#include <QLabel>
#include <QProgressDialog>
#include <QSharedPointer>

namespace {

constexpr int MaxProgressMessageLength = 120;

QString schemaDialectName(const QString &id)
{
    if (id == QLatin1String("postgresql"))
        return QStringLiteral("PostgreSQL");
    if (id == QLatin1String("oracle"))
        return QStringLiteral("Oracle");
    if (id == QLatin1String("csv"))
        return QStringLiteral("CSV files");
    return id;
}

} // namespace

// What a threaded import or export hands between its steps; shared, so the worker and the
// GUI-thread callbacks each keep it alive.
struct MainWindow::DiagramImportJob
{
    QJsonObject document;
    QString error;
    bool succeeded = false;
    MermaidReadReport report;
};

// ---- Mermaid and draw.io

void MainWindow::on_actionImport_from_Mermaid_triggered()
{
    runDiagramImport(
        tr("Import ER Diagram from Mermaid"),
        tr("Mermaid (*.mmd *.mermaid *.md *.txt);;Markdown (*.md);;All files (*.*)"),
        tr("Import from Mermaid"),
        tr("Could not interpret a Mermaid erDiagram in the selected file.\n"
           "The file must contain an erDiagram with entities and optional attributes and relationships."),
        [](const QString &path, QString *error, DiagramImportJob *job) {
            return parseMermaidFile(path, error, &job->report);
        });
}

void MainWindow::on_actionImport_from_Drawio_triggered()
{
    runDiagramImport(
        tr("Import ER Diagram from draw.io"), tr("draw.io (*.drawio *.xml);;XML (*.xml);;All files (*.*)"),
        tr("Import from draw.io"),
        tr("Could not interpret a draw.io Entity-Relationship diagram in the selected file.\n"
           "The file must contain table entities and optional Crow's Foot relationships."),
        [](const QString &path, QString *error, DiagramImportJob *) { return parseDrawioFile(path, error); });
}

void MainWindow::runDiagramImport(const QString &caption, const QString &filter, const QString &title,
                                  const QString &fixedSentence, DiagramParser parse)
{
    if (busySpinner->isBusy() || !confirmProjectClose(title))
        return;
    const QString path = UiPrompts::current().getOpenFileName(this, caption, QString(), filter);
    if (path.isEmpty())
        return;
    auto job = QSharedPointer<DiagramImportJob>::create();
    busySpinner->runInThread(
        [path, job, parse] {
            job->document = parse(path, &job->error, job.data());
            job->succeeded = !job->document.isEmpty();
        },
        [this, job] {
            if (job->succeeded && scene)
                job->succeeded = finishDiagramImport(job->document);
            job->document = QJsonObject();
        },
        [this, job, title, fixedSentence] {
            if (!job->succeeded) {
                UiPrompts::current().warning(this, title, job->error.isEmpty() ? fixedSentence : job->error);
                return;
            }
            if (job->report.unreadLines != 0)
                UiPrompts::current().warning(
                    this, title,
                    tr("%1 lines could not be read and were skipped (the first is line %2).")
                        .arg(job->report.unreadLines)
                        .arg(job->report.firstUnreadLine));
        });
}

bool MainWindow::finishDiagramImport(const QJsonObject &document)
{
    if (!scene)
        return false;
    bool loaded = false;
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        const FlagGuard syncing(syncingSelection);
        loaded = scene->loadFromJson(document);
    }
    // A load refused inside another load leaves the scene as it was: nothing to adopt.
    if (!loaded)
        return false;
    adoptLoadedScene();
    scene->setFilePath(QString());
    setFilePathDisplay(QString());
    fitSceneToItems();
    markProjectUnchanged();
    return true;
}

void MainWindow::on_actionExport_to_Mermaid_triggered()
{
    runDiagramExport(tr("Export ER Diagram to Mermaid"),
                     tr("Mermaid (*.mmd *.mermaid);;Markdown (*.md);;Text (*.txt);;All files (*.*)"),
                     tr("Export to Mermaid"), tr("Could not generate a Mermaid erDiagram from the current diagram."),
                     writeMermaidFile);
}

void MainWindow::on_actionExport_to_Drawio_triggered()
{
    runDiagramExport(tr("Export ER Diagram to draw.io"), tr("draw.io (*.drawio);;XML (*.xml);;All files (*.*)"),
                     tr("Export to draw.io"),
                     tr("Could not generate a draw.io Entity-Relationship diagram from the current diagram."),
                     [](const QJsonObject &document, const QString &path, QString *error) {
                         return writeDrawioFile(document, path, error);
                     });
}

void MainWindow::runDiagramExport(const QString &caption, const QString &filter, const QString &title,
                                  const QString &fixedSentence, DiagramWriter write)
{
    if (busySpinner->isBusy())
        return;
    const QString path = UiPrompts::current().getSaveFileName(this, caption, QString(), filter);
    if (path.isEmpty())
        return;
    auto job = QSharedPointer<DiagramImportJob>::create();
    // Taken here: the worker never touches the scene.
    job->document = scene ? scene->toJson() : QJsonObject();
    busySpinner->runInThread(
        [path, job, write] { job->succeeded = write(job->document, path, &job->error); }, [] {},
        [this, job, title, fixedSentence] {
            if (!job->succeeded)
                UiPrompts::current().warning(this, title, job->error.isEmpty() ? fixedSentence : job->error);
        });
}

// ---- PDF and SVG

void MainWindow::on_actionExport_to_PDF_triggered()
{
    runRenderExport(tr("Export Diagram to PDF"), tr("PDF Files (*.pdf)"), tr("Export to PDF"),
                    tr("Could not write the PDF file."), true);
}

void MainWindow::on_actionExport_to_SVG_triggered()
{
    runRenderExport(tr("Export Diagram to SVG"), tr("SVG Files (*.svg)"), tr("Export to SVG"),
                    tr("Could not write the SVG file."), false);
}

void MainWindow::runRenderExport(const QString &caption, const QString &filter, const QString &title,
                                 const QString &failure, bool pdf)
{
    if (busySpinner->isBusy())
        return;
    QPointer<ERScene> target = qobject_cast<ERScene *>(ui->view->scene());
    const QString path = UiPrompts::current().getSaveFileName(this, caption, QString(), filter);
    if (path.isEmpty())
        return;
    auto written = QSharedPointer<bool>::create(false);
    busySpinner->run(
        [this, target, path, pdf, written] {
            *written = pdf ? renderSceneToPdf(target, path) : renderSceneToSvg(target, path);
            if (*written)
                qCDebug(lcApp) << (pdf ? "Diagram exported to PDF successfully" : "Diagram exported to SVG successfully");
        },
        // Without a scene there was nothing to write, and nothing is said.
        [this, target, written, title, failure] {
            if (!*written && target)
                UiPrompts::current().warning(this, title, failure);
        });
}

bool MainWindow::renderSceneToPdf(QGraphicsScene *target, const QString &path)
{
    return exportSceneToPdfFile(target, path);
}

bool MainWindow::renderSceneToSvg(QGraphicsScene *target, const QString &path)
{
    return exportSceneToSvgFile(target, path);
}

// ---- Picture

void MainWindow::on_actionImport_from_Image_triggered()
{
    if (busySpinner->isBusy() || !confirmProjectClose(tr("Import from Image")))
        return;
    const QString path = UiPrompts::current().getOpenFileName(
        this, tr("Import ER Diagram from Image"),
        QString(), tr("Images (*.png *.jpg *.jpeg *.bmp *.svg);;PNG (*.png);;JPEG (*.jpg *.jpeg);;BMP (*.bmp);;SVG (*.svg)"));
    if (path.isEmpty())
        return;
    auto imported = QSharedPointer<bool>::create(false);
    busySpinner->run([this, path, imported] { *imported = importImageIntoProject(path); },
                     [this, imported] {
                         if (!*imported)
                             UiPrompts::current().warning(
                                 this, tr("Import from Image"),
                                 tr("Could not interpret an ER diagram in the selected image.\n"
                                    "The file must contain rectangular entities, optionally with attributes, "
                                    "and lines connecting them."));
                     });
}

bool MainWindow::importImageIntoProject(const QString &path)
{
    if (!scene || path.isEmpty())
        return false;
    QString error;
    bool imported = false;
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        imported = importImageIntoScene(scene, path, &error);
    }
    if (!imported) {
        qCWarning(lcApp) << "Image import failed:" << error;
        return false;
    }
    adoptLoadedScene(QFileInfo(path).completeBaseName());
    scene->setFilePath(QString());
    setFilePathDisplay(QString());
    fitSceneToItems();
    markProjectUnchanged();
    return true;
}

// ---- Database

void MainWindow::on_actionImport_from_Database_triggered()
{
    if (!confirmProjectClose(tr("Import from Database")))
        return;
    {
        DbImportDialog dialog(this);
        if (uiseam::runDialog(&dialog) != QDialog::Accepted)
            return;
        if (schemaImporter) {
            SchemaImporter *previous = schemaImporter;
            schemaImporter = nullptr;
            // What the cancelled run reports is no longer this window's business.
            disconnect(previous, nullptr, this, nullptr);
            previous->cancel();
            previous->deleteLater();
        }
        auto *progress = new QProgressDialog(tr("Connecting and collecting schema…"), tr("Cancel"), 0, 0, this);
        // The script's messages are shown as they are written, never as markup.
        auto *progressLabel = new QLabel(progress);
        progressLabel->setTextFormat(Qt::PlainText);
        progress->setLabel(progressLabel);
        progress->setLabelText(tr("Connecting and collecting schema…"));
        progress->setWindowTitle(tr("Import from Database"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setValue(0);

        auto *importer = new SchemaImporter(this);
        schemaImporter = importer;
        // The dialog goes with its importer, whichever step deletes that.
        connect(importer, &QObject::destroyed, progress, &QObject::deleteLater);
        connect(importer, &SchemaImporter::progressMessage, progress, [progress](const QString &text) {
            progress->setLabelText(text.left(MaxProgressMessageLength));
        });
        connect(progress, &QProgressDialog::canceled, importer, &SchemaImporter::cancel);
        QPointer<QProgressDialog> progressGuard(progress);
        auto closeProgress = [progressGuard] {
            if (progressGuard) {
                // Closing the dialog emits canceled; the import has ended already.
                disconnect(progressGuard, &QProgressDialog::canceled, nullptr, nullptr);
                progressGuard->close();
                progressGuard->deleteLater();
            }
        };
        connect(importer, &SchemaImporter::failed, this, [this, importer, closeProgress](const QString &message) {
            // A killed process reports both its error and its end: one box is enough.
            if (schemaImporter != importer)
                return;
            closeProgress();
            failSchemaImport(message);
        });
        connect(importer, &SchemaImporter::finished, this,
                [this, closeProgress](const QJsonObject &erJson, const QJsonObject &fullSchema) {
                    closeProgress();
                    adoptImportedSchema(erJson, fullSchema);
                });
        importer->start(dialog.pythonExecutable(), dialog.scriptPath(), dialog.scriptArguments());
        progress->show();
    }
}

void MainWindow::failSchemaImport(const QString &message)
{
    UiPrompts::current().critical(this, tr("Import failed"), message);
    if (schemaImporter) {
        schemaImporter->deleteLater();
        schemaImporter = nullptr;
    }
}

void MainWindow::adoptImportedSchema(const QJsonObject &erJson, const QJsonObject &fullSchema)
{
    if (!scene) {
        failSchemaImport(tr("The imported schema could not be loaded into the diagram."));
        return;
    }
    bool loaded = false;
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        loaded = scene->loadFromJson(erJson);
    }
    // Adopting whatever the scene holds would pass another diagram off as the import.
    if (!loaded) {
        failSchemaImport(tr("The imported schema could not be loaded into the diagram."));
        return;
    }
    adoptLoadedScene(tr("Imported model"));
    // The boxes carry no nullability; the model's columns take it from the document.
    SchemaImporter::applyColumnNullability(erJson, currentModel);
    const QString dialect = schemaDialectName(
        fullSchema.value(QStringLiteral("meta")).toObject().value(QStringLiteral("dialect")).toString());
    if (dialectCombo)
        dialectCombo->setCurrentText(dialect);
    ui->view->fitRect(scene->itemsBoundingRect().adjusted(-60, -60, 60, 60));

    markProjectUnchanged();
    const QString path = UiPrompts::current().getSaveFileName(this, tr("Save imported diagram"), QString(),
                                                              tr("JSON Files (*.json)"));
    if (!path.isEmpty()) {
        scene->dialect = dialect;
        scene->setFilePath(path);
        saveDiagram();
    } else {
        // The next Save must not write over the project that was open before.
        scene->setFilePath(QString());
        setFilePathDisplay(QString());
    }
    if (schemaImporter) {
        schemaImporter->deleteLater();
        schemaImporter = nullptr;
    }
}
