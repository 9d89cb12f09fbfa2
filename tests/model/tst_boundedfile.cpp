#include "boundedfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestBoundedFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsWholeFileUpToTheLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("empty") << 0 << true;
        QTest::newRow("under the limit") << 99 << true;
        QTest::newRow("at the limit") << 100 << true;
        QTest::newRow("one byte over") << 101 << false;
    }

    void readsWholeFileUpToTheLimit()
    {
        QFETCH(int, size);
        QFETCH(bool, read);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("data")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray written(size, 'x');
        QCOMPARE(file.write(written), qint64(size));
        file.close();

        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes("left over");
        QCOMPARE(readBoundedFile(file, 100, &bytes), read);
        if (read)
            QCOMPARE(bytes, written);
    }

    // A buffer of several megabytes is read into huge pages where the system has them.
    void readsLargeFileWhole()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("large")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray written(5 * 1024 * 1024 + 3, Qt::Uninitialized);
        for (qsizetype i = 0; i < written.size(); ++i)
            written[i] = char(i * 31 % 251);
        QCOMPARE(file.write(written), qint64(written.size()));
        file.close();

        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes;
        QVERIFY(readBoundedFile(file, MaxReadFileBytes, &bytes));
        QCOMPARE(bytes, written);
    }
};

QTEST_GUILESS_MAIN(TestBoundedFile)
#include "tst_boundedfile.moc"
