#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/ResizeMath.h"
#include "ui/Resizer.h"

namespace quillery::test {
namespace {

// The places the controls of a test window are designed at, in a 400 x 300 window.
const QRect kLabel1(20, 10, 100, 20);
const QRect kCommand1(130, 45, 81, 33);
const QRect kLabel2(21, 251, 357, 41);

// A control that runs a piece of code whenever it is resized.
class ResizeProbe : public QWidget {
  public:
    using QWidget::QWidget;
    std::function<void()> onResize;

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (onResize) {
            onResize();
        }
    }
};

// A window that rearranges itself on every resize, as the program's windows do.
class SelfResizingForm : public QWidget {
  public:
    explicit SelfResizingForm(Resizer& resizer) : resizer_(resizer) {}

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        resizer_.resizeForm(this);
    }

  private:
    Resizer& resizer_;
};

template <class W>
W* Add(QWidget* parent, const char* name, QRect place) {
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(place);
    return widget;
}

void LayOut(QWidget* form, const char* name) {
    form->setObjectName(QLatin1String(name));
    form->move(100, 100);
    form->resize(400, 300);
    Add<QLabel>(form, "Label1", kLabel1)->setText(QStringLiteral("Label1"));
    Add<QPushButton>(form, "Command1", kCommand1)->setText(QStringLiteral("Command1"));
    Add<QLabel>(form, "Label2", kLabel2)->setText(QStringLiteral("Label2"));
}

std::unique_ptr<QWidget> MakeForm(const char* name) {
    auto form = std::make_unique<QWidget>();
    LayOut(form.get(), name);
    return form;
}

QWidget* Control(QWidget* form, const char* name) {
    QWidget* control = form->findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

QRect Place(QWidget* form, const char* name) {
    return Control(form, name)->geometry();
}

struct Layout {
    QRect label1, command1, label2;
    bool operator==(const Layout&) const = default;
};

void PrintTo(const Layout& layout, std::ostream* out) {
    const auto print = [out](const QRect& r) {
        *out << '(' << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height() << ')';
    };
    print(layout.label1);
    print(layout.command1);
    print(layout.label2);
}

Layout LayoutOf(QWidget* form) {
    return {Place(form, "Label1"), Place(form, "Command1"), Place(form, "Label2")};
}

const Layout kDesigned{kLabel1, kCommand1, kLabel2};

class ResizerTest : public ::testing::Test {
  protected:
    // Shows the window; its first resize records the reference layout.
    void Open(QWidget* form) {
        form->show();
        resizer.resizeForm(form);
    }

    // The user resizes the window to an inner size of width x height.
    void ResizeTo(QWidget* form, int width, int height) {
        form->resize(width, height);
        ASSERT_EQ(form->size(), QSize(width, height));
        resizer.resizeForm(form);
    }

    ResizeState state;
    Resizer resizer{state};
};

TEST_F(ResizerTest, TheFirstResizeRecordsTheLayoutAndMovesNothing) {
    auto form = MakeForm("Form1");
    Open(form.get());

    EXPECT_EQ(LayoutOf(form.get()), kDesigned);
    ASSERT_EQ(state.forms.size(), 1u);
    EXPECT_EQ(state.forms[0].windowName, "Form1");
    EXPECT_EQ(state.forms[0].width, 400);
    EXPECT_EQ(state.forms[0].height, 300);
    ASSERT_EQ(state.controls.size(), 3u);
    const ControlLayout& button = state.controls[1];
    EXPECT_EQ(button.controlName, "Command1");
    EXPECT_EQ(button.windowName, "Form1");
    EXPECT_EQ(button.index, 0);
    EXPECT_EQ(QRect(button.left, button.top, button.width, button.height), kCommand1);
    EXPECT_FALSE(state.resizing);
}

TEST_F(ResizerTest, WideningScalesLeftEdgesAndWidthsByWholePercentages) {
    auto form = MakeForm("Form1");
    Open(form.get());

    ResizeTo(form.get(), 600, 300);
    const Layout wider{{30, 10, 150, 20}, {195, 45, 121, 33}, {31, 251, 535, 41}};
    EXPECT_EQ(LayoutOf(form.get()), wider);

    ResizeTo(form.get(), 603, 300);  // 150.75% is still 150%
    EXPECT_EQ(LayoutOf(form.get()), wider);

    ResizeTo(form.get(), 600, 450);
    EXPECT_EQ(Place(form.get(), "Command1"), QRect(195, 67, 121, 49));
}

TEST_F(ResizerTest, ShrinkingScalesDownToNothingAsFarAsEachControlAllows) {
    auto form = MakeForm("Form1");
    Control(form.get(), "Label2")->setMinimumHeight(30);
    Open(form.get());

    ResizeTo(form.get(), 200, 150);
    EXPECT_EQ(LayoutOf(form.get()),
              (Layout{{10, 5, 50, 10}, {65, 22, 40, 16}, {10, 125, 178, 30}}));

    ResizeTo(form.get(), 4, 3);
    EXPECT_EQ(LayoutOf(form.get()), (Layout{{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 2, 3, 30}}));

    // Every layout comes from the recorded one, so no rounding piles up.
    ResizeTo(form.get(), 400, 300);
    EXPECT_EQ(LayoutOf(form.get()), kDesigned);
}

TEST_F(ResizerTest, AWindowFarDownKeepsItsControlsWhereTheyAre) {
    auto form = MakeForm("Form1");
    Open(form.get());

    form->move(100, Resizer::kParkedWindowTop);
    ASSERT_EQ(form->frameGeometry().top(), 2000);
    ResizeTo(form.get(), 600, 300);
    EXPECT_EQ(LayoutOf(form.get()), kDesigned);
    EXPECT_FALSE(state.resizing);

    form->move(100, 1999);
    resizer.resizeForm(form.get());
    EXPECT_EQ(Place(form.get(), "Command1"), QRect(195, 45, 121, 33));
}

TEST_F(ResizerTest, ParkedControlsStayParkedUntilMovedBack) {
    auto form = MakeForm("Form1");
    // Parked before the layout is recorded: recorded at its real place.
    Control(form.get(), "Label1")->move(kLabel1.left() - kParkedLeftOffset, kLabel1.top());
    Open(form.get());
    EXPECT_EQ(Place(form.get(), "Label1").left(), 20 - kParkedLeftOffset);

    ResizeTo(form.get(), 600, 300);
    EXPECT_EQ(Place(form.get(), "Label1"), QRect(30 - kParkedLeftOffset, 10, 150, 20));
    ResizeTo(form.get(), 1200, 300);
    EXPECT_EQ(Place(form.get(), "Label1").left(), 60 - kParkedLeftOffset);
    ResizeTo(form.get(), 200, 300);
    EXPECT_EQ(Place(form.get(), "Label1").left(), 10 - kParkedLeftOffset);

    // Back on view anywhere: the next resize puts it at its scaled recorded place.
    Control(form.get(), "Label1")->move(5, 10);
    ResizeTo(form.get(), 600, 300);
    EXPECT_EQ(Place(form.get(), "Label1"), QRect(30, 10, 150, 20));

    // Parked after the layout was recorded.
    Control(form.get(), "Command1")->move(195 - kParkedLeftOffset, 45);
    ResizeTo(form.get(), 800, 300);
    EXPECT_EQ(Place(form.get(), "Command1"), QRect(260 - kParkedLeftOffset, 45, 162, 33));
    Control(form.get(), "Command1")->move(0, 45);
    ResizeTo(form.get(), 400, 300);
    EXPECT_EQ(Place(form.get(), "Command1"), kCommand1);
}

TEST_F(ResizerTest, AResizeArrivingDuringAnotherIsIgnored) {
    auto first = MakeForm("Form1");
    auto* probe = Add<ResizeProbe>(first.get(), "Probe", QRect(0, 0, 10, 10));
    auto second = MakeForm("Form2");
    Open(first.get());
    Open(second.get());
    second->resize(600, 300);  // waiting for its own rearrangement

    int nested = 0;
    probe->onResize = [&] {
        ++nested;
        EXPECT_TRUE(state.resizing);
        resizer.resizeForm(second.get());
        resizer.resizeForm(first.get());
    };
    ResizeTo(first.get(), 800, 300);
    probe->onResize = nullptr;

    EXPECT_EQ(nested, 1);
    EXPECT_EQ(LayoutOf(second.get()), kDesigned);
    EXPECT_EQ(Place(first.get(), "Command1"), QRect(260, 45, 162, 33));
    EXPECT_EQ(Place(first.get(), "Probe"), QRect(0, 0, 20, 10));
    EXPECT_FALSE(state.resizing);

    resizer.resizeForm(second.get());
    EXPECT_EQ(Place(second.get(), "Command1"), QRect(195, 45, 121, 33));
}

TEST_F(ResizerTest, AReopenedWindowKeepsItsFirstReference) {
    auto viewer = MakeForm("Form2");
    Open(viewer.get());
    ResizeTo(viewer.get(), 600, 300);
    viewer.reset();

    viewer = MakeForm("Form2");
    viewer->resize(600, 300);
    Open(viewer.get());
    EXPECT_EQ(Place(viewer.get(), "Command1"), QRect(195, 45, 121, 33));
    EXPECT_EQ(state.forms.size(), 1u);
    EXPECT_EQ(state.controls.size(), 3u);

    // Another window's layout is its own.
    auto other = MakeForm("Form3");
    other->resize(600, 300);
    Open(other.get());
    EXPECT_EQ(LayoutOf(other.get()), kDesigned);
    EXPECT_EQ(state.forms.size(), 2u);
}

TEST_F(ResizerTest, ZeroSizedWindowsCollapseTheControlsAndComeBack) {
    auto form = MakeForm("Form1");
    Open(form.get());

    ResizeTo(form.get(), 0, 0);
    EXPECT_EQ(LayoutOf(form.get()), (Layout{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}));
    ResizeTo(form.get(), 600, 0);
    EXPECT_EQ(Place(form.get(), "Command1"), QRect(195, 0, 121, 0));
    ResizeTo(form.get(), 400, 300);
    EXPECT_EQ(LayoutOf(form.get()), kDesigned);

    // Recorded with no inner area: every later size keeps the recorded layout.
    auto empty = MakeForm("Form2");
    empty->resize(0, 0);
    Open(empty.get());
    EXPECT_EQ(LayoutOf(empty.get()), kDesigned);
    ResizeTo(empty.get(), 800, 600);
    EXPECT_EQ(LayoutOf(empty.get()), kDesigned);
}

TEST_F(ResizerTest, ChildWindowsAndNamelessControlsAreLeftAlone) {
    auto form = MakeForm("Form1");
    auto* nameless = new QLabel(form.get());
    nameless->setGeometry(5, 5, 10, 10);
    auto* dialog = Add<QDialog>(form.get(), "Dialog1", QRect(150, 150, 120, 80));
    Open(form.get());
    dialog->show();
    const QRect dialogPlace = dialog->geometry();

    ResizeTo(form.get(), 800, 600);
    EXPECT_EQ(nameless->geometry(), QRect(5, 5, 10, 10));
    EXPECT_EQ(dialog->geometry(), dialogPlace);
    EXPECT_EQ(Place(form.get(), "Command1"), QRect(260, 90, 162, 66));
    EXPECT_EQ(state.controls.size(), 3u);
}

TEST_F(ResizerTest, AWindowsResizeHandlerRecordsOnFirstDisplayAndScalesAfter) {
    SelfResizingForm form(resizer);
    LayOut(&form, "Form1");
    form.show();
    QApplication::processEvents();
    ASSERT_EQ(state.forms.size(), 1u);
    EXPECT_EQ(state.forms[0].width, 400);
    EXPECT_EQ(LayoutOf(&form), kDesigned);

    form.resize(600, 450);
    QApplication::processEvents();
    EXPECT_EQ(Place(&form, "Command1"), QRect(195, 67, 121, 49));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.updatesEnabled());
}

}  // namespace
}  // namespace quillery::test
