// The response plot is drawn as PNG, SVG or PDF as the output's extension says,
// and any other extension is refused before anything is measured.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "Response.h"
#include "TemporaryFolder.h"
#include "ToolRun.h"

namespace {

std::string firstBytes(const std::string& path, std::size_t count) { return readBytes(path).substr(0, count); }

}  // namespace

TEST(ResponseImage, TheExtensionInAnyCaseNamesTheFormat) {
    EXPECT_EQ(imageFormatFor("r.png"), "png");
    EXPECT_EQ(imageFormatFor("plots/R.SVG"), "svg");
    EXPECT_EQ(imageFormatFor("r.Pdf"), "pdf");
    EXPECT_EQ(imageFormatFor("r.jpg"), "");
    EXPECT_EQ(imageFormatFor("r.png.txt"), "");
    EXPECT_EQ(imageFormatFor("png"), "");
}

TEST(ResponseImage, EachFormatIsWrittenWithItsOwnSignature) {
    TemporaryFolder folder;
    std::vector<ResponsePoint> points;
    for (const double f : logFrequencies(10.0, 20000.0, 50)) {
        points.push_back({f, 1.0, std::complex<double>(0.0, f) / std::complex<double>(96.0, f)});
    }
    writeResponseCsv(folder.file("r.csv"), points);
    for (const auto& [name, signature] : {std::pair<std::string, std::string>{"r.PNG", "\x89PNG"},
                                          std::pair<std::string, std::string>{"r.svg", "<?xml"},
                                          std::pair<std::string, std::string>{"r.Pdf", "%PDF"}}) {
        plotResponse(folder.file("r.csv"), folder.file(name), "formats", imageFormatFor(name));
        EXPECT_EQ(firstBytes(folder.file(name), signature.size()), signature) << name;
    }
    EXPECT_EQ(folder.entries().size(), 4u) << "a temporary picture was left behind";
}

TEST(ResponseImage, TheToolDrawsSvgByNameAndRefusesOtherExtensionsBeforeMeasuring) {
    TemporaryFolder folder;
    const ToolRun refused = runTool({"response", "--out", folder.file("r.jpg")});
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_TRUE(refused.saidOneLine()) << refused.err;
    EXPECT_NE(refused.err.find("r.jpg"), std::string::npos) << refused.err;
    EXPECT_TRUE(folder.entries().empty());

    const ToolRun drawn = runTool({"response", "--out", folder.file("r.SVG")});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(firstBytes(folder.file("r.SVG"), 5), "<?xml");
}
