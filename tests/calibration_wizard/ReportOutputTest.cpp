// The report as the summary page shows, prints and saves it: the view's lines, the page image
// (letter size at 150 pixels per inch, 24 bits, TIFF whatever the file is called), the printed
// document, and the failures of both outputs reported to the user.
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QTest>
#include <QtEndian>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <vector>

#include "calibration/wizard/CalReportOutput.h"
#include "calibration/wizard/DlgWizFrameCalConductivity.h"
#include "platform/Folders.h"
#include "tests/calibration_wizard/WizardTestSupport.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestEnvironment.h"

namespace wiztest
{
namespace
{

// The tags of the first image of a TIFF file: tag -> values (SHORT or LONG).
std::map<uint16_t, std::vector<uint32_t>> ReadTiffTags(const QString& path)
{
    std::map<uint16_t, std::vector<uint32_t>> tags;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tags;
    const QByteArray data = file.readAll();
    if (data.size() < 8 || (data.left(2) != "II" && data.left(2) != "MM"))
        return tags;
    const bool little = data.left(2) == "II";
    const auto u16 = [&](qsizetype at) -> uint32_t
    {
        if (at < 0 || at + 2 > data.size())
            return 0;
        const auto* p = reinterpret_cast<const uchar*>(data.constData() + at);
        return little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    };
    const auto u32 = [&](qsizetype at) -> uint32_t
    {
        if (at < 0 || at + 4 > data.size())
            return 0;
        const auto* p = reinterpret_cast<const uchar*>(data.constData() + at);
        return little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    };
    const qsizetype directory = u32(4);
    const uint32_t entries = u16(directory);
    for (uint32_t i = 0; i < entries; ++i)
    {
        const qsizetype entry = directory + 2 + 12 * static_cast<qsizetype>(i);
        const auto tag = static_cast<uint16_t>(u16(entry));
        const uint32_t type = u16(entry + 2);
        const uint32_t count = u32(entry + 4);
        const uint32_t size = type == 3 ? 2 : type == 4 ? 4 : 0;
        if (size == 0 || count > 16)
            continue;
        const qsizetype values = size * count <= 4 ? entry + 8 : u32(entry + 8);
        for (uint32_t n = 0; n < count; ++n)
            tags[tag].push_back(size == 2 ? u16(values + 2 * n) : u32(values + 4 * n));
    }
    return tags;
}

constexpr uint16_t kImageWidth = 256;
constexpr uint16_t kImageLength = 257;
constexpr uint16_t kBitsPerSample = 258;
constexpr uint16_t kSamplesPerPixel = 277;

CCalReport ThreePointReport()
{
    CCalReport report;
    report.m_title = u"pH Calibration Report";
    report.m_headerLines.Add(CWideString(u"%-30s\t%s", u"Probe Type:", u"Marisk 400"));
    report.m_headerLines.Add(CWideString(u"%-30s\t%s", u"Probe Serial Number:", u"4711"));
    for (const char16_t* buffer : {u"pH 4", u"pH 7", u"pH 10"})
    {
        CCalReport::Lines section;
        section.Add(CWideString(u"\t%-20s\t%s", u"Standard:", buffer));
        section.Add(CWideString(u"\t%-20s\t%s", u"Stability:", u"Full"));
        report.m_pointSections.Add(section);
    }
    report.m_footerLines.Add(CWideString(u"Line Segment %d", 1));
    return report;
}

// The rows of the image that hold anything but white.
std::vector<int> InkedRows(const QImage& image)
{
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != Qt::white)
            {
                rows.push_back(y);
                break;
            }
    return rows;
}

int FirstInkedColumn(const QImage& image)
{
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) != Qt::white)
                return x;
    return -1;
}

TEST(ReportText, PointsAreHeadedAndSpacedAsTheViewShowsThem)
{
    EXPECT_EQ(ReportViewText(ThreePointReport()),
              u"pH Calibration Report\n\n"
              u"Probe Type:                   \tMarisk 400\n"
              u"Probe Serial Number:          \t4711\n"
              u"\n\nCalibration Point 1\n\tStandard:           \tpH 4\n\tStability:          \tFull\n"
              u"\nCalibration Point 2\n\tStandard:           \tpH 7\n\tStability:          \tFull\n"
              u"\nCalibration Point 3\n\tStandard:           \tpH 10\n\tStability:          \tFull\n"
              u"\n\nLine Segment 1\n");
    // Nothing committed: the title's place and the spacing lines only.
    EXPECT_EQ(ReportViewText(CCalReport()), u"\n\n\n\n\n");
}

TEST(ReportImage, ALetterPageWithOneInchMarginsAndTheLinesBelowTheTitle)
{
    const QImage image = RenderCalReportImage(ThreePointReport());
    EXPECT_EQ(image.size(), QSize(kReportImageWidth, kReportImageHeight));
    EXPECT_EQ(image.depth(), 24);
    EXPECT_EQ(image.dotsPerMeterX(), 5906);
    const std::vector<int> rows = InkedRows(image);
    ASSERT_FALSE(rows.empty());
    // The title's cell starts one inch down; its letters a little below.
    EXPECT_GE(rows.front(), kReportImageDpi);
    EXPECT_LT(rows.front(), kReportImageDpi + 20);
    EXPECT_GE(FirstInkedColumn(image), kReportImageDpi);
    EXPECT_LT(FirstInkedColumn(image), kReportImageDpi + 5);
    // Title, 2 header lines, 3 x (heading + 2 lines), footer: all on the page, nothing past it.
    EXPECT_LT(rows.back(), kReportImageHeight / 2);
}

TEST(ReportImage, SavedAsTiffWhateverTheNameAndReadBackWithItsSizeAndDepth)
{
    const std::filesystem::path folder = testsupport::ProcessTempDir() / "tiff";
    std::filesystem::create_directories(folder);
    const QString path = QString::fromStdString((folder / "report.png").string());
    QString error;
    ASSERT_TRUE(SaveCalReportTiff(ThreePointReport(), path, error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray magic = file.read(4);
    EXPECT_TRUE(magic == QByteArray("II*\0", 4) || magic == QByteArray("MM\0*", 4));
    const auto tags = ReadTiffTags(path);
    EXPECT_EQ(tags.at(kImageWidth), std::vector<uint32_t>{1275});
    EXPECT_EQ(tags.at(kImageLength), std::vector<uint32_t>{1650});
    EXPECT_EQ(tags.at(kSamplesPerPixel), std::vector<uint32_t>{3});
    EXPECT_EQ(tags.at(kBitsPerSample), (std::vector<uint32_t>{8, 8, 8}));
    const QImage back(path, "TIFF");
    EXPECT_EQ(back.size(), QSize(1275, 1650));
    EXPECT_EQ(back.pixelColor(10, 10), QColor(Qt::white));

    EXPECT_FALSE(SaveCalReportTiff(
        ThreePointReport(), QString::fromStdString((folder / "missing" / "report.tiff").string()), error));
    EXPECT_FALSE(error.isEmpty());
}

// A file-size limit on the process stands in for a disk that fills up while the file is written.
using FileSizeLimit = testsupport::ScopedFileSizeLimit;

std::vector<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(ReportImage, AWriteThatFailsPartWayLeavesThePreviousFileAndSaysWhy)
{
    const std::filesystem::path folder = testsupport::ProcessTempDir() / "full";
    std::filesystem::create_directories(folder);
    const QString path = QString::fromStdString((folder / "report.tiff").string());
    const QString fresh = QString::fromStdString((folder / "fresh.tiff").string());
    {
        QFile previous(path);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("the report saved before");
    }
    QString error;
    QString freshError;
    {
        const FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(SaveCalReportTiff(ThreePointReport(), path, error));
        EXPECT_FALSE(SaveCalReportTiff(ThreePointReport(), fresh, freshError));
    }
    EXPECT_EQ(error.toStdString(), "File too large") << "the file system's reason, not the encoder's";
    EXPECT_EQ(freshError, error);
    QFile previous(path);
    ASSERT_TRUE(previous.open(QIODevice::ReadOnly));
    EXPECT_EQ(previous.readAll(), QByteArray("the report saved before"));
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"report.tiff"}) << "no part-written file anywhere";
}

// A summary page over an empty report, without a probe: the outputs and their failures.
class SummaryOutput : public ::testing::Test
{
protected:
    SummaryOutput()
    {
        m_frame.AddPages();
        m_frame.Create(nullptr);
        m_frame.SetActivePage(&m_frame.GetSummaryPage(), IDC_WIZARD_NEXT);
        m_folder =
            testsupport::ProcessTempDir() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(m_folder);
    }
    ~SummaryOutput() override { m_frame.DestroyWindow(); }

    QString PathIn(const std::string& name) { return QString::fromStdString((m_folder / name).string()); }

    WizardDialogs m_dialogs;
    CDlgWizFrame_CalConductivity m_frame;
    std::filesystem::path m_folder;
};

TEST_F(SummaryOutput, SaveAsOffersTiffInTheDocumentsFolderAndReportsAWriteThatFails)
{
    std::filesystem::create_directories(platform::DocumentsDir());
    CDlgWizPage_CalSummary& summary = m_frame.GetSummaryPage();
    m_dialogs.QueueFile(QString());
    Click(summary.SaveAsButton());
    ASSERT_EQ(m_dialogs.FileDialogs().size(), 1u);
    const ui::sFileDialogRequest& request = m_dialogs.FileDialogs()[0].request;
    EXPECT_TRUE(m_dialogs.FileDialogs()[0].save);
    EXPECT_EQ(request.initialPath.toStdString(), platform::DocumentsDir().string());
    EXPECT_EQ(request.filter, QStringLiteral("tiff image file (*.tiff)|*.tiff||"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("tiff"));
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_TRUE(m_dialogs.MessageBoxes().empty()) << "a cancelled dialog saves nothing";

    m_dialogs.QueueFile(PathIn("report.tiff"));
    Click(summary.SaveAsButton());
    EXPECT_TRUE(std::filesystem::exists(m_folder / "report.tiff"));
    EXPECT_TRUE(m_dialogs.MessageBoxes().empty());

    m_dialogs.QueueFile(PathIn("missing/report.tiff"));
    Click(summary.SaveAsButton());
    ASSERT_EQ(m_dialogs.MessageBoxes().size(), 1u);
    EXPECT_EQ(m_dialogs.MessageBoxes()[0].text,
              QStringLiteral("Failed to save the calibration report to %1.\n"
                             "No such file or directory")
                  .arg(PathIn("missing/report.tiff")));
    EXPECT_EQ(m_dialogs.MessageBoxes()[0].flags & platform::MB_ICONERROR, platform::MB_ICONERROR);
}

TEST_F(SummaryOutput, PrintsTheDocumentCalReportAndReportsAPrinterThatRefusesIt)
{
    CDlgWizPage_CalSummary& summary = m_frame.GetSummaryPage();
    m_dialogs.QueuePrintAnswer(false);
    Click(summary.PrintButton());
    EXPECT_EQ(m_dialogs.PrintDialogs(), 1);
    EXPECT_EQ(m_dialogs.printedDocName, QStringLiteral("CalReport"));
    EXPECT_TRUE(m_dialogs.MessageBoxes().empty()) << "a declined print dialog prints nothing";

    m_dialogs.printToPdf = PathIn("report.pdf");
    m_dialogs.QueuePrintAnswer(true);
    Click(summary.PrintButton());
    QFile pdf(m_dialogs.printToPdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_TRUE(m_dialogs.MessageBoxes().empty());

    // A file the printer cannot open: the document is refused.
    m_dialogs.printToPdf = PathIn("missing/report.pdf");
    m_dialogs.QueuePrintAnswer(true);
    Click(summary.PrintButton());
    ASSERT_EQ(m_dialogs.MessageBoxes().size(), 1u);
    EXPECT_EQ(m_dialogs.MessageBoxes()[0].text, QStringLiteral("Failed to print the calibration report."));
}

} // namespace
} // namespace wiztest
