// The calibration report as the summary page shows, prints and saves it. The view holds the
// report's lines as text; the printed page and the saved image draw them with the report's own
// fonts: the title in 20 points, the rest in 12 points, one inch from the left and top edges of
// the printable area, all on one page.
#pragma once

#include <string>

#include <QImage>
#include <QString>

#include "calibration/data/CalReport.h"

class QPainter;
class QPrinter;

// Metric-compatible with the face the report was designed for; installed with the program.
inline constexpr char kReportFontFamily[] = "Liberation Sans";
inline constexpr char kReportDocumentName[] = "CalReport";
// A letter-size page at 150 pixels per inch.
inline constexpr int kReportImageWidth = 1275;
inline constexpr int kReportImageHeight = 1650;
inline constexpr int kReportImageDpi = 150;

// The view's text, lines ended by '\n': the title, an empty line, the header lines, and after one
// more empty line each point as an empty line, "Calibration Point n" and its lines; then two empty
// lines and the footer lines.
std::u16string ReportViewText(const CCalReport& report);

// Draws the report with the painter's origin at the top left of the printable area; an inch is
// dpiX pixels across and dpiY pixels down.
void RenderCalReport(QPainter& painter, const CCalReport& report, int dpiX, int dpiY);
// The report on a white letter-size page of 1275 x 1650 pixels, 24 bits per pixel.
QImage RenderCalReportImage(const CCalReport& report);
// Saves the page image in TIFF format whatever the file's name, through a file beside it that
// replaces it only when complete; false with the reason (the file system's where it has one).
bool SaveCalReportTiff(const CCalReport& report, const QString& path, QString& error);
// Prints the report as the one-page document "CalReport" at the printer's own resolution; false
// when the printer refuses the document or does not finish it.
bool PrintCalReport(const CCalReport& report, QPrinter& printer);
