// The plot's layout on its SVG output: with any number of panels, labels long or short and
// values small or large, every text lies inside the picture and no two texts overlap.
#include "plot.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct Box {
    double left, top, right, bottom;
    std::string text;
};

using Matrix = std::array<double, 6>;  // SVG's matrix(a b c d e f)

Matrix matrixOf(const char* transform) {
    Matrix m{1, 0, 0, 1, 0, 0};
    std::string text = transform;
    const size_t open = text.find("matrix(");
    if (open == std::string::npos) return m;
    std::istringstream numbers(text.substr(open + 7));
    for (double& value : m) numbers >> value;
    return m;
}

// (x, y) through the inner matrix, then the outer one.
std::pair<double, double> apply(const Matrix& outer, const Matrix& inner, double x, double y) {
    const double ix = inner[0] * x + inner[2] * y + inner[4];
    const double iy = inner[1] * x + inner[3] * y + inner[5];
    return {outer[0] * ix + outer[2] * iy + outer[4], outer[1] * ix + outer[3] * iy + outer[5]};
}

// The extent of a text's glyphs along and across its baseline, from the font sizes and shifts
// of its parts; a character is taken as wide as the widest usual ones (0.62 of the size).
void measure(const pugi::xml_node& node, double size, double shift, double& width, double& above,
             double& below, std::string& text) {
    for (const pugi::xml_node& part : node.children()) {
        if (part.type() == pugi::node_pcdata) {
            for (unsigned char c : std::string(part.value())) {
                if ((c & 0xC0) == 0x80) continue;
                width += 0.62 * size;
                text += static_cast<char>(c < 0x80 ? c : '?');
            }
            above = std::max(above, 0.75 * size - shift);
            below = std::max(below, 0.2 * size + shift);
        } else {
            const double partSize = part.attribute("font-size").as_double(size);
            measure(part, partSize, shift + part.attribute("dy").as_double(0), width, above, below, text);
            shift += part.attribute("dy").as_double(0);
        }
    }
}

std::vector<Box> textBoxes(const pugi::xml_document& svg) {
    const Matrix outer = matrixOf(svg.select_node("/svg/g").node().attribute("transform").value());
    std::vector<Box> boxes;
    for (const pugi::xpath_node& found : svg.select_nodes("//text")) {
        const pugi::xml_node text = found.node();
        double width = 0, above = 0, below = 0;
        Box box{};
        measure(text, text.attribute("font-size").as_double(), 0, width, above, below, box.text);
        const std::string anchor = text.attribute("text-anchor").value();
        const double x = text.attribute("x").as_double(), y = text.attribute("y").as_double();
        const double start = anchor == "end" ? x - width : anchor == "middle" ? x - width / 2 : x;
        const Matrix inner = matrixOf(text.attribute("transform").value());
        box.left = box.top = INFINITY;
        box.right = box.bottom = -INFINITY;
        for (double along : {start, start + width}) {
            for (double across : {y - above, y + below}) {
                const auto [px, py] = apply(outer, inner, along, across);
                box.left = std::min(box.left, px), box.right = std::max(box.right, px);
                box.top = std::min(box.top, py), box.bottom = std::max(box.bottom, py);
            }
        }
        boxes.push_back(box);
    }
    return boxes;
}

struct LayoutCase {
    size_t panels;
    std::string title;
};

void PrintTo(const LayoutCase& c, std::ostream* out) { *out << c.panels << " panels, title \"" << c.title << "\""; }

class PlotLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PlotLayout, EveryTextInsideThePictureAndNoTwoOverlap) {
    const LayoutCase& c = GetParam();
    // Names long and short, with and without units, values from 1e-6 to 1e5 (PLplot writes
    // "(x10^n)" above such panels).
    const std::vector<PlotSeries> pool = {
        {"armature_current_of_the_motor", "A", {}}, {"omega", "rad/s", {}}, {"torque", "N.m", {}},
        {"v", "V", {}}, {"position", "m", {}}, {"y", "", {}}, {"zeta", "1", {}}, {"charge", "C", {}}};
    const double scales[] = {1e-3, 1, 1e5, -2e-4, 3, 1e-6, 12345, 0.5};
    std::vector<double> times;
    for (int i = 0; i <= 200; ++i) times.push_back(i * 0.05);
    std::vector<PlotSeries> series;
    for (size_t k = 0; k < c.panels; ++k) {
        PlotSeries one = pool[k];
        for (double t : times) one.values.push_back(scales[k] * std::sin(t + static_cast<double>(k)));
        series.push_back(one);
    }
    const fs::path file = fs::temp_directory_path() /
                          ("kvfmu-plot-" + std::to_string(getpid()) + "-" + std::to_string(c.panels) + ".svg");
    writePlot(file, file, c.title, times, series);
    pugi::xml_document svg;
    ASSERT_TRUE(svg.load_file(file.c_str()));
    fs::remove(file);

    std::istringstream viewBox(svg.child("svg").attribute("viewBox").value());
    double x0 = 0, y0 = 0, width = 0, height = 0;
    viewBox >> x0 >> y0 >> width >> height;
    const std::vector<Box> boxes = textBoxes(svg);
    size_t exponents = 0;
    for (const Box& box : boxes) {
        exponents += box.text.rfind("(x10", 0) == 0;
        EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= width && box.bottom <= height)
            << "\"" << box.text << "\" at " << box.left << "," << box.top << " - " << box.right << ","
            << box.bottom << " leaves the picture of " << width << " x " << height;
    }
    EXPECT_GE(exponents, 1u) << "no panel with (x10^n): the case tests less than it should";
    for (size_t i = 0; i < boxes.size(); ++i) {
        for (size_t j = i + 1; j < boxes.size(); ++j) {
            const Box &a = boxes[i], &b = boxes[j];
            const bool overlap = a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
            EXPECT_FALSE(overlap) << "\"" << a.text << "\" and \"" << b.text << "\" overlap";
        }
    }
}

std::string caseName(const ::testing::TestParamInfo<LayoutCase>& tested) {
    return std::to_string(tested.param.panels) + "Panels";
}

INSTANTIATE_TEST_SUITE_P(OneToEightPanels, PlotLayout,
                         ::testing::Values(LayoutCase{1, "Model (one panel)"}, LayoutCase{4, "WaterTank"},
                                           LayoutCase{5, "DCMotor"}, LayoutCase{8, ""}),
                         caseName);

}  // namespace
