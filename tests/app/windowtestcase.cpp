#include "windowtestcase.h"

#include "applicationsetup.h"

MainWindow &WindowTestCase::window()
{
    if (!m_window) {
        m_window = std::make_unique<MainWindow>();
        m_probe = std::make_unique<MainWindowProbe>(*m_window);
    }
    return *m_window;
}

MainWindowProbe &WindowTestCase::probe()
{
    window();
    return *m_probe;
}

bool WindowTestCase::showWindow()
{
    window().show();
    return QTest::qWaitForWindowExposed(m_window.get());
}

void WindowTestCase::initTestCase()
{
    configureApplication(*qApp);
    m_override = std::make_unique<UiPrompts::Override>(&m_prompts);
    QVERIFY(m_dir.isValid());
    initCase();
}

void WindowTestCase::init()
{
    resetProcessTheme();
    m_prompts.reset();
    initEach();
}

void WindowTestCase::cleanup()
{
    cleanupEach();
    m_probe.reset();
    m_window.reset();
    resetProcessTheme();
    QCOMPARE(m_prompts.unexpected, 0);
}
