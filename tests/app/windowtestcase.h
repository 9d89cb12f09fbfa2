#pragma once

#include "apptestsupport.h"

#include <QObject>
#include <QTemporaryDir>

#include <memory>

// The base of the window tests. For the whole run: the application set up as start-up
// does, every prompt scripted through m_prompts, and a temporary directory. Each case
// starts from the light theme with no prompt recorded and no answer queued, and ends
// with its window gone, the theme reset and no prompt it did not expect.
//
// A derived class keeps its cases as private slots and fills the hooks below instead of
// declaring initTestCase(), init() or cleanup(), which would hide these.
class WindowTestCase : public QObject
{
    Q_OBJECT

protected:
    // Run after the shared set-up of the run, of each case, and before the shared
    // clean-up of each case.
    virtual void initCase() {}
    virtual void initEach() {}
    virtual void cleanupEach() {}

    // The case's window, made on first use (so a case may set a theme first) and
    // destroyed at the end of the case.
    MainWindow &window();
    MainWindowProbe &probe();
    // Shows the case's window and waits until it is exposed.
    bool showWindow();

    // A path in the run's temporary directory.
    QString tempPath(const QString &name) const { return m_dir.filePath(name); }

    ScriptedPrompts m_prompts;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

private:
    std::unique_ptr<UiPrompts::Override> m_override;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MainWindowProbe> m_probe;
};
