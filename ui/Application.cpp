#include "ui/Application.h"

#include <clocale>

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace ui
{

namespace
{

QPointer<QWidget> g_mainWindow;

} // namespace

void PrepareApplication()
{
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
    {
        QApplication::setStyle(fusion);
        QApplication::setPalette(fusion->standardPalette());
    }
    QFont font(QString::fromLatin1(kDialogFontFamily), kDialogFontPoints);
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
}

void SetMainWindow(QWidget* window)
{
    g_mainWindow = window;
}

QWidget* GetMainWindow()
{
    return g_mainWindow.data();
}

QString ApplicationName()
{
    return QCoreApplication::instance() != nullptr ? QCoreApplication::applicationName() : QString();
}

} // namespace ui
