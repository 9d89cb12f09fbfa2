#include "drawioreader.h"
#include "drawiosummary.h"
#include "testsupport.h"

#include <QFile>
#include <QThread>
#include <QTemporaryDir>
#include <QtTest>

#include <zlib.h>

namespace {

const QString kCouldNotOpen = QStringLiteral("Could not open the draw.io file.");
const QString kNoDiagram = QStringLiteral("No draw.io diagram was found in the file.");
const QString kNoEntities = QStringLiteral("No ER entities were recognized in the draw.io file.");
const QString kOverBudget = QStringLiteral("The compressed pages of the draw.io file inflate to more than 64 MiB.");

QByteArray readFixture(const QString &name)
{
    QFile file(testsupport::dataPath(QStringLiteral("interchange/data/drawio/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

QByteArray tableShapeModel()
{
    return readFixture(QStringLiteral("reader_table_shape.drawio"));
}

QStringList tableShapeSummary()
{
    return {
        "Customers @40,60 [id:INTEGER PK; name:TEXT; email:VARCHAR(200) UK]",
        "Orders @300,60 [id: PK; customer_id:INTEGER FK; total:DECIMAL(10, 2)]",
        "Orders -> Customers 3/0 \"places\"",
        "Customers -> Customers 0/0",
    };
}

// Deflates data into a raw (-15), zlib (15) or gzip (31) stream.
QByteArray deflateBytes(const QByteArray &data, int windowBits)
{
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        qFatal("deflateInit2 failed");
    QByteArray output;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    char buffer[16384];
    int result = Z_OK;
    do {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof(buffer);
        result = deflate(&stream, Z_FINISH);
        output.append(buffer, qsizetype(sizeof(buffer) - stream.avail_out));
    } while (result == Z_OK || result == Z_BUF_ERROR);
    deflateEnd(&stream);
    return output;
}

// A raw deflate stream of size zero bytes, made in pieces so the test stays small.
QByteArray deflatedZeros(qsizetype size)
{
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    const QByteArray zeros(1024 * 1024, '\0');
    QByteArray output;
    char buffer[65536];
    for (qsizetype done = 0; done < size; done += zeros.size()) {
        const bool last = done + zeros.size() >= size;
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
        stream.avail_in = uInt(zeros.size());
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof(buffer);
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            output.append(buffer, qsizetype(sizeof(buffer) - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return output;
}

// The form draw.io itself stores: Base64 of raw deflate of percent-encoded XML.
QByteArray compressedPage(const QByteArray &xml, int windowBits = -15)
{
    return deflateBytes(xml.toPercentEncoding(), windowBits).toBase64();
}

QByteArray escaped(QByteArray text)
{
    text.replace('&', "&amp;");
    text.replace('<', "&lt;");
    text.replace('>', "&gt;");
    return text;
}

// A page container with one "diagram" element per page text, written escaped.
QByteArray mxfile(const QList<QByteArray> &pages)
{
    QByteArray file = "<mxfile host=\"test\">\n";
    int number = 1;
    for (const QByteArray &page : pages) {
        file += "  <diagram id=\"p" + QByteArray::number(number) + "\" name=\"Page-"
                + QByteArray::number(number) + "\">" + escaped(page) + "</diagram>\n";
        ++number;
    }
    return file + "</mxfile>\n";
}

} // namespace

class TestDrawioFileReading : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pageFormsGiveTheSameDiagram_data();
    void pageFormsGiveTheSameDiagram();
    void pagesAreChosenInOrder_data();
    void pagesAreChosenInOrder();
    void unreadableInputFails_data();
    void unreadableInputFails();
    void missingPathAndDirectoryCannotBeOpened();
    void errorIsOptional();
    void inflateBytesReadsWholeStreamsOnly_data();
    void inflateBytesReadsWholeStreamsOnly();
    void inflateBudgetIsSharedByStreams_data();
    void inflateBudgetIsSharedByStreams();
    void decompressionBombIsRefused();
    void moreCellsOrTablesThanTheBoundAreRefused_data();
    void moreCellsOrTablesThanTheBoundAreRefused();
    void pagesShareOneInflateBudget_data();
    void pagesShareOneInflateBudget();
    void nestedEntitiesAreStoppedByTheXmlReader();
    void deeplyNestedPageTextIsGathered();
    void readsOnSeveralThreadsAtOnce();

private:
    QString write(const QByteArray &bytes);

    QScopedPointer<QTemporaryDir> dir_;
    int fileNumber_ = 0;
};

void TestDrawioFileReading::init()
{
    dir_.reset(new QTemporaryDir);
    QVERIFY(dir_->isValid());
}

QString TestDrawioFileReading::write(const QByteArray &bytes)
{
    const QString path = dir_->filePath(QStringLiteral("file%1.drawio").arg(++fileNumber_));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestDrawioFileReading::pageFormsGiveTheSameDiagram_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray model = tableShapeModel();

    QTest::newRow("plain model") << model;
    QTest::newRow("page holding model elements")
        << QByteArray("<mxfile><diagram id=\"a\" name=\"A\">" + model + "</diagram></mxfile>");
    QTest::newRow("raw deflate of percent-encoded xml") << mxfile({compressedPage(model, -15)});
    QTest::newRow("zlib wrapper") << mxfile({compressedPage(model, 15)});
    QTest::newRow("gzip wrapper") << mxfile({compressedPage(model, 31)});
    QTest::newRow("base64 of xml") << mxfile({model.toBase64()});
    QTest::newRow("base64 of percent-encoded xml") << mxfile({model.toPercentEncoding().toBase64()});
    QTest::newRow("escaped xml text") << mxfile({model});
    QTest::newRow("compressed with a declaration")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + mxfile({compressedPage(model)}));

    QByteArray broken;
    const QByteArray base64 = compressedPage(model);
    for (qsizetype i = 0; i < base64.size(); i += 60)
        broken += "\n    " + base64.mid(i, 60) + "\r";
    QTest::newRow("base64 in lines padded with spaces") << mxfile({"   " + broken + "\n   "});
}

void TestDrawioFileReading::pageFormsGiveTheSameDiagram()
{
    QFETCH(QByteArray, bytes);
    QString error = QStringLiteral("untouched");
    const QJsonObject document = parseDrawioFile(write(bytes), &error);
    QCOMPARE(error, QStringLiteral("untouched"));
    QCOMPARE(summarizeDrawioDocument(document), tableShapeSummary());
}

void TestDrawioFileReading::pagesAreChosenInOrder_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("error");

    const QByteArray table = tableShapeModel();
    const QByteArray swimlane = readFixture(QStringLiteral("reader_swimlane_stack.drawio"));
    const QByteArray layersOnly = "<mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/></root></mxGraphModel>";
    const QString customers = tableShapeSummary().first();
    const QString product = QStringLiteral("Product @300,80 [sku: PK; title:VARCHAR(80); supplier_code:CHAR(4) FK; PRODUCT:]");

    QTest::newRow("plain second page read before the compressed first")
        << QByteArray("<mxfile><diagram>" + compressedPage(table) + "</diagram><diagram>" + swimlane
                      + "</diagram></mxfile>")
        << product << QString();
    QTest::newRow("second compressed page")
        << mxfile({"    ", compressedPage(swimlane), compressedPage(table)}) << product << QString();
    QTest::newRow("first page with cells is final")
        << mxfile({compressedPage(layersOnly), compressedPage(table)}) << QString() << kNoEntities;
    QTest::newRow("undecodable page skipped") << mxfile({"!!!!", compressedPage(table)}) << customers
                                              << QString();
    QTest::newRow("truncated stream skipped")
        << mxfile({deflateBytes(table.toPercentEncoding(), -15).left(200).toBase64(), compressedPage(swimlane)})
        << product << QString();
    QTest::newRow("corrupt stream skipped")
        << mxfile({QByteArray(deflateBytes(table.toPercentEncoding(), -15)).replace(40, 8, "\xff\xff\xff\xff\xff\xff\xff\xff").toBase64(),
                   compressedPage(swimlane)})
        << product << QString();
    QTest::newRow("angle page never tried as base64") << mxfile({"<" + table.toBase64()}) << QString()
                                                      << kNoDiagram;

    // Inflated text is percent-decoded even when it was never percent-encoded.
    QByteArray percent = table;
    percent.replace("value=\"Customers\"", "value=\"Cust%6Fmers%21\"");
    QTest::newRow("inflated text percent-decoded")
        << mxfile({deflateBytes(percent, -15).toBase64()})
        << QString(customers).replace("Customers", "Customers!") << QString();
    QTest::newRow("plain base64 text not percent-decoded")
        << mxfile({percent.toBase64()}) << QString(customers).replace("Customers", "Cust%6Fmers%21")
        << QString();

    QTest::newRow("model cut short inside root")
        << table.left(table.indexOf("<mxCell id=\"orders\"") + 20) << customers << QString();
    QTest::newRow("model cut short before any cell")
        << QByteArray("<mxGraphModel><root><mxCell") << QString() << kNoDiagram;
    QTest::newRow("xml error before a usable page")
        << QByteArray("<mxfile><diagram>!!!!</diagram><broken</mxfile><diagram>" + compressedPage(table) + "</diagram>")
        << QString() << kNoDiagram;
}

void TestDrawioFileReading::pagesAreChosenInOrder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, firstLine);
    QFETCH(QString, error);
    QString actualError;
    const QJsonObject document = parseDrawioFile(write(bytes), &actualError);
    QCOMPARE(actualError, error);
    const QStringList summary = summarizeDrawioDocument(document);
    QCOMPARE(summary.value(0), firstLine);
    QCOMPARE(document.isEmpty(), !error.isEmpty());
}

void TestDrawioFileReading::unreadableInputFails_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("just some words\n");
    QTest::newRow("picture") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20);
    QTest::newRow("html page") << QByteArray("<html><body><p>hello</p></body></html>");
    QTest::newRow("empty pages") << mxfile({"", "  \n\t  "});
}

void TestDrawioFileReading::unreadableInputFails()
{
    QFETCH(QByteArray, bytes);
    QString error;
    QVERIFY(parseDrawioFile(write(bytes), &error).isEmpty());
    QCOMPARE(error, kNoDiagram);
}

void TestDrawioFileReading::missingPathAndDirectoryCannotBeOpened()
{
    QString error;
    QVERIFY(parseDrawioFile(dir_->filePath(QStringLiteral("missing.drawio")), &error).isEmpty());
    QCOMPARE(error, kCouldNotOpen);
    error.clear();
    QVERIFY(parseDrawioFile(dir_->path(), &error).isEmpty());
    QCOMPARE(error, kCouldNotOpen);
    error.clear();
    QVERIFY(parseDrawioFile(QString(), &error).isEmpty());
    QCOMPARE(error, kCouldNotOpen);
}

void TestDrawioFileReading::errorIsOptional()
{
    QVERIFY(parseDrawioFile(dir_->filePath(QStringLiteral("missing.drawio"))).isEmpty());
    QVERIFY(parseDrawioFile(write("nothing")).isEmpty());
    QVERIFY(!parseDrawioFile(write(tableShapeModel())).isEmpty());
}

void TestDrawioFileReading::inflateBytesReadsWholeStreamsOnly_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("windowBits");
    QTest::addColumn<bool>("expected");

    const QByteArray text = QByteArray("hello draw.io ").repeated(5000);
    const QByteArray raw = deflateBytes(text, -15);
    QTest::newRow("raw") << raw << -15 << true;
    QTest::newRow("zlib") << deflateBytes(text, 15) << 15 << true;
    QTest::newRow("gzip") << deflateBytes(text, 31) << 31 << true;
    QTest::newRow("raw read as zlib") << raw << 15 << false;
    QTest::newRow("bytes after the end ignored") << QByteArray(raw + "trailing") << -15 << true;
    QTest::newRow("cut short") << raw.left(raw.size() / 2) << -15 << false;
    QTest::newRow("corrupt") << QByteArray(raw).replace(5, 4, "\xff\xff\xff\xff") << -15 << false;
    QTest::newRow("empty stream") << deflateBytes(QByteArray(), -15) << -15 << false;
    QTest::newRow("no input") << QByteArray() << -15 << false;
    QTest::newRow("bad window") << raw << 99 << false;
}

void TestDrawioFileReading::inflateBytesReadsWholeStreamsOnly()
{
    QFETCH(QByteArray, input);
    QFETCH(int, windowBits);
    QFETCH(bool, expected);
    QByteArray output;
    QCOMPARE(inflateBytes(input, &output, windowBits), expected);
    if (expected)
        QCOMPARE(output, QByteArray("hello draw.io ").repeated(5000));
}

// Streams of 70,000 bytes inflated one after another from one budget.
void TestDrawioFileReading::inflateBudgetIsSharedByStreams_data()
{
    QTest::addColumn<qsizetype>("budget");
    QTest::addColumn<int>("streams");
    QTest::addColumn<QList<bool>>("expected");
    QTest::addColumn<qsizetype>("remaining");

    QTest::newRow("both within") << qsizetype(200000) << 2 << QList<bool>{true, true} << qsizetype(60000);
    QTest::newRow("second past what is left") << qsizetype(100000) << 2 << QList<bool>{true, false} << qsizetype(0);
    QTest::newRow("exactly the budget") << qsizetype(70000) << 1 << QList<bool>{true} << qsizetype(0);
    QTest::newRow("one byte short") << qsizetype(69999) << 1 << QList<bool>{false} << qsizetype(0);
    QTest::newRow("nothing after running out") << qsizetype(100000) << 3 << QList<bool>{true, false, false}
                                               << qsizetype(0);
}

void TestDrawioFileReading::inflateBudgetIsSharedByStreams()
{
    QFETCH(qsizetype, budget);
    QFETCH(int, streams);
    QFETCH(QList<bool>, expected);
    QFETCH(qsizetype, remaining);

    const QByteArray text = QByteArray("0123456789").repeated(7000);
    const QByteArray stream = deflateBytes(text, -15);
    InflateBudget shared(budget);
    QList<bool> results;
    for (int i = 0; i < streams; ++i) {
        QByteArray output("left over");
        const bool ok = inflateBytes(stream, &output, -15, &shared);
        results.append(ok);
        QCOMPARE(output, ok ? text : QByteArray());
    }
    QCOMPARE(results, expected);
    QCOMPARE(shared.remaining(), remaining);
    QCOMPARE(shared.exceeded(), expected.contains(false));
}

// A page of a few hundred KiB that would inflate to 256 MiB.
void TestDrawioFileReading::decompressionBombIsRefused()
{
    const QByteArray bomb = deflatedZeros(qsizetype(256) * 1024 * 1024);
    QVERIFY(bomb.size() < 1024 * 1024);

    QByteArray output;
    QVERIFY(!inflateBytes(bomb, &output, -15));
    QVERIFY(output.isEmpty());

    QString error;
    QVERIFY(parseDrawioFile(write(mxfile({bomb.toBase64()})), &error).isEmpty());
    QCOMPARE(error, kOverBudget);
}

// A model of loose shapes within the file size limit would become hundreds of thousands of
// boxes: such a file is refused with its own message, plainly or compressed, on one reader
// or several.
void TestDrawioFileReading::moreCellsOrTablesThanTheBoundAreRefused_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expectedError");

    const auto shapes = [](qsizetype count) {
        QByteArray model("<mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>");
        for (qsizetype i = 0; i < count; ++i)
            model += "<mxCell id=\"s" + QByteArray::number(i) + "\" value=\"S\" vertex=\"1\" parent=\"1\"/>";
        return model + "</root></mxGraphModel>";
    };
    const auto cells = [](qsizetype count) {
        QByteArray model("<mxGraphModel><root>");
        model.reserve(count * 16);
        for (qsizetype i = 0; i < count; ++i)
            model += "<mxCell id=\"" + QByteArray::number(i) + "\"/>";
        return model + "</root></mxGraphModel>";
    };
    const QString tooManyTables = QStringLiteral("The draw.io diagram holds more than 20,000 tables.");
    const QString tooManyCells = QStringLiteral("The draw.io diagram holds more than 1,000,000 cells.");
    QTest::newRow("as many tables as the bound") << shapes(DrawioMaxEntities) << QString();
    QTest::newRow("one table more") << shapes(DrawioMaxEntities + 1) << tooManyTables;
    QTest::newRow("one table more, compressed") << mxfile({compressedPage(shapes(DrawioMaxEntities + 1))})
                                                << tooManyTables;
    QTest::newRow("one cell more") << cells(DrawioMaxCells + 1) << tooManyCells;
}

void TestDrawioFileReading::moreCellsOrTablesThanTheBoundAreRefused()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expectedError);
    QString error;
    const QJsonObject document = parseDrawioFile(write(file), &error);
    QCOMPARE(error, expectedError);
    QCOMPARE(document.isEmpty(), !expectedError.isEmpty());
    if (expectedError.isEmpty())
        QCOMPARE(document.value("entities").toArray().size(), qsizetype(DrawioMaxEntities));
}

// Pages of zeros, which hold no model, before a page that does: their inflated sizes add up
// against one budget for the file.
void TestDrawioFileReading::pagesShareOneInflateBudget_data()
{
    QTest::addColumn<int>("zeroPages");
    QTest::addColumn<int>("pageMiB");
    QTest::addColumn<QString>("expectedError");

    QTest::newRow("20 pages of 63 MiB") << 20 << 63 << kOverBudget;
    QTest::newRow("two pages of 33 MiB") << 2 << 33 << kOverBudget;
    QTest::newRow("60 MiB, then the model") << 1 << 60 << QString();
    QTest::newRow("a bomb, then the model") << 1 << 256 << kOverBudget;
}

void TestDrawioFileReading::pagesShareOneInflateBudget()
{
    QFETCH(int, zeroPages);
    QFETCH(int, pageMiB);
    QFETCH(QString, expectedError);

    const QByteArray zeros = deflatedZeros(qsizetype(pageMiB) * 1024 * 1024).toBase64();
    QList<QByteArray> pages(zeroPages, zeros);
    pages.append(compressedPage(tableShapeModel()));
    QString error;
    const QJsonObject document = parseDrawioFile(write(mxfile(pages)), &error);
    QCOMPARE(error, expectedError);
    if (expectedError.isEmpty())
        QCOMPARE(summarizeDrawioDocument(document), tableShapeSummary());
    else
        QVERIFY(document.isEmpty());
}

void TestDrawioFileReading::nestedEntitiesAreStoppedByTheXmlReader()
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    const QJsonObject document = parseDrawioFile(
        testsupport::dataPath(QStringLiteral("interchange/data/drawio/reader_entity_expansion.drawio")), &error);
    QVERIFY(document.isEmpty());
    QCOMPARE(error, kNoDiagram);
    QVERIFY(timer.elapsed() < 10000);
}

void TestDrawioFileReading::deeplyNestedPageTextIsGathered()
{
    const int depth = 100000;
    QByteArray bytes = "<mxfile><diagram>";
    bytes += QByteArray("<a>").repeated(depth);
    bytes += compressedPage(tableShapeModel());
    bytes += QByteArray("</a>").repeated(depth);
    bytes += "</diagram></mxfile>";
    QString error;
    const QJsonObject document = parseDrawioFile(write(bytes), &error);
    QVERIFY(error.isEmpty());
    QCOMPARE(summarizeDrawioDocument(document), tableShapeSummary());
}

void TestDrawioFileReading::readsOnSeveralThreadsAtOnce()
{
    const QString compressed = write(mxfile({compressedPage(tableShapeModel())}));
    const QString swimlane =
        testsupport::dataPath(QStringLiteral("interchange/data/drawio/reader_swimlane_stack.drawio"));
    const QStringList expectedSwimlane = summarizeDrawioDocument(parseDrawioFile(swimlane));

    QList<QStringList> results(8);
    QList<QThread *> threads;
    for (int t = 0; t < results.size(); ++t) {
        QStringList *out = &results[t];
        threads.append(QThread::create([&, t, out] {
            QStringList mismatches;
            for (int round = 0; round < 20; ++round) {
                const bool even = (t + round) % 2 == 0;
                const QStringList summary = summarizeDrawioDocument(parseDrawioFile(even ? compressed : swimlane));
                if (summary != (even ? tableShapeSummary() : expectedSwimlane))
                    mismatches.append(summary.join(QLatin1Char('|')));
            }
            *out = mismatches;
        }));
    }
    for (QThread *thread : std::as_const(threads))
        thread->start();
    for (QThread *thread : std::as_const(threads)) {
        thread->wait();
        delete thread;
    }
    for (const QStringList &mismatches : std::as_const(results))
        QCOMPARE(mismatches, QStringList());
}

QTEST_GUILESS_MAIN(TestDrawioFileReading)
#include "tst_drawiofilereading.moc"
