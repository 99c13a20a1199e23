#include "ui/Application.h"

#include <clocale>

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QPalette>
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
        QPalette palette = fusion->standardPalette();
        // The style's disabled text is too pale to read on the skin's background colour; the
        // system's own grey for disabled text stays readable on it.
        const QColor disabledText(0x6D, 0x6D, 0x6D);
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, disabledText);
        QApplication::setPalette(palette);
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
