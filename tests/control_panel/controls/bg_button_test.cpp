// The skinned button's state machine and its painting layout, and the
// three-slice arithmetic shared with the panel.
#include "control_panel/controls/bg_button.h"

#include <gtest/gtest.h>

#include "control_panel/controls/panel.h"

namespace zl {
namespace {

// Every character 6 pixels wide; a bold font 7.
int FixedWidth(const std::string& text, const TFont& font) {
  return static_cast<int>(text.size()) * (font.Bold ? 7 : 6);
}

TBitmap Picture(int width, int tag) {
  TBitmap bitmap;
  bitmap.Png = "png" + std::to_string(tag);
  bitmap.Width = width;
  bitmap.Height = 10;
  return bitmap;
}

class Button : public ::testing::Test {
 protected:
  Button() {
    button_.OnInvalidate = [this] { ++repaints_; };
    button_.OnClick = [this] { ++clicks_; };
    button_.OnEnter = [this] { events_ += "enter;"; };
    button_.OnExit = [this] { events_ += "exit;"; };
  }
  TrkBgButton button_;
  int repaints_ = 0;
  int clicks_ = 0;
  std::string events_;
};

TEST_F(Button, NewButtonsAreUpAndOfTheDefaultSize) {
  EXPECT_EQ(button_.State(), TButtonState::Up);
  EXPECT_EQ(button_.Width(), 100);
  EXPECT_EQ(button_.Height(), 41);
  EXPECT_EQ(button_.Spacing(), 3);
  EXPECT_EQ(button_.LeftMargin(), 4);
  EXPECT_EQ(button_.RightMargin(), 4);
  EXPECT_FALSE(button_.Center());
  EXPECT_EQ(button_.Icon.Width(), 16);
  EXPECT_EQ(button_.DisabledIcon.Height(), 16);
}

TEST_F(Button, HoverPressAndReleaseInside) {
  button_.MouseEnter();
  EXPECT_EQ(button_.State(), TButtonState::Hot);
  button_.MouseDown(5, 5);
  EXPECT_EQ(button_.State(), TButtonState::Down);
  button_.MouseUp(99, 40);
  EXPECT_EQ(button_.State(), TButtonState::Hot);
  EXPECT_EQ(clicks_, 1);
  button_.MouseLeave();
  EXPECT_EQ(button_.State(), TButtonState::Up);
  EXPECT_EQ(events_, "enter;exit;");
  EXPECT_EQ(repaints_, 4);
}

// Where the button is released after a press, and what it becomes.
struct ReleaseCase {
  int x;
  int y;
  TButtonState state;
};

class Release : public Button, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(Release, InsideMakesItHotAndClicksOutsideMakesItUp) {
  button_.MouseDown(10, 10);
  button_.MouseUp(GetParam().x, GetParam().y);
  EXPECT_EQ(button_.State(), GetParam().state);
  EXPECT_EQ(clicks_, GetParam().state == TButtonState::Hot ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Points, Release,
                         ::testing::Values(ReleaseCase{0, 0, TButtonState::Hot}, ReleaseCase{99, 40, TButtonState::Hot},
                                           ReleaseCase{100, 20, TButtonState::Up},
                                           ReleaseCase{-1, 20, TButtonState::Up},
                                           ReleaseCase{50, -1, TButtonState::Up},
                                           // the row just below the button is outside it
                                           ReleaseCase{50, 41, TButtonState::Up},
                                           ReleaseCase{500, 500, TButtonState::Up}));

TEST_F(Button, ReleaseWithoutPressMakesItUpAndDoesNotClick) {
  button_.MouseEnter();
  button_.MouseUp(10, 10);
  EXPECT_EQ(button_.State(), TButtonState::Up);
  EXPECT_EQ(clicks_, 0);
}

TEST_F(Button, DisabledIgnoresTheMouseUntilEnabled) {
  button_.MouseEnter();
  button_.SetEnabled(false);
  EXPECT_EQ(button_.State(), TButtonState::Disabled);
  button_.MouseLeave();
  button_.MouseEnter();
  button_.MouseDown(5, 5);
  button_.MouseUp(5, 5);
  EXPECT_EQ(button_.State(), TButtonState::Disabled);
  EXPECT_EQ(clicks_, 0);
  EXPECT_EQ(events_, "enter;");
  button_.SetEnabled(true);
  EXPECT_EQ(button_.State(), TButtonState::Up);
}

TEST_F(Button, EveryLookChangeRepaints) {
  const int before = repaints_;
  button_.SetCaption("English");
  button_.SetCaption("English");  // unchanged
  button_.SetSpacing(5);
  button_.SetLeftMargin(6);
  button_.SetRightMargin(6);
  button_.SetCenter(true);
  button_.SetDisabledFont(TFont{"", 9, true});
  button_.SetFont(TFont{"", 9});
  button_.SetBounds(0, 0, 120, 30);
  button_.Icon.SetWidth(25);
  button_.DisabledIcon.SetIcon(TIcon{"ico"});
  button_.Backgrounds.Hot.SetBgMiddle(Picture(1, 1));
  button_.Backgrounds.Disabled.SetTransparent(true);
  EXPECT_EQ(repaints_ - before, 12);
}

TEST_F(Button, EachStatePaintsItsOwnBackgroundIconAndFont) {
  button_.SetFont(TFont{"Face", 8, false});
  button_.SetDisabledFont(TFont{"Face", 8, true});
  const auto plan = [&] { return button_.PaintPlan(FixedWidth); };
  EXPECT_EQ(plan().Background, &button_.Backgrounds.Up);
  EXPECT_EQ(plan().Icon, &button_.Icon);
  EXPECT_EQ(plan().Font, &button_.Font());
  button_.MouseEnter();
  EXPECT_EQ(plan().Background, &button_.Backgrounds.Hot);
  button_.MouseDown(1, 1);
  EXPECT_EQ(plan().Background, &button_.Backgrounds.Down);
  EXPECT_EQ(plan().Icon, &button_.Icon);
  button_.SetEnabled(false);
  EXPECT_EQ(plan().Background, &button_.Backgrounds.Disabled);
  EXPECT_EQ(plan().Icon, &button_.DisabledIcon);
  EXPECT_EQ(plan().Font, &button_.DisabledFont());
}

struct LayoutCase {
  const char* name;
  int width;
  bool center;
  std::string caption;
  int iconX;
  int textX;
  std::string text;
};

class Layout : public Button, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layout, PlacesIconAndCaption) {
  const LayoutCase& c = GetParam();
  button_.SetBounds(0, 0, c.width, 21);
  button_.Icon.SetWidth(25);
  button_.Icon.SetHeight(13);
  button_.SetCenter(c.center);
  button_.SetCaption(c.caption);
  const TButtonPaint plan = button_.PaintPlan(FixedWidth);
  EXPECT_EQ(plan.IconX, c.iconX);
  EXPECT_EQ(plan.IconY, 4);  // (21 - 13) / 2
  EXPECT_EQ(plan.TextX, c.textX);
  EXPECT_EQ(plan.Text, c.text);
}

// Icon 25 wide, spacing 3, margins 4, 6 pixels a character.
INSTANTIATE_TEST_SUITE_P(
    Cases, Layout,
    ::testing::Values(
        LayoutCase{"LeftAligned", 100, false, "English", 4, 32, "English"},
        // 32 + 42 + 4 = 78 fits in 78
        LayoutCase{"ExactFit", 78, false, "English", 4, 32, "English"},
        // one pixel short: the whole caption is the shortest part that does not fit; its last three become points
        LayoutCase{"OnePixelShort", 77, false, "English", 4, 32, "Engl..."},
        LayoutCase{"MuchTooLong", 60, false, "Deutschland", 4, 32, "De..."},
        LayoutCase{"TwoCharactersAllPoints", 44, false, "Deutsch", 4, 32, ".."},
        LayoutCase{"NoRoomAtAll", 20, false, "Deutsch", 4, 32, "."},
        // (100 - 25 - 42 - 3) / 2 = 15
        LayoutCase{"Centred", 100, true, "English", 15, 43, "English"},
        // (101 - 25 - 42 - 3) / 2 = 15.5 -> 15
        LayoutCase{"CentredRoundsTowardsZero", 101, true, "English", 15, 43, "English"},
        // (50 - 25 - 42 - 3) / 2 = -10 -> never left of 2
        LayoutCase{"CentredNarrowStartsAtTwo", 50, true, "English", 2, 30, "E..."},
        LayoutCase{"NoCaption", 40, false, "", 4, 32, ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct SliceCase {
  const char* name;
  int width;
  TRect left;
  TRect middle;
  TRect right;
};

class Slices : public ::testing::TestWithParam<SliceCase> {};

// Ends 10 and 12 wide, 30 high.
TEST_P(Slices, EndsAtTheirWidthAndMiddleNeverNegative) {
  const SliceCase& c = GetParam();
  TrkBackground background;
  background.SetBgLeft(Picture(10, 1));
  background.SetBgMiddle(Picture(1, 2));
  background.SetBgRight(Picture(12, 3));
  const TSliceLayout layout = background.Layout(c.width, 30);
  EXPECT_EQ(layout.Left, c.left);
  EXPECT_EQ(layout.Middle, c.middle);
  EXPECT_EQ(layout.Right, c.right);
  EXPECT_GE(layout.Middle.Width(), 0);
}

INSTANTIATE_TEST_SUITE_P(Widths, Slices,
                         ::testing::Values(SliceCase{"Wider", 100, {0, 0, 10, 30}, {10, 0, 88, 30}, {88, 0, 100, 30}},
                                           SliceCase{"ExactlyTheEnds", 22, {0, 0, 10, 30}, {10, 0, 10, 30},
                                                     {10, 0, 22, 30}},
                                           SliceCase{"Narrower", 15, {0, 0, 10, 30}, {10, 0, 10, 30},
                                                     {3, 0, 15, 30}},
                                           SliceCase{"Zero", 0, {0, 0, 10, 30}, {10, 0, 10, 30}, {-12, 0, 0, 30}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Background, ReportsChangesAndAssignCopiesTheBitmaps) {
  TrkBackground source;
  source.SetBgLeft(Picture(3, 1));
  source.SetBgMiddle(Picture(4, 2));
  source.SetBgRight(Picture(5, 3));
  source.SetTransparent(true);

  TrkBackground target;
  int changes = 0;
  target.OnChange = [&] { ++changes; };
  target.Assign(source);
  EXPECT_EQ(target.bgLeft(), source.bgLeft());
  EXPECT_EQ(target.bgMiddle(), source.bgMiddle());
  EXPECT_EQ(target.bgRight(), source.bgRight());
  EXPECT_FALSE(target.Transparent());
  EXPECT_EQ(changes, 1);
  target.SetTransparent(false);  // no change of value
  target.SetTransparentColor(clBlack);
  EXPECT_EQ(changes, 1);
  target.SetTransparentColor(0x00FF00FF);
  EXPECT_EQ(changes, 2);
}

TEST(Backgrounds, AnyOfTheFourReportsAndAssignCopiesAll) {
  TrkBackgrounds source;
  source.Up.SetBgLeft(Picture(1, 1));
  source.Down.SetBgLeft(Picture(2, 2));
  source.Hot.SetBgLeft(Picture(3, 3));
  source.Disabled.SetBgLeft(Picture(4, 4));
  TrkBackgrounds target;
  int changes = 0;
  target.OnChange = [&] { ++changes; };
  target.Assign(source);
  EXPECT_EQ(target.Disabled.bgLeft().Width, 4);
  EXPECT_EQ(target.Hot.bgLeft().Width, 3);
  EXPECT_EQ(changes, 4);
}

TEST(Panel, TransparentPaintsNothingOfItsOwnAndChangesRepaint) {
  TrkPanel panel;
  int repaints = 0;
  panel.OnInvalidate = [&] { ++repaints; };
  EXPECT_EQ(panel.Caption(), "");
  EXPECT_TRUE(panel.DoubleBuffered);
  EXPECT_TRUE(panel.PaintsOwnFace());
  panel.SetTransparent(true);
  EXPECT_FALSE(panel.PaintsOwnFace());
  panel.Background.SetBgMiddle(Picture(1, 1));
  panel.SetCaption("Zephlink");
  EXPECT_EQ(repaints, 3);
}

TEST(Bitmap, SizeComesFromThePngHeader) {
  std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\1\x42\0\0\0\x54", 24);
  const TBitmap bitmap = TBitmap::FromPng(png);
  EXPECT_EQ(bitmap.Width, 322);
  EXPECT_EQ(bitmap.Height, 84);
  EXPECT_TRUE(TBitmap::FromPng("GIF89a").Empty());
  EXPECT_TRUE(TBitmap::FromPng(png.substr(0, 20)).Empty());
}

}  // namespace
}  // namespace zl
