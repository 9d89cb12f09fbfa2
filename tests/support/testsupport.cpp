#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>

static void initBundle()
{
    Q_INIT_RESOURCE(velmora);
}

namespace testsupport {

QString registerBundledMonoFont()
{
    static const QString family = [] {
        initBundle();
        const int id = QFontDatabase::addApplicationFont(
            QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

QString outputDir(const QString &testName)
{
    const QString path = QStringLiteral(VELMORA_TEST_OUTPUT_ROOT "/") + testName;
    QDir().mkpath(path);
    return path;
}

QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString dataPath(const QString &relativePath)
{
    return QStringLiteral(VELMORA_TEST_DATA_ROOT "/") + relativePath;
}

} // namespace testsupport
