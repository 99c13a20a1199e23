#include "calibration/wizard/CalReportOutput.h"

#include <array>
#include <vector>

#include <QFont>
#include <QFontMetrics>
#include <QImageWriter>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>

#include "ui/QtText.h"
#include "ui/WinTypes.h"

namespace
{

constexpr int kPointsPerInch = 72;
constexpr int kTitlePoints = 20;
constexpr int kBodyPoints = 12;
constexpr int kTitleWeight = 600;
constexpr int kBodyWeight = 300;
// The body's tab stops in average character widths.
constexpr std::array<int, 4> kPrintTabStops = {6, 35, 50, 75};
constexpr double kMetresPerInch = 0.0254;

QString Text(const CWideString& text)
{
    return ui::ToQString(TextOf(text));
}

void AppendLines(std::u16string& text, const CCalReport::Lines& lines)
{
    for (uint32_t i = 0; i < lines.GetCount(); ++i)
    {
        text += TextOf(lines[i]);
        text += u'\n';
    }
}

QFont ReportFont(int points, int weight, int dpiX)
{
    QFont font(QString::fromLatin1(kReportFontFamily));
    font.setStyleHint(QFont::SansSerif);
    // The heights follow the horizontal resolution, as the report was laid out.
    font.setPixelSize(MulDiv(points, dpiX, kPointsPerInch));
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

// Draws a line whose tabs jump to the next stop after the text before them, counted from the
// origin; past the last stop, to the next multiple of it.
void DrawTabbedLine(QPainter& painter, int x, int top, const QString& line, const std::array<int, 4>& stops,
                    int origin)
{
    const QFontMetrics metrics = painter.fontMetrics();
    const QStringList segments = line.split(u'\t');
    for (qsizetype i = 0; i < segments.size(); ++i)
    {
        if (i > 0)
        {
            int next = -1;
            for (const int stop : stops)
            {
                if (origin + stop > x)
                {
                    next = origin + stop;
                    break;
                }
            }
            const int last = stops.back();
            x = next >= 0 ? next : origin + ((x - origin) / last + 1) * last;
        }
        painter.drawText(x, top + metrics.ascent(), segments[i]);
        x += metrics.horizontalAdvance(segments[i]);
    }
}

} // namespace

std::u16string ReportViewText(const CCalReport& report)
{
    std::u16string text = TextOf(report.m_title);
    text += u"\n\n";
    AppendLines(text, report.m_headerLines);
    text += u'\n';
    for (uint32_t k = 0; k < report.m_pointSections.GetCount(); ++k)
    {
        text += u'\n';
        text += TextOf(CWideString(u"Calibration Point %u", k + 1));
        text += u'\n';
        AppendLines(text, report.m_pointSections[k]);
    }
    text += u"\n\n";
    AppendLines(text, report.m_footerLines);
    return text;
}

void RenderCalReport(QPainter& painter, const CCalReport& report, int dpiX, int dpiY)
{
    painter.save();
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);

    painter.setFont(ReportFont(kTitlePoints, kTitleWeight, dpiX));
    painter.drawText(dpiX, dpiY + painter.fontMetrics().ascent(), Text(report.m_title));
    const int titleHeight = painter.fontMetrics().height();

    painter.setFont(ReportFont(kBodyPoints, kBodyWeight, dpiX));
    const QFontMetrics body = painter.fontMetrics();
    std::array<int, 4> stops = {dpiX / 2, dpiX, 3 * dpiX / 2, 2 * dpiX};
    const int averageWidth = body.averageCharWidth();
    if (averageWidth > 0)
        for (size_t i = 0; i < stops.size(); ++i)
            stops[i] = kPrintTabStops[i] * averageWidth;
    const int lineHeight = body.height();

    int y = dpiY + titleHeight + 2 * lineHeight;
    const auto drawLines = [&](const CCalReport::Lines& lines)
    {
        for (uint32_t i = 0; i < lines.GetCount(); ++i)
        {
            DrawTabbedLine(painter, dpiX, y, Text(lines[i]), stops, dpiX);
            y += lineHeight;
        }
    };
    drawLines(report.m_headerLines);
    y += 2 * lineHeight;
    for (uint32_t k = 0; k < report.m_pointSections.GetCount(); ++k)
    {
        DrawTabbedLine(painter, dpiX, y, QStringLiteral("Calibration Point %1").arg(k + 1), stops, dpiX);
        y += lineHeight;
        drawLines(report.m_pointSections[k]);
        y += lineHeight;
    }
    y += lineHeight;
    drawLines(report.m_footerLines);
    painter.restore();
}

QImage RenderCalReportImage(const CCalReport& report)
{
    QImage image(kReportImageWidth, kReportImageHeight, QImage::Format_RGB888);
    const int dotsPerMetre = qRound(kReportImageDpi / kMetresPerInch);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    QPainter painter(&image);
    const int dpiY = MulDiv(kReportImageDpi, image.logicalDpiY(), image.logicalDpiX());
    RenderCalReport(painter, report, kReportImageDpi, dpiY);
    return image;
}

bool SaveCalReportTiff(const CCalReport& report, const QString& path, QString& error)
{
    const QImage image = RenderCalReportImage(report);
    if (image.isNull())
    {
        error = QStringLiteral("The report image could not be created.");
        return false;
    }
    // Written beside the target and renamed over it only when complete: a disk that fills up
    // leaves the file that was there (or none), never a truncated image.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
    {
        error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "tiff");
    const bool written = writer.write(image);
    // The file's own reason (no space, no permission) before the encoder's, which does not know it.
    if (file.error() != QFileDevice::NoError)
    {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!written)
    {
        error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
    {
        error = file.errorString();
        return false;
    }
    return true;
}

bool PrintCalReport(const CCalReport& report, QPrinter& printer)
{
    printer.setDocName(QString::fromLatin1(kReportDocumentName));
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    RenderCalReport(painter, report, printer.logicalDpiX(), printer.logicalDpiY());
    return painter.end();
}
