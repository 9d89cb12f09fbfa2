#include "applicationsetup.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>

static void registerResourceBundle()
{
    Q_INIT_RESOURCE(velmora);
}

QStringList defaultApplicationFontPaths()
{
    return {
        QStringLiteral(":/fonts/resources/fonts/Inter-Regular.otf"),
        QStringLiteral(":/fonts/resources/fonts/Inter-SemiBold.otf"),
        QStringLiteral(":/fonts/resources/fonts/JetBrainsMono-Regular.ttf"),
        QStringLiteral(":/fonts/resources/fonts/Hack-Regular.ttf"),
        QStringLiteral(":/fonts/resources/fonts/NotoSerif-Regular.ttf"),
    };
}

QString loadApplicationFont(const QString &path)
{
    const int id = QFontDatabase::addApplicationFont(path);
    if (id == -1)
        return QString();
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.first();
}

QString configureApplication(QApplication &app, const QStringList &fontPaths)
{
    registerResourceBundle();
    QApplication::setOrganizationName(QStringLiteral("Haldemor"));
    QApplication::setApplicationName(QStringLiteral("velmora"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.353"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    app.setWindowIcon(QIcon(QStringLiteral(":/images/resources/images/corvane-icon.png")));

    QString family;
    for (int i = 0; i < fontPaths.size(); ++i) {
        const QString loaded = loadApplicationFont(fontPaths.at(i));
        if (i == 0)
            family = loaded;
    }
    if (!family.isEmpty()) {
        QFont font(family, 10);
        font.setWeight(QFont::Normal);
        font.setItalic(false);
        QApplication::setFont(font);
    }
    return family;
}
