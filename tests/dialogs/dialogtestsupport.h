#pragma once

#include "scriptedprompts.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace dialogtest {

// Keeps the per-user settings store of this test run in a folder of its own: test mode
// first, so nothing reaches the user's store, then a fresh folder, so parallel runs do
// not share one file. The store's file is <folder>/Haldemor/velmora.conf.
class SettingsSandbox
{
public:
    SettingsSandbox()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Haldemor"));
        QCoreApplication::setApplicationName(QStringLiteral("velmora"));
        usePath(m_dir.path());
    }

    // Makes the store live under folder from now on.
    static void usePath(const QString &folder)
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    }

    QString folder() const { return m_dir.path(); }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

// What every dialog test sets up once: the bundled font, the settings sandbox and the
// scripted prompts.
struct DialogTestEnvironment
{
    DialogTestEnvironment()
    {
        testsupport::registerBundledMonoFont();
        override = std::make_unique<UiPrompts::Override>(&prompts);
    }

    SettingsSandbox settings;
    ScriptedPrompts prompts;
    std::unique_ptr<UiPrompts::Override> override;
};

// The base of every dialog test: sets up the environment once and, around each test,
// empties the stored presets and checks that every prompt was expected and answered.
class DialogTestCase : public QObject
{
    Q_OBJECT

protected:
    DialogTestEnvironment &env() { return *m_env; }
    ScriptedPrompts &prompts() { return m_env->prompts; }
    // Called once the environment stands, before the first test.
    virtual void setUpOnce() {}

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<DialogTestEnvironment>();
        QVERIFY(m_env->settings.isValid());
        setUpOnce();
    }

    void init()
    {
        m_env->prompts.reset();
        QSettings().remove(QStringLiteral("ColorPresets"));
    }

    void cleanup()
    {
        QCOMPARE(m_env->prompts.unexpected, 0);
        QCOMPARE(m_env->prompts.unusedAnswers(), 0);
    }

private:
    std::unique_ptr<DialogTestEnvironment> m_env;
};

template<typename T>
T *child(const QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}

// Replaces an editor's text the way a user types it: cleared, then key by key, each
// key going through the editor's validator.
inline void retype(QLineEdit *edit, const QString &text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Ends editing as leaving the field does.
inline void finishEditing(QLineEdit *edit)
{
    emit edit->editingFinished();
}

// The colour a swatch shows, read back from its "rgba(r, g, b, a)" style sheet.
inline QColor swatchColor(const QFrame *swatch)
{
    static const QRegularExpression rgba(
        QStringLiteral("rgba\\((\\d+), (\\d+), (\\d+), (\\d+)\\)"));
    const QRegularExpressionMatch match = rgba.match(swatch->styleSheet());
    if (!match.hasMatch())
        return QColor();
    return QColor(match.captured(1).toInt(), match.captured(2).toInt(),
                  match.captured(3).toInt(), match.captured(4).toInt());
}

} // namespace dialogtest
