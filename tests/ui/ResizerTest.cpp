#include "ui/Resizer.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <functional>
#include <memory>

#include "ui/ResizeMath.h"

namespace quillery::test {
namespace {

// The places the controls of a test window are designed at, in a 400 x 300 window.
const std::vector<QRect> kDesigned = {{20, 10, 100, 20}, {130, 45, 81, 33}, {21, 251, 357, 41}};

// A control that runs a piece of code whenever it is resized.
class ResizeProbe : public QLabel {
  public:
    std::function<void()> onResize;

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        if (onResize) {
            onResize();
        }
    }
};

class ResizerTest : public ::testing::Test {
  protected:
    // A window with three named controls, shown; its first resize records the layout.
    std::unique_ptr<QWidget> Open(const char* name) {
        auto form = std::make_unique<QWidget>();
        form->setObjectName(QLatin1String(name));
        form->resize(400, 300);
        for (int i = 0; i < 3; ++i) {
            QWidget* control = i == 1 ? static_cast<QWidget*>(new QPushButton) : new ResizeProbe;
            control->setParent(form.get());
            control->setObjectName(QStringLiteral("Control%1").arg(i));
            control->setGeometry(kDesigned[i]);
        }
        form->show();
        resizer.resizeForm(form.get());
        return form;
    }
    void ResizeTo(QWidget* form, int width, int height) {
        form->resize(width, height);
        resizer.resizeForm(form);
    }
    static std::vector<QRect> Layout(QWidget* form) {
        std::vector<QRect> places;
        for (int i = 0; i < 3; ++i) {
            places.push_back(
                form->findChild<QWidget*>(QStringLiteral("Control%1").arg(i))->geometry());
        }
        return places;
    }
    static QWidget* Control(QWidget* form, int i) {
        return form->findChild<QWidget*>(QStringLiteral("Control%1").arg(i));
    }

    ResizeState state;
    Resizer resizer{state};
};

// Every layout comes from the recorded one by whole percentages, so no rounding piles up;
// controls shrink as far as each allows.
TEST_F(ResizerTest, ControlsScaleFromTheRecordedLayout) {
    auto form = Open("Form1");
    Control(form.get(), 2)->setMinimumHeight(30);
    const std::vector<std::tuple<int, int, std::vector<QRect>>> steps = {
        {400, 300, kDesigned},
        {600, 300, {{30, 10, 150, 20}, {195, 45, 121, 33}, {31, 251, 535, 41}}},
        {603, 300, {{30, 10, 150, 20}, {195, 45, 121, 33}, {31, 251, 535, 41}}},
        {600, 450, {{30, 15, 150, 30}, {195, 67, 121, 49}, {31, 376, 535, 61}}},
        {200, 150, {{10, 5, 50, 10}, {65, 22, 40, 16}, {10, 125, 178, 30}}},
        {4, 3, {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 2, 3, 30}}},
        {600, 0, {{30, 0, 150, 0}, {195, 0, 121, 0}, {31, 0, 535, 30}}},
        {400, 300, kDesigned},
    };
    for (const auto& [width, height, layout] : steps) {
        ResizeTo(form.get(), width, height);
        EXPECT_EQ(Layout(form.get()), layout) << width << " x " << height;
    }
    ASSERT_EQ(state.forms.size(), 1u);
    EXPECT_EQ(state.controls.size(), 3u);
    EXPECT_FALSE(state.resizing);
}

TEST_F(ResizerTest, AResizeArrivingDuringAnotherIsIgnored) {
    auto first = Open("Form1");
    auto second = Open("Form2");
    second->resize(600, 300);  // waiting for its own rearrangement
    int nested = 0;
    static_cast<ResizeProbe*>(Control(first.get(), 0))->onResize = [&] {
        ++nested;
        resizer.resizeForm(second.get());
        resizer.resizeForm(first.get());
    };
    ResizeTo(first.get(), 800, 300);
    static_cast<ResizeProbe*>(Control(first.get(), 0))->onResize = nullptr;
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(Layout(second.get()), kDesigned);
    EXPECT_EQ(Layout(first.get())[1], QRect(260, 45, 162, 33));
    resizer.resizeForm(second.get());
    EXPECT_EQ(Layout(second.get())[1], QRect(195, 45, 121, 33));
}

}  // namespace
}  // namespace quillery::test
