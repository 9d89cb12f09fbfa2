#include "aboutdialog.h"
#include "mainwindow.h"

#include "windowtestcase.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

class TestAboutDialog : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void windowShape()
    {
        AboutDialog dialog;
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(dialog.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QCOMPARE(dialog.minimumSize(), QSize(620, 428));
        QCOMPARE(dialog.maximumSize(), QSize(620, 428));
        QVERIFY(dialog.testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(dialog.isModal());
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
    }

    void objectNamesAndClasses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::newRow("frameChrome") << "frameChrome" << "QFrame";
        QTest::newRow("frameCentral") << "frameCentral" << "QFrame";
        QTest::newRow("frame") << "frame" << "QFrame";
        QTest::newRow("labelTitle") << "labelTitle" << "QLabel";
        QTest::newRow("labelAuthor") << "labelAuthor" << "QLabel";
        QTest::newRow("frostedPane") << "frostedPane" << "QFrame";
        QTest::newRow("plainTextEditAbout") << "plainTextEditAbout" << "QPlainTextEdit";
        QTest::newRow("buttonBox") << "buttonBox" << "QDialogButtonBox";
    }

    void objectNamesAndClasses()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        auto *dialog = new AboutDialog;
        QObject *object = dialog->findChild<QObject *>(name);
        QVERIFY2(object, qPrintable(name));
        QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
        delete dialog;
    }

    void aboutTextIsFixed()
    {
        AboutDialog dialog;
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        auto *label = dialog.findChild<QLabel *>(QStringLiteral("labelTitle"));
        QCOMPARE(label->text(), QStringLiteral("velmora"));
        auto *edit = dialog.findChild<QPlainTextEdit *>(QStringLiteral("plainTextEditAbout"));
        const QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QStringLiteral("Version 0.1.353"));
        QCOMPARE(lines.at(1), QString());
        QVERIFY(lines.at(2).startsWith(QStringLiteral("velmora is a desktop application")));
        QVERIFY(edit->isReadOnly());
        QCOMPARE(edit->focusPolicy(), Qt::NoFocus);
        QCOMPARE(edit->textInteractionFlags(), Qt::NoTextInteraction);
        QCOMPARE(edit->cursorWidth(), 0);
    }

    void okClosesAndDeletes()
    {
        QPointer<AboutDialog> dialog = new AboutDialog;
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        auto *box = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
    }

    void aboutActionShowsModalChildAtOnce()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *about = window.findChild<QAction *>(QStringLiteral("actionAbout_velmora"));
        about->trigger();
        // No nested event loop: the action has returned and the dialog is up.
        QPointer<AboutDialog> dialog = window.findChild<AboutDialog *>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
        QCOMPARE(dialog->parentWidget(), &window);
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
    }

    void renderedPicture()
    {
        auto *dialog = new AboutDialog;
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QImage image = dialog->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        image.save(testsupport::outputDir(QStringLiteral("tst_aboutdialog")) + QStringLiteral("/about-dialog.png"));
        QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
        auto *central = dialog->findChild<QFrame *>(QStringLiteral("frameCentral"));
        const QPoint inside = central->mapTo(dialog, QPoint(central->width() / 2, 20));
        QCOMPARE(qAlpha(image.pixel(inside)), 255);
        dialog->close();
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
